// The general format against the library routes on the same doubles:
// snprintf("%.15g"), which rounds once and so is not the format, and
// std::to_chars to 18 digits followed by the rounding to 15 and the layout,
// which is; and the conversion of typical field texts.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/numtext.h"

namespace {

constexpr std::size_t kValues = 4096;

// Mixed magnitudes: uniform, normal and gamma-like outputs, values spread
// over 40 decades, integers, and arbitrary bit patterns.
const std::vector<double>& MixedValues() {
    static const std::vector<double> values = [] {
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> u(0, 1);
        std::normal_distribution<double> normal(0, 1);
        std::gamma_distribution<double> gamma(2, 3);
        std::vector<double> v;
        while (v.size() < kValues) {
            switch (v.size() % 6) {
                case 0: v.push_back(u(rng)); break;
                case 1: v.push_back(normal(rng)); break;
                case 2: v.push_back(gamma(rng)); break;
                case 3: v.push_back(u(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20)); break;
                case 4: v.push_back(static_cast<double>(static_cast<int32_t>(rng() % 2000) - 1000)); break;
                default: {
                    uint64_t bits = rng();
                    double x;
                    std::memcpy(&x, &bits, sizeof x);
                    v.push_back(std::isfinite(x) ? x : 1.5);
                }
            }
        }
        return v;
    }();
    return values;
}

// What the generators typically produce: a uniform deviate, a normal one.
const std::vector<double>& GeneratorValues() {
    static const std::vector<double> values = [] {
        std::mt19937_64 rng(7);
        std::normal_distribution<double> normal(0, 1);
        std::vector<double> v;
        for (std::size_t i = 0; i < kValues; ++i) v.push_back(i % 2 ? normal(rng) : std::generate_canonical<double, 53>(rng));
        return v;
    }();
    return values;
}

template <const std::vector<double>& (*Values)()>
void BM_FormatGeneral(benchmark::State& state) {
    const auto& v = Values();
    char buf[pelmora::kFormatMax + 8];
    std::size_t i = 0;
    for (auto _ : state) {
        std::size_t n = pelmora::FormatGeneral(v[i++ % kValues], buf, ".");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}

template <const std::vector<double>& (*Values)()>
void BM_Snprintf15g(benchmark::State& state) {
    const auto& v = Values();
    char buf[64];
    std::size_t i = 0;
    for (auto _ : state) {
        int n = std::snprintf(buf, sizeof buf, "%.15g", v[i++ % kValues]);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}

// The format by way of the library: std::to_chars to 18 significant digits,
// then the digit string rounded to 15 and laid out as FormatGeneral does.
std::size_t ToCharsRound15(double x, char* out) {
    if (x == 0) {
        out[0] = '0';
        return 1;
    }
    char buf[40];
    std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 17);
    char d[18];
    d[0] = buf[0];
    std::memcpy(d + 1, buf + 2, 17);
    int E = std::atoi(buf + 20) + 1;  // |x| = 0.d1d2... * 10^E
    int k = 15;
    if (d[15] >= '5') {
        int i = 14;
        while (i >= 0 && d[i] == '9') d[i--] = '0';
        if (i < 0) {
            d[0] = '1';
            ++E;
        } else {
            ++d[i];
        }
    }
    while (k > 1 && d[k - 1] == '0') --k;
    char* p = out;
    if (x < 0) *p++ = '-';
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -E; ++i) *p++ = '0';
            std::memcpy(p, d, static_cast<std::size_t>(k));
            p += k;
        } else {
            for (int i = 0; i < E; ++i) *p++ = i < k ? d[i] : '0';
            if (k > E) {
                *p++ = '.';
                std::memcpy(p, d + E, static_cast<std::size_t>(k - E));
                p += k - E;
            }
        }
    } else {
        *p++ = d[0];
        if (k > 1) {
            *p++ = '.';
            std::memcpy(p, d + 1, static_cast<std::size_t>(k - 1));
            p += k - 1;
        }
        *p++ = 'E';
        p = std::to_chars(p, p + 8, E - 1).ptr;
    }
    return static_cast<std::size_t>(p - out);
}

template <const std::vector<double>& (*Values)()>
void BM_ToCharsRound15(benchmark::State& state) {
    const auto& v = Values();
    char buf[64];
    std::size_t i = 0;
    for (auto _ : state) {
        std::size_t n = ToCharsRound15(v[i++ % kValues], buf);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FormatGeneral<MixedValues>)->Name("FormatGeneral/mixed");
BENCHMARK(BM_ToCharsRound15<MixedValues>)->Name("to_chars+round15/mixed");
BENCHMARK(BM_ToCharsRound15<GeneratorValues>)->Name("to_chars+round15/generator");
BENCHMARK(BM_Snprintf15g<MixedValues>)->Name("snprintf%.15g/mixed");
BENCHMARK(BM_FormatGeneral<GeneratorValues>)->Name("FormatGeneral/generator");
BENCHMARK(BM_Snprintf15g<GeneratorValues>)->Name("snprintf%.15g/generator");

// Field texts as people type them, and a long one.
void BM_TextToReal(benchmark::State& state) {
    static const std::vector<std::string> texts = {
        "10", "1", "3", "0.5", " 2.5 ", "1000", "-3.75", "1e3", "0,25", "6.02214076e23", "0.333333333333333",
    };
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& t = texts[i++ % texts.size()];
        benchmark::DoNotOptimize(pelmora::TextToReal(t, t.find(',') != std::string::npos ? "," : "."));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextToReal)->Name("TextToReal/typical");

void BM_TextToRealLong(benchmark::State& state) {
    const std::string text = "3.14159265358979323846264338327950288419716939937510582097494459";
    for (auto _ : state) benchmark::DoNotOptimize(pelmora::TextToReal(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextToRealLong)->Name("TextToReal/64 digits");

void BM_TextToRealMegabyte(benchmark::State& state) {
    const std::string text = "0." + std::string(1 << 20, '7');
    for (auto _ : state) benchmark::DoNotOptimize(pelmora::TextToReal(text));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_TextToRealMegabyte)->Name("TextToReal/1 MB of digits");

}  // namespace

BENCHMARK_MAIN();
