// Saving in folders that another user shares, as that other user would try
// to turn a save against its user: links to the user's files, files and
// FIFOs put where the user will save. The save must refuse whatever the
// user's own shell would be refused with Debian's protections on
// (fs.protected_symlinks, fs.protected_regular, fs.protected_fifos),
// whatever the machine's settings are. Then a disk that is nearly full
// under a file its owner may write but not read. These need root, who can
// be both users (and mount a small disk); as an ordinary user they skip.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/savefile.h"
#include "hostile.h"

namespace {

using hostile::Folder;
using hostile::ReadFile;
using hostile::Thrown;
using hostile::WriteFile;

constexpr unsigned kDeadlineSeconds = 20;

// The two users: A saves, B is the other user of the shared folders. Their
// groups have their numbers; neither has a name on most machines.
constexpr uid_t kA = 65534;
constexpr uid_t kB = 64991;

struct Who {
    uid_t uid;
    std::vector<gid_t> groups;  // the first is the primary group
};
const Who kUserA{kA, {kA}};
const Who kUserB{kB, {kB}};
const Who kRoot{0, {0}};

// Runs `code` in a child process as `who`, which has kDeadlineSeconds to end:
// a child still running then is ended by SIGALRM, which the caller sees.
hostile::ChildResult RunAs(const Who& who, const std::function<std::string()>& code) {
    return hostile::RunInChild(
        [&] {
            ::alarm(kDeadlineSeconds);
            std::signal(SIGPIPE, SIG_DFL);
            const gid_t gid = who.groups.front();
            if (::setgroups(who.groups.size(), who.groups.data()) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                ::setresuid(who.uid, who.uid, who.uid) != 0) {
                return "<cannot become user " + std::to_string(who.uid) + ">";
            }
            return code();
        },
        false);
}

// Why the two-user tests cannot run here, or nothing.
std::optional<std::string> CannotBeTwoUsers(const Folder& folder) {
    if (::geteuid() != 0) return "only root can act as two other users";
    if (::getpwuid(kB) != nullptr) return "uid " + std::to_string(kB) + " belongs to a user of this machine";
    hostile::ChildResult r =
        RunAs(kUserA, [&] { return std::string(::access(folder.path().c_str(), X_OK) == 0 ? "yes" : "no"); });
    if (r.text != "yes") return "user " + std::to_string(kA) + " cannot reach " + folder.path();
    return std::nullopt;
}

// --- Links, files and FIFOs put in shared folders ----------------------------

// The kernel's protections at their strictest, for the length of one case,
// then as they were; off where they cannot be set. The settings are the
// whole machine's: a lock on one of them keeps two cases (of any checkout)
// from setting and restoring them across each other.
class KernelProtections {
public:
    KernelProtections() : lock_(::open(Path("protected_regular").c_str(), O_RDONLY | O_CLOEXEC)) {
        for (int waited = 0; ::flock(lock_.get(), LOCK_EX | LOCK_NB) != 0; ++waited) {
            if (!lock_.valid() || waited == 2000) return;
            ::usleep(10000);
        }
        for (const char* name : kNames) {
            std::ifstream in(Path(name));
            std::string value;
            if (!(in >> value)) return;
            saved_.emplace_back(name, value);
        }
        for (const char* name : kNames) {
            if (!Write(name, std::string(name) == std::string("protected_symlinks") ? "1" : "2")) {
                Restore();
                return;
            }
        }
        on_ = true;
    }
    ~KernelProtections() { Restore(); }
    bool on() const { return on_; }

private:
    static constexpr const char* kNames[] = {"protected_symlinks", "protected_regular", "protected_fifos"};
    static std::string Path(const std::string& name) { return "/proc/sys/fs/" + name; }
    static bool Write(const std::string& name, const std::string& value) {
        std::ofstream out(Path(name));
        out << value << '\n';
        out.flush();
        return static_cast<bool>(out);
    }
    void Restore() {
        for (const auto& [name, value] : saved_) Write(name, value);
        saved_.clear();
    }

    pelmora::FileDescriptor lock_;
    std::vector<std::pair<std::string, std::string>> saved_;
    bool on_ = false;
};

enum class Victim { A, Root };

enum class Plant {
    BLinkToAsFile,        // B: ln -s ~A/precious.txt pub/report.txt
    BDanglingLink,        // B: ln -s ~A/new.txt pub/report.txt
    BLinkToAsFolder,      // B: ln -s ~A pub/report.txt; saved: pub/report.txt/precious.txt
    BFile,                // B: umask 0; echo x > pub/report.txt
    BFifoWithAReader,     // B: mkfifo -m 666 pub/report.txt; a reader waits on it
    BFileInAGroupFolder,  // B's file in a sticky folder that A and B's group may write
    ALink,                // A's own link in pub to A's file
};

struct SharedCase {
    const char* name;
    Victim victim;
    Plant plant;
    const char* error;  // "": saved; otherwise the system's text
    bool shellAllowed;  // the kernel lets the shell through: the save is the stricter
};

void PrintTo(const SharedCase& c, std::ostream* os) { *os << c.name; }

// Each case twice: with the kernel's protections as this machine has them,
// and switched on (the kernel then refuses the shell too: the save must
// never be looser than the shell).
class SharedFolder : public ::testing::TestWithParam<std::tuple<SharedCase, bool>> {};

TEST_P(SharedFolder, RefusesWhatTheShellWouldBeRefused) {
    const auto& [c, protectionsOn] = GetParam();
    Folder folder;
    if (auto why = CannotBeTwoUsers(folder)) GTEST_SKIP() << *why;
    std::optional<KernelProtections> protections;
    if (protectionsOn) {
        protections.emplace();
        if (!protections->on()) GTEST_SKIP() << "the kernel's fs.protected_* settings cannot be changed here";
    }
    const Who victim = c.victim == Victim::Root ? kRoot : kUserA;
    // ~A (or root's own folder) with a file that only its owner may read.
    const std::string home = folder / "home";
    ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(::chown(home.c_str(), victim.uid, victim.groups.front()), 0);
    const std::string precious = home + "/precious.txt";
    ASSERT_TRUE(WriteFile(precious, "precious\n", 0600));
    ASSERT_EQ(::chown(precious.c_str(), victim.uid, victim.groups.front()), 0);
    // pub: like /tmp; the group folder: sticky, root's, B's group may write.
    const bool groupFolder = c.plant == Plant::BFileInAGroupFolder;
    const std::string pub = folder / "pub";
    ASSERT_EQ(::mkdir(pub.c_str(), 0700), 0);
    ASSERT_EQ(::chown(pub.c_str(), 0, groupFolder ? kB : 0), 0);
    ASSERT_EQ(::chmod(pub.c_str(), groupFolder ? 01770 : 01777), 0);
    Who saver = victim;
    if (groupFolder) saver.groups.push_back(kB);
    const std::string report = pub + "/report.txt";
    std::string path = report;

    hostile::ChildResult planted = RunAs(c.plant == Plant::ALink ? victim : kUserB, [&]() -> std::string {
        ::umask(0);
        switch (c.plant) {
            case Plant::BLinkToAsFile:
            case Plant::ALink: return ::symlink(precious.c_str(), report.c_str()) == 0 ? "" : "symlink";
            case Plant::BDanglingLink:
                return ::symlink((home + "/new.txt").c_str(), report.c_str()) == 0 ? "" : "symlink";
            case Plant::BLinkToAsFolder: return ::symlink(home.c_str(), report.c_str()) == 0 ? "" : "symlink";
            case Plant::BFile:
            case Plant::BFileInAGroupFolder: return WriteFile(report, "B's\n", 0666) ? "" : "write";
            case Plant::BFifoWithAReader: return ::mkfifo(report.c_str(), 0666) == 0 ? "" : "mkfifo";
        }
        return "?";
    });
    ASSERT_TRUE(planted.ran && planted.text.empty()) << "could not plant: " << planted.text;
    if (c.plant == Plant::BLinkToAsFolder) path = report + "/precious.txt";
    pelmora::FileDescriptor reader;
    if (c.plant == Plant::BFifoWithAReader) reader.Reset(::open(report.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));

    // What the user's own shell gets: open(path, O_WRONLY | O_CREAT), with
    // the kernel's protections on (nothing is created where it is refused).
    if (protectionsOn) {
        hostile::ChildResult shell = RunAs(saver, [&] {
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
            std::string text = fd >= 0 ? "" : pelmora::SystemErrorText(errno);
            if (fd >= 0) ::close(fd);
            return text;
        });
        ASSERT_TRUE(shell.ran);
        EXPECT_EQ(shell.text, c.shellAllowed ? "" : c.error) << "the shell's verdict differs from the table's";
    }

    const std::string kNew = "{\\rtf1 A's values}\n";
    hostile::ChildResult r = RunAs(saver, [&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); });
    protections.reset();
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    ASSERT_TRUE(r.ran);
    const bool saved = *c.error == '\0';
    EXPECT_EQ(r.text, saved ? "<nothing thrown>" : "Cannot create file \"" + path + "\". " + c.error);
    EXPECT_EQ(ReadFile(precious), c.plant == Plant::ALink ? kNew : "precious\n");
    EXPECT_EQ(ReadFile(home + "/new.txt"), "<unreadable>");
    struct stat st {};
    ASSERT_EQ(::lstat(report.c_str(), &st), 0);
    if (c.plant == Plant::BFile || c.plant == Plant::BFileInAGroupFolder) {
        EXPECT_EQ(ReadFile(report), "B's\n");
        EXPECT_EQ(st.st_uid, kB);
    }
    if (reader.valid()) {
        char got[100];
        EXPECT_LE(::read(reader.get(), got, sizeof got), 0) << "B's reader got part of A's document";
    }
    EXPECT_EQ(Folder::NamesIn(pub), std::vector<std::string>{"report.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Save, SharedFolder,
    ::testing::Combine(
        ::testing::Values(
            SharedCase{"OthersLinkToTheUsersFile", Victim::A, Plant::BLinkToAsFile, "Permission denied", false},
            SharedCase{"OthersDanglingLink", Victim::A, Plant::BDanglingLink, "Permission denied", false},
            // The kernel looks at the last link of a path only; a link on
            // the way can lead a save just as well.
            SharedCase{"OthersLinkToTheUsersFolder", Victim::A, Plant::BLinkToAsFolder, "Permission denied", true},
            SharedCase{"OthersLinkToRootsFile", Victim::Root, Plant::BLinkToAsFile, "Permission denied", false},
            SharedCase{"OthersFile", Victim::A, Plant::BFile, "Permission denied", false},
            SharedCase{"OthersFileSavedByRoot", Victim::Root, Plant::BFile, "Permission denied", false},
            SharedCase{"OthersFifoWithAReader", Victim::A, Plant::BFifoWithAReader, "Permission denied", false},
            SharedCase{"OthersFileInAGroupFolder", Victim::A, Plant::BFileInAGroupFolder, "Permission denied", false},
            SharedCase{"OwnLink", Victim::A, Plant::ALink, "", false}),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_KernelProtectionsOn" : "");
    });

// --- A nearly full disk -------------------------------------------------------

struct FullDiskCase {
    const char* name;
    int freePages;  // room left on the disk, in 4096-byte pages
    bool saved;     // else "Failed to Save Stream" and the old text
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }

class NearlyFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// A's file that A may write but not read (mode 0200), on a 64 KiB disk of
// its own (tmpfs, in a mount namespace of the test's own): without room for
// a copy the text goes in place, and without room for that either the save
// fails before the old text is touched, which nobody could put back.
TEST_P(NearlyFullDisk, FailsBeforeTheOldTextIsTouched) {
    const FullDiskCase& c = GetParam();
    Folder folder;
    if (auto why = CannotBeTwoUsers(folder)) GTEST_SKIP() << *why;
    const std::string disk = folder / "disk";
    ASSERT_EQ(::mkdir(disk.c_str(), 0755), 0);
    const std::string old = "{\\rtf1 the old values}\n";
    const std::string kNew = "{\\rtf1 " + std::string(5 * 4096, '7') + "}\n";  // 6 pages
    hostile::ChildResult r = RunAs(kRoot, [&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("pelmora-test", disk.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
            return "skip: cannot mount a small tmpfs here: " + pelmora::SystemErrorText(errno);
        }
        const std::string file = disk + "/values.TXT";
        if (!WriteFile(file, old, 0200) || ::chown(file.c_str(), kA, kA) != 0) return "cannot make the file";
        // Fills the disk, then gives the room asked back.
        const std::string filler = disk + "/filler";
        int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string page(4096, 'f');
        off_t size = 0;
        while (::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size())) size += 4096;
        const bool freed = ::ftruncate(fd, size - 4096 * c.freePages) == 0;
        ::close(fd);
        if (!freed) return "cannot give room back";
        hostile::ChildResult save = RunAs(kUserA, [&] { return Thrown([&] { pelmora::SaveFile(file, kNew); }); });
        return save.text + "|" + ReadFile(file) + "|" + std::to_string(Folder::NamesIn(disk).size());
    });
    ASSERT_TRUE(r.ran) << "ended by signal " << r.signal;
    if (r.text.rfind("skip: ", 0) == 0) GTEST_SKIP() << r.text.substr(6);
    EXPECT_EQ(r.text,
              (c.saved ? "<nothing thrown>|" + kNew : std::string(pelmora::kFailedToSaveStream) + "|" + old) + "|2");
}

INSTANTIATE_TEST_SUITE_P(Save, NearlyFullDisk,
                         ::testing::Values(FullDiskCase{"RoomForNeither", 2, false},
                                           FullDiskCase{"RoomInPlaceOnly", 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The deadlines of a child that runs test code -----------------------------

// The case above watches a child from within a child. A child forked while
// this program's watchdog runs has no watchdog thread of its own until it
// starts one: its own child's deadline must still end that child.
TEST(ChildOfATest, KeepsDeadlinesOfItsOwn) {
    pelmora::testing::Deadline running("the forking test", 60);  // the watchdog is up, with a deadline
    hostile::ChildResult r = hostile::RunInChild(
        [] {
            const pid_t pid = ::fork();
            if (pid == 0) {
                // Holds no pipe of the test's, and ends with the child if
                // the test's deadline ends that.
                ::closefrom(3);
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::pause();
                ::_exit(0);
            }
            pelmora::testing::WatchedChild grandchild(pid, "a child that never ends", 0.2);
            const int status = grandchild.Wait();
            return std::string(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? "killed" : "not killed");
        },
        false);
    EXPECT_EQ(r.text, "killed");
}

}  // namespace
