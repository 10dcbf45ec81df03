#include "core/savefile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "engine/error.h"

namespace pelmora {

std::string CannotOpenMessage(std::string_view path, int err) {
    return "Cannot open file \"" + std::string(path) + "\". " + SystemErrorText(err);
}

std::string CannotCreateMessage(std::string_view path, int err) {
    return "Cannot create file \"" + std::string(path) + "\". " + SystemErrorText(err);
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

namespace {

[[noreturn]] void CannotCreate(const std::string& path, int err) { throw Error(CannotCreateMessage(path, err)); }
[[noreturn]] void WriteFailed() { throw Error(kFailedToSaveStream); }

void Reached(const SaveWatch& watch, SaveStep step) {
    if (watch.reached) watch.reached(step);
}

// A write beyond the process's file size limit raises SIGXFSZ, whose default
// action ends the program, and the values in the pane with it. Ignored for
// the length of a save, the write fails with EFBIG instead and the save
// reports it.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &saved_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &saved_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction saved_ {};
};

// The folder part of a path with its trailing "/"; empty for a bare name.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The descriptor's file under /proc, through which it can be reopened or linked.
std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The file that writing `path` reaches: symbolic links are followed to the
// end, also to a target that does not exist yet (where realpath gives up).
// Past 40 links `path` comes back as it is, and opening it reports the loop.
std::string FollowLinks(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::string to(PATH_MAX, '\0');
        ssize_t n = ::readlink(at.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= to.size()) return at;
        to.resize(static_cast<std::size_t>(n));
        at = to.front() == '/' ? to : FolderOf(at) + to;
    }
    return path;
}

// The file that receives the new text before it takes the old one's place:
// unnamed until it is complete where the file system allows (O_TMPFILE), so
// that a crash leaves nothing; otherwise under a short hidden name, short so
// that a target name of up to 255 bytes still leaves room. A name it holds
// when it goes is removed.
class Temporary {
public:
    ~Temporary() {
        fd_.Reset();
        if (!name_.empty()) ::unlink(name_.c_str());
    }

    // False, with errno set, when no file can be made in `folder`.
    bool Open(const std::string& folder, mode_t mode, bool named) {
        if (!named) {
            fd_.Reset(::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd_.valid()) return true;
            // Kernels and file systems without unnamed files say so in one of these ways.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = HiddenName(folder);
            fd_.Reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode));
            if (fd_.valid()) {
                name_ = std::move(name);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        errno = EEXIST;
        return false;
    }

    int fd() const { return fd_.get(); }

    // Writes `data` and flushes it to the disk; 0 or the errno value.
    int Write(std::string_view data) {
        if (int err = WriteAll(fd_.get(), data)) return err;
        return ::fsync(fd_.get()) == 0 ? 0 : errno;
    }

    // Puts the complete file under `target`: a new name is linked to the
    // unnamed file, and a named one is renamed. `replace` allows an existing
    // `target` to be replaced; linking cannot do that, so the unnamed file is
    // first linked under a hidden name and then renamed. False, with errno
    // set, when the name cannot be given.
    bool Publish(const std::string& target, bool replace) {
        if (name_.empty()) {
            if (!replace) return Link(target);
            for (int attempt = 0; name_.empty(); ++attempt) {
                std::string name = HiddenName(FolderOf(target));
                if (Link(name)) name_ = std::move(name);
                else if (errno != EEXIST || attempt == 100) return false;
            }
        }
        if (::rename(name_.c_str(), target.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

private:
    static std::string HiddenName(const std::string& folder) {
        static unsigned counter = 0;
        return folder + ".pelmora-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    }

    // Links the unnamed file under `name`, through /proc or, where /proc is
    // missing, by the descriptor itself (which needs privileges).
    bool Link(const std::string& name) {
        if (::linkat(AT_FDCWD, ProcPath(fd_.get()).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        int err = errno;
        if (err != EEXIST && ::linkat(fd_.get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        errno = err;
        return false;
    }

    FileDescriptor fd_;
    std::string name_;
};

// Flushes the folder of `target`, so that a name just given survives a crash.
// The file's text is already on the disk; a folder that cannot be opened
// for reading is left to the system.
void FlushFolder(const std::string& target) {
    const std::string folder = FolderOf(target);
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

// A new file: the complete text appears under the name at once.
void CreateByCopy(const std::string& path, const std::string& target, std::string_view data, const SaveWatch& watch) {
    Temporary copy;
    if (!copy.Open(FolderOf(target), 0666, watch.namedTemporary)) CannotCreate(path, errno);
    if (copy.Write(data) != 0) WriteFailed();
    Reached(watch, SaveStep::CopyComplete);
    if (!copy.Publish(target, false)) CannotCreate(path, errno);
    FlushFolder(target);
}

// Replaces the regular file `target`, described by `st`, by a complete copy
// that keeps its mode, owner and group. False where a copy cannot stand for
// the file and it is to be written in place instead.
bool ReplaceByCopy(const std::string& target, const struct stat& st, std::string_view data, const SaveWatch& watch) {
    if (st.st_nlink > 1) return false;  // the other names would keep the old text
    Temporary copy;
    if (!copy.Open(FolderOf(target), 0600, watch.namedTemporary)) return false;
    struct stat made {};
    if (::fstat(copy.fd(), &made) != 0) return false;
    // Only a privileged process may give a file away; an ordinary one may
    // still set a group it belongs to.
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && ::fchown(copy.fd(), st.st_uid, st.st_gid) != 0) {
        return false;
    }
    if (::fchmod(copy.fd(), st.st_mode & 07777) != 0) return false;
    if (int err = copy.Write(data)) {
        // With no room for the old and the new text at once, the new one
        // can still go where the old one is.
        if (err == ENOSPC || err == EDQUOT) return false;
        WriteFailed();
    }
    Reached(watch, SaveStep::CopyComplete);
    if (!copy.Publish(target, true)) return false;  // e.g. another user's file in a sticky folder
    FlushFolder(target);
    return true;
}

// The old text of a file written in place, up to this size, is kept in
// memory and put back when the new text cannot be written whole.
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

// Writes `data` over the regular file open for writing as `fd`, from its
// start, and only then cuts off the rest of the old text: the file is never
// empty on the way, and a crash between the two leaves the new document
// followed by a tail that readers of the document ignore after its closing
// brace. When the old text may be read it is kept, and put back if the
// write fails part way.
void WriteInPlace(int fd, const struct stat& st, std::string_view data, const SaveWatch& watch) {
    std::string old;
    bool kept = false;
    FileDescriptor reader(::open(ProcPath(fd).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (reader.valid() && st.st_size <= kMaxKeptBytes) kept = ReadAll(reader.get(), st.st_size, old);
    if (WriteAll(fd, data) == 0) {
        Reached(watch, SaveStep::WrittenInPlace);
        if (::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0) return;
    }
    if (kept && ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old) == 0) ::ftruncate(fd, st.st_size);
    WriteFailed();
}

// A device or a FIFO with a reader: written as a stream.
void WriteStream(FileDescriptor& file, std::string_view data) {
    int flags = ::fcntl(file.get(), F_GETFL);
    if (flags >= 0) ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (WriteAll(file.get(), data) != 0 || file.Close() != 0) WriteFailed();
}

}  // namespace

void SaveFile(const std::string& path, std::string_view data, const SaveWatch& watch) {
    FileSizeSignalIgnored fileSizeSignal;
    const std::string target = FollowLinks(path);
    // Opening the file for writing, before anything else and without
    // changing it, asks the system whether this user may write it; a FIFO
    // without a reader fails at once instead of waiting for one.
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        if (errno != ENOENT) CannotCreate(path, errno);
        CreateByCopy(path, target, data, watch);
        return;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) CannotCreate(path, errno);
    if (!S_ISREG(st.st_mode)) {
        WriteStream(file, data);
        return;
    }
    if (ReplaceByCopy(target, st, data, watch)) return;
    WriteInPlace(file.get(), st, data, watch);
    if (file.Close() != 0) WriteFailed();
}

}  // namespace pelmora
