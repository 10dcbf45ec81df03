// The built pelmora-gen executable, end to end: a fresh process each time, so
// these see what a user sees, including the start-up state of the source,
// redirections, a full device and a reader that goes away.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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
    int out = ::memfd_create("out", 0);
    int err = ::memfd_create("err", 0);
    std::vector<char*> argv = ArgvOf(args);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd >= 0 ? outFd : out, 1);
        ::dup2(err, 2);
        ::execv(kBinary, argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    Outcome o{StatusOf(wstatus), ReadAll(out), ReadAll(err)};
    ::close(out);
    ::close(err);
    return o;
}

// Runs a bash command line in which $GEN is the executable; returns what it prints.
std::string Shell(const std::string& script) {
    std::string command = "GEN='" + std::string(kBinary) + "' bash -c '" + script + "'";
    FILE* p = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    ::pclose(p);
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
        ::execv(kBinary, argv.data());
        ::_exit(127);
    }
    return pid;
}

// A run stopped by a signal mid-stream: status 128 + the signal, and what it
// wrote is exactly the first lines of the same seeded run, each one whole.
// The signal goes out only once output has been seen, so it always lands
// mid-stream (the run would take years to finish).
struct StopCase {
    int signal;
    int status;
    bool toFile;
    const char* threads = "1";  // more draw a reseeding row in parts
};

class StopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopTest, LeavesOnlyWholeLines) {
    const StopCase& c = GetParam();
    std::vector<std::string> args = {"-j", c.threads, "--seed", "31", "-n", "1e15", "gamma", "2", "3"};
    if (std::string(c.threads) != "1") args = {"-j", c.threads, "--seed", "31", "-n", "1e15", "exponential", "2"};
    std::string written;
    int wstatus = 0;
    if (c.toFile) {
        std::string path = ::testing::TempDir() + "pelmora-stop-" + std::to_string(::getpid());
        std::vector<std::string> withFile = args;
        withFile.insert(withFile.begin(), {"-o", path});
        int null = ::open("/dev/null", O_WRONLY);
        pid_t pid = Spawn(withFile, null);
        ::close(null);
        struct stat st {};
        while (::stat(path.c_str(), &st) != 0 || st.st_size < 200000) ::usleep(1000);
        ::kill(pid, c.signal);
        ::waitpid(pid, &wstatus, 0);
        int fd = ::open(path.c_str(), O_RDONLY);
        written = ReadAll(fd);
        ::close(fd);
        ::unlink(path.c_str());
    } else {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid_t pid = Spawn(args, pipeFds[1]);
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
        ::waitpid(pid, &wstatus, 0);
    }
    EXPECT_TRUE(WIFEXITED(wstatus)) << "ended by the signal itself, not by the tool";
    EXPECT_EQ(StatusOf(wstatus), c.status);
    ASSERT_FALSE(written.empty());
    ASSERT_EQ(written.back(), '\n');
    std::size_t lines = 0;
    for (char ch : written) lines += ch == '\n';
    std::vector<std::string> whole = args;
    whole[5] = std::to_string(lines);
    EXPECT_EQ(written, Exec(whole).out) << lines << " lines";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopTest,
                         ::testing::Values(StopCase{SIGINT, 130, false}, StopCase{SIGTERM, 143, false},
                                           StopCase{SIGINT, 130, true}, StopCase{SIGTERM, 143, true},
                                           StopCase{SIGINT, 130, false, "4"}, StopCase{SIGTERM, 143, true, "4"}));

}  // namespace
