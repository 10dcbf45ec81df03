// Copies standard input to standard output as roff text lines, for a
// no-fill block of a manual page: the characters roff would take as
// requests, escapes or typographic quotes are escaped, and every non-ASCII
// character becomes \[uXXXX], so groff needs no input encoding.
//
// roff_text --help-page reads a program's --help text instead and writes
// it as manual page sections, so that the page says what --help says:
//   - the "Usage:" lines become SYNOPSIS;
//   - a line "Name:" or "Name (note):" at the margin starts a section NAME,
//     whose note becomes its first paragraph; before the first one, the
//     section is DESCRIPTION;
//   - lines at the margin are paragraphs, blank lines end them;
//   - a line indented by two starts an entry: its term runs to the first
//     two blanks (or, for a term of up to 13 characters followed by one
//     blank, to column 16), its text goes on in the lines indented deeper.
//     Options and "--" in a term are bold, words in capitals italic.

#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

namespace {

// One line of filled text or a term, escaped; false when it is not UTF-8.
bool Escape(std::string_view line, std::string& out) {
    const std::string text(line);
    for (std::size_t i = 0; i < text.size();) {
        const bool first = i == 0;
        const long code = NextCodePoint(text, i);
        if (code < 0) return false;
        if (first && (code == '.' || code == '\'')) out += "\\&";
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
    return true;
}

bool IsCapital(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '_'; }

// A term: "-n, --count COUNT", "--hist[=BINS]", "P1 P2 P3", "130".
void Term(std::string_view term, std::string& out) {
    for (std::size_t i = 0; i < term.size();) {
        const char c = term[i];
        std::size_t j = i + 1;
        const char* font = nullptr;
        if (c == '-') {
            while (j < term.size() && (std::isalnum(static_cast<unsigned char>(term[j])) || term[j] == '-')) ++j;
            font = "\\fB";
        } else if (std::isdigit(static_cast<unsigned char>(c)) && (i == 0 || term[i - 1] == ' ')) {
            while (j < term.size() && std::isdigit(static_cast<unsigned char>(term[j]))) ++j;
            font = j == term.size() || term[j] == ' ' || term[j] == ',' ? "\\fB" : nullptr;
            if (!font) {  // "P1": a word in capitals after all
                while (j < term.size() && IsCapital(term[j])) ++j;
                font = "\\fI";
            }
        } else if (IsCapital(c)) {
            while (j < term.size() && IsCapital(term[j])) ++j;
            font = "\\fI";
        }
        if (font) out += font;
        Escape(term.substr(i, j - i), out);
        if (font) out += "\\fR";
        i = j;
    }
}

std::size_t Indent(std::string_view line) {
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ') ++n;
    return n;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s.substr(Indent(s));
}

int HelpPage(const std::string& text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    std::string out;
    bool ok = true;
    std::size_t k = 0;
    // SYNOPSIS: the usage lines, up to the first blank one.
    out += ".SH SYNOPSIS\n.nf\n";
    for (; k < lines.size() && !Trimmed(lines[k]).empty(); ++k) {
        std::string_view line = Trimmed(lines[k]);
        if (line.starts_with("Usage:")) line = Trimmed(line.substr(6));
        const std::size_t blank = line.find(' ');
        out += "\\fB";
        ok = ok && Escape(line.substr(0, blank), out);
        out += "\\fR";
        if (blank != std::string_view::npos) ok = ok && Escape(line.substr(blank), out);
        out += "\n";
    }
    out += ".fi\n";
    bool section = false, paragraph = false;
    auto open = [&] {
        if (!section) out += ".SH DESCRIPTION\n";
        section = true;
    };
    for (; k < lines.size(); ++k) {
        const std::string_view line = lines[k];
        const std::string_view trimmed = Trimmed(line);
        const std::size_t indent = Indent(line);
        if (trimmed.empty()) {
            paragraph = false;
            continue;
        }
        if (indent == 0 && !paragraph && trimmed.back() == ':') {
            // A section: "Name:" or "Name (note):".
            std::string_view name = trimmed.substr(0, trimmed.size() - 1), note;
            if (const std::size_t open = name.find(" ("); open != std::string_view::npos && name.back() == ')') {
                note = name.substr(open + 1);
                name = name.substr(0, open);
            }
            std::string upper;
            for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out += ".SH \"" + upper + "\"\n";
            section = true;
            if (!note.empty()) {
                std::string capital(note);
                if (capital.size() > 1) {
                    capital[1] = static_cast<char>(std::toupper(static_cast<unsigned char>(capital[1])));
                }
                out += ".PP\n";
                ok = ok && Escape(capital, out);
                out += "\n";
            }
            continue;
        }
        open();
        if (indent == 0) {
            if (!paragraph) out += ".PP\n";
            paragraph = true;
            ok = ok && Escape(trimmed, out);
            out += "\n";
            continue;
        }
        if (indent == 2) {
            // An entry: its term, then its text.
            std::size_t gap = trimmed.find("  ");
            std::string_view term = trimmed, rest;
            if (gap != std::string_view::npos) {
                term = trimmed.substr(0, gap);
                rest = Trimmed(trimmed.substr(gap));
            } else if (line.size() > 16 && line[15] == ' ' && line[14] != ' ') {
                term = Trimmed(line.substr(0, 15));
                rest = Trimmed(line.substr(16));
            }
            out += ".TP\n";
            Term(term, out);
            out += "\n";
            if (!rest.empty()) {
                ok = ok && Escape(rest, out);
                out += "\n";
            }
            paragraph = false;
            continue;
        }
        // The text of an entry goes on.
        ok = ok && Escape(trimmed, out);
        out += "\n";
    }
    if (!ok) {
        std::fputs("roff_text: the input is not UTF-8\n", stderr);
        return 1;
    }
    std::fputs(out.c_str(), stdout);
    return std::ferror(stdout) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string text;
    for (int c; (c = std::getchar()) != EOF;) text += static_cast<char>(c);
    if (argc > 1 && std::string_view(argv[1]) == "--help-page") return HelpPage(text);
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
