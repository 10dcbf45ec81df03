#include "core/rtf.h"

#include <cstdint>
#include <cstdio>

namespace pelmora {

namespace {

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives
// U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b0 = byte(i);
    int extra = b0 >= 0xF5 ? -1 : b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 ? 1 : -1;
    if (extra < 0 || i + extra >= text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += extra + 1;
    return cp;
}

// \uN takes a signed 16-bit number; the fallback character after it is "?".
void AppendUnit(std::string& out, uint16_t unit) {
    out += "\\u";
    out += std::to_string(static_cast<int16_t>(unit));
    out += '?';
}

}  // namespace

std::string RtfDocument(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 128);
    out += "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset";
    out += std::to_string(kRtfCharset);
    out += ' ';
    out += kRtfFontName;
    out += ";}}\n\\uc1\\pard\\f0\\fs";
    out += std::to_string(kRtfHalfPoints);
    out += ' ';
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r' ? 2 : 1;
            out += "\\par\n";
        } else if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\t') {
            out += "\\tab ";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02x", c);
            out += hex;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            char32_t cp = NextCodePoint(text, i);
            if (cp > 0xFFFF) {
                cp -= 0x10000;
                AppendUnit(out, static_cast<uint16_t>(0xD800 + (cp >> 10)));
                AppendUnit(out, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                AppendUnit(out, static_cast<uint16_t>(cp));
            }
        }
    }
    out += "}\n";
    return out;
}

}  // namespace pelmora
