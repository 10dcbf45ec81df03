#pragma once
// The general format's rule written out the slow way, step by step on digit
// strings, as the one reference that the format's tests and its fuzzer
// compare FormatGeneral against.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace pelmora::testing {

// Digits `d` (no sign, no point) rounded half up to their first `keep`
// digits; a carry out of the first digit adds one to the decimal exponent E.
inline std::string RoundHalfUp(std::string d, std::size_t keep, int& E) {
    bool up = d[keep] >= '5';
    d.resize(keep);
    if (up) {
        std::size_t i = keep;
        while (i > 0 && d[i - 1] == '9') d[--i] = '0';
        if (i == 0) {
            d.insert(d.begin(), '1');
            d.pop_back();
            ++E;
        } else {
            ++d[i - 1];
        }
    }
    return d;
}

// The text of a value from its first 18 significant digits, already
// rounded, and its decimal exponent E (|x| = 0.d1d2... x 10^E): rounded half
// up to 15 digits and laid out.
inline std::string ReferenceLayout(bool negative, const std::string& digits18, int E, std::string_view sep) {
    std::string d = RoundHalfUp(digits18 + "0", 15, E);
    d.erase(d.find_last_not_of('0') + 1);
    const int k = static_cast<int>(d.size());
    std::string out = negative ? "-" : "";
    if (E >= -3 && E <= 15) {
        if (E <= 0) {
            out += '0';
            out += sep;
            out.append(static_cast<std::size_t>(-E), '0');
            out += d;
        } else {
            if (k < E) d += std::string(static_cast<std::size_t>(E - k), '0');
            out += d.substr(0, static_cast<std::size_t>(E));
            if (k > E) {
                out += sep;
                out += d.substr(static_cast<std::size_t>(E));
            }
        }
    } else {
        out += d.substr(0, 1);
        if (k > 1) {
            out += sep;
            out += d.substr(1);
        }
        out += "E" + std::to_string(E - 1);
    }
    return out;
}

// The reference: glibc's printf writes the exact decimal expansion of a
// double when asked for enough digits; the rounding and the layout are then
// done on the digit string, step by step.
inline std::string ReferenceFormat(double x, std::string_view sep) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";
    // The first 19 significant digits, truncated. 40 digits rounded give
    // them unless the rounding carried into them, which shows as zeros in
    // digits 20 to 40; then print all digits (767 at most).
    char buf[1000];
    std::snprintf(buf, sizeof buf, "%.39e", std::fabs(x));
    std::string s(buf);
    std::string digits = s.substr(0, 1) + s.substr(2, 39);
    if (digits.find_first_not_of('0', 19) == std::string::npos) {
        std::snprintf(buf, sizeof buf, "%.800e", std::fabs(x));
        s = buf;
        digits = s.substr(0, 1) + s.substr(2, 800);
    }
    int E = std::atoi(s.c_str() + s.find('e') + 1) + 1;
    // Round to 18 digits (the 19th decides), then to 15 (the 16th decides).
    const std::string digits18 = RoundHalfUp(digits.substr(0, 19), 18, E);
    return ReferenceLayout(x < 0, digits18, E, sep);
}

}  // namespace pelmora::testing
