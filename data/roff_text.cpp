// Copies standard input to standard output as roff text lines, for a
// no-fill block of a manual page: the characters roff would take as
// requests, escapes or typographic quotes are escaped, and every non-ASCII
// character becomes \[uXXXX], so groff needs no input encoding.

#include <cstdio>
#include <string>

namespace {

// The code point of the UTF-8 sequence starting at text[i], advancing i;
// -1 for a byte that starts no valid sequence.
long NextCodePoint(const std::string& text, std::size_t& i) {
    const unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4) return -1;
    long code = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k, ++i) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return -1;
        code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    return code;
}

}  // namespace

int main() {
    std::string text;
    for (int c; (c = std::getchar()) != EOF;) text += static_cast<char>(c);
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size();) {
        const long code = NextCodePoint(text, i);
        if (code < 0) {
            std::fputs("roff_text: the input is not UTF-8\n", stderr);
            return 1;
        }
        if (lineStart && code == '.') out += "\\&";
        lineStart = code == '\n';
        switch (code) {
            case '\\': out += "\\e"; break;
            case '-': out += "\\-"; break;
            case '\'': out += "\\(aq"; break;
            case '`': out += "\\(ga"; break;
            default:
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else {
                    char escape[16];
                    std::snprintf(escape, sizeof escape, "\\[u%04lX]", code);
                    out += escape;
                }
        }
    }
    std::fputs(out.c_str(), stdout);
    return std::ferror(stdout) ? 1 : 0;
}
