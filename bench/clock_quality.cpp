// clock-quality (`make quality`): how good the values of the reseeding rows
// are when they are drawn at full speed with the real clock.
//
// Draws 200,000 values of the Exponential row (rate 1) and of the Standard
// Normal row in a tight loop, and again with the per-value work of the
// Generate command (formatting each value as text), and prints for each run
// the sample mean, the sample variance, the Kolmogorov-Smirnov distance to
// the exact law with its p-value, and the lag-1 correlation, next to the
// values an independent sample of that law should give. For comparison the
// same loops run with the raw, unmixed counter as the clock (the time-stamp
// counter, and the monotonic clock's nanoseconds), which is what reseeding
// from the counter's own low 32 bits would give. Last, every core draws at
// once, each thread reading the real clock with its own index.

#include <time.h>
#include <x86intrin.h>

#include <algorithm>
#include <boost/math/distributions/exponential.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "core/rows.h"
#include "engine/engine.h"
#include "tests/engine/goodness_of_fit.h"

namespace {

using pelmora::ClockSource;

constexpr int kValues = 200000;

uint64_t ReadTsc(void*) { return __rdtsc(); }

uint64_t ReadMonotonicNanoseconds(void*) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

double NormalCdf(double x) { return boost::math::cdf(boost::math::normal(), x); }
double ExponentialCdf(double x) { return x <= 0 ? 0 : boost::math::cdf(boost::math::exponential(1), x); }

struct Law {
    const char* name;
    pelmora::Row row;
    double p1;
    double mean, variance;
    double (*cdf)(double);
};

const Law kLaws[] = {
    {"Exponential (1)", pelmora::Row::Exponential, 1, 1, 1, ExponentialCdf},
    {"Standard Normal", pelmora::Row::StandardNormal, 0, 0, 1, NormalCdf},
};

struct Summary {
    double mean, variance, ks, ksP, lag1;
    int faults;
};

Summary Summarise(std::vector<double> x, const Law& law, int faults) {
    Summary s{};
    s.faults = faults;
    const double n = static_cast<double>(x.size());
    for (double v : x) s.mean += v;
    s.mean /= n;
    for (double v : x) s.variance += (v - s.mean) * (v - s.mean);
    s.variance /= n - 1;
    s.lag1 = pelmora::testing::Lag1Correlation(x);
    const auto ks = pelmora::testing::KolmogorovSmirnov(std::move(x), law.cdf);
    s.ks = ks.distance;
    s.ksP = ks.p;
    return s;
}

// Draws kValues values of the row; `format` adds the Generate command's
// per-value work. A value whose draw faults (a uniform of exactly 0) is
// counted and left out.
Summary Run(const Law& law, bool format) {
    std::vector<double> x;
    x.reserve(kValues);
    int faults = 0;
    char text[64];
    unsigned sink = 0;
    for (int i = 0; i < kValues; ++i) {
        try {
            const double v = pelmora::DrawRow(law.row, law.p1, 0, 0);
            if (format) sink += static_cast<unsigned>(std::snprintf(text, sizeof text, "%.15g", v));
            x.push_back(v);
        } catch (const pelmora::Error&) {
            ++faults;
        }
    }
    if (sink == 1) std::puts("");  // keeps the formatting from being optimised away
    return Summarise(std::move(x), law, faults);
}

// Every core drawing at once with the real clock, each thread with its own
// index: the values of all threads together, and the correlation of thread
// 0's i-th value with thread 1's i-th value. Two threads that read the same
// counter at the same moment without their indices would start from the
// same state and make that correlation nearly 1.
Summary RunThreads(const Law& law, unsigned threads, double& crossCorrelation) {
    std::vector<std::vector<double>> values(threads);
    std::vector<int> faults(threads, 0);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            pelmora::SetThreadIndex(t);
            values[t].reserve(kValues / threads);
            for (unsigned i = 0; i < kValues / threads; ++i) {
                try {
                    values[t].push_back(pelmora::DrawRow(law.row, law.p1, 0, 0));
                } catch (const pelmora::Error&) {
                    ++faults[t];
                }
            }
        });
    }
    for (auto& w : workers) w.join();
    const size_t pairs = std::min(values[0].size(), values[1].size());
    double m0 = 0, m1 = 0, s00 = 0, s11 = 0, s01 = 0;
    for (size_t i = 0; i < pairs; ++i) m0 += values[0][i], m1 += values[1][i];
    m0 /= pairs;
    m1 /= pairs;
    for (size_t i = 0; i < pairs; ++i) {
        s00 += (values[0][i] - m0) * (values[0][i] - m0);
        s11 += (values[1][i] - m1) * (values[1][i] - m1);
        s01 += (values[0][i] - m0) * (values[1][i] - m1);
    }
    crossCorrelation = s01 / std::sqrt(s00 * s11);
    std::vector<double> all;
    int allFaults = 0;
    for (unsigned t = 0; t < threads; ++t) {
        all.insert(all.end(), values[t].begin(), values[t].end());
        allFaults += faults[t];
    }
    return Summarise(std::move(all), law, allFaults);
}

void PrintRow(const char* clock, const char* loop, const Law& law, const Summary& s) {
    std::printf("%-32s %-10s %-16s %8.4f %9.4f %8.4f  %9.2g %+8.4f", clock, loop, law.name, s.mean, s.variance, s.ks,
                s.ksP, s.lag1);
    if (s.faults) std::printf("  (%d draws faulted)", s.faults);
    std::printf("\n");
}

}  // namespace

int main() {
    struct Clock {
        const char* name;
        ClockSource source;
    };
    const Clock clocks[] = {
        {"real clock (mixed counter)", pelmora::RealClock()},
        {"raw time-stamp counter", {&ReadTsc, nullptr}},
        {"raw monotonic nanoseconds", {&ReadMonotonicNanoseconds, nullptr}},
    };

    // What an independent sample of kValues gives: the law's mean and
    // variance, a KS distance of about 0.87 / sqrt(n) with a p-value spread
    // evenly over (0, 1), and a lag-1 correlation of 0 with standard error
    // 1 / sqrt(n).
    std::printf(
        "%d values per run; \"expected\" lines: the law's mean and variance, the typical KS distance\n"
        "(p-value anywhere in 0..1; below 1e-6 is a failure), lag-1 correlation 0 +- 2 standard errors.\n\n",
        kValues);
    std::printf("%-32s %-10s %-16s %8s %9s %8s  %9s %8s\n", "clock", "loop", "row", "mean", "variance", "KS D", "KS p",
                "lag-1");
    const double n = kValues;
    for (const Law& law : kLaws)
        std::printf("%-32s %-10s %-16s %8.4f %9.4f %8.4f  %9s   0+-%.4f\n", "expected", "", law.name, law.mean,
                    law.variance, 0.87 / std::sqrt(n), "0..1", 2 / std::sqrt(n));
    for (const Clock& clock : clocks) {
        pelmora::SetClock(clock.source);
        for (bool format : {false, true})
            for (const Law& law : kLaws) PrintRow(clock.name, format ? "formatted" : "tight", law, Run(law, format));
    }
    pelmora::SetClock(pelmora::RealClock());

    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    char loop[32];
    std::snprintf(loop, sizeof loop, "%u threads", threads);
    std::printf("\nAll threads drawing at once (lag-1 within each thread's run; \"thread 0 x 1\": the\n"
                "correlation of the two threads' i-th values, 0 +- %.4f expected):\n",
                2 / std::sqrt(n / threads));
    for (const Law& law : kLaws) {
        double cross = 0;
        const Summary s = RunThreads(law, threads, cross);
        PrintRow("real clock (mixed counter)", loop, law, s);
        std::printf("%-32s %-10s %-16s thread 0 x 1: %+8.4f\n", "", "", "", cross);
    }
    return 0;
}
