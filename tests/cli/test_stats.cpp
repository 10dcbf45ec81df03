// The running statistics behind --stats.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cli/stats.h"

namespace pelmora::cli {
namespace {

TEST(RunningStats, EmptyAndSingle) {
    RunningStats s;
    EXPECT_EQ(s.count(), 0u);
    EXPECT_FALSE(s.mean());
    EXPECT_FALSE(s.variance());
    EXPECT_FALSE(s.min());
    EXPECT_FALSE(s.max());
    s.Add(-2.5);
    EXPECT_EQ(s.count(), 1u);
    EXPECT_EQ(s.mean(), -2.5);
    EXPECT_FALSE(s.variance());
    EXPECT_EQ(s.min(), -2.5);
    EXPECT_EQ(s.max(), -2.5);
}

TEST(RunningStats, TextbookSample) {
    RunningStats s;
    for (double x : {2, 4, 4, 4, 5, 5, 7, 9}) s.Add(x);
    EXPECT_EQ(s.count(), 8u);
    EXPECT_DOUBLE_EQ(*s.mean(), 5);
    EXPECT_DOUBLE_EQ(*s.variance(), 32.0 / 7);  // n - 1 divisor
    EXPECT_EQ(s.min(), 2);
    EXPECT_EQ(s.max(), 9);
}

// Welford's update keeps its accuracy where the naive sum of squares loses
// every digit: values 1e9 + {4, 7, 13, 16} have population variance 22.5.
TEST(RunningStats, NoCancellationForALargeOffset) {
    RunningStats s;
    for (int round = 0; round < 1000; ++round)
        for (double d : {4, 7, 13, 16}) s.Add(1e9 + d);
    EXPECT_NEAR(*s.mean(), 1e9 + 10, 1e-6);
    EXPECT_NEAR(*s.variance(), 22.5 * 4000 / 3999, 1e-6);
}

// A variance beyond the double range is none, as the law's would be.
TEST(RunningStats, AVarianceBeyondTheDoublesIsNone) {
    RunningStats s;
    for (double x : {-1e308, 1e308}) s.Add(x);
    EXPECT_EQ(s.mean(), 0);
    EXPECT_FALSE(s.variance());
}

// The quartiles as R's quantile() gives them (type 7): 1:4 has 1.75, 2.5
// and 3.25; a single value is all three.
TEST(StatsReport, LayoutWithTheQuartilesBesideTheLaws) {
    RunningStats s;
    for (double x : {4, 1, 3, 2}) s.Add(x);
    EXPECT_EQ(StatsReport(s, Moments{2.5, std::nullopt}, SampleQuartiles({4, 1, 3, 2}), Quartiles{1.5, 2.5, std::nullopt}),
              "count     4\n"
              "mean      2.5                   (expected 2.5)\n"
              "variance  1.66666666666667      (expected none)\n"
              "minimum   1\n"
              "1st qu.   1.75                  (expected 1.5)\n"
              "median    2.5                   (expected 2.5)\n"
              "3rd qu.   3.25                  (expected none)\n"
              "maximum   4\n");
    Quartiles one = SampleQuartiles({7});
    EXPECT_EQ(one.q1, 7);
    EXPECT_EQ(one.median, 7);
    EXPECT_EQ(one.q3, 7);
    EXPECT_FALSE(SampleQuartiles({}).median);
}

}  // namespace
}  // namespace pelmora::cli
