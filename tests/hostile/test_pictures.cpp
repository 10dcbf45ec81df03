// Formula pictures that are not what they should be: cut, damaged, empty,
// not files at all, closed to us, or promising more pixels than their bytes
// could hold. Each gives a picture or one of the two errors ("Cannot open
// file ..." and "JPEG error #n"), at once: a FIFO without a writer must not
// block the window, and a forged header must be refused before its memory
// is taken.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "alloc_meter.h"
#include "app/jpeg.h"
#include "hostile.h"

namespace {

using hostile::Folder;
using hostile::Thrown;
using hostile::WriteFile;

// A JPEG of noise (so that every part of it matters) made on the spot.
std::string MakeJpeg(int width, int height, bool progressive, int components = 3) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * components);
    unsigned state = 7;
    while (cinfo.next_scanline < cinfo.image_height) {
        for (unsigned char& p : row) p = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 23);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string result(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return result;
}

// `jpeg` with its frame header (baseline or progressive) claiming another size.
std::string WithClaimedSize(std::string jpeg, int width, int height) {
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i) {
        auto b = [&](std::size_t k) { return static_cast<unsigned char>(jpeg[k]); };
        if (b(i) == 0xFF && (b(i + 1) == 0xC0 || b(i + 1) == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    }
    return {};
}

std::string JpegError(int code) { return "JPEG error #" + std::to_string(code); }

std::string CannotOpen(const std::string& path, const std::string& why) {
    return "Cannot open file \"" + path + "\". " + why;
}

std::string Load(const std::string& path) {
    return Thrown([&] { pelmora::app::LoadJpegFile(QString::fromStdString(path)); });
}

std::string Decode(const std::string& bytes) {
    return Thrown([&] { pelmora::app::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()); });
}

bool IsJpegError(const std::string& message) { return message.rfind("JPEG error #", 0) == 0; }

// --- Files in the picture folder --------------------------------------------

struct PictureCase {
    const char* name;
    std::string message;  // "%s" stands for the path
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

class PictureFile : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureFile, GivesItsErrorAtOnce) {
    const PictureCase& c = GetParam();
    const std::string kind = c.name;
    Folder folder;
    const std::string pic = folder / "pic";
    ASSERT_EQ(::mkdir(pic.c_str(), 0755), 0);
    std::string path = pic + "/gamma.jpg";
    const std::string good = MakeJpeg(64, 48, false);
    int writer = -1;
    bool asOrdinaryUser = false;

    if (kind == "ZeroLength") {

        ASSERT_TRUE(WriteFile(path, ""));

    }
    if (kind == "NotAJpeg") {
        ASSERT_TRUE(WriteFile(path, "Not a picture at all"));
    }
    if (kind == "CutInHalf") {
        ASSERT_TRUE(WriteFile(path, good.substr(0, good.size() / 2)));
    }
    if (kind == "HeaderOnly") {
        ASSERT_TRUE(WriteFile(path, good.substr(0, 400)));
    }
    if (kind == "EndMarkerMissing") {
        ASSERT_TRUE(WriteFile(path, good.substr(0, good.size() - 2)));
    }
    if (kind == "Directory") {
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }
    if (kind == "FifoWithoutWriter") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    }
    if (kind == "FifoWithWriter") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(::write(writer, good.data(), 1000), 1000);
    }
    if (kind == "LinkToADevice") {
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    }
    if (kind == "Missing") {
    }
    if (kind == "MissingFolder") {
        ::rmdir(pic.c_str());
    }
    if (kind == "FolderIsAFile") {
        ::rmdir(pic.c_str());
        ASSERT_TRUE(WriteFile(pic, good));
    }
    if (kind == "DanglingLink") {
        ASSERT_EQ(::symlink((folder / "nowhere.jpg").c_str(), path.c_str()), 0);
    }
    if (kind == "LinkLoop") {
        ASSERT_EQ(::symlink(path.c_str(), path.c_str()), 0);
    }
    if (kind == "NoReadPermission") {
        ASSERT_TRUE(WriteFile(path, good, 0200));
        asOrdinaryUser = true;
    }
    if (kind == "FolderClosed") {
        ASSERT_TRUE(WriteFile(path, good));
        // No search permission: not even its owner may open what it holds.
        ASSERT_EQ(::chmod(pic.c_str(), 0600), 0);
        asOrdinaryUser = true;
    }
    if (kind == "LinkToAPicture") {
        ASSERT_TRUE(WriteFile(folder / "elsewhere.jpg", good));
        ASSERT_EQ(::symlink((folder / "elsewhere.jpg").c_str(), path.c_str()), 0);
    }

    std::string message;
    if (asOrdinaryUser) {
        if (!hostile::CanTestPermissions(folder.path())) {
            GTEST_SKIP() << "running as root without a way to become an ordinary user who can reach " << folder.path();
        }
        hostile::ChildResult r = hostile::RunInChild([&] { return Load(path); }, true);
        ASSERT_TRUE(r.ran) << "signal " << r.signal;
        message = r.text;
    } else {
        message = Load(path);
    }
    if (writer >= 0) ::close(writer);

    std::string expected = c.message;
    std::size_t at = expected.find("%s");
    if (at != std::string::npos) expected.replace(at, 2, path);
    EXPECT_EQ(message, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PictureFile,
    ::testing::Values(PictureCase{"ZeroLength", JpegError(JERR_INPUT_EMPTY)},
                      PictureCase{"NotAJpeg", JpegError(JERR_NO_SOI)},
                      PictureCase{"CutInHalf", JpegError(JWRN_JPEG_EOF)},
                      PictureCase{"HeaderOnly", JpegError(JWRN_JPEG_EOF)},
                      PictureCase{"EndMarkerMissing", JpegError(JWRN_JPEG_EOF)},
                      PictureCase{"Directory", CannotOpen("%s", "Is a directory")},
                      PictureCase{"FifoWithoutWriter", CannotOpen("%s", "No such device or address")},
                      PictureCase{"FifoWithWriter", CannotOpen("%s", "No such device or address")},
                      PictureCase{"LinkToADevice", CannotOpen("%s", "No such device or address")},
                      PictureCase{"Missing", CannotOpen("%s", "No such file or directory")},
                      PictureCase{"MissingFolder", CannotOpen("%s", "No such file or directory")},
                      PictureCase{"FolderIsAFile", CannotOpen("%s", "Not a directory")},
                      PictureCase{"DanglingLink", CannotOpen("%s", "No such file or directory")},
                      PictureCase{"LinkLoop", CannotOpen("%s", "Too many levels of symbolic links")},
                      PictureCase{"NoReadPermission", CannotOpen("%s", "Permission denied")},
                      PictureCase{"FolderClosed", CannotOpen("%s", "Permission denied")},
                      PictureCase{"LinkToAPicture", "<nothing thrown>"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Damaged bytes ------------------------------------------------------------

struct DamageCase {
    const char* name;
    bool progressive;
    int components;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class Damage : public ::testing::TestWithParam<DamageCase> {};

// Every cut of the file short of its end is an error: the decoder never
// paints a picture whose data ran out.
TEST_P(Damage, EveryCutIsAJpegError) {
    const DamageCase& c = GetParam();
    const std::string good = MakeJpeg(24, 16, c.progressive, c.components);
    ASSERT_EQ(Decode(good), "<nothing thrown>");
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::string message = Decode(good.substr(0, n));
        EXPECT_TRUE(IsJpegError(message)) << "cut at " << n << ": " << message;
    }
}

// Any byte changed to any of a few values: a picture or a JPEG error.
TEST_P(Damage, EveryChangedByteIsAPictureOrAJpegError) {
    const DamageCase& c = GetParam();
    const std::string good = MakeJpeg(24, 16, c.progressive, c.components);
    for (std::size_t i = 0; i < good.size(); ++i) {
        const unsigned char flipped = static_cast<unsigned char>(good[i] ^ 0x01);
        for (unsigned char value : {static_cast<unsigned char>(0x00), static_cast<unsigned char>(0x7F), static_cast<unsigned char>(0xFF), flipped}) {
            std::string bad = good;
            bad[i] = static_cast<char>(value);
            std::string message = Decode(bad);
            EXPECT_TRUE(message == "<nothing thrown>" || IsJpegError(message))
                << "byte " << i << " set to " << int(value) << ": " << message;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, Damage,
                         ::testing::Values(DamageCase{"Baseline", false, 3}, DamageCase{"Progressive", true, 3},
                                           DamageCase{"Grey", false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Headers that promise too much ------------------------------------------------

struct ClaimCase {
    const char* name;
    bool progressive;
    int width, height;
    bool refused;
};

void PrintTo(const ClaimCase& c, std::ostream* os) { *os << c.name; }

class ClaimedSize : public ::testing::TestWithParam<ClaimCase> {};

// A header of a few hundred bytes claiming 60000 x 60000 pixels (10.8 GB of
// picture) is refused before the picture's memory is taken: the whole
// decoding holds a few megabytes at most.
TEST_P(ClaimedSize, IsRefusedBeforeTheMemoryIsTaken) {
    const ClaimCase& c = GetParam();
    const std::string forged = WithClaimedSize(MakeJpeg(16, 16, c.progressive), c.width, c.height);
    ASSERT_FALSE(forged.empty());
    std::string message;
    std::size_t peak = hostile::PeakHeapBytes([&] { message = Decode(forged); });
    if (c.refused) {
        EXPECT_EQ(message, JpegError(JERR_IMAGE_TOO_BIG));
    } else {
        EXPECT_NE(message, JpegError(JERR_IMAGE_TOO_BIG));
    }
    EXPECT_LT(peak, std::size_t(8) << 20) << "bytes held at the peak of decoding " << forged.size() << " bytes";
}

// The meter itself sees a picture's memory (so that a small figure above
// means something).
TEST(AllocationMeter, SeesAPicturesMemory) {
    std::size_t peak = hostile::PeakHeapBytes([] {
        QImage image(2000, 2000, QImage::Format_RGB888);
        image.fill(0);
    });
    EXPECT_GE(peak, std::size_t(2000) * 2000 * 3);
}

INSTANTIATE_TEST_SUITE_P(Pictures, ClaimedSize,
                         ::testing::Values(ClaimCase{"Baseline60000Square", false, 60000, 60000, true},
                                           ClaimCase{"Progressive60000Square", true, 60000, 60000, true},
                                           ClaimCase{"Progressive65500Wide", true, 65500, 1000, true},
                                           ClaimCase{"Baseline65500x1", false, 65500, 1, false},
                                           ClaimCase{"Baseline1000Square", false, 1000, 1000, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
