// The RTF writer, fed any pane text. The first byte picks how the rest
// becomes the text: as it is (any bytes, UTF-8 or not), or as a list of
// code points, so that long runs of valid UTF-8 beyond ASCII come up often.
//
// A small RTF reader of its own reads every document back. Checked:
// - the document is 7-bit ASCII, starts with "{\rtf1", and its braces
//   balance: the depth never drops below 0, and the group opened first
//   closes at the very end (only the final line break follows);
// - the font table names the pane's font;
// - the text reads back unchanged for every valid UTF-8 text (a CR LF pair
//   reads back as the line break it stands for), and as valid UTF-8 for
//   any other.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/rtf.h"

namespace {

[[noreturn]] void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "fuzz_rtf: %s (document offset %zu)\n", what, at);
    std::abort();
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Whether `s` is well-formed UTF-8 (Unicode's table 3-7: no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < s.size()) {
        unsigned char b = at(i);
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b < 0x80) {
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            unsigned char c = at(i + k);
            unsigned char l = k == 1 ? lo : 0x80, h = k == 1 ? hi : 0xBF;
            if (c < l || c > h) return false;
        }
        i += len;
    }
    return true;
}

// Reads an RTF document as far as this writer's output needs: groups,
// control words with their optional numeric parameter and the one
// delimiting blank, control symbols, \'hh, \uN with the \ucN count of
// fallback characters to skip, \par and \line as line breaks, \tab. The
// text of groups that start with a destination (\fonttbl, \*) is not body
// text. Body text is returned as UTF-8; the font table's text in `fonts`.
struct Reader {
    std::string_view doc;
    std::size_t pos = 0;
    std::string body, fonts;
    char16_t pendingHigh = 0;

    struct Group {
        bool skip;      // a destination whose text is not body text
        bool fonttbl;   // inside the font table
        int uc;         // fallback characters after \uN
    };

    void Emit(std::string& out, char32_t cp) {
        if (pendingHigh) {
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(pendingHigh) - 0xD800) << 10) + (cp - 0xDC00));
                pendingHigh = 0;
                return;
            }
            Fail("a high surrogate without its low half", pos);
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            pendingHigh = static_cast<char16_t>(cp);
            return;
        }
        if (cp >= 0xDC00 && cp <= 0xDFFF) Fail("a lone low surrogate", pos);
        AppendUtf8(out, cp);
    }

    void Run() {
        if (doc.substr(0, 6) != "{\\rtf1") Fail("no {\\rtf1 at the start", 0);
        Group stack[64];
        int depth = 0;
        int skipChars = 0;  // fallback characters still to skip after \uN
        while (pos < doc.size()) {
            char c = doc[pos];
            if (static_cast<unsigned char>(c) >= 0x80) Fail("a byte beyond ASCII", pos);
            if (c == '{') {
                if (depth == 64) Fail("groups nested too deeply", pos);
                stack[depth] = depth ? stack[depth - 1] : Group{false, false, 1};
                ++depth;
                ++pos;
                skipChars = 0;
                continue;
            }
            if (c == '}') {
                if (depth == 0) Fail("a closing brace without its group", pos);
                --depth;
                ++pos;
                skipChars = 0;
                if (depth == 0) {
                    if (doc.substr(pos) != "\n") Fail("text after the document's group", pos);
                    pos = doc.size();
                    if (pendingHigh) Fail("a high surrogate at the end", pos);
                    return;
                }
                continue;
            }
            if (depth == 0) Fail("text outside the document's group", pos);
            Group& g = stack[depth - 1];
            std::string& out = g.fonttbl ? fonts : body;
            if (c == '\r' || c == '\n') {  // line breaks in RTF source are not text
                ++pos;
                continue;
            }
            if (c != '\\') {
                ++pos;
                if (skipChars > 0) {
                    --skipChars;
                    continue;
                }
                if (!g.skip || g.fonttbl) Emit(out, static_cast<unsigned char>(c));
                continue;
            }
            // A control word, a control symbol or \'hh.
            ++pos;
            if (pos >= doc.size()) Fail("a backslash at the end", pos);
            char s = doc[pos];
            if (s == '\'') {
                if (pos + 2 >= doc.size()) Fail("a cut \\'hh", pos);
                unsigned value = static_cast<unsigned>(std::strtoul(std::string(doc.substr(pos + 1, 2)).c_str(), nullptr, 16));
                pos += 3;
                if (skipChars > 0) {
                    --skipChars;
                    continue;
                }
                if (!g.skip || g.fonttbl) Emit(out, value);
                continue;
            }
            if (!((s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z'))) {
                ++pos;
                if (s == '*') {
                    g.skip = true;
                    continue;
                }
                if (skipChars > 0) {
                    --skipChars;
                    continue;
                }
                if (s == '\\' || s == '{' || s == '}') {
                    if (!g.skip || g.fonttbl) Emit(out, static_cast<unsigned char>(s));
                    continue;
                }
                if (s == '\n' || s == '\r') {  // \<newline> is \par
                    if (!g.skip) Emit(body, '\n');
                    continue;
                }
                Fail("an unknown control symbol", pos);
            }
            std::size_t start = pos;
            while (pos < doc.size() && ((doc[pos] >= 'a' && doc[pos] <= 'z') || (doc[pos] >= 'A' && doc[pos] <= 'Z'))) ++pos;
            std::string word(doc.substr(start, pos - start));
            bool hasParam = false;
            long param = 0;
            if (pos < doc.size() && (doc[pos] == '-' || (doc[pos] >= '0' && doc[pos] <= '9'))) {
                std::size_t p = pos;
                if (doc[p] == '-') ++p;
                while (p < doc.size() && doc[p] >= '0' && doc[p] <= '9' && p - pos < 12) ++p;
                param = std::strtol(std::string(doc.substr(pos, p - pos)).c_str(), nullptr, 10);
                hasParam = true;
                pos = p;
            }
            if (pos < doc.size() && doc[pos] == ' ') ++pos;  // the delimiter belongs to the word

            if (word == "fonttbl") {
                g.skip = true;
                g.fonttbl = true;
            } else if (word == "uc") {
                g.uc = hasParam ? static_cast<int>(param) : 1;
            } else if (word == "u") {
                if (!hasParam || param < -32768 || param > 65535) Fail("\\u without a 16-bit number", pos);
                if (skipChars > 0) Fail("\\u inside the fallback of another", pos);
                if (!g.skip) Emit(body, static_cast<char32_t>(param < 0 ? param + 65536 : param));
                skipChars = g.uc;
            } else if (skipChars > 0) {
                --skipChars;  // a control word counts as one fallback character
            } else if (word == "par" || word == "line") {
                if (!g.skip) Emit(body, '\n');
            } else if (word == "tab") {
                if (!g.skip) Emit(body, '\t');
            }
            // Any other control word formats and carries no text.
        }
        Fail("the document's group never closes", pos);
    }
};

// The pane text as the writer reads it: CR LF is one line break.
std::string Expected(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string text;
    if (data[0] & 1) {
        // Code points from three bytes each; surrogates are not characters.
        for (std::size_t i = 1; i + 3 <= size; i += 3) {
            char32_t cp = (char32_t(data[i]) << 16 | char32_t(data[i + 1]) << 8 | data[i + 2]) % 0x110000;
            if (cp >= 0xD800 && cp <= 0xDFFF) cp -= 0x800;
            AppendUtf8(text, cp);
        }
    } else {
        text.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    }

    const std::string doc = pelmora::RtfDocument(text);
    Reader reader;
    reader.doc = doc;
    reader.Run();

    if (reader.fonts.find(pelmora::kRtfFontName) == std::string::npos) Fail("the font table lacks the pane's font", 0);
    if (!IsUtf8(reader.body)) Fail("the text reads back as malformed UTF-8", 0);
    if (IsUtf8(text) && reader.body != Expected(text)) Fail("the text does not read back unchanged", 0);
    return 0;
}
