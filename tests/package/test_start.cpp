// The window program started without a display, and with --help and
// --version (which need none): a fresh process each time, with the
// environment the case gives.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/deadline.h"

namespace {

const char* const kBinary = PELMORA;

const std::string kNoDisplay =
    "pelmora: no usable display (X11 or Wayland) to open the window on; pelmora-gen draws the same values "
    "on the command line\n";

// Without a plugin for the platform named, what the program says instead.
std::string NoPlugin(const std::string& platform) {
    return "pelmora: the window-system platform \"" + platform +
           "\" cannot be loaded: this Qt has no plugin of that name\n";
}

// The Wayland plugin is a package of its own (qt6-wayland): without it,
// naming Wayland is naming a platform this Qt does not have.
const std::string kWaylandAnswer =
    ::access(QT_PLATFORM_PLUGINS "/libqwayland-generic.so", F_OK) == 0 ? kNoDisplay : NoPlugin("wayland");

struct StartCase {
    const char* name;
    std::vector<std::string> env;  // the whole environment
    std::vector<std::string> args;
    int status;
    std::string out;  // the start of standard output
    std::string err;  // standard error, whole
    bool fullOutput = false;  // standard output is /dev/full
};

std::string ReadAll(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

class Start : public ::testing::TestWithParam<StartCase> {};

TEST_P(Start, SaysWhatItCanDo) {
    const StartCase& c = GetParam();
    if (c.fullOutput && ::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
    int out = c.fullOutput ? ::open("/dev/full", O_WRONLY) : ::memfd_create("out", 0);
    int err = ::memfd_create("err", 0);
    std::vector<char*> argv{const_cast<char*>(kBinary)};
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : c.env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(kBinary, argv.data(), envp.data());
        ::_exit(127);
    }
    const int wstatus = pelmora::testing::WatchedChild(pid, std::string("pelmora, case ") + c.name).Wait();
    ASSERT_TRUE(WIFEXITED(wstatus)) << "ended by signal " << WTERMSIG(wstatus);
    EXPECT_EQ(WEXITSTATUS(wstatus), c.status);
    if (!c.fullOutput) {
        EXPECT_EQ(ReadAll(out).substr(0, c.out.size()), c.out);
    }
    EXPECT_EQ(ReadAll(err), c.err);
    ::close(out);
    ::close(err);
}

const std::string kHome = "HOME=/nonexistent";

INSTANTIATE_TEST_SUITE_P(
    Pelmora, Start,
    ::testing::Values(
        StartCase{"NoDisplayAtAll", {kHome}, {}, 1, "", kNoDisplay},
        StartCase{"X11DisplayThatIsNotThere", {kHome, "QT_QPA_PLATFORM=xcb", "DISPLAY=:4095"}, {}, 1, "", kNoDisplay},
        StartCase{"WaylandDisplayThatIsNotThere",
                  {kHome, "QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=pelmora-none", "XDG_RUNTIME_DIR=/nonexistent"},
                  {},
                  1,
                  "",
                  kWaylandAnswer},
        StartCase{"NoSuchPlatform", {kHome, "QT_QPA_PLATFORM=nowhere"}, {}, 1, "", NoPlugin("nowhere")},
        StartCase{
            "VersionWithoutDisplay", {kHome}, {"--version"}, 0, std::string("pelmora ") + PELMORA_VERSION + "\n", ""},
        StartCase{"VersionToAFullDevice",
                  {kHome},
                  {"--version"},
                  1,
                  "",
                  "pelmora: Cannot write to standard output. No space left on device.\n",
                  true},
        StartCase{"HelpWithoutDisplay", {kHome}, {"--help"}, 0, "Usage: pelmora [--help | --version]\n", ""},
        StartCase{"HelpAfterQtOptions", {kHome}, {"-platform", "offscreen", "-h"}, 0, "Usage: pelmora", ""}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

}  // namespace
