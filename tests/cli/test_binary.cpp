// The built pelmora-gen executable, end to end: a fresh process each time, so
// these see what a user sees, including the start-up state of the source,
// redirections, a full device, a reader that goes away and Ctrl-C. Every
// child has a deadline (tests/deadline.h).

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/deadline.h"

namespace {

using pelmora::testing::CommandLine;
using pelmora::testing::WatchedChild;

const char* const kBinary = PELMORA_GEN;

struct Outcome {
    int status;  // the exit status, or 128 + the signal that ended the process
    std::string out;
    std::string err;
};

std::string ReadAll(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

int StatusOf(int wstatus) {
    if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
    return -1;
}

// In the child before it starts the executable: no file it writes may grow
// beyond 16 MiB, so that a run that would write without end fails at once.
void LimitFileSize() {
    const rlimit limit{16 << 20, 16 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// The executable's argument vector for execv: its name, `args`, nullptr.
std::vector<char*> ArgvOf(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kBinary));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Runs the executable with `args`; its output goes to `outFd` when given.
Outcome Exec(const std::vector<std::string>& args, int outFd = -1) {
    int out = pelmora::testing::BoundedOutputFile();
    int err = ::memfd_create("err", 0);
    std::vector<char*> argv = ArgvOf(args);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd >= 0 ? outFd : out, 1);
        ::dup2(err, 2);
        LimitFileSize();
        ::execv(kBinary, argv.data());
        ::_exit(127);
    }
    const int wstatus = WatchedChild(pid, CommandLine(args)).Wait();
    Outcome o{StatusOf(wstatus), pelmora::testing::WrittenTo(out, CommandLine(args)), ReadAll(err)};
    ::close(out);
    ::close(err);
    return o;
}

// Runs a bash command line in which $GEN is the executable; returns what it
// prints. Bash leads a process group of its own, so that the deadline ends
// its pipelines too.
std::string Shell(const std::string& script) {
    const std::string gen = std::string("GEN=") + kBinary;
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
    envp.push_back(const_cast<char*>(gen.c_str()));
    envp.push_back(nullptr);
    int out = ::memfd_create("out", 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(out, 1);
        ::execle("/bin/bash", "bash", "-c", script.c_str(), nullptr, envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    WatchedChild(pid, "bash -c '" + script + "'").Wait();
    std::string text = ReadAll(out);
    ::close(out);
    return text;
}

TEST(Binary, AFreshProcessAsTheWindowGivesTheWorkedGammaExample) {
    Outcome o = Exec({"--as-window", "-n", "3", "gamma", "2", "1"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "3.39166136181965\n0.108459033118563\n0.39441907895408\n");
    EXPECT_EQ(o.err, "");
}

// Without --seed every run differs, a row that never reseeds too, and the
// seed --stats prints repeats the run.
TEST(Binary, UnseededRunsDifferAndTheirSeedRepeatsThem) {
    Outcome first = Exec({"--stats", "-n", "3", "gamma", "2", "1"});
    Outcome second = Exec({"--stats", "-n", "3", "gamma", "2", "1"});
    EXPECT_EQ(first.status, 0);
    EXPECT_NE(first.out, second.out);
    const std::string prefix = "seed      ";
    ASSERT_EQ(first.err.rfind(prefix, 0), 0u) << first.err;
    const std::string seed = first.err.substr(prefix.size(), first.err.find(' ', prefix.size()) - prefix.size());
    EXPECT_EQ(Exec({"--seed", seed, "-n", "3", "gamma", "2", "1"}).out, first.out);
}

TEST(Binary, TheSeedStreamIsTheSameAsInProcess) {
    EXPECT_EQ(Exec({"--seed", "20261208", "-n", "3", "noncentral f", "4", "10", "2"}).out,
              "1.80441997171733\n1.44860144870667\n0.180564120677149\n");
    EXPECT_EQ(Exec({"--seed", "0", "-n", "2", "exponential"}).out, "0.402891556812478\n0.569715960734373\n");
}

TEST(Binary, ExitStatuses) {
    Outcome o = Exec({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "pelmora-gen " PELMORA_VERSION "\n");
    o = Exec({});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("pelmora-gen: no distribution given\nUsage: pelmora-gen ", 0), 0u);
    o = Exec({"--seed", "12", "-n", "20", "erlang", "735", "1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out.size(), 153u);  // the nine values before the failure
    EXPECT_EQ(o.err, "pelmora-gen: Floating point division by zero.\n");
}

TEST(Binary, AFullOutputDeviceIsAFailure) {
    int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    Outcome o = Exec({"-n", "5", "gamma", "2", "3"}, full);
    ::close(full);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot write to standard output. No space left on device.\n");
}

// A reader that stops after one line: the tool notices at its next write,
// ends with status 1 (not killed by SIGPIPE, not 0) and says nothing. A tool
// that missed the closed pipe would go on for minutes and run into the
// test's time limit.
TEST(Binary, AClosedPipeEndsQuietly) {
    std::string result = Shell(
        "err=$(mktemp); \"$GEN\" --seed 1 -n 100000000 gamma 2 3 2>\"$err\" | head -n 1; "
        "echo \"status ${PIPESTATUS[0]}\"; echo \"stderr [$(cat \"$err\")]\"; rm -f \"$err\"");
    EXPECT_EQ(result, "5.51256535607698\nstatus 1\nstderr []\n");
}

// A reader that never reads: the first block written meets the closed pipe.
TEST(Binary, AReaderThatNeverReadsEndsItQuietly) {
    std::string result = Shell(
        "err=$(mktemp); \"$GEN\" -n 100000000 gamma 2 3 2>\"$err\" | true; "
        "echo \"status ${PIPESTATUS[0]} stderr [$(cat \"$err\")]\"; rm -f \"$err\"");
    EXPECT_EQ(result, "status 1 stderr []\n");
}

// Started with standard output closed: a write error, not silence.
TEST(Binary, AClosedStandardOutputIsAFailure) {
    std::string result = Shell("\"$GEN\" -n 2 gamma 2 2>&1 >&-; echo \"status $?\"");
    EXPECT_EQ(result, "pelmora-gen: Cannot write to standard output. Bad file descriptor.\nstatus 1\n");
}

// Started with the error stream closed: the output file must not take its
// place, so the file holds the values and nothing else.
TEST(Binary, AClosedErrorStreamDoesNotLeakIntoTheFile) {
    std::string result = Shell(
        "f=$(mktemp); \"$GEN\" --seed 12 -n 20 -o \"$f\" erlang 735 1 2>&-; echo \"status $?\"; "
        "wc -l < \"$f\"; grep -c pelmora \"$f\"; rm -f \"$f\"");
    EXPECT_EQ(result, "status 1\n9\n0\n");
}

// The progress line is for terminals only: a run of a few seconds with its
// error stream on a file leaves nothing there.
TEST(Binary, NoProgressOnAFile) {
    int null = ::open("/dev/null", O_WRONLY);
    Outcome o = Exec({"--seed", "1", "-n", "1500000", "student's t", "5"}, null);
    ::close(null);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
}

// Starts the executable with its output on `outFd` and its error stream
// discarded; returns the process id.
pid_t Spawn(const std::vector<std::string>& args, int outFd) {
    std::vector<char*> argv = ArgvOf(args);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        LimitFileSize();
        ::execv(kBinary, argv.data());
        ::_exit(127);
    }
    return pid;
}

// A run stopped by a signal mid-stream: status 128 + the signal, and what it
// wrote is exactly the first values of the same seeded run, in whole lines.
// The signal goes out only once output has been seen, so it always lands
// mid-stream (the run would take years to finish).
struct StopCase {
    int signal;
    int status;
    bool toFile;
    const char* threads = "1";  // more draw a reseeding row in parts
    bool shard = false;         // a shard of lines of a million values, stopped mid-line
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << "signal " << c.signal << (c.toFile ? " to a file" : " to a pipe") << " -j " << c.threads
        << (c.shard ? " shard" : "");
}

std::vector<std::string> ArgsOf(const StopCase& c) {
    if (c.shard)
        return {"-j", c.threads, "--seed", "31", "-n", "1e15", "--shard", "0/2", "--columns", "1000000", "exponential", "2"};
    if (std::string(c.threads) != "1") return {"-j", c.threads, "--seed", "31", "-n", "1e15", "exponential", "2"};
    return {"-j", c.threads, "--seed", "31", "-n", "1e15", "gamma", "2", "3"};
}

class StopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopTest, LeavesOnlyWholeLines) {
    const StopCase& c = GetParam();
    const std::vector<std::string> args = ArgsOf(c);
    std::string written;
    int wstatus = 0;
    bool timedOut = false;
    if (c.toFile) {
        std::string path = ::testing::TempDir() + "pelmora-stop-" + std::to_string(::getpid());
        std::vector<std::string> withFile = args;
        withFile.insert(withFile.begin(), {"-o", path});
        int null = ::open("/dev/null", O_WRONLY);
        const pid_t pid = Spawn(withFile, null);
        WatchedChild child(pid, CommandLine(withFile));
        ::close(null);
        struct stat st {};
        while (child.Running() && (::stat(path.c_str(), &st) != 0 || st.st_size < 200000)) ::usleep(1000);
        ::kill(pid, c.signal);
        wstatus = child.Wait();
        timedOut = child.TimedOut();
        int fd = ::open(path.c_str(), O_RDONLY);
        written = ReadAll(fd);
        ::close(fd);
        ::unlink(path.c_str());
    } else {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = Spawn(args, pipeFds[1]);
        WatchedChild child(pid, CommandLine(args));
        ::close(pipeFds[1]);
        char buffer[65536];
        bool signalled = false;
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            written.append(buffer, static_cast<std::size_t>(n));
            if (!signalled && written.size() >= 200000) {
                ::kill(pid, c.signal);
                signalled = true;
            }
        }
        ::close(pipeFds[0]);
        wstatus = child.Wait();
        timedOut = child.TimedOut();
    }
    if (timedOut) return;  // failed already; what it wrote is no news
    EXPECT_TRUE(WIFEXITED(wstatus)) << "ended by the signal itself, not by the tool";
    EXPECT_EQ(StatusOf(wstatus), c.status);
    ASSERT_FALSE(written.empty());
    ASSERT_EQ(written.back(), '\n') << "the last line is cut short";
    std::size_t values = 0;
    for (char ch : written) values += ch == '\n' || ch == '\t';
    std::vector<std::string> whole = args;
    whole[5] = std::to_string(values);
    if (c.shard) whole.erase(whole.begin() + 6, whole.begin() + 8);  // shard 0 starts the run
    EXPECT_EQ(written, Exec(whole).out) << values << " values";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopTest,
                         ::testing::Values(StopCase{SIGINT, 130, false}, StopCase{SIGTERM, 143, false},
                                           StopCase{SIGINT, 130, true}, StopCase{SIGTERM, 143, true},
                                           StopCase{SIGINT, 130, false, "4"}, StopCase{SIGTERM, 143, true, "4"},
                                           StopCase{SIGINT, 130, false, "1", true}));

// Whether `signal` waits, not yet delivered, for the process `pid`.
bool Pending(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("ShdPnd:", 0) == 0 || line.rfind("SigPnd:", 0) == 0) {
            if ((std::strtoull(line.c_str() + 7, nullptr, 16) >> (signal - 1)) & 1) return true;
        }
    }
    return false;
}

// Whether every thread of the process `pid` sleeps.
bool Asleep(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (dir == nullptr) return false;
    bool asleep = true;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream stat(tasks + "/" + e->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t paren = text.rfind(')');
        if (paren == std::string::npos || paren + 2 >= text.size() || text[paren + 2] != 'S') asleep = false;
    }
    ::closedir(dir);
    return asleep;
}

// A run stuck writing to a pipe that nobody reads cannot stop at the first
// Ctrl-C, which waits for the write; the second ends it at once, as if the
// tool had not caught the signal.
TEST(Binary, ASecondInterruptEndsARunStuckOnAFullPipe) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::vector<std::string> args = {"-j", "1", "--seed", "5", "-n", "1e15", "exponential", "2"};
    const pid_t pid = Spawn(args, pipeFds[1]);
    WatchedChild child(pid, CommandLine(args) + " > a pipe nobody reads, after two SIGINTs", 5);
    ::close(pipeFds[1]);
    // Stuck: the pipe holds what it can, and every thread of the run sleeps,
    // twice in a row.
    int queued = 0, before = -1;
    while (child.Running() && !(::ioctl(pipeFds[0], FIONREAD, &queued) == 0 && queued > 0 && queued == before &&
                                Asleep(pid))) {
        before = queued;
        ::usleep(20000);
    }
    ::kill(pid, SIGINT);
    while (child.Running() && Pending(pid, SIGINT)) ::usleep(1000);  // the first one delivered
    ::kill(pid, SIGINT);
    const int wstatus = child.Wait();
    ::close(pipeFds[0]);
    EXPECT_TRUE(WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGINT) << "status " << StatusOf(wstatus);
}

}  // namespace
