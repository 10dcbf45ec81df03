#pragma once
// Deadlines for the tests that run a child process or threads: a test that
// hangs fails within seconds and says what was still running, instead of
// waiting for ctest's limit. One watchdog thread serves every deadline of the
// test program. And a bound on what a run writes to memory, so that one
// that would write without end fails at once.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::testing {

// Seconds a deadline of `seconds` really gives: more in the sanitizer build
// and in a cross build (its tests run under an emulator), and times
// PELMORA_DEADLINE_SCALE when set (valgrind runs slower still).
double DeadlineSeconds(double seconds);

// The usual deadline of one run of pelmora-gen, in process or as a child.
inline constexpr double kRunSeconds = 10;

// "pelmora-gen ARG ...", for the message of a deadline.
std::string CommandLine(const std::vector<std::string>& args);

// An anonymous file for a run's output that cannot grow beyond 16 MiB,
// more than any test asks for: writes beyond fail with EPERM.
int BoundedOutputFile();
// What was written to `fd` (from its start to its position); a test failure
// naming `what` when it reached the bound.
std::string WrittenTo(int fd, const std::string& what);

// Work in this process (threads that may deadlock): if the object still
// lives `seconds` after it was made, the program writes which test was
// running and what it was waiting for, and ends with status 1. A thread that
// hangs cannot be unwound, so there is nothing gentler to do.
class Deadline {
public:
    explicit Deadline(std::string what, double seconds = kRunSeconds);
    ~Deadline();
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    uint64_t id_;
};

// A child process, with its process group when it leads one: killed once
// `seconds` pass, and Wait() then adds a test failure that names `what`.
// Reads from a pipe whose writer is the child end there too, so a test that
// reads the child's output before waiting is covered as well.
class WatchedChild {
public:
    WatchedChild(pid_t pid, std::string what, double seconds = kRunSeconds);
    // A child that was not waited for is killed and reaped.
    ~WatchedChild();
    WatchedChild(const WatchedChild&) = delete;
    WatchedChild& operator=(const WatchedChild&) = delete;

    // Waits for the child to end and returns its wait status. Past the
    // deadline the status is the kill's, and the test has failed.
    int Wait();
    bool TimedOut() const;
    // Whether the child has not yet ended (or been killed); for loops that
    // wait for something the child should do.
    bool Running() const;

private:
    pid_t pid_;
    std::string what_;
    double seconds_;
    uint64_t id_;
    bool reaped_ = false;
    bool timedOut_ = false;
};

}  // namespace pelmora::testing
