// Saving where it cannot be done: folders closed to us, full devices, files
// that can only be written in part. Each failure has its message, and the
// file that was there before keeps its content whatever goes wrong.

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "core/savefile.h"
#include "hostile.h"

namespace {

using hostile::Folder;
using hostile::ReadFile;
using hostile::RunInChild;
using hostile::Thrown;
using hostile::WriteFile;

const std::string kOld = "the old content, which must survive\n";
// Larger than the file size limit the tests set.
const std::string kNew = std::string(6000, 'n') + "\n";
constexpr rlim_t kSizeLimit = 1000;

std::string CannotCreate(const std::string& path, const std::string& why) {
    return "Cannot create file \"" + path + "\". " + why;
}

// --- Folders that do not let us create files -------------------------------

struct ClosedFolderCase {
    const char* name;
    const char* file;   // in the closed folder
    mode_t mode;        // of the file that is there before; 0: none
    bool sizeLimit;     // writes stop at kSizeLimit bytes
    const char* error;  // "": saved; otherwise the system's text
    bool replaced;      // the file holds the new content afterwards
};

void PrintTo(const ClosedFolderCase& c, std::ostream* os) { *os << c.name; }

class ClosedFolder : public ::testing::TestWithParam<ClosedFolderCase> {};

TEST_P(ClosedFolder, FailsWithItsMessageAndKeepsTheOldFile) {
    const ClosedFolderCase& c = GetParam();
    Folder folder;
    if (!hostile::CanTestPermissions(folder.path())) {
        GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
    }
    const std::string closed = folder / "closed";
    ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
    const std::string path = closed + "/" + c.file;
    if (c.mode != 0) {
        ASSERT_TRUE(WriteFile(path, kOld, c.mode));
    }
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);

    hostile::ChildResult r = RunInChild([&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); }, true,
                                        c.sizeLimit ? kSizeLimit : RLIM_INFINITY);
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    ASSERT_TRUE(r.ran);
    if (*c.error == '\0') {
        EXPECT_EQ(r.text, "<nothing thrown>");
    } else if (std::string(c.error) == pelmora::kFailedToSaveStream) {
        EXPECT_EQ(r.text, pelmora::kFailedToSaveStream);
    } else {
        EXPECT_EQ(r.text, CannotCreate(path, c.error));
    }
    if (c.mode == 0) {
        EXPECT_EQ(ReadFile(path), c.replaced ? kNew : "<unreadable>");
    } else {
        EXPECT_EQ(ReadFile(path), c.replaced ? kNew : kOld);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Save, ClosedFolder,
    ::testing::Values(
        ClosedFolderCase{"NewFile", "values.TXT", 0, false, "Permission denied", false},
        ClosedFolderCase{"FileWeMayNotWrite", "values.TXT", 0644, false, "Permission denied", false},
        // The folder is closed but the file itself is open to us: it is
        // written in place.
        ClosedFolderCase{"FileWeMayWrite", "values.TXT", 0666, false, "", true},
        // ... and when that write stops part way, the old content is back.
        ClosedFolderCase{"FileWeMayWriteButNotWhole", "values.TXT", 0666, true, pelmora::kFailedToSaveStream, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Files that cannot be written whole -------------------------------------

struct PartialCase {
    const char* name;
    bool existing;
};

void PrintTo(const PartialCase& c, std::ostream* os) { *os << c.name; }

class PartialWrite : public ::testing::TestWithParam<PartialCase> {};

// The file size limit of the process stops the write part way. The signal
// that the limit sends must not end the program (with the pane's values),
// the failure is reported, and nothing is left behind but the old file.
TEST_P(PartialWrite, IsReportedAndLeavesTheOldFile) {
    const PartialCase& c = GetParam();
    Folder folder;
    const std::string path = folder / "values.TXT";
    if (c.existing) {
        ASSERT_TRUE(WriteFile(path, kOld));
    }

    hostile::ChildResult r =
        RunInChild([&] { return Thrown([&] { pelmora::SaveFile(path, kNew); }); }, false, kSizeLimit);
    ASSERT_EQ(r.signal, 0) << "the save was ended by signal " << r.signal;
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.text, pelmora::kFailedToSaveStream);
    EXPECT_EQ(folder.Names(), c.existing ? std::vector<std::string>{"values.TXT"} : std::vector<std::string>{});
    if (c.existing) {
        EXPECT_EQ(ReadFile(path), kOld);
    }
}

INSTANTIATE_TEST_SUITE_P(Save, PartialWrite,
                         ::testing::Values(PartialCase{"NewFile", false}, PartialCase{"ExistingFile", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Other paths that cannot take a file ------------------------------------

struct BadPathCase {
    const char* name;
    const char* error;  // the system's text, or kFailedToSaveStream
};

void PrintTo(const BadPathCase& c, std::ostream* os) { *os << c.name; }

class BadPath : public ::testing::TestWithParam<BadPathCase> {};

TEST_P(BadPath, FailsWithItsMessage) {
    const BadPathCase& c = GetParam();
    Folder folder;
    const std::string kind = c.name;
    std::string path;
    if (kind == "UnderARegularFile") {
        ASSERT_TRUE(WriteFile(folder / "plain", kOld));
        path = folder / "plain/values.TXT";
    } else if (kind == "MissingFolder") {
        path = folder / "missing/values.TXT";
    } else if (kind == "Folder") {
        path = folder / "values.TXT";
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    } else if (kind == "NameTooLong") {
        path = folder / (std::string(300, 'v') + ".TXT");
    } else if (kind == "FullDevice") {
        if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
        path = "/dev/full";
    }
    const std::string message = Thrown([&] { pelmora::SaveFile(path, kNew); });
    if (std::string(c.error) == pelmora::kFailedToSaveStream) {
        EXPECT_EQ(message, pelmora::kFailedToSaveStream);
    } else {
        EXPECT_EQ(message, CannotCreate(path, c.error));
    }
    if (kind == "UnderARegularFile") {
        EXPECT_EQ(ReadFile(folder / "plain"), kOld);
    }
    if (kind != "FullDevice") {
        // Nothing new in the folder: no temporary file left behind.
        std::vector<std::string> names = folder.Names();
        for (const std::string& n : names) EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Save, BadPath,
                         ::testing::Values(BadPathCase{"UnderARegularFile", "Not a directory"},
                                           BadPathCase{"MissingFolder", "No such file or directory"},
                                           BadPathCase{"Folder", "Is a directory"},
                                           BadPathCase{"NameTooLong", "File name too long"},
                                           BadPathCase{"FullDevice", pelmora::kFailedToSaveStream}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
