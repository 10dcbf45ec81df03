// pelmora-gen where its output cannot go: a reader that has gone, a full
// device, a file size limit. A reader that goes away ends the run quietly
// with a failure status; every other write error is reported; none ends
// with status 0.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "hostile.h"
#include "tests/deadline.h"

namespace {

using hostile::Folder;

struct RunResult {
    int status = -1;  // the exit status, or -signal
    std::string err;
};

std::string ReadBack(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    return text;
}

// Runs pelmora-gen with `out` as its standard output (-1: closed) and, if
// given, a file size limit. `whileRunning` runs in the parent after the
// start (a reader reading a little and leaving); `inChild` runs in the child
// before the program starts.
RunResult Exec(const std::vector<std::string>& args, int out, rlim_t fileSizeLimit = RLIM_INFINITY,
         const std::function<void()>& whileRunning = nullptr, const std::function<void()>& inChild = nullptr) {
    int err = ::memfd_create("err", MFD_CLOEXEC);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (out >= 0) {
            ::dup2(out, 1);
        } else {
            ::close(1);
        }
        ::dup2(err, 2);
        if (fileSizeLimit != RLIM_INFINITY) {
            rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        // As a shell starts it: default signal dispositions.
        std::signal(SIGPIPE, SIG_DFL);
        std::signal(SIGXFSZ, SIG_DFL);
        if (inChild) inChild();
        std::vector<char*> argv;
        std::string program = PELMORA_GEN;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    pelmora::testing::WatchedChild child(pid, pelmora::testing::CommandLine(args));
    if (whileRunning) whileRunning();
    const int status = child.Wait();
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    r.err = ReadBack(err);
    ::close(err);
    return r;
}

// --- A reader that goes away ------------------------------------------------

struct GoneReaderCase {
    const char* name;
    std::vector<std::string> args;
    std::size_t bytesRead;  // read before the reader closes its end
};

void PrintTo(const GoneReaderCase& c, std::ostream* os) { *os << c.name; }

class GoneReader : public ::testing::TestWithParam<GoneReaderCase> {};

TEST_P(GoneReader, EndsQuietlyWithAFailureStatus) {
    const GoneReaderCase& c = GetParam();
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);  // the read end stays with the test
    std::function<void()> reader;
    if (c.bytesRead == 0) {
        ::close(fds[0]);
    } else {
        reader = [&] {
            std::string got;
            char buf[64];
            while (got.size() < c.bytesRead) {
                ssize_t n = ::read(fds[0], buf, std::min(sizeof buf, c.bytesRead - got.size()));
                if (n <= 0) break;
                got.append(buf, static_cast<std::size_t>(n));
            }
            ::close(fds[0]);
        };
    }
    RunResult r = Exec(c.args, fds[1], RLIM_INFINITY, [&] {
        ::close(fds[1]);
        if (reader) reader();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    PelmoraGen, GoneReader,
    ::testing::Values(GoneReaderCase{"ClosedBeforeTheStart", {"-n", "1000000", "gamma", "2", "3"}, 0},
                      GoneReaderCase{"AfterTenBytes", {"-n", "1000000", "gamma", "2", "3"}, 10},
                      GoneReaderCase{"AfterTheFirstBlock", {"-n", "10000000", "beta", "2", "3"}, 70000},
                      GoneReaderCase{"WithStats", {"--stats", "-n", "1000000", "poisson", "4"}, 10},
                      GoneReaderCase{"List", {"--list"}, 0},
                      GoneReaderCase{"Help", {"--help"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Write errors ------------------------------------------------------------

struct WriteErrorCase {
    const char* name;
    const char* count;
    bool toFile;            // -o FILE rather than the standard output
    bool fullDevice;        // /dev/full, else a regular file under a size limit
    const char* reason;     // the system's text
    std::vector<std::string> layout = {};  // --columns K, --binary
};

void PrintTo(const WriteErrorCase& c, std::ostream* os) { *os << c.name; }

class WriteError : public ::testing::TestWithParam<WriteErrorCase> {};

// A regular file named by -o is cut back to its last whole value, so that
// no cut number reads as another, and the message says how many it holds.
TEST_P(WriteError, IsReportedAndNeverASuccess) {
    const WriteErrorCase& c = GetParam();
    if (c.fullDevice && ::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
    Folder folder;
    const std::string path = c.fullDevice ? "/dev/full" : folder / "values.txt";
    constexpr rlim_t kLimit = 4096;
    std::vector<std::string> args = {"--seed", "5", "-n", c.count};
    args.insert(args.end(), c.layout.begin(), c.layout.end());
    args.insert(args.end(), {"gamma", "2", "3"});
    const std::vector<std::string> whole = args;
    RunResult r;
    if (c.toFile) {
        args.insert(args.begin(), {"-o", path});
        r = Exec(args, -1, c.fullDevice ? RLIM_INFINITY : kLimit);
    } else {
        int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(out, 0);
        r = Exec(args, out, c.fullDevice ? RLIM_INFINITY : kLimit);
        ::close(out);
    }
    const std::string target = c.toFile ? "\"" + path + "\"" : "standard output";
    EXPECT_EQ(r.status, 1) << (r.status < 0 ? "ended by a signal" : "");
    std::string err = "pelmora-gen: Cannot write to " + target + ". " + c.reason + ".\n";
    if (!c.fullDevice) {
        const std::string file = hostile::ReadFile(path);
        EXPECT_LE(file.size(), kLimit);
        if (c.toFile) {
            // The same run, whole, to compare with.
            int out = ::memfd_create("whole", MFD_CLOEXEC);
            ASSERT_EQ(Exec(whole, out).status, 0);
            const std::string all = ReadBack(out);
            ::close(out);
            ASSERT_LT(file.size(), all.size());
            EXPECT_EQ(all.substr(0, file.size()), file);
            std::size_t values = 0;
            if (c.layout == std::vector<std::string>{"--binary"}) {
                EXPECT_EQ(file.size() % 8, 0u);
                values = file.size() / 8;
            } else {
                // The file ends with a whole line, or with a whole value that the tab after it would follow.
                EXPECT_TRUE(file.empty() || file.back() == '\n' || all[file.size()] == '\t')
                    << file.substr(file.size() - 20);
                values = static_cast<std::size_t>(
                    std::count_if(file.begin(), file.end(), [](char ch) { return ch == '\n' || ch == '\t'; }));
                if (!file.empty() && file.back() != '\n') ++values;
            }
            err += "pelmora-gen: " + target + " holds " + std::to_string(values) + " whole values.\n";
        }
    }
    EXPECT_EQ(r.err, err);
}

INSTANTIATE_TEST_SUITE_P(
    PelmoraGen, WriteError,
    ::testing::Values(
        WriteErrorCase{"OneValueToAFullDevice", "1", true, true, "No space left on device"},
        WriteErrorCase{"ABlockToAFullDevice", "4096", true, true, "No space left on device"},
        WriteErrorCase{"ManyBlocksToAFullDevice", "1000000", true, true, "No space left on device"},
        WriteErrorCase{"StandardOutputOnAFullDevice", "100", false, true, "No space left on device"},
        WriteErrorCase{"FileBeyondTheSizeLimit", "100000", true, false, "File too large"},
        WriteErrorCase{"FileInColumnsBeyondTheSizeLimit", "100000", true, false, "File too large", {"--columns", "3"}},
        WriteErrorCase{"BinaryFileBeyondTheSizeLimit", "100000", true, false, "File too large", {"--binary"}},
        WriteErrorCase{"StandardOutputBeyondTheSizeLimit", "100000", false, false, "File too large"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- No thread to write with ------------------------------------------------

// With no process left to the user, the writer thread cannot start: the run
// says so and leaves the output file as it was.
TEST(PelmoraGen, WithoutAWriterThreadSaysSoAndLeavesTheFile) {
    Folder folder;
    if (!hostile::CanTestPermissions(folder.path())) {
        GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
    }
    const std::string path = folder / "values.txt";
    ASSERT_TRUE(hostile::WriteFile(path, "kept\n", 0666));
    RunResult r = Exec({"-n", "3", "-o", path, "gamma", "2"}, -1, RLIM_INFINITY, nullptr, [] {
        // Root is not held to the process limit: become "nobody" first.
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(126);
        }
        rlimit none{0, 0};
        if (::setrlimit(RLIMIT_NPROC, &none) != 0) ::_exit(125);
        // A leak checker needs a thread of its own at exit, which this limit
        // refuses too; the sanitizer build would end with its complaint.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-gen: Cannot start the thread that writes the values. Resource temporarily unavailable.\n");
    EXPECT_EQ(hostile::ReadFile(path), "kept\n");
}

// --- Out of memory -----------------------------------------------------------

// Under a limit on its address space, -j 256 cannot have the buffers of its
// threads: one line says which, with status 1 (not "std::bad_alloc").
TEST(PelmoraGen, OutOfMemoryIsOneLineSayingWhat) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space, which no such limit allows";
#endif
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(null, 0);
    RunResult r = Exec({"-j", "256", "--seed", "1", "-n", "1e9", "beta", "2", "3"}, null, RLIM_INFINITY, nullptr, [] {
        rlimit limit{64 << 20, 64 << 20};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
    });
    ::close(null);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-gen: Not enough memory for the buffers of 256 threads (85 MiB); use fewer with -j.\n");
}

}  // namespace
