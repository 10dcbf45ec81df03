// pelmora-gen run in-process: the reproducible --seed stream, a seed from
// the system without it, the window's behaviour with --as-window, every
// refusal with its message and exit status, the warning of a run long
// enough to repeat, the output file, a closed pipe, --list, --help,
// --version and --stats.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture.h"
#include "cli/gen.h"
#include "cli/seeded_clock.h"
#include "core/rows.h"
#include "engine/uniform.h"

namespace pelmora::cli {
namespace {

using pelmora::testing::Lines;
using pelmora::testing::Outcome;
using pelmora::testing::RunTool;

// ---------------------------------------------------------------------------
// The --seed stream. These lines are a promise to users: identical commands
// print them on every x86-64 machine and in every release. A change here is a
// breaking change, never a test to update.

struct Pinned {
    const char* seed;
    std::vector<std::string> distribution;  // the distribution and its parameters
    std::vector<std::string> lines;
};

const Pinned kPinned[] = {
    {"20261208", {"beta", "2", "3"},
     {"0.479476336143975", "0.306836919914602", "0.169027978258296", "0.423497031361421"}},
    {"20261208", {"bernoulli", "0.3"},
     {"0", "0", "0", "0"}},
    {"20261208", {"bernoulli-gauss", "0.5", "10", "2"},
     {"0", "0", "0", "9.48650296729444"}},
    {"20261208", {"binomial", "10", "0.3"},
     {"1", "2", "2", "4"}},
    {"20261208", {"cauchy", "0", "1"},
     {"0.417514259296866", "0.787798945276661", "0.0895817905276578", "-0.386274282596653"}},
    {"20261208", {"chi-square", "5"},
     {"3.76547222387306", "4.13115875381675", "4.99006835873276", "2.47648353018987"}},
    {"20261208", {"continuous uniform", "-1", "1"},
     {"0.251791466958821", "0.424788916949183", "0.0568777173757553", "-0.234669604338706"}},
    {"20261208", {"discrete uniform", "10"},
     {"7", "8", "6", "4"}},
    {"20261208", {"erlang", "3", "2"},
     {"4.11220051105646", "4.53646957637721", "2.64614447294803", "9.33155424912226"}},
    {"20261208", {"exponential", "2"},
     {"0.234285740845865", "0.169561753134074", "0.318914084375246", "0.480297414599878"}},
    {"20261208", {"f", "3", "7"},
     {"1.38171336705048", "0.663992923303417", "0.305114926560373", "1.10189466767582"}},
    {"20261208", {"gamma", "2", "3"},
     {"2.68315375695778", "9.36635732961552", "4.25045628104545", "7.23036291491448"}},
    {"20261208", {"gamma", "0.5", "1"},
     {"0.289914032622791", "0.876534256362143", "0.117261140747016", "2.67264979366936"}},
    {"20261208", {"gamma", "1", "2"},
     {"0.937142963383459", "0.678247012536297", "1.27565633750098", "1.92118965839951"}},
    {"20261208", {"gauss normal", "10", "2"},
     {"12.2469225677384", "12.3110162291887", "10.2678238396068", "9.3259017791592"}},
    {"20261208", {"geometric", "0.3"},
     {"1", "0", "1", "2"}},
    {"20261208", {"laplace", "1"},
     {"-1.09985649139304", "-1.14693801414186", "-0.222580179495496", "0.155988904819025"}},
    {"20261208", {"log normal", "0", "1"},
     {"3.07548091413024", "3.17563659495364", "1.14329211381547", "0.713873780400365"}},
    {"20261208", {"logistic"},
     {"0.514649251241679", "0.907041878883711", "0.113878342520287", "-0.478251056076808"}},
    {"20261208", {"poisson", "4"},
     {"8", "2", "5", "5"}},
    {"20261208", {"rayleigh", "1"},
     {"0.968061446078429", "0.823557534442068", "1.12944957280128", "1.38606986057684"}},
    {"20261208", {"standard normal"},
     {"-1.04282147916466", "-0.35454230881921", "-0.656580159659989", "-1.45638072223024"}},
    {"20261208", {"student's t", "5"},
     {"-0.927737899089253", "-0.429548355546116", "-3.1191658321473", "-0.0659494920149149"}},
    {"20261208", {"triangle", "0", "1", "0.3"},
     {"0.39492487287479", "0.499541107714958", "0.665076687794811", "0.536949495470889"}},
    {"20261208", {"negative binomial", "3", "0.4"},
     {"1", "2", "2", "6"}},
    {"20261208", {"noncentral chi-square", "5", "2"},
     {"8.8816250305817", "7.9712079087778", "9.05993803768915", "2.6221347720549"}},
    {"20261208", {"noncentral f", "4", "10", "2"},
     {"1.80441997171733", "1.44860144870667", "0.180564120677149", "4.22766823837385"}},
    {"20261208", {"noncentral t", "5", "1"},
     {"-0.0380957909957342", "2.59899316801441", "-1.51751061320151", "0.8493475497635"}},
    {"20261208", {"weibull", "2", "1"},
     {"0.684522813127312", "0.58234311730126", "0.798641451936031", "0.980099397612179"}},
    {"0", {"standard normal"},
     {"-0.344301696421262", "-2.06173411885715", "0.654664770089891", "0.433762146288126"}},
    {"0", {"exponential", "1"},
     {"0.402891556812478", "0.569715960734373", "0.0882035811838061", "2.14864914239449"}},
    {"18446744073709551615", {"standard normal"},
     {"1.14476320014362", "0.303167199207935", "0.737024884705082", "0.38582064527323"}},
    {"18446744073709551615", {"poisson", "4"},
     {"3", "2", "8", "6"}},
    {"4294967301", {"gamma", "2", "3"},
     {"3.95366730056444", "3.4714454918221", "4.99579775822934", "3.56511829062631"}},
    {"5", {"gamma", "2", "3"},
     {"3.95366730056444", "3.4714454918221", "4.99579775822934", "3.56511829062631"}},
};

// --as-window changes nothing inside the domains.
TEST(SeedStream, IsPinnedForEveryRow) {
    for (const Pinned& p : kPinned) {
        for (bool asWindow : {false, true}) {
            std::vector<std::string> args = {"--seed", p.seed, "-n", "4"};
            if (asWindow) args.push_back("--as-window");
            args.insert(args.end(), p.distribution.begin(), p.distribution.end());
            Outcome o = RunTool(args);
            EXPECT_EQ(o.status, 0) << p.distribution[0];
            EXPECT_EQ(o.err, "") << p.distribution[0];
            EXPECT_EQ(Lines(o.out), p.lines) << "--seed " << p.seed << " " << p.distribution[0] << " " << asWindow;
        }
    }
}

// The --source philox stream: a promise to users like the --seed stream
// above, a few values of every row.
const Pinned kPinnedPhilox[] = {
    {"20261208", {"beta", "2", "3"}, {"0.215921883649608", "0.435302403777097", "0.54109978562908"}},
    {"20261208", {"bernoulli", "0.3"}, {"0", "0", "1"}},
    {"20261208", {"bernoulli-gauss", "0.5", "10", "2"}, {"9.16153110450307", "3.80354816394148", "8.79203104041759"}},
    {"20261208", {"binomial", "10", "0.3"}, {"3", "3", "4"}},
    {"20261208", {"cauchy", "0", "1"}, {"-0.357918741111015", "-0.234412159045464", "-0.949394241780835"}},
    {"20261208", {"chi-square", "5"}, {"6.93861515249897", "2.18615269160872", "4.63689765347513"}},
    {"20261208", {"continuous uniform", "-1", "1"}, {"-0.218813782329087", "-0.146584765436945", "-0.483477230259514"}},
    {"20261208", {"discrete uniform", "10"}, {"4", "5", "3"}},
    {"20261208", {"erlang", "3", "2"}, {"7.00342673800467", "4.51927334325051", "6.21735600693881"}},
    {"20261208", {"exponential", "2"}, {"0.470044451602771", "0.425828118669299", "0.676891543633884"}},
    {"20261208", {"f", "3", "7"}, {"0.413074690799907", "1.15628897667187", "1.76868446129681"}},
    {"20261208", {"gamma", "2", "3"}, {"1.45854938582292", "1.98139345204454", "1.17614670711907"}},
    {"20261208", {"gamma", "0.5", "1"}, {"0.194411978250145", "0.232024933616182", "0.0849948901258468"}},
    {"20261208", {"gamma", "1", "2"}, {"1.88017780641108", "1.70331247467719", "2.70756617453553"}},
    {"20261208", {"gauss normal", "10", "2"}, {"9.53296549511725", "4.73230429457315", "6.64890730797218"}},
    {"20261208", {"geometric", "0.3"}, {"2", "2", "3"}},
    {"20261208", {"laplace", "1"}, {"0.108377664357969", "0.651556744255288", "0.62574916200425"}},
    {"20261208", {"log normal", "0", "1"}, {"0.791743936106575", "0.0718016478443125", "0.187205872354814"}},
    {"20261208", {"logistic"}, {"-0.444819798824867", "-0.295296811453891", "-1.05502471867649"}},
    {"20261208", {"poisson", "4"}, {"4", "4", "3"}},
    {"20261208", {"poisson", "1000"}, {"990", "993", "977"}},
    {"20261208", {"rayleigh", "1"}, {"1.37119575787379", "1.30511013890675", "1.64546837542857"}},
    {"20261208", {"standard normal"}, {"-1.64891816381479", "-1.08727073702592", "-0.0641951232261836"}},
    {"20261208", {"student's t", "5"}, {"-1.79457584139223", "-1.33263087479416", "-0.0631172663380283"}},
    {"20261208", {"triangle", "0", "1", "0.3"}, {"0.34686538614526", "0.366513877103112", "0.278349448465545"}},
    {"20261208", {"negative binomial", "3", "0.4"}, {"5", "3", "4"}},
    {"20261208", {"noncentral chi-square", "5", "2"}, {"6.55269120422053", "6.79359931989873", "9.84301478754906"}},
    {"20261208", {"noncentral f", "4", "10", "2"}, {"4.01550777906651", "2.71341307688635", "0.366646067888521"}},
    {"20261208", {"noncentral t", "5", "1"}, {"-0.706240543271396", "-0.10696478316422", "0.920092410129799"}},
    {"20261208", {"weibull", "2", "1"}, {"0.969581818726786", "0.92285222941628", "1.16352184649355"}},
};

TEST(PhiloxStream, IsPinnedForEveryRow) {
    for (const Pinned& p : kPinnedPhilox) {
        std::vector<std::string> args = {"--source", "philox", "--seed", p.seed, "-n", "3"};
        args.insert(args.end(), p.distribution.begin(), p.distribution.end());
        Outcome o = RunTool(args);
        EXPECT_EQ(o.status, 0) << p.distribution[0];
        EXPECT_EQ(o.err, "") << p.distribution[0];
        EXPECT_EQ(Lines(o.out), p.lines) << "--source philox --seed " << p.seed << " " << p.distribution[0];
    }
}

// What the seed means under philox, worked out apart: value i of Continuous
// Uniform on [0, 1) is the first half of the block of counter (0, i) under
// the key S, all 64 bits of S.
TEST(PhiloxStream, ValueIIsTheBlockOfCounterI) {
    for (uint64_t seed : {0ull, 7ull, 4294967303ull, 18446744073709551615ull}) {
        const std::string s = std::to_string(seed);
        Outcome o = RunTool({"--source", "philox", "--seed", s, "-n", "2", "--precision", "17", "continuous uniform", "0", "1"});
        const std::vector<std::string> lines = Lines(o.out);
        ASSERT_EQ(lines.size(), 2u) << o.err;
        for (uint32_t i = 0; i < 2; ++i) {
            const auto w = PhiloxBlock({0, 0, i, 0}, {static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)});
            const double u = static_cast<double>((uint64_t{w[1]} << 32 | w[0]) * 0x1p-64L);
            EXPECT_EQ(std::strtod(lines[i].c_str(), nullptr), u) << seed << " value " << i;
        }
    }
}

// Outside the domains --as-window gives what the window's Generate gives:
// a guarded row's 0, for every value.
TEST(AsWindow, GuardedRowsGiveTheWindowsZeros) {
    for (std::vector<std::string> row : {std::vector<std::string>{"poisson", "-4"}, {"binomial", "10", "1.5"},
                                         {"triangle"}, {"geometric", "1"}, {"exp", "-1"}}) {
        std::vector<std::string> args = {"--as-window", "--seed", "7", "-n", "3"};
        args.insert(args.end(), row.begin(), row.end());
        Outcome o = RunTool(args);
        EXPECT_EQ(o.status, 0) << row[0];
        EXPECT_EQ(o.out, row[0] == "binomial" ? "10\n10\n10\n" : "0\n0\n0\n") << row[0];
    }
}

// The stream of a longer run is the continuation of a shorter one.
TEST(SeedStream, LongerRunsExtendShorterOnes) {
    Outcome shortRun = RunTool({"--seed", "99", "-n", "3", "noncentral f", "4", "10", "2"});
    Outcome longRun = RunTool({"--seed", "99", "-n", "50", "noncentral f", "4", "10", "2"});
    ASSERT_EQ(Lines(longRun.out).size(), 50u);
    EXPECT_EQ(longRun.out.substr(0, shortRun.out.size()), shortRun.out);
}

// An independent computation of what the seed means: the first reseed takes
// the low 32 bits of splitmix64's first output, unmixed, and the value is
// drawn from the next state of the recurrence.
uint64_t SplitMixFirst(uint64_t seed) {
    uint64_t z = seed + 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

double FirstValue(const std::vector<std::string>& args) {
    Outcome o = RunTool(args);
    EXPECT_EQ(o.status, 0);
    return std::strtod(o.out.c_str(), nullptr);
}

TEST(SeedStream, ReseedsTakeSplitMixOutputsUnmixed) {
    for (uint64_t seed : {0ull, 1ull, 12345ull, 4294967296ull, 18446744073709551615ull}) {
        uint32_t state = static_cast<uint32_t>(SplitMixFirst(seed)) * 134775813u + 1u;
        double u = state * 0x1p-32;
        std::string s = std::to_string(seed);
        // Continuous Uniform on [0, 1) writes u itself, to 15 digits.
        EXPECT_NEAR(FirstValue({"--seed", s, "-n", "1", "continuous uniform", "0", "1"}), u, 1e-14 * u) << seed;
        // Exponential with rate 4 writes -ln(u) / 4.
        EXPECT_NEAR(FirstValue({"--seed", s, "-n", "1", "exponential", "4"}), -std::log(u) / 4, 1e-14) << seed;
    }
}

TEST(SeedStream, NonReseedingRowsStartAtTheSeedModulo2To32) {
    for (uint64_t seed : {7ull, 4294967303ull, 18446744069414584327ull}) {  // all 7 mod 2^32
        uint32_t state = 7u * 134775813u + 1u;
        double u = state * 0x1p-32;
        // Triangle (0, 1, 0.5): sqrt(0.5 u) below the mode, 1 - sqrt(0.5 (1 - u)) above.
        double expected = u < 0.5 ? std::sqrt(0.5 * u) : 1 - std::sqrt(0.5 * (1 - u));
        EXPECT_NEAR(FirstValue({"--seed", std::to_string(seed), "-n", "1", "triangle", "0", "1", "0.5"}), expected, 1e-15);
    }
    // A reseeding row sees the whole 64-bit seed through splitmix64.
    EXPECT_NE(RunTool({"--seed", "7", "standard normal"}).out, RunTool({"--seed", "4294967303", "standard normal"}).out);
}

uint64_t ConstantClock(void* context) { return *static_cast<uint64_t*>(context); }

TEST(SeedStream, RestoresTheClockAfterTheRun) {
    uint64_t reading = 1000;
    ScopedClock clock({&ConstantClock, &reading});
    RunTool({"--seed", "1", "-n", "3", "exponential"});
    EXPECT_EQ(Clock.read, &ConstantClock);
    EXPECT_EQ(Clock.context, &reading);
}

// ---------------------------------------------------------------------------
// Without --seed: the run of a seed from the system, which --stats prints.

uint64_t FixedSeed(void* context) { return *static_cast<uint64_t*>(context); }

TEST(Unseeded, IsTheRunOfASeedFromTheSystem) {
    uint64_t seed = 20261208;
    ScopedSeedSource source({&FixedSeed, &seed});
    Outcome o = RunTool({"-n", "4", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Lines(o.out), (std::vector<std::string>{"2.68315375695778", "9.36635732961552", "4.25045628104545",
                                                      "7.23036291491448"}));
    o = RunTool({"--stats", "-n", "4", "gamma", "2", "3"});
    EXPECT_EQ(Lines(o.err)[0], "seed      20261208 (drawn from the system; --seed 20261208 repeats this run)");
    EXPECT_EQ(Lines(RunTool({"--stats", "--seed", "7", "-n", "1", "exp"}).err)[0], "seed      7");
    // On four threads too; and another seed, another run.
    const std::string oneThread = RunTool({"-j", "1", "-n", "50", "normal"}).out;
    EXPECT_EQ(RunTool({"-j", "4", "-n", "50", "normal"}).out, oneThread);
    seed = 20261209;
    EXPECT_NE(RunTool({"-j", "4", "-n", "50", "normal"}).out, oneThread);
}

// ---------------------------------------------------------------------------
// --as-window without --seed: the source starts at 0 as in a freshly started
// window program and reseeds from the installed clock.

TEST(Unseeded, AsWindowGammaGivesTheWorkedExampleFromState0) {
    UniformSeed = 12345;  // whatever an earlier run left: a run starts afresh
    Outcome o = RunTool({"--as-window", "-n", "3", "gamma", "2", "1"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "3.39166136181965\n0.108459033118563\n0.39441907895408\n");
    o = RunTool({"--as-window", "--stats", "-n", "3", "gamma", "2", "1"});
    EXPECT_EQ(Lines(o.err)[0], "seed      none: the window's start-up state, reseeded from the clock");
}

TEST(Unseeded, AsWindowTheDefaultsAreGammaShape1Scale1AndTenValues) {
    // Shape 1 is the exponential generator with rate 1, which reseeds from
    // the clock: a clock that always reads the same gives ten equal values.
    uint64_t reading = 0;  // state 0, u = 2^-32 after one step: -ln u = 22.18...
    ScopedClock clock({&ConstantClock, &reading});
    Outcome o = RunTool({"--as-window", "gamma"});
    EXPECT_EQ(o.status, 0);
    std::vector<std::string> lines = Lines(o.out);
    ASSERT_EQ(lines.size(), 10u);
    for (const std::string& line : lines) EXPECT_EQ(line, "22.1807097779182");
}

TEST(Unseeded, AsWindowReseedingRowsReadTheInstalledClock) {
    uint64_t reading = 134775813u * 3u;  // any constant: every value starts from it
    ScopedClock clock({&ConstantClock, &reading});
    std::vector<std::string> lines = Lines(RunTool({"--as-window", "-n", "5", "continuous uniform", "0", "1"}).out);
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) EXPECT_EQ(line, lines[0]);
}

// ---------------------------------------------------------------------------
// A run long enough for the 32-bit source to repeat: one warning before it
// starts, and the run as ever.

TEST(Warning, ARunLongEnoughToRepeatIsWarnedOf) {
    // A row that reseeds once a value: a repeated value is expected from
    // about 92,700 values on.
    EXPECT_EQ(RunTool({"--seed", "1", "-n", "92000", "normal"}).err, "");
    Outcome o = RunTool({"--seed", "1", "-n", "100000", "normal"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Lines(o.out).size(), 100000u);
    EXPECT_EQ(o.err,
              "pelmora-gen: warning: Gauss Normal takes at most 2^32 distinct values (it reseeds the 32-bit source "
              "for every value): about 1 of these 100000 values repeat earlier ones\n");
    // Several reseeds a value, or integers, are not held to 2^32 values.
    EXPECT_EQ(RunTool({"--seed", "1", "-n", "100000", "beta", "2", "3"}).err, "");
    EXPECT_EQ(RunTool({"--seed", "1", "-n", "100000", "discrete-uniform", "1000000"}).err, "");
    // Triangle never reseeds: value 2^32 is value 0 again.
    o = RunTool({"--seed", "1", "-n", "4294967297", "--shard", "4294967296/4294967297", "triangle", "0", "1", "0.5"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err,
              "pelmora-gen: warning: Triangle never reseeds the 32-bit source, which comes round again after 2^32 "
              "uniforms: from value 4294967296 (counted from 0) on the run repeats its start\n");
    EXPECT_EQ(o.out, RunTool({"--seed", "1", "-n", "1", "triangle", "0", "1", "0.5"}).out);
    // Poisson(4) draws 5 uniforms a value on average: round after 2^32 / 5.
    // (The file cannot be created, so the run ends at its first value.)
    std::vector<std::string> args = {"-o", "/nonexistent-pelmora-dir/x", "-n", "858993459", "poisson", "4"};
    EXPECT_EQ(RunTool(args).err, "pelmora-gen: Cannot create file \"/nonexistent-pelmora-dir/x\". No such file or directory.\n");
    args[3] = "858993460";
    EXPECT_EQ(RunTool(args).err,
              "pelmora-gen: warning: Poisson never reseeds the 32-bit source, which comes round again after 2^32 "
              "uniforms: by about value 858993460 the run repeats its start\n"
              "pelmora-gen: Cannot create file \"/nonexistent-pelmora-dir/x\". No such file or directory.\n");
}

// What the warning estimates is what a run holds: a million seeded standard
// normals repeat about 116.4 values (the birthday estimate for 2^32 states,
// with a standard deviation of about 10.8), where 53-bit values would not.
TEST(Warning, TheRepeatsAreTheBirthdayEstimate) {
    std::vector<double> values;
    {
        SeededSource source(2026);
        for (int i = 0; i < 1000000; ++i) values.push_back(DrawRow(Row::StandardNormal, 0, 0, 0));
    }
    std::sort(values.begin(), values.end());
    int repeats = 0;
    for (std::size_t i = 1; i < values.size(); ++i) repeats += values[i] == values[i - 1];
    EXPECT_NEAR(repeats, 116.4, 5 * 10.8);
}

// ---------------------------------------------------------------------------
// Counts.

struct CountCase {
    const char* count;
    std::size_t lines;
};

class CountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountTest, AsWindowGivesTheWindowsNumberOfLines) {
    Outcome o = RunTool({"--as-window", "--seed", "1", "-n", GetParam().count, "triangle", "0", "1", "0.5"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(Lines(o.out).size(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Counts, CountTest,
                         ::testing::Values(CountCase{"0", 0}, CountCase{"-5", 0}, CountCase{"0.9", 0},
                                           CountCase{"2.9", 2}, CountCase{" 10 ", 10}, CountCase{"1e3", 1000},
                                           CountCase{"4294967297", 1}, CountCase{"-2147483648", 0},
                                           CountCase{".", 0}, CountCase{"+3", 3}));

// Far beyond the window's 65,536 characters, and across many buffer flushes.
TEST(Counts, NoCharacterLimit) {
    Outcome o = RunTool({"--seed", "3", "-n", "200000", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 0);
    std::vector<std::string> lines = Lines(o.out);
    ASSERT_EQ(lines.size(), 200000u);
    EXPECT_GT(o.out.size(), 65536u * 40);
    for (std::size_t i = 0; i < lines.size(); i += 997) {
        char* end = nullptr;
        double v = std::strtod(lines[i].c_str(), &end);
        EXPECT_EQ(*end, '\0') << lines[i];
        EXPECT_GT(v, 0) << lines[i];
    }
}

// ---------------------------------------------------------------------------
// Refusals: every one with its message and exit status, and no values.
// Status 1 for what the values cannot be (the message as the error box
// shows it, after "pelmora-gen: "); status 2 for a command line that is
// wrong (its problem, then the usage) or asks for what cannot be done.

struct RefusalCase {
    std::vector<std::string> args;
    int status;
    std::string err;
};

// The message of a usage error: the problem, then the short usage.
std::string Usage(const std::string& problem) {
    return "pelmora-gen: " + problem + "\n" + UsageText() + "Try 'pelmora-gen --help' for more information.\n";
}

// A field or a value that fails: status 1.
RefusalCase Failure(std::vector<std::string> args, std::string err) { return {std::move(args), 1, std::move(err)}; }

// The end of the message of a count that is no whole number.
const std::string kTruncates = "; --as-window truncates it toward zero as the window does).\n";

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, IsReportedWithItsStatusAndNoValues) {
    Outcome o = RunTool(GetParam().args);
    EXPECT_EQ(o.status, GetParam().status);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        // Parameters: at most the row's own number, those without a default
        // given, counts whole (--as-window takes the window's fields).
        RefusalCase{{"standard-normal", "10", "2"}, 2, Usage("Standard Normal takes no parameters, not 2")},
        RefusalCase{{"logistic", "5", "2"}, 2, Usage("Logistic takes no parameters, not 2")},
        RefusalCase{{"poisson", "4", "2"}, 2, Usage("Poisson takes 1 parameter, lambda, not 2")},
        RefusalCase{{"gamma", "1", "2", "3"}, 2, Usage("Gamma takes 2 parameters, afa and beta, not 3")},
        RefusalCase{{"gamma"}, 2, Usage("Gamma: afa is missing (it has no default)")},
        RefusalCase{{"binomial", "10"}, 2, Usage("Binomial: p is missing (it has no default)")},
        RefusalCase{{"-n", "0", "triangle"}, 2, Usage("Triangle: a, b and m are missing (they have no default)")},
        Failure({"chisq", "2.5"}, "pelmora-gen: Chi-square: n must be a whole number (got 2.5" + kTruncates),
        Failure({"binomial", "10.7", "0.3"}, "pelmora-gen: Binomial: n must be a whole number (got 10.7" + kTruncates),
        Failure({"binomial", "-0.5", "0.3"}, "pelmora-gen: Binomial: n must be a whole number (got -0.5" + kTruncates),
        // The histogram: --hist N could be N bins, row N or a parameter.
        RefusalCase{{"--hist", "12", "3", "4"}, 2,
                    Usage("--hist takes no separate value: write --bins 12 (or --hist=12) for 12 bins, or put --hist "
                          "after the distribution and its parameters")},
        RefusalCase{{"--hist", "5", "exponential", "1"}, 2,
                    Usage("--hist takes no separate value: write --bins 5 (or --hist=5) for 5 bins, or put --hist "
                          "after the distribution and its parameters")},
        RefusalCase{{"normal", "--hist", "5"}, 2,
                    Usage("--hist takes no separate value: write --bins 5 (or --hist=5) for 5 bins, or put --hist "
                          "after the distribution and its parameters")},
        RefusalCase{{"--bins", "0", "normal"}, 2, Usage("--bins: '0' is not a number of bins from 1 to 1000")},
        RefusalCase{{"normal", "--bins"}, 2, Usage("option --bins needs a value")},
        RefusalCase{{"normal", "--range", "5"}, 2, Usage("option --range needs two values: --range LO HI")},
        RefusalCase{{"--range=5", "normal"}, 2, Usage("option --range needs two values: --range LO HI")},
        RefusalCase{{"--range", "x", "5", "normal"}, 2, Usage("--range: 'x' is not a number")},
        RefusalCase{{"--range", "5", "1e400", "normal"}, 2, Usage("--range: '1e400' is not a number")},
        RefusalCase{{"--range", "5", "5", "normal"}, 2, Usage("--range: LO must be less than HI (got 5 and 5)")},
        // --npy: whole numbers after a header it may have to set again.
        RefusalCase{{"--npy", "--binary", "normal"}, 2,
                    Usage("--npy and --binary do not go together: --npy writes a header before the numbers")},
        RefusalCase{{"--npy", "--precision", "5", "normal"}, 2,
                    Usage("--npy writes whole numbers: --precision and --columns do not go with it")},
        RefusalCase{{"--npy", "-o", "/dev/null", "normal"}, 2,
                    "pelmora-gen: --npy needs a regular file to seek in: name one with -o FILE, or redirect standard "
                    "output to one with > (not a pipe, a terminal, a device or >>)\n"},

        // The window reads its fields in the order quantity, third, first, second.
        Failure({"--as-window", "-n", "q", "triangle", "a", "b", "c"}, "pelmora-gen: 'q' is not a valid floating point value.\n"),
        Failure({"-n", "1", "triangle", "a", "b", "c"}, "pelmora-gen: 'c' is not a valid floating point value.\n"),
        Failure({"-n", "1", "triangle", "a", "b", "3"}, "pelmora-gen: 'a' is not a valid floating point value.\n"),
        Failure({"-n", "1", "triangle", "1", "b", "3"}, "pelmora-gen: 'b' is not a valid floating point value.\n"),
        // With --as-window hidden fields are parsed too; empty and blank
        // texts are invalid.
        Failure({"--as-window", "standard normal", "", "1"}, "pelmora-gen: '' is not a valid floating point value.\n"),
        Failure({"--as-window", "standard normal", "1", "  "}, "pelmora-gen: '  ' is not a valid floating point value.\n"),
        Failure({"--as-window", "-n", "", "gamma"}, "pelmora-gen: '' is not a valid floating point value.\n"),
        Failure({"--as-window", "gamma", "1", "1", "1,5"}, "pelmora-gen: '1,5' is not a valid floating point value.\n"),
        Failure({"gamma", "1", "1,5"}, "pelmora-gen: '1,5' is not a valid floating point value.\n"),
        Failure({"gamma", "-"}, "pelmora-gen: '-' is not a valid floating point value.\n"),
        Failure({"gamma", "- 5"}, "pelmora-gen: '- 5' is not a valid floating point value.\n"),
        Failure({"--as-window", "-n", "--stats", "gamma"}, "pelmora-gen: '--stats' is not a valid floating point value.\n"),
        // Valid texts whose values do not fit.
        Failure({"gamma", "1e400"}, "pelmora-gen: Floating point overflow.\n"),
        Failure({"gamma", "2", "-1e400"}, "pelmora-gen: Floating point overflow.\n"),
        Failure({"--as-window", "-n", "1e19", "gamma"}, "pelmora-gen: Invalid floating point operation.\n"),
        // A quantity's error comes before a parameter's.
        Failure({"--as-window", "-n", "1e19", "gamma", "1e400"}, "pelmora-gen: Invalid floating point operation.\n"),
        // With the window's rules: a truncated parameter out of range fails
        // at the first value, and so do the generators' own failures.
        Failure({"--as-window", "chi-square", "1e19"}, "pelmora-gen: Invalid floating point operation.\n"),
        Failure({"--as-window", "--seed", "1", "noncentral t", "0"}, "pelmora-gen: Invalid floating point operation.\n"),
        Failure({"--as-window", "--seed", "1", "noncentral t", "-1"}, "pelmora-gen: Floating point division by zero.\n"),
        Failure({"--as-window", "--seed", "1", "f", "0", "3"}, "pelmora-gen: Invalid floating point operation.\n"),
        Failure({"--as-window", "--seed", "1", "gamma", "0"}, "pelmora-gen: Floating point division by zero.\n"),
        Failure({"--as-window", "--seed", "1", "gamma", "1", "0"}, "pelmora-gen: Floating point division by zero.\n"),
        Failure({"--as-window", "--seed", "1", "log normal", "710", "0"}, "pelmora-gen: Floating point overflow.\n"),
        Failure({"--seed", "1", "log normal", "710", "1e-300"}, "pelmora-gen: Floating point overflow.\n"),
        // The first draw from state 649090867 is exactly 0.
        Failure({"--seed", "649090867", "gamma", "2", "1"}, "pelmora-gen: Floating point division by zero.\n"),
        // Without it the parameters are checked first, by the row's domain.
        Failure({"poisson", "-4"}, "pelmora-gen: Poisson: lambda must be greater than 0 (got -4).\n"),
        Failure({"binomial", "10", "1.5"}, "pelmora-gen: Binomial: p must be at most 1 (got 1.5).\n"),
        Failure({"triangle", "0", "1", "3"}, "pelmora-gen: Triangle: m must be less than b (got 3; b is 1).\n"),
        Failure({"gamma", "-2", "3"}, "pelmora-gen: Gamma: afa must be greater than 0 (got -2).\n"),
        Failure({"chi-square", "1e19"}, "pelmora-gen: Chi-square: n must be at most 2147483647 (got 1e19).\n"),
        Failure({"students t", "0"}, "pelmora-gen: Student's T: n must be at least 1 (got 0).\n"),
        // A field the window cannot read is reported before any domain.
        Failure({"poisson", "x"}, "pelmora-gen: 'x' is not a valid floating point value.\n")));

TEST(Failures, ValuesBeforeTheFailureStay) {
    // With m = 735 an Erlang product leaves the double range about one time
    // in three; this seed gives nine values first.
    Outcome o = RunTool({"--seed", "12", "-n", "20", "erlang", "735", "1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out,
              "732.516169897622\n737.527329100888\n734.756171750832\n730.924275532093\n740.096266499528\n"
              "682.880472781733\n714.048047372201\n698.576909248991\n719.970987695866\n");
    EXPECT_EQ(o.err, "pelmora-gen: Floating point division by zero.\n");
}

TEST(Failures, StatsAreNotPrintedAfterAFailure) {
    Outcome o = RunTool({"--stats", "--seed", "12", "-n", "20", "erlang", "735", "1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Floating point division by zero.\n");
}

// ---------------------------------------------------------------------------
// Usage errors: a short usage on the error stream, status 2, nothing else.

TEST(Usage, ErrorsPrintTheProblemAndTheUsage) {
    Outcome o = RunTool({"-x", "gamma"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "pelmora-gen: unknown option '-x'\n"
              "Usage: pelmora-gen [OPTIONS] DISTRIBUTION [P1 [P2 [P3]]]\n"
              "       pelmora-gen --list [DISTRIBUTION [P1 [P2 [P3]]]] | --help | --version\n"
              "Try 'pelmora-gen --help' for more information.\n");
}

TEST(Usage, NothingIsCreatedOrWritten) {
    std::string path = ::testing::TempDir() + "pelmora-usage-" + std::to_string(::getpid());
    ::unlink(path.c_str());
    Outcome o = RunTool({"-o", path, "--seed", "x", "gamma"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

// ---------------------------------------------------------------------------
// Output files and failed writes.

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "pelmora-" + name + "-" + std::to_string(::getpid());
}

std::string FileText(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    std::string text = pelmora::testing::ReadAll(fd);
    ::close(fd);
    return text;
}

TEST(OutputFile, ReceivesTheValuesInsteadOfTheOutput) {
    std::string path = TempPath("values");
    Outcome toFile = RunTool({"--seed", "5", "-n", "1000", "-o", path, "gamma", "2", "3"});
    Outcome toOut = RunTool({"--seed", "5", "-n", "1000", "gamma", "2", "3"});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(toFile.err, "");
    EXPECT_EQ(FileText(path), toOut.out);
    // A second run replaces the content.
    RunTool({"--seed", "5", "-n", "2", "-o", path, "gamma", "2", "3"});
    EXPECT_EQ(FileText(path), "3.95366730056444\n3.4714454918221\n");
    ::unlink(path.c_str());
}

TEST(OutputFile, DashIsTheOutput) {
    Outcome o = RunTool({"--seed", "5", "-n", "2", "-o", "-", "gamma", "2", "3"});
    EXPECT_EQ(o.out, "3.95366730056444\n3.4714454918221\n");
}

// The file is created or emptied only when the first value is ready: a
// command that fails before it leaves an existing file as it was; one that
// succeeds without values leaves it empty.
TEST(OutputFile, IsEmptiedOnlyWhenTheFirstValueIsReady) {
    struct Case {
        std::vector<std::string> command;
        int status;
        std::string left;
    };
    const std::string before = "3.95366730056444\n3.4714454918221\n";
    const Case cases[] = {
        {{"gamma", "x"}, 1, before},               // a field that is no number
        {{"gamma", "-2"}, 1, before},              // outside the domain
        {{"--as-window", "gamma", "0", "1"}, 1, before},          // the generator fails at once
        {{"--as-window", "binomial", "1e19", "0.5"}, 1, before},  // the truncation fails at once
        {{"-n", "0", "gamma", "2"}, 0, ""},
    };
    std::string path = TempPath("kept");
    for (const Case& c : cases) {
        RunTool({"--seed", "5", "-n", "2", "-o", path, "gamma", "2", "3"});
        std::vector<std::string> args = {"-o", path};
        args.insert(args.end(), c.command.begin(), c.command.end());
        EXPECT_EQ(RunTool(args).status, c.status) << c.command[1];
        EXPECT_EQ(FileText(path), c.left) << c.command[1];
    }
    ::unlink(path.c_str());
    Outcome o = RunTool({"-o", path, "poisson", "-4"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << "a refused run created its file";
}

TEST(OutputFile, KeepsTheValuesBeforeAFailure) {
    std::string path = TempPath("partial");
    Outcome o = RunTool({"--seed", "12", "-n", "20", "-o", path, "erlang", "735", "1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(Lines(FileText(path)).size(), 9u);
    ::unlink(path.c_str());
}

TEST(OutputFile, ThatCannotBeCreatedIsReported) {
    Outcome o = RunTool({"-o", "/nonexistent-pelmora-dir/values.txt", "gamma", "2"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "pelmora-gen: Cannot create file \"/nonexistent-pelmora-dir/values.txt\". No such file or directory.\n");

    std::string dir = ::testing::TempDir();
    o = RunTool({"-o", dir, "gamma", "2"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot create file \"" + dir + "\". Is a directory.\n");
}

TEST(OutputFile, AFullDeviceIsAFailure) {
    Outcome o = RunTool({"-n", "100000", "-o", "/dev/full", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot write to \"/dev/full\". No space left on device.\n");
    // Even a single short line, which only reaches the device at the end.
    o = RunTool({"-n", "1", "-o", "/dev/full", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot write to \"/dev/full\". No space left on device.\n");
}

// Runs the tool with its output on a descriptor of the test's choosing.
Outcome RunToolOn(int outFd, const std::vector<std::string>& args) {
    int err = ::memfd_create("err", 0);
    Outcome o;
    o.status = pelmora::testing::RunInProcess(args, outFd, err);
    o.err = pelmora::testing::ReadAll(err);
    ::close(err);
    return o;
}

TEST(Output, AFullDeviceAsTheOutputIsAFailure) {
    int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    Outcome o = RunToolOn(full, {"-n", "3", "gamma", "2"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot write to standard output. No space left on device.\n");
    o = RunToolOn(full, {"--list"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "pelmora-gen: Cannot write to standard output. No space left on device.\n");
    ::close(full);
}

TEST(Output, AClosedPipeEndsQuietlyWithFailure) {
    std::signal(SIGPIPE, SIG_IGN);  // as the tool's main does
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    Outcome o = RunToolOn(fds[1], {"-n", "1000000", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "");
    o = RunToolOn(fds[1], {"--help"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "");
    ::close(fds[1]);
}

TEST(Output, AWriteErrorAfterAGenerationFailureReportsBoth) {
    Outcome o = RunTool({"--seed", "12", "-n", "20", "-o", "/dev/full", "erlang", "735", "1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "pelmora-gen: Cannot write to \"/dev/full\". No space left on device.\n"
              "pelmora-gen: Floating point division by zero.\n");
}

// The --stats report is what was asked for: lost on a full or closed error
// stream, the run has failed (with nowhere to say so).
TEST(Stats, LostOnAFullOrClosedErrorStreamFailTheRun) {
    int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    int out = ::memfd_create("out", 0);
    int closed = ::dup(full);
    ::close(closed);
    for (int err : {full, closed}) {
        ASSERT_EQ(::ftruncate(out, 0), 0);
        ::lseek(out, 0, SEEK_SET);
        std::vector<std::string> args = {"--stats", "-n", "2", "gamma", "2"};
        EXPECT_EQ(pelmora::testing::RunInProcess(args, out, err), kExitFailure) << err;
        EXPECT_EQ(Lines(pelmora::testing::ReadAll(out)).size(), 2u);
    }
    ::close(out);
    ::close(full);
}

// ---------------------------------------------------------------------------
// --list, --help, --version.

// --list: a block per row, its first line the number, the caption and the
// names; then each parameter's domain and meaning, and what is not textbook.
TEST(Info, ListSaysWhatEachRowDraws) {
    Outcome o = RunTool({"--list"});
    EXPECT_EQ(o.status, 0);
    std::vector<std::string> lines = Lines(o.out);
    // The rows, then a blank line and what each uniform source is for.
    const auto blank = std::find(lines.begin(), lines.end(), "");
    ASSERT_NE(blank, lines.end());
    EXPECT_EQ(blank[1].substr(0, 19), "Sources (--source):");
    std::vector<std::string> heads;
    for (auto line = lines.begin(); line != blank; ++line) {
        if (line->compare(0, 4, "    ") != 0) heads.push_back(*line);
    }
    ASSERT_EQ(heads.size(), 27u);
    EXPECT_EQ(heads[0], " 0  Beta                    beta");
    EXPECT_EQ(heads[12], "12  Gauss Normal            gauss-normal, normal, norm, gaussian, gauss");
    EXPECT_EQ(heads[20], "20  Student's T             students-t, t, studentt");
    for (const char* line : {
             "      a > 0                      weight of E1",
             "      draws a·E1 / (a·E1 + b·E2), E1 and E2 exponential with mean 1, not Beta(a, b)",
             "      0 <= n <= 2147483647       number of trials, a whole number",
             "      lambda > 0                 rate; the mean is 1/lambda (default 1)",
             "      any mean                   mean (default 0)",
             "      draws E1 / E2 whatever d1 and d2 are (they cancel out), not F(d1, d2); no finite mean",
             "      beta > 0                   scale; the mean is afa·beta (default 1)",
             "      counts the failures before the first success (0, 1, 2, ...), not the trials",
             "      the location is fixed at 0",
             "      a < m < b                  mode",
             "      0 < p < 1                  success probability",
             "      never reseeds: with --seed only S mod 2^32 matters",
             "      never reseeds unless afa is 1: with --seed only S mod 2^32 matters then",
         }) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

TEST(Info, ListOfOneRowAddsItsMoments) {
    Outcome o = RunTool({"--list", "pois", "4"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "17  Poisson                 poisson, pois\n"
              "      lambda > 0                 mean\n"
              "      never reseeds: with --seed only S mod 2^32 matters\n"
              "      mean 4, variance 4 for lambda = 4\n");
    o = RunTool({"--list", "f", "3", "7"});
    EXPECT_EQ(Lines(o.out).back(), "      mean none, variance none for d1 = 3, d2 = 7");
    o = RunTool({"--list", "gamma", "2"});  // beta's default
    EXPECT_EQ(Lines(o.out).back(), "      mean 2, variance 2 for afa = 2, beta = 1");
    o = RunTool({"--list", "gamma"});  // afa has none: the block alone
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Lines(o.out).back(), "      never reseeds unless afa is 1: with --seed only S mod 2^32 matters then");
    o = RunTool({"--list", "triangle", "0", "1", "3"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "pelmora-gen: Triangle: m must be less than b (got 3; b is 1).\n");
    o = RunTool({"--list", "gamma", "1", "2", "3"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, Usage("Gamma takes 2 parameters, afa and beta, not 3"));
}

TEST(Info, Version) {
    Outcome o = RunTool({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "pelmora-gen " PELMORA_VERSION "\n");
}

TEST(Info, HelpStartsWithTheUsageAndGoesToTheOutput) {
    Outcome o = RunTool({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out.rfind(UsageText(), 0), 0u);
    for (const char* option : {"-n, --count COUNT", "-o, --output FILE", "--seed S", "--precision P", "--columns K",
                               "--binary", "--npy", "--stats", "--hist[=BINS]", "--bins N", "--range LO HI",
                               "--as-window", "--list", "--help", "--version", "--", "S mod 2^32", "getrandom",
                               "The generator:", "2^32 distinct values", "130", "143"}) {
        EXPECT_NE(o.out.find(option), std::string::npos) << option;
    }
}

// ---------------------------------------------------------------------------
// --stats.

TEST(Stats, FollowTheValuesOnTheErrorStream) {
    Outcome o = RunTool({"--stats", "--seed", "5", "-n", "4", "gamma", "2", "3"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "3.95366730056444\n3.4714454918221\n4.99579775822934\n3.56511829062631\n");
    // Type 7 quartiles of the four values; the law's from Boost.Math, here
    // the roots of 1 - e^(-x/3) (1 + x/3) = p.
    EXPECT_EQ(o.err.substr(0, o.err.find("fit ")),
              "seed      5\n"
              "count     4\n"
              "mean      3.99650721031055      (expected 6)\n"
              "variance  0.487401021758421     (expected 18)\n"
              "minimum   3.4714454918221\n"
              "1st qu.   3.54170009092526      (expected 2.88383628934433)\n"
              "median    3.75939279559537      (expected 5.03504097004998)\n"
              "3rd qu.   4.21419991498066      (expected 8.07790358666909)\n"
              "maximum   4.99579775822934\n");

    // The same four doubles drawn here, with the two-pass mean and variance.
    std::vector<double> values;
    {
        SeededSource source(5);
        for (int i = 0; i < 4; ++i) values.push_back(DrawRow(Row::Gamma, 2, 3, 3));
    }
    long double mean = 0, squares = 0;
    for (double v : values) mean += v;
    mean /= 4;
    for (double v : values) squares += (v - mean) * (v - mean);
    std::vector<std::string> lines = Lines(o.err);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[9], "fit       Kolmogorov-Smirnov D = 0.504109, p = 0.1805 (4 values)");
    EXPECT_NEAR(std::strtod(lines[2].c_str() + 10, nullptr), static_cast<double>(mean), 1e-14);
    EXPECT_NEAR(std::strtod(lines[3].c_str() + 10, nullptr), static_cast<double>(squares / 3), 1e-14);
}

TEST(Stats, SayNoneForWhatDoesNotExist) {
    Outcome o = RunTool({"--stats", "--seed", "5", "-n", "1", "f", "3", "7"});
    EXPECT_EQ(o.status, 0);
    std::vector<std::string> lines = Lines(o.err);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "count     1");
    EXPECT_EQ(lines[2].substr(0, 10) + lines[2].substr(30), "mean        (expected none)");
    EXPECT_EQ(lines[3], "variance  none                  (expected none)");
    EXPECT_EQ(lines[6].substr(0, 10) + lines[6].substr(30), "median      (expected 1)");  // E1 / E2

    o = RunTool({"--stats", "--seed", "1", "-n", "0", "exponential", "4"});
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "seed      1\n"
              "count     0\n"
              "mean      none                  (expected 0.25)\n"
              "variance  none                  (expected 0.0625)\n"
              "minimum   none\n"
              "1st qu.   none                  (expected 0.0719205181129452)\n"
              "median    none                  (expected 0.173286795139986)\n"
              "3rd qu.   none                  (expected 0.346573590279973)\n"
              "maximum   none\n"
              "no fit: too few values for a test\n");
}

}  // namespace
}  // namespace pelmora::cli
