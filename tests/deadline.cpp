#include "tests/deadline.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace pelmora::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
    Clock::time_point due;
    std::string message;  // what was still running, in which test
    int pidfd = -1;       // the child's; -1 for work in this process
    pid_t group = 0;      // the child's process group, when it leads one
    bool expired = false;
};

// The one thread that watches every deadline. Never destroyed: it may still
// wait while the program exits.
class Watchdog {
public:
    static Watchdog& Get() {
        static Watchdog* watchdog = new Watchdog;
        return *watchdog;
    }

    Watchdog() {
        // A test that forks (a child that runs test code, which may watch
        // children of its own) must not inherit the mutex held, nor a
        // condition variable that counts the parent's waiting thread: the
        // child starts with no watchdog, no deadlines and a fresh variable.
        ::pthread_atfork([] { Get().mutex_.lock(); }, [] { Get().mutex_.unlock(); },
                         [] {
                             Watchdog& w = Get();
                             for (auto& [id, e] : w.entries_)
                                 if (e.pidfd >= 0) ::close(e.pidfd);
                             w.entries_.clear();
                             w.started_ = false;
                             w.changed_ = new std::condition_variable;  // the old one is left as it is
                             w.mutex_.unlock();
                         });
    }

    uint64_t Arm(Entry entry) {
        std::lock_guard lock(mutex_);
        if (!started_) {
            std::thread([this] { Loop(); }).detach();
            started_ = true;
        }
        const uint64_t id = next_++;
        entries_.emplace(id, std::move(entry));
        changed_->notify_all();
        return id;
    }

    // Forgets the deadline; true when it had passed (and the child was killed).
    bool Disarm(uint64_t id) {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(id);
        if (it == entries_.end()) return false;
        const bool expired = it->second.expired;
        if (it->second.pidfd >= 0) ::close(it->second.pidfd);
        entries_.erase(it);
        return expired;
    }

private:
    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            const auto now = Clock::now();
            auto earliest = Clock::time_point::max();
            for (auto& [id, e] : entries_) {
                if (e.expired) continue;
                if (e.due <= now) {
                    Expire(e);
                } else {
                    earliest = std::min(earliest, e.due);
                }
            }
            if (earliest == Clock::time_point::max()) {
                changed_->wait(lock);
            } else {
                changed_->wait_until(lock, earliest);
            }
        }
    }

    static void Expire(Entry& e) {
        if (e.pidfd < 0) {
            // Straight to the descriptor: the hung thread may hold stdio's lock.
            const std::string text = "\n" + e.message + "; the test program ends here\n";
            ssize_t unused = ::write(2, text.data(), text.size());
            (void)unused;
            std::_Exit(1);
        }
        ::syscall(SYS_pidfd_send_signal, e.pidfd, SIGKILL, nullptr, 0);
        // The leader is not reaped before Disarm, so its group is still its own.
        if (e.group > 0) ::kill(-e.group, SIGKILL);
        e.expired = true;
    }

    std::mutex mutex_;
    std::condition_variable* changed_ = new std::condition_variable;
    std::map<uint64_t, Entry> entries_;
    uint64_t next_ = 1;
    bool started_ = false;
};

std::string Described(const std::string& what, double seconds) {
    std::string test;
    if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info())
        test = std::string(info->test_suite_name()) + "." + info->name() + ": ";
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", seconds);
    return "Deadline passed: " + test + what + " was still running after " + limit + " s";
}

Clock::time_point Due(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

double DeadlineSeconds(double seconds) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    seconds *= 5;
#endif
#if defined(PELMORA_TESTS_EMULATED)
    seconds *= 10;  // a cross build's tests and the program they start run under qemu
#endif
    if (const char* scale = std::getenv("PELMORA_DEADLINE_SCALE")) {
        const double s = std::strtod(scale, nullptr);
        if (s > 0) seconds *= s;
    }
    return seconds;
}

std::string CommandLine(const std::vector<std::string>& args) {
    std::string line = "pelmora-gen";
    for (const std::string& a : args) line += " " + a;
    return line;
}

namespace {
constexpr off_t kOutputBound = off_t{16} << 20;
}

int BoundedOutputFile() {
    // Sized to the bound (sparse: nothing is stored) and sealed against growing.
    int fd = ::memfd_create("out", MFD_ALLOW_SEALING);
    if (fd < 0 || ::ftruncate(fd, kOutputBound) != 0 || ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW) != 0)
        ADD_FAILURE() << "no bounded output file";
    return fd;
}

std::string WrittenTo(int fd, const std::string& what) {
    const off_t written = ::lseek(fd, 0, SEEK_CUR);
    std::string text(static_cast<std::size_t>(std::max<off_t>(written, 0)), '\0');
    if (::pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) ADD_FAILURE() << "unread output";
    if (written + 65536 >= kOutputBound)
        ADD_FAILURE() << what << " wrote " << kOutputBound << " bytes, more than any test asks for, and was stopped there";
    return text;
}

Deadline::Deadline(std::string what, double seconds) {
    seconds = DeadlineSeconds(seconds);
    Entry e;
    e.due = Due(seconds);
    e.message = Described(what, seconds);
    id_ = Watchdog::Get().Arm(std::move(e));
}

Deadline::~Deadline() { Watchdog::Get().Disarm(id_); }

WatchedChild::WatchedChild(pid_t pid, std::string what, double seconds)
    : pid_(pid), what_(std::move(what)), seconds_(DeadlineSeconds(seconds)) {
    Entry e;
    e.due = Due(seconds_);
    e.pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (::getpgid(pid) == pid) e.group = pid;
    e.message = what_;
    id_ = Watchdog::Get().Arm(std::move(e));
}

WatchedChild::~WatchedChild() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        if (::getpgid(pid_) == pid_) ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Watchdog::Get().Disarm(id_);
}

int WatchedChild::Wait() {
    // Wait without reaping, so that the watchdog never signals a reused pid.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    timedOut_ = Watchdog::Get().Disarm(id_);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    if (timedOut_) ADD_FAILURE() << Described(what_, seconds_) << ", and was killed";
    return status;
}

bool WatchedChild::TimedOut() const { return timedOut_; }

bool WatchedChild::Running() const {
    if (reaped_) return false;
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

}  // namespace pelmora::testing
