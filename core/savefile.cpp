#include "core/savefile.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "engine/error.h"

namespace pelmora {

std::string CannotOpenMessage(std::string_view path, int err) {
    return "Cannot open file \"" + std::string(path) + "\". " + SystemErrorText(err);
}

std::string CannotCreateMessage(std::string_view path, int err) {
    return CannotCreateMessage(path, SystemErrorText(err));
}

std::string CannotCreateMessage(std::string_view path, std::string_view reason) {
    return "Cannot create file \"" + std::string(path) + "\". " + std::string(reason);
}

std::string AddDefaultExtension(std::string path, std::string_view extension) {
    std::size_t slash = path.rfind('/');
    std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    if (name < path.size() && path.find('.', name) == std::string::npos) {
        path += '.';
        path += extension;
    }
    return path;
}

bool OnPseudoFileSystem(const std::string& folder) {
    struct stat st {};
    struct stat dev {};
    struct stat root {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    // The file system that holds /dev, whatever its type (a tmpfs in containers).
    if (::stat("/dev", &dev) == 0 && ::stat("/", &root) == 0 && dev.st_dev != root.st_dev && st.st_dev == dev.st_dev) {
        return true;
    }
    // Otherwise by type: mountinfo lines are "id parent major:minor root mount-point options... - type source ...".
    static const char* const kKernelTypes[] = {
        "proc",   "sysfs",       "devtmpfs",  "devpts", "debugfs",    "tracefs",  "securityfs",
        "cgroup", "cgroup2",     "pstore",    "bpf",    "configfs",   "efivarfs", "fusectl",
        "mqueue", "binfmt_misc", "hugetlbfs", "autofs", "rpc_pipefs", "nsfs",     "selinuxfs"};
    std::FILE* mounts = std::fopen("/proc/self/mountinfo", "re");
    if (mounts == nullptr) return false;
    const std::string device = std::to_string(::major(st.st_dev)) + ":" + std::to_string(::minor(st.st_dev));
    bool pseudo = false;
    char* line = nullptr;
    std::size_t size = 0;
    while (!pseudo && ::getline(&line, &size, mounts) > 0) {
        const std::string_view text(line);
        std::size_t first = text.find(' '), second = text.find(' ', first + 1);
        std::size_t third = text.find(' ', second + 1), dash = text.find(" - ");
        if (third == std::string_view::npos || dash == std::string_view::npos) continue;
        if (text.substr(second + 1, third - second - 1) != device) continue;
        const std::string_view type = text.substr(dash + 3, text.find(' ', dash + 3) - dash - 3);
        for (const char* kernel : kKernelTypes) pseudo = pseudo || type == kernel;
    }
    std::free(line);
    std::fclose(mounts);
    return pseudo;
}

namespace {

// How often a save starts over when the folder changes under it (a name
// that appears, or turns into a link, between two steps).
constexpr int kTries = 10;
// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

[[noreturn]] void WriteFailed() { throw Error(kFailedToSaveStream); }

void Reached(const SaveWatch& watch, SaveStep step) {
    if (watch.reached) watch.reached(step);
}

bool NoRoom(int err) { return err == ENOSPC || err == EDQUOT; }

// A write beyond the process's file size limit raises SIGXFSZ, and a write
// to a reader that has gone SIGPIPE; the default action of both ends the
// program, and the values in the pane with it. Ignored for the length of a
// save, the write fails with EFBIG or EPIPE instead and the save reports it.
class SignalsIgnored {
public:
    SignalsIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &savedFileSize_);
        ::sigaction(SIGPIPE, &ignore, &savedPipe_);
    }
    ~SignalsIgnored() {
        ::sigaction(SIGXFSZ, &savedFileSize_, nullptr);
        ::sigaction(SIGPIPE, &savedPipe_, nullptr);
    }
    SignalsIgnored(const SignalsIgnored&) = delete;
    SignalsIgnored& operator=(const SignalsIgnored&) = delete;

private:
    struct sigaction savedFileSize_ {};
    struct sigaction savedPipe_ {};
};

// The descriptor's file under /proc, through which it can be linked.
std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The names of a path between its slashes, in order. A trailing slash asks
// for a folder: it becomes a last "." (which no file can be).
std::deque<std::string> Names(std::string_view path) {
    std::deque<std::string> names;
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > at) names.emplace_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    if (!path.empty() && path.back() == '/') names.emplace_back(".");
    return names;
}

// The kernel's link protection (fs.protected_symlinks): a link in a sticky
// folder that others may write is followed only by its owner, or when the
// folder's owner made it. Applied here to every link of a path; the kernel
// looks at the last one only, but one on the way can lead a save as well.
bool MayFollow(const struct stat& folder, const struct stat& link) {
    if (link.st_uid == ::geteuid()) return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
    return folder.st_uid == link.st_uid;
}

// The kernel's protection of files in sticky folders, at its strictest
// (fs.protected_regular=2, fs.protected_fifos=2): a regular file or a FIFO
// that someone else put in a sticky folder that others or its group may
// write is not opened for writing, unless the folder's owner owns it.
bool Planted(const struct stat& folder, const struct stat& file) {
    if (!(folder.st_mode & S_ISVTX) || !(folder.st_mode & (S_IWOTH | S_IWGRP))) return false;
    if (!S_ISREG(file.st_mode) && !S_ISFIFO(file.st_mode)) return false;
    return file.st_uid != ::geteuid() && file.st_uid != folder.st_uid;
}

// /dev/null, /dev/zero and /dev/full: written as a stream, never blocking.
bool MemoryDevice(const struct stat& st) {
    if (!S_ISCHR(st.st_mode) || ::major(st.st_rdev) != 1) return false;
    const unsigned minor = ::minor(st.st_rdev);
    return minor == 3 || minor == 5 || minor == 7;
}

// The regular file's text is in memory as long as the in-place write needs
// it; past this size it is not kept (and not put back on a failure).
constexpr off_t kMaxKeptBytes = off_t(64) << 20;

bool ReadAll(int fd, off_t size, std::string& out) {
    out.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Hidden names of our temporary files: ".pelmora-<pid>-<try>". The try
// changes the name, so a name left by a process that is gone (or a file
// someone put there) only costs a try.
std::string HiddenName(int attempt) { return ".pelmora-" + std::to_string(::getpid()) + "-" + std::to_string(attempt); }

// The pid in a hidden name of ours; 0 when `name` is not one.
pid_t HiddenNamePid(std::string_view name) {
    constexpr std::string_view kPrefix = ".pelmora-";
    if (name.substr(0, kPrefix.size()) != kPrefix) return 0;
    name.remove_prefix(kPrefix.size());
    std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size()) return 0;
    auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash > 9 || !digits(name.substr(0, dash)) || !digits(name.substr(dash + 1))) return 0;
    return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

// Whether the hidden file `name` (ours, regular) was left by a save that
// is over: a save holds a lock on its file from before the file is named
// until it goes, and its process is alive. Without a way to open the file
// (mode 0000), the process alone decides.
bool Stale(int folder, const std::string& name, pid_t pid) {
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) return false;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    FileDescriptor file(::openat(folder, name.c_str(), O_RDONLY | flags));
    if (!file.valid()) file.Reset(::openat(folder, name.c_str(), O_WRONLY | flags));
    if (!file.valid()) return true;
    return ::flock(file.get(), LOCK_EX | LOCK_NB) == 0;
}

// Removes the hidden files that saves of this user, in processes that are
// gone, left in `folder` (a crash between naming a copy and renaming it).
void RemoveStaleTemporaries(int folder) {
    int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;  // a folder we may not read: left as it is
    DIR* d = ::fdopendir(listing);
    if (d == nullptr) {
        ::close(listing);
        return;
    }
    std::vector<std::pair<std::string, pid_t>> found;
    while (dirent* e = ::readdir(d)) {
        if (pid_t pid = HiddenNamePid(e->d_name)) found.emplace_back(e->d_name, pid);
    }
    ::closedir(d);
    for (const auto& [name, pid] : found) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (Stale(folder, name, pid)) ::unlinkat(folder, name.c_str(), 0);
    }
}

// Gives `to` the access ACL and the extended attributes of `from`. False
// when one of them cannot be read or given (an attribute only a privileged
// process may set, a file we may not read).
bool CopyAttributes(int from, int to) {
    // The ACL is set even when it is only the mode's, so that entries the
    // copy took from the folder's default ACL do not stay.
    if (acl_t acl = ::acl_get_fd(from)) {
        const int set = ::acl_set_fd(to, acl);
        ::acl_free(acl);
        if (set != 0) return false;
    } else if (errno != ENOTSUP) {
        return false;
    }
    std::vector<char> names;
    for (;;) {
        ssize_t size = ::flistxattr(from, nullptr, 0);
        if (size < 0) return errno == ENOTSUP;
        names.resize(static_cast<std::size_t>(size));
        size = ::flistxattr(from, names.data(), names.size());
        if (size >= 0) {
            names.resize(static_cast<std::size_t>(size));
            break;
        }
        if (errno != ERANGE) return false;
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size(); at += std::char_traits<char>::length(names.data() + at) + 1) {
        const char* name = names.data() + at;
        const std::string_view n(name);
        if (n == "system.posix_acl_access" || n == "system.posix_acl_default") continue;  // the ACL, above
        ssize_t size = ::fgetxattr(from, name, nullptr, 0);
        if (size < 0) return false;
        value.resize(static_cast<std::size_t>(size));
        size = ::fgetxattr(from, name, value.data(), value.size());
        if (size < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0) return false;
    }
    return true;
}

// Where a save writes: the folder, open as the kernel found it, and the
// last name in it; `st` describes what that name holds, when it exists.
struct Place {
    FileDescriptor folder;
    std::string name;
    bool exists = false;
    struct stat st {};
};

// The file that receives the new text before it takes the old one's place:
// unnamed until it is complete where the file system allows (O_TMPFILE), so
// that a crash leaves nothing; otherwise under a short hidden name, short so
// that a target name of up to 255 bytes still leaves room. It is locked
// from before it has a name, which tells a later save that it is not
// stale. A name it holds when it goes is removed.
class Temporary {
public:
    explicit Temporary(int folder) : folder_(folder) {}
    ~Temporary() {
        fd_.Reset();
        if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    // False, with errno set, when no file can be made in the folder.
    bool Open(mode_t mode, bool named) {
        if (!named) {
            fd_.Reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd_.valid()) {
                Lock();
                return true;
            }
            // Kernels and file systems without unnamed files say so in one of these ways.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
        }
        for (int attempt = 1; attempt <= 100; ++attempt) {
            std::string name = HiddenName(attempt);
            fd_.Reset(
                ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
            if (fd_.valid()) {
                name_ = std::move(name);
                Lock();
                return true;
            }
            if (errno != EEXIST) return false;
        }
        errno = EEXIST;
        return false;
    }

    int fd() const { return fd_.get(); }

    // Takes the disk space of `size` bytes, so that a full disk shows before
    // anything is written; 0 or the errno value. A file system that cannot
    // reserve space is written without.
    int Reserve(off_t size) {
        if (size == 0 || ::fallocate(fd_.get(), 0, 0, size) == 0) return 0;
        return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
    }

    // Writes `data` and flushes it to the disk; 0 or the errno value.
    int Write(std::string_view data) {
        if (int err = WriteAll(fd_.get(), data)) return err;
        return ::fsync(fd_.get()) == 0 ? 0 : errno;
    }

    // Gives the complete file the hidden name it is renamed from (an unnamed
    // file cannot be renamed). False, with errno set, when it cannot.
    bool Name() {
        for (int attempt = 1; name_.empty(); ++attempt) {
            std::string name = HiddenName(attempt);
            if (Link(name)) {
                name_ = std::move(name);
            } else if (errno != EEXIST || attempt == 100) {
                return false;
            }
        }
        return true;
    }

    // Puts the complete file under `target`, replacing what is there. False,
    // with errno set, when the folder refuses.
    bool Replace(const std::string& target) {
        if (!Name() || ::renameat(folder_, name_.c_str(), folder_, target.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

    // Puts the complete file under `target`, a name that is free. False with
    // EEXIST when it has been taken meanwhile, or another errno value.
    bool Create(const std::string& target) {
        if (name_.empty()) return Link(target);
        int moved = ::renameat2(folder_, name_.c_str(), folder_, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            moved = ::renameat(folder_, name_.c_str(), folder_, target.c_str());  // a file system without it
        }
        if (moved != 0) return false;
        name_.clear();
        return true;
    }

private:
    // Where the file system has no locks, a later save goes by the process
    // in the name alone.
    void Lock() { ::flock(fd_.get(), LOCK_EX | LOCK_NB); }

    // Links the unnamed file under `name`, through /proc or, where /proc is
    // missing, by the descriptor itself (which needs privileges).
    bool Link(const std::string& name) {
        if (::linkat(AT_FDCWD, ProcPath(fd_.get()).c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        int err = errno;
        if (err != EEXIST && ::linkat(fd_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        errno = err;
        return false;
    }

    int folder_;
    FileDescriptor fd_;
    std::string name_;
};

// Flushes the folder, so that a name just given survives a crash. The
// file's text is already on the disk; a folder that cannot be opened for
// reading is left to the system.
void FlushFolder(int folder) {
    FileDescriptor dir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

class Save {
public:
    Save(const std::string& path, std::string_view data, const SaveWatch& watch)
        : path_(path), data_(data), watch_(watch) {}

    void Run() {
        if (path_.empty()) CannotCreate(ENOENT);
        if (path_.size() >= PATH_MAX) CannotCreate(ENAMETOOLONG);
        for (int attempt = 1;; ++attempt) {
            const bool last = attempt == kTries;
            Place place = Find();
            RemoveStaleTemporaries(place.folder.get());
            if (!place.exists) {
                if (CreateByCopy(place)) return;
                if (last) CannotCreate(EEXIST);
                continue;  // the name was taken meanwhile
            }
            CheckKind(place.folder.get(), place.st);
            // O_CREAT, so that the kernel's protections of sticky folders
            // apply where they are on; O_NOFOLLOW, so that a link put there
            // since is looked at again instead of followed.
            FileDescriptor file(::openat(place.folder.get(), place.name.c_str(),
                                         O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
            if (!file.valid()) {
                if (errno == ELOOP && !last) continue;
                CannotCreate(errno);
            }
            struct stat st {};
            if (::fstat(file.get(), &st) != 0) CannotCreate(errno);
            CheckKind(place.folder.get(), st);  // what was opened, whatever the name held before
            if (!S_ISREG(st.st_mode)) {
                WriteStream(file);
                return;
            }
            if (ReplaceByCopy(place, file.get(), st)) return;
            WriteInPlace(file.get(), st);
            if (file.Close() != 0) WriteFailed();
            return;
        }
    }

private:
    [[noreturn]] void CannotCreate(int err) const { throw Error(CannotCreateMessage(path_, err)); }

    // Looks the path up one name at a time, each opened by the kernel from
    // the folder before it without following it; a link is checked, read
    // from the very link checked, and its target looked up in its place.
    Place Find() const {
        std::deque<std::string> names = Names(path_);
        FileDescriptor folder(::open(path_.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid()) CannotCreate(errno);
        int links = 0;
        while (!names.empty()) {
            std::string name = std::move(names.front());
            names.pop_front();
            const bool lastName = names.empty();
            if (lastName && (name == "." || name == "..")) CannotCreate(EISDIR);
            if (name == ".") continue;
            FileDescriptor at(::openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            if (!at.valid()) {
                if (lastName && errno == ENOENT) return Place{std::move(folder), std::move(name), false, {}};
                CannotCreate(errno);
            }
            struct stat st {};
            if (::fstat(at.get(), &st) != 0) CannotCreate(errno);
            if (S_ISLNK(st.st_mode)) {
                struct stat dir {};
                if (::fstat(folder.get(), &dir) != 0) CannotCreate(errno);
                if (!MayFollow(dir, st)) CannotCreate(EACCES);
                if (++links > kMaxLinks) CannotCreate(ELOOP);
                std::string target(PATH_MAX, '\0');
                ssize_t n = ::readlinkat(at.get(), "", target.data(), target.size());
                if (n < 0) CannotCreate(errno);
                if (n == 0) CannotCreate(ENOENT);
                if (static_cast<std::size_t>(n) >= target.size()) CannotCreate(ENAMETOOLONG);
                target.resize(static_cast<std::size_t>(n));
                std::deque<std::string> more = Names(target);
                names.insert(names.begin(), more.begin(), more.end());
                if (target.front() == '/') {
                    folder.Reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                    if (!folder.valid()) CannotCreate(errno);
                }
                continue;
            }
            if (lastName) return Place{std::move(folder), std::move(name), true, st};
            if (!S_ISDIR(st.st_mode)) CannotCreate(ENOTDIR);
            folder = std::move(at);
        }
        CannotCreate(EISDIR);  // "/" and names that end in its folders
    }

    // Refuses what the user's own shell would not open for writing in its
    // folder, and what is not a file to save a document in.
    void CheckKind(int folder, const struct stat& st) const {
        if (S_ISDIR(st.st_mode)) CannotCreate(EISDIR);
        struct stat dir {};
        if (::fstat(folder, &dir) != 0) CannotCreate(errno);
        if (Planted(dir, st)) CannotCreate(EACCES);
        if (!S_ISREG(st.st_mode) && !MemoryDevice(st)) throw Error(CannotCreateMessage(path_, kNotRegularFile));
    }

    // A new file: the complete text appears under the name at once. False
    // when the name has been taken meanwhile.
    bool CreateByCopy(const Place& place) const {
        Temporary copy(place.folder.get());
        if (!copy.Open(0666, watch_.namedTemporary)) CannotCreate(errno);
        if (copy.Reserve(static_cast<off_t>(data_.size())) != 0 || copy.Write(data_) != 0) WriteFailed();
        Reached(watch_, SaveStep::CopyComplete);
        if (!copy.Create(place.name)) {
            if (errno == EEXIST) return false;
            CannotCreate(errno);
        }
        FlushFolder(place.folder.get());
        return true;
    }

    // Replaces the regular file open as `fd` (described by `st`) by a
    // complete copy that keeps what the file is. False where a copy cannot
    // stand for the file and it is to be written in place instead.
    bool ReplaceByCopy(const Place& place, int fd, const struct stat& st) const {
        if (st.st_nlink > 1) return false;  // the other names would keep the old text
        Temporary copy(place.folder.get());
        if (!copy.Open(0600, watch_.namedTemporary)) return false;
        struct stat made {};
        if (::fstat(copy.fd(), &made) != 0) return false;
        // Only a privileged process may give a file away; an ordinary one may
        // still set a group it belongs to.
        if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && ::fchown(copy.fd(), st.st_uid, st.st_gid) != 0) {
            return false;
        }
        if (!CopyAttributes(fd, copy.fd())) return false;
        if (::fchmod(copy.fd(), st.st_mode & 07777) != 0) return false;
        if (int err = copy.Reserve(static_cast<off_t>(data_.size()))) {
            // With no room for the old and the new text at once, the new one
            // can still go where the old one is.
            if (NoRoom(err)) return false;
            WriteFailed();
        }
        if (int err = copy.Write(data_)) {
            if (NoRoom(err)) return false;
            WriteFailed();
        }
        Reached(watch_, SaveStep::CopyComplete);
        if (!copy.Name()) return false;
        Reached(watch_, SaveStep::CopyLinked);
        if (!copy.Replace(place.name)) return false;  // e.g. another user's file in a sticky folder
        FlushFolder(place.folder.get());
        return true;
    }

    // Writes the text over the regular file open as `fd`, from its start.
    // The room for it is taken first, so a full disk or the file size limit
    // fails before the old text is touched. A shorter text is followed by
    // line breaks up to the old length, which readers of the document skip
    // after its closing brace, and only once that is on the disk is the file
    // cut: a crash leaves the old document or the new one. When the old text
    // may be read it is kept, and put back if the write fails part way.
    void WriteInPlace(int fd, const struct stat& st) const {
        const off_t size = static_cast<off_t>(data_.size());
        const off_t covered = std::max(size, st.st_size);
        rlimit limit{};
        if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            static_cast<rlim_t>(covered) > limit.rlim_cur) {
            WriteFailed();
        }
        if (covered > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, covered) != 0 && (NoRoom(errno) || errno == EFBIG)) {
            WriteFailed();
        }
        std::string old;
        bool kept = false;
        FileDescriptor reader(::open(ProcPath(fd).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (reader.valid() && st.st_size <= kMaxKeptBytes) kept = ReadAll(reader.get(), st.st_size, old);
        std::string padded;
        std::string_view text = data_;
        if (size < st.st_size) {
            padded.reserve(static_cast<std::size_t>(st.st_size));
            padded.append(data_).append(static_cast<std::size_t>(st.st_size - size), '\n');
            text = padded;
        }
        if (::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, text) == 0 && ::fsync(fd) == 0) {
            Reached(watch_, SaveStep::WrittenInPlace);
            if (size >= st.st_size || (::ftruncate(fd, size) == 0 && ::fsync(fd) == 0)) return;
        }
        if (kept && ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old) == 0) ::ftruncate(fd, st.st_size);
        WriteFailed();
    }

    // /dev/null, /dev/zero or /dev/full: written as a stream.
    void WriteStream(FileDescriptor& file) const {
        if (WriteAll(file.get(), data_) != 0 || file.Close() != 0) WriteFailed();
    }

    const std::string& path_;
    std::string_view data_;
    const SaveWatch& watch_;
};

}  // namespace

void SaveFile(const std::string& path, std::string_view data, const SaveWatch& watch) {
    SignalsIgnored signals;
    Save(path, data, watch).Run();
}

}  // namespace pelmora
