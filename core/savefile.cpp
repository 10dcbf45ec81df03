#include "core/savefile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "engine/error.h"

namespace pelmora {

std::string SystemErrorText(int err) {
    std::string text = std::strerror(err);
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    return text;
}

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

// Closes a descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close reports a failed write.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

[[noreturn]] void CannotCreate(const std::string& path, int err) { throw Error(CannotCreateMessage(path, err)); }

// The old content of a regular file written in place, up to this size, is
// kept in memory and put back when the new content cannot be written whole.
constexpr off_t kMaxKeptBytes = off_t(64) << 20;

// Reads the whole file; false when it cannot be read.
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

// Opens an existing file for writing and truncates it; a FIFO without a
// reader fails at once instead of waiting for one. A regular file that we
// may also read gets its old content back when the new one cannot be
// written whole.
void WriteInPlace(const std::string& path, const std::string& target, std::string_view data, bool regular) {
    std::string old;
    bool kept = false;
    int raw = regular ? ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY) : -1;
    if (raw >= 0) {
        struct stat st {};
        kept = ::fstat(raw, &st) == 0 && st.st_size <= kMaxKeptBytes && ReadAll(raw, st.st_size, old);
        if (::ftruncate(raw, 0) != 0) {
            ::close(raw);
            throw Error(kFailedToSaveStream);
        }
    } else {
        raw = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    Descriptor fd(raw);
    if (fd.get() < 0) CannotCreate(path, errno);
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (WriteAll(fd.get(), data) && fd.Close()) return;
    if (kept && fd.get() >= 0 && ::ftruncate(fd.get(), 0) == 0 && ::lseek(fd.get(), 0, SEEK_SET) == 0) {
        WriteAll(fd.get(), old);
    }
    throw Error(kFailedToSaveStream);
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

// Creates a new, empty file beside `target` with a name of its own.
int CreateTemporary(const std::string& target, std::string& tempName) {
    std::size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

void SaveFile(const std::string& path, std::string_view data) {
    FileSizeSignalIgnored fileSizeSignal;
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
    }
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) CannotCreate(path, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        WriteInPlace(path, target, data, false);
        return;
    }

    std::string tempName;
    int raw = CreateTemporary(target, tempName);
    if (raw < 0) {
        int err = errno;
        // A folder closed to us may still hold a file that we may write.
        if (exists && (err == EACCES || err == EPERM) && ::access(target.c_str(), W_OK) == 0) {
            WriteInPlace(path, target, data, true);
            return;
        }
        CannotCreate(path, err);
    }
    Descriptor fd(raw);
    if (exists) ::fchmod(fd.get(), st.st_mode & 07777);
    if (!WriteAll(fd.get(), data) || ::fsync(fd.get()) != 0 || !fd.Close()) {
        ::unlink(tempName.c_str());
        throw Error(kFailedToSaveStream);
    }
    if (::rename(tempName.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tempName.c_str());
        CannotCreate(path, err);
    }
}

}  // namespace pelmora
