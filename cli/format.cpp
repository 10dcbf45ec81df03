#include "cli/format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/numtext.h"

namespace pelmora::cli {

std::size_t FormatValue(double x, int precision, char* out) {
    if (precision == 15 || !std::isfinite(x) || x == 0) return FormatGeneral(x, out, ".");

    // The C library prints the exactly rounded 18 digits: "d.ddd...de+XX".
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(x));
    char digits[18];
    digits[0] = buf[0];
    std::memcpy(digits + 1, buf + 2, 17);
    int E = std::atoi(buf + 20) + 1;  // |x| = 0.d1d2... * 10^E

    int k = precision;
    if (digits[k] >= '5') {
        int i = k - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++E;
        }
    }
    while (k > 1 && digits[k - 1] == '0') --k;

    char* p = out;
    if (x < 0) *p++ = '-';
    if (E >= -3 && E <= precision) {
        if (E <= 0) {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -E; ++i) *p++ = '0';
            std::memcpy(p, digits, static_cast<std::size_t>(k));
            p += k;
        } else if (k <= E) {
            std::memcpy(p, digits, static_cast<std::size_t>(k));
            p += k;
            for (int i = k; i < E; ++i) *p++ = '0';
        } else {
            std::memcpy(p, digits, static_cast<std::size_t>(E));
            p += E;
            *p++ = '.';
            std::memcpy(p, digits + E, static_cast<std::size_t>(k - E));
            p += k - E;
        }
    } else {
        *p++ = digits[0];
        if (k > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, static_cast<std::size_t>(k - 1));
            p += k - 1;
        }
        p += std::snprintf(p, 8, "E%d", E - 1);
    }
    return static_cast<std::size_t>(p - out);
}

}  // namespace pelmora::cli
