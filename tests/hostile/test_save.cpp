// Saving where it cannot be done: folders closed to us, full devices, files
// that can only be written in part. Each failure has its message, and the
// file that was there before keeps its content whatever goes wrong. Saving
// over files that are not simply ours: the user's right to write decides,
// and the file keeps its owner, mode, links and name.

#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/xattr.h>

#include <csignal>
#include <optional>
#include <string>

#include "core/savefile.h"
#include "hostile.h"

namespace {

using hostile::Folder;
using hostile::ReadFile;
using hostile::RunInChild;
using hostile::Thrown;
using hostile::WriteFile;

const std::string kOld = "the old content, which must survive\n";
// Larger than the file size limit the tests set.
const std::string kNew = std::string(6000, 'n') + "\n";
constexpr rlim_t kSizeLimit = 1000;
// Shorter than kOld.
const std::string kShortNew = "{\\rtf1 new}\n";

std::string CannotCreate(const std::string& path, const std::string& why) {
    return "Cannot create file \"" + path + "\". " + why;
}

// --- Folders that do not let us create files -------------------------------

struct ClosedFolderCase {
    const char* name;
    const char* file;   // in the closed folder
    mode_t mode;        // of the file that is there before; 0: none
    bool sizeLimit;     // writes stop at kSizeLimit bytes
    const char* error;  // "": saved; otherwise the system's text
    bool replaced;      // the file holds the new content afterwards
};

void PrintTo(const ClosedFolderCase& c, std::ostream* os) { *os << c.name; }

class ClosedFolder : public ::testing::TestWithParam<ClosedFolderCase> {};

TEST_P(ClosedFolder, FailsWithItsMessageAndKeepsTheOldFile) {
    const ClosedFolderCase& c = GetParam();
    Folder folder;
    if (!hostile::CanTestPermissions(folder.path())) {
        GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
    }
    const std::string closed = folder / "closed";
    ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
    const std::string path = closed + "/" + c.file;
    if (c.mode != 0) {
        ASSERT_TRUE(WriteFile(path, kOld, c.mode));
    }
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);

    hostile::ChildResult r = RunInChild([&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); }, true,
                                        c.sizeLimit ? kSizeLimit : RLIM_INFINITY);
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    ASSERT_TRUE(r.ran);
    if (*c.error == '\0') {
        EXPECT_EQ(r.text, "<nothing thrown>");
    } else if (std::string(c.error) == pelmora::kFailedToSaveStream) {
        EXPECT_EQ(r.text, pelmora::kFailedToSaveStream);
    } else {
        EXPECT_EQ(r.text, CannotCreate(path, c.error));
    }
    if (c.mode == 0) {
        EXPECT_EQ(ReadFile(path), c.replaced ? kNew : "<unreadable>");
    } else {
        EXPECT_EQ(ReadFile(path), c.replaced ? kNew : kOld);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Save, ClosedFolder,
    ::testing::Values(
        ClosedFolderCase{"NewFile", "values.TXT", 0, false, "Permission denied", false},
        ClosedFolderCase{"FileWeMayNotWrite", "values.TXT", 0444, false, "Permission denied", false},
        // The folder is closed but the file itself is open to us: it is
        // written in place.
        ClosedFolderCase{"FileWeMayWrite", "values.TXT", 0666, false, "", true},
        // ... and when that write stops part way, the old content is back.
        ClosedFolderCase{"FileWeMayWriteButNotWhole", "values.TXT", 0666, true, pelmora::kFailedToSaveStream, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Files that cannot be written whole -------------------------------------

struct PartialCase {
    const char* name;
    bool existing;
};

void PrintTo(const PartialCase& c, std::ostream* os) { *os << c.name; }

class PartialWrite : public ::testing::TestWithParam<PartialCase> {};

// The file size limit of the process stops the write part way. The signal
// that the limit sends must not end the program (with the pane's values),
// the failure is reported, and nothing is left behind but the old file.
TEST_P(PartialWrite, IsReportedAndLeavesTheOldFile) {
    const PartialCase& c = GetParam();
    Folder folder;
    const std::string path = folder / "values.TXT";
    if (c.existing) {
        ASSERT_TRUE(WriteFile(path, kOld));
    }

    hostile::ChildResult r =
        RunInChild([&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); }, false, kSizeLimit);
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.text, pelmora::kFailedToSaveStream);
    EXPECT_EQ(folder.Names(), c.existing ? std::vector<std::string>{"values.TXT"} : std::vector<std::string>{});
    if (c.existing) {
        EXPECT_EQ(ReadFile(path), kOld);
    }
}

INSTANTIATE_TEST_SUITE_P(Save, PartialWrite,
                         ::testing::Values(PartialCase{"NewFile", false}, PartialCase{"ExistingFile", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Other paths that cannot take a file ------------------------------------

struct BadPathCase {
    const char* name;
    const char* error;  // the system's text, or kFailedToSaveStream
};

void PrintTo(const BadPathCase& c, std::ostream* os) { *os << c.name; }

class BadPath : public ::testing::TestWithParam<BadPathCase> {};

TEST_P(BadPath, FailsWithItsMessage) {
    const BadPathCase& c = GetParam();
    Folder folder;
    const std::string kind = c.name;
    std::string path;
    if (kind == "UnderARegularFile") {
        ASSERT_TRUE(WriteFile(folder / "plain", kOld));
        path = folder / "plain/values.TXT";
    } else if (kind == "MissingFolder") {
        path = folder / "missing/values.TXT";
    } else if (kind == "Folder") {
        path = folder / "values.TXT";
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    } else if (kind == "NameTooLong") {
        path = folder / (std::string(300, 'v') + ".TXT");
    } else if (kind == "FullDevice") {
        if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
        path = "/dev/full";
    } else if (kind == "FifoWithAReaderThatLeaves") {
        path = folder / "pipe.TXT";
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    } else if (kind == "Socket") {
        path = folder / "socket.TXT";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, path.size());
        int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    }
    // A reader that would take a few bytes and leave, as `head -c 100` does:
    // nothing may reach it, and the save may neither wait for it nor die
    // of the pipe it leaves (the save runs in a child with SIGPIPE's default).
    pelmora::FileDescriptor reader;
    if (kind == "FifoWithAReaderThatLeaves") reader.Reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    hostile::ChildResult r = RunInChild(
        [&] {
            ::alarm(10);
            return Thrown([&] { pelmora::SaveFile(path, kNew); });
        },
        false);
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    const std::string message = r.text;
    if (reader.valid()) {
        char got[100];
        EXPECT_LE(::read(reader.get(), got, sizeof got), 0) << "the reader got part of the document";
        reader.Reset();
    }
    if (std::string(c.error) == pelmora::kFailedToSaveStream) {
        EXPECT_EQ(message, pelmora::kFailedToSaveStream);
    } else {
        EXPECT_EQ(message, CannotCreate(path, c.error));
    }
    if (kind == "UnderARegularFile") {
        EXPECT_EQ(ReadFile(folder / "plain"), kOld);
    }
    if (kind != "FullDevice") {
        // Nothing new in the folder: no temporary file left behind.
        std::vector<std::string> names = folder.Names();
        for (const std::string& n : names) EXPECT_EQ(n.rfind(".pelmora", 0), std::string::npos) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Save, BadPath,
                         ::testing::Values(BadPathCase{"UnderARegularFile", "Not a directory"},
                                           BadPathCase{"MissingFolder", "No such file or directory"},
                                           BadPathCase{"Folder", "Is a directory"},
                                           BadPathCase{"NameTooLong", "File name too long"},
                                           BadPathCase{"FullDevice", pelmora::kFailedToSaveStream},
                                           BadPathCase{"FifoWithAReaderThatLeaves", pelmora::kNotRegularFile},
                                           BadPathCase{"Socket", pelmora::kNotRegularFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Files that are not simply ours ------------------------------------------

enum class Who { Saver, Other };          // who owns a folder or a file
enum class Shape { Plain, HardLink, DanglingLink, LongName };

// The users a case needs. As root the saver is "nobody" and the other user
// root, or, for a save by root, the other way round; as an ordinary user
// there is no other user whose files the test could make.
struct Users {
    uid_t saver;
    std::optional<uid_t> other;
};

std::optional<Users> UsersFor(bool byRoot) {
    if (::geteuid() == 0) return byRoot ? Users{0, 65534} : Users{65534, 0};
    if (byRoot) return std::nullopt;
    return Users{::geteuid(), std::nullopt};
}

bool GiveTo(const std::string& path, uid_t uid) {
    if (uid == ::geteuid()) return true;
    return ::lchown(path.c_str(), uid, uid == 0 ? 0 : uid) == 0;
}

struct ForeignCase {
    const char* name;
    bool byRoot;         // saved by root, who may give a file away
    mode_t folderMode;   // of the folder that holds the file
    Who folderOwner;
    Who fileOwner;
    mode_t fileMode;     // of the file there before; 0: none
    Shape shape;
    const char* error;   // "": saved
};

void PrintTo(const ForeignCase& c, std::ostream* os) { *os << c.name; }

class ForeignFile : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignFile, IsRefusedOrSavedKeepingWhatItIs) {
    const ForeignCase& c = GetParam();
    std::optional<Users> users = UsersFor(c.byRoot);
    if (!users) GTEST_SKIP() << "only root can save as root";
    const bool needsOther = c.folderOwner == Who::Other || c.fileOwner == Who::Other;
    if (needsOther && !users->other) GTEST_SKIP() << "an ordinary user cannot make another user's file";
    Folder folder;
    if (users->saver != ::geteuid() && !hostile::CanTestPermissions(folder.path())) {
        GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
    }
    auto uid = [&](Who who) { return who == Who::Saver ? users->saver : *users->other; };
    const std::string work = folder / "work";
    ASSERT_EQ(::mkdir(work.c_str(), 0700), 0);
    ASSERT_TRUE(GiveTo(work, uid(c.folderOwner)));
    ASSERT_EQ(::chmod(work.c_str(), c.folderMode), 0);
    const std::string name = c.shape == Shape::LongName ? std::string(251, 'v') + ".TXT" : "values.TXT";
    const std::string path = work + "/" + name;
    const std::string file = c.shape == Shape::DanglingLink ? work + "/target.TXT" : path;
    if (c.shape == Shape::DanglingLink) {
        ASSERT_EQ(::symlink("target.TXT", path.c_str()), 0);
    }
    struct stat before {};
    if (c.fileMode != 0) {
        ASSERT_TRUE(WriteFile(file, kOld, c.fileMode));
        ASSERT_TRUE(GiveTo(file, uid(c.fileOwner)));
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
    }
    if (c.shape == Shape::HardLink) {
        ASSERT_EQ(::link(file.c_str(), (work + "/other name").c_str()), 0);
    }

    hostile::ChildResult r = RunInChild([&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); },
                                        users->saver != ::geteuid());
    ASSERT_TRUE(r.ran);
    const bool saved = *c.error == '\0';
    EXPECT_EQ(r.text, saved ? "<nothing thrown>" : CannotCreate(path, c.error));
    EXPECT_EQ(ReadFile(file), saved ? kNew : kOld);
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    if (c.fileMode != 0) {
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode);
    }
    if (c.shape == Shape::HardLink) {
        EXPECT_EQ(after.st_nlink, 2u);
        EXPECT_EQ(ReadFile(work + "/other name"), kNew);
    }
    struct stat link {};
    ASSERT_EQ(::lstat(path.c_str(), &link), 0);
    EXPECT_EQ(S_ISLNK(link.st_mode), c.shape == Shape::DanglingLink);
    for (const std::string& n : hostile::Folder::NamesIn(work)) EXPECT_EQ(n.rfind(".pelmora", 0), std::string::npos) << n;
}

INSTANTIATE_TEST_SUITE_P(
    Save, ForeignFile,
    ::testing::Values(
        // A rename asks only the folder; the file's own bits must count.
        ForeignCase{"OwnReadOnlyFile", false, 0755, Who::Saver, Who::Saver, 0444, Shape::Plain, "Permission denied"},
        ForeignCase{"OthersFileInAnOpenFolder", false, 0777, Who::Other, Who::Other, 0644, Shape::Plain,
                    "Permission denied"},
        // The sticky folder refuses the rename; the file is written in place.
        ForeignCase{"OthersOpenFileInAStickyFolder", false, 01777, Who::Other, Who::Other, 0666, Shape::Plain, ""},
        ForeignCase{"OthersFileSavedByRoot", true, 0755, Who::Saver, Who::Other, 02640, Shape::Plain, ""},
        // A mode that neither the usual umask nor the ACL gives the copy.
        ForeignCase{"OwnFileKeepsItsMode", false, 0755, Who::Saver, Who::Saver, 02664, Shape::Plain, ""},
        ForeignCase{"HardLink", false, 0755, Who::Saver, Who::Saver, 0644, Shape::HardLink, ""},
        ForeignCase{"DanglingLinkCreatesItsTarget", false, 0755, Who::Saver, Who::Saver, 0, Shape::DanglingLink, ""},
        ForeignCase{"NewFileWithA255ByteName", false, 0755, Who::Saver, Who::Saver, 0, Shape::LongName, ""},
        ForeignCase{"FileWithA255ByteName", false, 0755, Who::Saver, Who::Saver, 0600, Shape::LongName, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- ACLs and extended attributes ------------------------------------------

struct AttributesCase {
    const char* name;
    bool byNobody;          // saved by "nobody" (root sets up the file for it)
    const char* attribute;  // set on the file before, with the value "kept"
    bool replaced;          // by a copy (a new inode); else written in place
};

void PrintTo(const AttributesCase& c, std::ostream* os) { *os << c.name; }

class Attributes : public ::testing::TestWithParam<AttributesCase> {};

// A file shared through an ACL entry ("nobody" may write it, the group may
// only read) keeps that ACL, its mask and its attributes: copied to the
// replacement, or, where one cannot be given to a copy, kept by writing in
// place.
TEST_P(Attributes, AreKeptByTheSave) {
    const AttributesCase& c = GetParam();
    if (c.byNobody && ::geteuid() != 0) GTEST_SKIP() << "only root can set an attribute that the saving user cannot";
    Folder folder;
    if (c.byNobody && !hostile::CanTestPermissions(folder.path())) {
        GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
    }
    const std::string work = folder / "work";
    ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
    const std::string path = work + "/values.TXT";
    ASSERT_TRUE(WriteFile(path, kOld, 0640));
    if (c.byNobody) {
        ASSERT_EQ(::chown(work.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    acl_t acl = ::acl_from_text("u::rw-,u:65534:rw-,g::r--,m::rw-,o::---");
    ASSERT_NE(acl, nullptr);
    const int set = ::acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl);
    ::acl_free(acl);
    if (set != 0 && errno == ENOTSUP) GTEST_SKIP() << folder.path() << " has no ACLs";
    ASSERT_EQ(set, 0);
    if (::setxattr(path.c_str(), c.attribute, "kept", 4, 0) != 0 && errno == ENOTSUP) {
        GTEST_SKIP() << folder.path() << " has no " << c.attribute << " attributes";
    }
    auto aclText = [&] {
        acl_t now = ::acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
        char* text = now ? ::acl_to_any_text(now, nullptr, ',', TEXT_NUMERIC_IDS) : nullptr;
        std::string result = text ? text : "<none>";
        ::acl_free(text);
        ::acl_free(now);
        return result;
    };
    const std::string before = aclText();
    struct stat old {};
    ASSERT_EQ(::stat(path.c_str(), &old), 0);

    hostile::ChildResult r = RunInChild(
        [&] {
            ::alarm(10);
            return Thrown([&] { pelmora::SaveFile(path, kShortNew); });
        },
        c.byNobody);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.text, "<nothing thrown>");
    EXPECT_EQ(ReadFile(path), kShortNew);
    EXPECT_EQ(aclText(), before);
    char value[16] = {};
    EXPECT_EQ(::getxattr(path.c_str(), c.attribute, value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    struct stat now {};
    ASSERT_EQ(::stat(path.c_str(), &now), 0);
    EXPECT_EQ(now.st_mode, old.st_mode);
    EXPECT_EQ(now.st_ino != old.st_ino, c.replaced);
    EXPECT_EQ(folder.NamesIn(work), std::vector<std::string>{"values.TXT"});
}

INSTANTIATE_TEST_SUITE_P(
    Save, Attributes,
    ::testing::Values(AttributesCase{"AccessAclAndUserAttribute", false, "user.pelmora", true},
                      // Only a privileged process may set security.* attributes.
                      AttributesCase{"AttributeTheUserCannotSet", true, "security.pelmora", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A save cut short -------------------------------------------------------

struct CutShortCase {
    const char* name;
    bool hardLink;                 // the file has a second name: written in place
    bool namedTemporary;           // as on a file system without unnamed files
    std::optional<pelmora::SaveStep> killedAt;
    std::string left;              // the file's content afterwards
    bool leftover;                 // a hidden file of the dead process is beside it
};

void PrintTo(const CutShortCase& c, std::ostream* os) { *os << c.name; }

class CutShort : public ::testing::TestWithParam<CutShortCase> {};

// The process is killed at each step of a save. The file reads as the old
// document or the new one (line breaks after a document's closing brace are
// nothing to its readers); what a dead process left beside it is removed by
// the next save in that folder, by another process.
TEST_P(CutShort, LeavesAWholeFileAndTheNextSaveLeavesNothingElse) {
    const CutShortCase& c = GetParam();
    Folder folder;
    const std::string path = folder / "values.TXT";
    ASSERT_TRUE(WriteFile(path, kOld));
    std::vector<std::string> names = {"values.TXT"};
    if (c.hardLink) {
        ASSERT_EQ(::link(path.c_str(), (folder / "z").c_str()), 0);
        names.push_back("z");
    }
    pelmora::SaveWatch watch;
    watch.namedTemporary = c.namedTemporary;
    watch.reached = [&](pelmora::SaveStep step) {
        if (step == c.killedAt) ::raise(SIGKILL);
    };
    hostile::ChildResult r = RunInChild(
        [&] {
            ::alarm(10);
            return Thrown([&] { pelmora::SaveFile(path, kShortNew, watch); });
        },
        false);
    EXPECT_EQ(r.signal, c.killedAt ? SIGKILL : 0);
    EXPECT_EQ(ReadFile(path), c.left);
    EXPECT_EQ(folder.Names().size(), names.size() + (c.leftover ? 1 : 0));

    const std::string next = "{\\rtf1 the next save}\n";
    EXPECT_EQ(Thrown([&] { pelmora::SaveFile(path, next); }), "<nothing thrown>");
    EXPECT_EQ(ReadFile(path), next);
    EXPECT_EQ(folder.Names(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Save, CutShort,
    ::testing::Values(
        CutShortCase{"BeforeTheCopyIsNamed", false, false, pelmora::SaveStep::CopyComplete, kOld, false},
        CutShortCase{"BeforeTheNamedCopyIsLinked", false, true, pelmora::SaveStep::CopyComplete, kOld, true},
        CutShortCase{"BetweenLinkAndRename", false, false, pelmora::SaveStep::CopyLinked, kOld, true},
        CutShortCase{"NamedCopyCompleted", false, true, std::nullopt, kShortNew, false},
        CutShortCase{"InPlaceBeforeTheCut", true, false, pelmora::SaveStep::WrittenInPlace,
                     kShortNew + std::string(kOld.size() - kShortNew.size(), '\n'), false},
        // The shorter text in place: the old tail is cut off.
        CutShortCase{"InPlaceCompleted", true, false, std::nullopt, kShortNew, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A file left under the hidden name that a save tries first (by a process
// that had this one's number): the next try takes another name.
TEST(Save, TriesAnotherHiddenNameWhenTheFirstIsTaken) {
    Folder folder;
    const std::string path = folder / "values.TXT";
    hostile::ChildResult r = RunInChild(
        [&] {
            ::alarm(10);
            const std::string taken = folder / (".pelmora-" + std::to_string(::getpid()) + "-1");
            if (!WriteFile(taken, kOld)) return std::string("<could not leave the file>");
            pelmora::SaveWatch watch;
            watch.namedTemporary = true;
            return Thrown([&] { pelmora::SaveFile(path, kShortNew, watch); }) + " " + ReadFile(taken);
        },
        false);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.text, "<nothing thrown> " + kOld);
    EXPECT_EQ(ReadFile(path), kShortNew);
}

// --- What reaches the disk, in which order ----------------------------------

// The test program is linked with -Wl,--wrap=fsync: every fsync of the
// saving code passes through here, and while `syncs` is set the file it
// flushes is written down (its inode, and whether it is a folder).
struct Synced {
    ino_t inode;
    bool folder;
    bool operator==(const Synced&) const = default;
};
std::vector<Synced>* syncs = nullptr;

void PrintTo(const Synced& s, std::ostream* os) { *os << (s.folder ? "folder " : "file ") << s.inode; }

}  // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd) {
    struct stat st {};
    if (syncs != nullptr && ::fstat(fd, &st) == 0) syncs->push_back({st.st_ino, S_ISDIR(st.st_mode)});
    return __real_fsync(fd);
}

namespace {

class Flushes : public ::testing::TestWithParam<bool> {};

// The copy's text reaches the disk before it takes the name, and the
// folder's new entry after: a crash keeps the old file or the whole new one.
TEST_P(Flushes, TheFileThenItsFolder) {
    const bool existing = GetParam();
    Folder folder;
    const std::string path = folder / "values.TXT";
    if (existing) {
        ASSERT_TRUE(WriteFile(path, kOld));
    }
    std::vector<Synced> seen;
    syncs = &seen;
    const std::string thrown = Thrown([&] { pelmora::SaveFile(path, kShortNew); });
    syncs = nullptr;
    EXPECT_EQ(thrown, "<nothing thrown>");
    struct stat file {};
    struct stat dir {};
    ASSERT_EQ(::stat(path.c_str(), &file), 0);
    ASSERT_EQ(::stat(folder.path().c_str(), &dir), 0);
    EXPECT_EQ(seen, (std::vector<Synced>{{file.st_ino, false}, {dir.st_ino, true}}));
}

INSTANTIATE_TEST_SUITE_P(Save, Flushes, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "ExistingFile" : "NewFile"); });

}  // namespace
