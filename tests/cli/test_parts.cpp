// Runs drawn in parts: a seeded run gives the same bytes on any number of
// threads, and shards of it joined in order are the run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture.h"
#include "cli/options.h"
#include "core/rows.h"

namespace pelmora::cli {
namespace {

using testing::Outcome;
using testing::RunTool;

// Every row with parameters inside its domain, and the parameters that
// change how a row splits: Gamma's shape 1 reseeds, others do not; a tiny
// Geometric p fails at some value in the middle of the run.
const std::vector<std::vector<std::string>> kRowCases = {
    {"beta", "2", "3"},
    {"bernoulli", "0.3"},
    {"bernoulli-gauss", "0.5", "1", "2"},
    {"binomial", "5", "0.4"},
    {"cauchy", "0", "1"},
    {"chi-square", "3"},
    {"continuous-uniform", "-1", "2"},
    {"discrete-uniform", "6"},
    {"erlang", "3", "2"},
    {"exponential", "2"},
    {"f", "3", "5"},
    {"gamma", "2.5", "1"},
    {"gamma", "0.5", "1"},
    {"gamma", "1", "2"},
    {"gauss-normal", "1", "2"},
    {"geometric", "0.3"},
    {"geometric", "1.4e-9"},  // fails at value 10, 33 or 3
    {"laplace", "1"},
    {"lognormal", "0", "0.5"},
    {"logistic"},
    {"poisson", "4"},
    {"rayleigh", "1"},
    {"standard-normal"},
    {"students-t", "4"},
    {"triangle", "0", "2", "0.5"},
    {"negative-binomial", "3", "0.4"},
    {"noncentral-chi-square", "3", "1.5"},
    {"noncentral-f", "3", "5", "1"},
    {"noncentral-t", "4", "1"},
    {"weibull", "2", "1"},
};

std::vector<std::string> Args(std::vector<std::string> options, const std::vector<std::string>& row) {
    options.insert(options.end(), row.begin(), row.end());
    return options;
}

TEST(Parts, TheTableHasEveryRow) {
    std::vector<bool> seen(kRowCount);
    for (const auto& c : kRowCases) seen[static_cast<std::size_t>(Index(*FindRow(c[0])))] = true;
    for (int index = 0; index < kRowCount; ++index) EXPECT_TRUE(seen[static_cast<std::size_t>(index)]) << index;
}

// Output, messages and status of -j 4 (parts of three values) are those of
// -j 1 for every row, seed, format and source, failures and --stats
// included; on philox Gamma and Poisson draw in parts too.
TEST(Parts, EveryThreadCountGivesTheSameRun) {
    const std::vector<std::vector<std::string>> formats = {
        {}, {"--precision", "17", "--columns", "3"}, {"--binary"}, {"--stats"}};
    for (const char* source : {"lcg", "philox"}) {
        for (const auto& row : kRowCases) {
            for (const char* seed : {"1", "42", "18446744073709551615"}) {
                for (const auto& format : formats) {
                    std::vector<std::string> options = {"--source", source, "--seed", seed, "-n", "40"};
                    options.insert(options.end(), format.begin(), format.end());
                    const auto one = Args(options, row);
                    auto four = one;
                    four.insert(four.begin(), {"-j", "4"});
                    auto withOne = one;
                    withOne.insert(withOne.begin(), {"-j", "1"});
                    Outcome serial = RunTool(withOne);
                    Outcome parts = RunTool(four);
                    SCOPED_TRACE(std::string(source) + " " + row[0] + " --seed " + seed +
                                 (format.empty() ? "" : " " + format[0]));
                    ASSERT_FALSE(serial.out.empty()) << serial.err;
                    EXPECT_EQ(parts.status, serial.status);
                    EXPECT_EQ(parts.out, serial.out);
                    EXPECT_EQ(parts.err, serial.err);
                }
            }
        }
    }
}

// The file of -o is created only at the first value, on any number of
// threads: a run that fails at once leaves the file as it was; one that
// fails at value 10 leaves values 0 to 9.
TEST(Parts, TheFileIsCreatedAtTheFirstValue) {
    const std::string path = ::testing::TempDir() + "pelmora-parts-" + std::to_string(::getpid());
    for (const char* threads : {"1", "4"}) {
        ASSERT_TRUE(RunTool({"-o", path, "--seed", "5", "-n", "2", "exponential"}).status == 0);
        const std::string before = RunTool({"--seed", "5", "-n", "2", "exponential"}).out;
        Outcome atOnce = RunTool({"-j", threads, "-o", path, "--as-window", "gamma", "0", "1"});
        EXPECT_EQ(atOnce.status, 1);
        int fd = ::open(path.c_str(), O_RDONLY);
        EXPECT_EQ(testing::ReadAll(fd), before) << threads;
        ::close(fd);
        Outcome midway = RunTool({"-j", threads, "-o", path, "--seed", "1", "-n", "40", "geometric", "1.4e-9"});
        EXPECT_EQ(midway.status, 1);
        EXPECT_EQ(midway.err, "pelmora-gen: Integer overflow.\n");
        fd = ::open(path.c_str(), O_RDONLY);
        EXPECT_EQ(testing::Lines(testing::ReadAll(fd)).size(), 10u) << threads;
        ::close(fd);
    }
    ::unlink(path.c_str());
}

// Shards of 37 values, from 1 to more shards than values, joined in order,
// are the whole run byte for byte: lines of several columns that a shard
// boundary cuts included.
TEST(Shards, JoinedInOrderAreTheRun) {
    const std::vector<std::vector<std::string>> cases = {
        {"standard-normal"},
        {"binomial", "5", "0.4"},  // five reseeds a value
        {"triangle", "0", "2", "0.5"},  // jumps the uniform state
        {"--columns", "3", "--precision", "5", "exponential", "2"},
        {"--binary", "chi-square", "3"},
        {"gamma", "1", "2"},
    };
    for (const auto& c : cases) {
        const auto whole = RunTool(Args({"-j", "1", "--seed", "9", "-n", "37"}, c));
        ASSERT_EQ(whole.status, 0) << whole.err;
        for (int n : {1, 4, 5, 50}) {
            for (const char* threads : {"1", "3"}) {
                std::string joined;
                for (int i = 0; i < n; ++i) {
                    std::string shard = std::to_string(i) + "/" + std::to_string(n);
                    Outcome part = RunTool(Args({"-j", threads, "--seed", "9", "-n", "37", "--shard", shard}, c));
                    ASSERT_EQ(part.status, 0) << part.err;
                    joined += part.out;
                }
                EXPECT_EQ(joined, whole.out) << c.back() << " in " << n << " shards on " << threads << " threads";
            }
        }
    }
}

// A shard deep inside a run of 10^18 values starts at once, and cutting it
// finer gives the same values: the shard bounds are worked out without
// overflow and the stream jumps, for reseeding and jumping rows alike.
TEST(Shards, FarIntoAHugeRunAgreeWithFinerShards) {
    const std::vector<std::vector<std::string>> rows = {{"binomial", "5", "0.4"}, {"triangle", "0", "2", "0.5"}};
    for (const auto& row : rows) {
        const std::vector<std::string> base = {"--seed", "3", "-n", "1e18"};
        auto shard = [&](const std::string& which) {
            auto args = Args(base, row);
            args.insert(args.end(), {"--shard", which});
            Outcome o = RunTool(args);
            EXPECT_EQ(o.status, 0) << o.err;
            return o.out;
        };
        // Values 999999999999999990 to 999999999999999999, in one shard and in two.
        const std::string coarse = shard("99999999999999999/100000000000000000");
        EXPECT_EQ(testing::Lines(coarse).size(), 10u);
        EXPECT_EQ(shard("199999999999999998/200000000000000000") + shard("199999999999999999/200000000000000000"),
                  coarse);
    }
}

// On the window's source, that is: under philox the same commands draw.
TEST(Shards, RowsThatDrawInOrderAreRefused) {
    const std::string why =
        " it never reseeds and draws a varying number of uniforms per value, "
        "so every value depends on all the values before it; ";
    Outcome poisson = RunTool({"--seed", "1", "--shard", "0/2", "poisson", "4"});
    EXPECT_EQ(poisson.status, 2);
    EXPECT_EQ(poisson.out, "");
    EXPECT_EQ(poisson.err, "pelmora-gen: --shard: Poisson cannot be cut into shards:" + why +
                               "draw the whole run in one process, or use --source philox\n");
    Outcome gamma = RunTool({"--seed", "1", "--start", "5", "gamma", "2.5"});
    EXPECT_EQ(gamma.status, 2);
    EXPECT_EQ(gamma.out, "");
    EXPECT_EQ(gamma.err, "pelmora-gen: --start: Gamma with a shape other than 1 cannot start at a later value:" + why +
                             "draw the run from value 0, or use --source philox\n");
    EXPECT_EQ(RunTool({"--seed", "1", "--start", "0", "gamma", "2.5"}).status, 0);
    EXPECT_EQ(RunTool({"--source", "philox", "--seed", "1", "--start", "5", "gamma", "2.5"}).status, 0);
}

// Under philox every row shards, and a shard is the matching --start and -n:
// the shards joined in order, and every --start, give the run's values.
TEST(Shards, EveryRowSplitsUnderPhilox) {
    for (const auto& row : kRowCases) {
        const auto whole = RunTool(Args({"--source", "philox", "-j", "1", "--seed", "9", "-n", "23"}, row));
        ASSERT_FALSE(whole.out.empty()) << row[0] << ": " << whole.err;
        const std::vector<std::string> lines = testing::Lines(whole.out);
        std::string joined;
        for (int i = 0; i < 4; ++i) {
            std::string shard = std::to_string(i) + "/4";
            joined += RunTool(Args({"--source", "philox", "-j", "2", "--seed", "9", "-n", "23", "--shard", shard}, row)).out;
        }
        if (whole.status == 0) {  // else the shards after the failure draw on
            EXPECT_EQ(joined, whole.out) << row[0];
        }
        for (std::size_t start : {1u, 17u}) {
            if (start >= lines.size()) continue;  // a failing row stops early
            Outcome tail = RunTool(Args(
                {"--source", "philox", "--seed", "9", "--start", std::to_string(start), "-n", "3"}, row));
            const std::vector<std::string> expected(lines.begin() + static_cast<std::ptrdiff_t>(start),
                                                    lines.begin() + static_cast<std::ptrdiff_t>(std::min(start + 3, lines.size())));
            EXPECT_EQ(testing::Lines(tail.out), expected) << row[0] << " --start " << start;
        }
    }
}

// A Triangle run of 10^10 values: on the window's source value 2^32 is value
// 0 again (the generator has 2^32 states and Triangle draws one uniform a
// value); under philox they differ.
TEST(Shards, TriangleValue2To32RepeatsValue0OnlyOnTheWindowsSource) {
    for (const char* source : {"lcg", "philox"}) {
        auto value = [&](const char* start) {
            return RunTool({"--source", source, "--seed", "5", "--start", start, "-n", "1", "triangle", "0", "2", "0.5"}).out;
        };
        const std::string first = value("0");
        ASSERT_FALSE(first.empty());
        if (std::string(source) == "lcg") {
            EXPECT_EQ(value("4294967296"), first);
        } else {
            EXPECT_NE(value("4294967296"), first);
        }
    }
}

}  // namespace
}  // namespace pelmora::cli
