#pragma once
// Shared by the hostile-environment tests: folders of their own, whole-file
// reads and writes, the message of a failure, and a way to run a piece of
// code as an ordinary user when the tests run as root (whom permission bits
// do not stop).

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "tests/deadline.h"

namespace hostile {

// A new folder under $TMPDIR (or /tmp) that others may enter, removed with
// everything in it when the object goes.
class Folder {
public:
    Folder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmora-hostile-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) != nullptr) path_ = buf.data();
        ::chmod(path_.c_str(), 0755);
    }
    ~Folder() { Remove(path_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Names in the folder (hidden ones included), sorted.
    std::vector<std::string> Names() const { return NamesIn(path_); }
    static std::vector<std::string> NamesIn(const std::string& path) {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static void Remove(const std::string& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            ::chmod(path.c_str(), 0700);
            if (DIR* d = ::opendir(path.c_str())) {
                std::vector<std::string> names;
                while (dirent* e = ::readdir(d)) {
                    std::string n = e->d_name;
                    if (n != "." && n != "..") names.push_back(n);
                }
                ::closedir(d);
                for (const std::string& n : names) Remove(path + "/" + n);
            }
            ::rmdir(path.c_str());
        } else {
            ::unlink(path.c_str());
        }
    }

    std::string path_;
};

inline bool WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::fchmod(fd, mode);
    return ::close(fd) == 0 && ok;
}

inline std::string ReadFile(const std::string& path) {
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<unreadable>";
    char buf[65536];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

// The message of the pelmora::Error that `f` throws (its whole text, NUL
// bytes included), or "<nothing thrown>".
inline std::string Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const pelmora::Error& e) {
        return e.message();
    }
    return "<nothing thrown>";
}

// The outcome of code run in a child process.
struct ChildResult {
    bool ran = false;      // the child got as far as running the code
    std::string text;      // what the code returned
    int signal = 0;        // the signal that ended the child, if one did
};

// Runs `code` in a child process, optionally with a file size limit
// (signals left as they are) and, when we are root, as the user "nobody"
// (uid and gid 65534), so that permission bits apply. The child's result
// text travels back through a pipe; a child that outlives the usual deadline
// is killed and fails the test.
inline ChildResult RunInChild(const std::function<std::string()>& code, bool asOrdinaryUser,
                              rlim_t fileSizeLimit = RLIM_INFINITY) {
    int fds[2];
    ChildResult result;
    if (::pipe(fds) != 0) return result;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (asOrdinaryUser && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        }
        if (fileSizeLimit != RLIM_INFINITY) {
            rlimit limit{fileSizeLimit, fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(4);
        }
        std::string text = "ran:" + code();
        ssize_t unused = ::write(fds[1], text.data(), text.size());
        (void)unused;
        ::_exit(0);
    }
    ::close(fds[1]);
    pelmora::testing::WatchedChild child(pid, "a child process running test code");
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    const int status = child.Wait();
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (text.rfind("ran:", 0) == 0) {
        result.ran = true;
        result.text = text.substr(4);
    }
    return result;
}

// Whether permission bits can be put to the test in `folder`: as an
// ordinary user they apply directly; as root only in a child that can become
// "nobody" and still reach the folder (its parents must let others in).
inline bool CanTestPermissions(const std::string& folder) {
    if (::geteuid() != 0) return true;
    return RunInChild(
               [&] {
                   bool ok = ::geteuid() == 65534 && ::access(folder.c_str(), R_OK | X_OK) == 0;
                   return std::string(ok ? "yes" : "no");
               },
               true)
               .text == "yes";
}

}  // namespace hostile
