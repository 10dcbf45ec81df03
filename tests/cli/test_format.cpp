// pelmora-gen's output formats: digits, columns, raw doubles.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "cli/format.h"
#include "core/numtext.h"

namespace pelmora::cli {
namespace {

using pelmora::testing::Lines;
using pelmora::testing::Outcome;
using pelmora::testing::RunTool;

struct DigitsCase {
    double x;
    int precision;
    const char* text;
};

class FormatValueTest : public ::testing::TestWithParam<DigitsCase> {};

TEST_P(FormatValueTest, WritesTheGeneralFormatWithPDigits) {
    char out[kValueMax];
    std::size_t n = FormatValue(GetParam().x, GetParam().precision, out);
    EXPECT_EQ(std::string(out, n), GetParam().text) << GetParam().x << " P=" << GetParam().precision;
}

INSTANTIATE_TEST_SUITE_P(
    Digits, FormatValueTest,
    ::testing::Values(
        DigitsCase{0.5, 1, "0.5"}, DigitsCase{2.5, 1, "3"}, DigitsCase{-2.5, 1, "-3"}, DigitsCase{9.5, 1, "1E1"},
        DigitsCase{12, 1, "1E1"}, DigitsCase{15, 1, "2E1"}, DigitsCase{7, 1, "7"}, DigitsCase{0, 1, "0"},
        DigitsCase{-0.0, 3, "0"}, DigitsCase{9.96, 2, "10"}, DigitsCase{99.96, 3, "100"},
        DigitsCase{0.00012345, 3, "0.000123"}, DigitsCase{0.000012345, 3, "1.23E-5"},
        DigitsCase{0.0001, 5, "0.0001"}, DigitsCase{0.00001, 5, "1E-5"}, DigitsCase{-1.5e-7, 2, "-1.5E-7"},
        DigitsCase{1e300, 3, "1E300"}, DigitsCase{5e-324, 17, "4.9406564584124654E-324"},
        DigitsCase{0.1, 17, "0.10000000000000001"}, DigitsCase{0.1, 16, "0.1"},
        DigitsCase{1e16, 17, "10000000000000000"}, DigitsCase{1e17, 17, "1E17"},
        DigitsCase{123456, 17, "123456"}, // 1/3 is 0.333333333333333314829...: 18 digits end in 5, which rounds up.
        DigitsCase{1.0 / 3, 17, "0.33333333333333332"},
        DigitsCase{1.0 / 3, 15, "0.333333333333333"}, DigitsCase{2.0 / 3, 6, "0.666667"},
        DigitsCase{1e15, 15, "1E15"}, DigitsCase{1e15, 16, "1000000000000000"}));

std::vector<double> ReadDoubles(const std::string& bytes) {
    std::vector<double> values(bytes.size() / 8);
    std::memcpy(values.data(), bytes.data(), values.size() * 8);
    return values;
}

// The raw doubles, the 17-digit texts and the default 15-digit texts of one
// seeded run are the same values: the raw bytes read back bit for bit, the
// 17 digits read back as the very same doubles, and the default output is
// those doubles in the window's format.
TEST(Formats, BinaryAnd17DigitsAreTheExactValues) {
    const std::vector<std::vector<std::string>> rows = {
        {"gamma", "2", "3"}, {"standard normal"}, {"cauchy", "0", "1e-300"}, {"log normal", "300", "20"},
        {"poisson", "4"}, {"bernoulli-gauss", "0.5", "-1e6", "1e-9"}};
    for (const auto& row : rows) {
        std::vector<std::string> base = {"--seed", "77", "-n", "3000"};
        base.insert(base.end(), row.begin(), row.end());
        auto with = [&](std::vector<std::string> extra) {
            extra.insert(extra.end(), base.begin(), base.end());
            return RunTool(extra);
        };
        Outcome binary = with({"--binary"});
        Outcome digits17 = with({"--precision", "17"});
        Outcome plain = with({});
        ASSERT_EQ(binary.status, 0) << binary.err;
        ASSERT_EQ(binary.out.size(), 3000u * 8) << row[0];
        std::vector<double> values = ReadDoubles(binary.out);
        std::vector<std::string> texts = Lines(digits17.out), defaults = Lines(plain.out);
        ASSERT_EQ(texts.size(), values.size());
        ASSERT_EQ(defaults.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            double back = std::strtod(texts[i].c_str(), nullptr);
            ASSERT_EQ(std::memcmp(&back, &values[i], 8), 0) << row[0] << " " << texts[i];
            ASSERT_EQ(FormatGeneral(values[i], std::string_view(".")), defaults[i]) << row[0];
        }
        // The little-endian layout itself, byte for byte, for the first value.
        uint64_t bits;
        std::memcpy(&bits, &values[0], 8);
        for (int b = 0; b < 8; ++b) {
            ASSERT_EQ(static_cast<unsigned char>(binary.out[b]), (bits >> (8 * b)) & 0xff);
        }
    }
}

struct ColumnsCase {
    const char* columns;
    const char* count;
    std::vector<std::string> lines;  // indices into the one-a-line run, tab-joined
};

class ColumnsTest : public ::testing::TestWithParam<ColumnsCase> {};

TEST_P(ColumnsTest, PutKValuesOnALine) {
    const ColumnsCase& c = GetParam();
    std::vector<std::string> one = Lines(RunTool({"--seed", "5", "-n", c.count, "gamma", "2", "3"}).out);
    Outcome o = RunTool({"--seed", "5", "-n", c.count, "--columns", c.columns, "gamma", "2", "3"});
    EXPECT_EQ(o.status, 0);
    std::string expected;
    for (const std::string& line : c.lines) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            expected += one[static_cast<std::size_t>(line[i] - '0')];
            expected += i + 1 < line.size() ? "\t" : "\n";
        }
    }
    EXPECT_EQ(o.out, expected);
}

INSTANTIATE_TEST_SUITE_P(Columns, ColumnsTest,
                         ::testing::Values(ColumnsCase{"2", "5", {"01", "23", "4"}},
                                           ColumnsCase{"3", "6", {"012", "345"}},
                                           ColumnsCase{"7", "3", {"012"}}, ColumnsCase{"1", "2", {"0", "1"}},
                                           ColumnsCase{"4", "0", {}}));

// Raw doubles would garble a terminal: refused before anything is drawn.
TEST(Formats, BinaryAndNpyRefuseATerminal) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) GTEST_SKIP() << "no pseudo-terminal on this machine";
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    for (const char* option : {"--binary", "--npy"}) {
        int err = ::memfd_create("err", 0);
        std::vector<std::string> args = {option, "--seed", "1", "gamma", "2"};
        int status = pelmora::testing::RunInProcess(args, terminal, err);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(pelmora::testing::ReadAll(err),
                  std::string(option) == "--binary"
                      ? "pelmora-gen: --binary does not write to a terminal; redirect the output or use -o FILE\n"
                      : "pelmora-gen: --npy needs a regular file to seek in: name one with -o FILE, or redirect "
                        "standard output to one with > (not a pipe, a terminal, a device or >>)\n");
        ::close(err);
    }
    ::close(terminal);
    ::close(master);
}

}  // namespace
}  // namespace pelmora::cli
