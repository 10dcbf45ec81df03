#include "cli/options.h"

#include <cctype>

#include "core/rows.h"

namespace pelmora::cli {
namespace {

std::string Normalized(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '-' || c == '\'') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "-" followed by a digit, a decimal point or a blank starts a number text
// (or an invalid one that the field parser will report), and "-" alone is
// the text of a lone sign; neither is an option.
bool IsParameter(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') return true;
    char c = arg[1];
    return IsDigit(c) || c == '.' || c == ' ';
}

}  // namespace

int FindRow(std::string_view name) {
    std::string key = Normalized(name);
    if (key.empty()) return -1;
    bool digits = true;
    for (char c : key) digits = digits && IsDigit(c);
    if (digits) {
        // A row number: digits and blanks only ("-1" is no row, whatever
        // hyphens mean in a name). Leading zeros are fine.
        for (char c : name) {
            if (c != ' ' && !IsDigit(c)) return -1;
        }
        std::size_t first = key.find_first_not_of('0');
        if (first == std::string::npos) return 0;
        if (key.size() - first > 2) return -1;
        int row = std::stoi(key.substr(first));
        return row < kRowCount ? row : -1;
    }
    for (int row = 0; row < kRowCount; ++row) {
        if (Normalized(kRows[row].caption) == key) return row;
    }
    return -1;
}

std::optional<uint64_t> ParseSeed(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

ParsedArguments ParseArguments(std::span<const std::string> args) {
    ParsedArguments result;
    Options& o = result.options;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    bool list = false, help = false, version = false;
    bool runOption = false;  // an option that only makes sense with a distribution
    std::string positional[4];
    std::size_t positionals = 0;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || IsParameter(arg)) {
            if (positionals == 4) return fail("too many arguments: '" + arg + "'");
            positional[positionals++] = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // The value of an option: attached ("-n5", "--seed=7") or the next argument.
        auto value = [&](std::string_view attached, bool hasAttached) -> std::optional<std::string> {
            if (hasAttached) return std::string(attached);
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        std::string_view a = arg;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else if (a == "--list") {
            list = true;
        } else if (a == "--stats") {
            o.stats = true;
            runOption = true;
        } else if (a == "--seed" || a.starts_with("--seed=")) {
            bool attached = a.size() > 6;
            auto v = value(attached ? a.substr(7) : std::string_view(), attached);
            if (!v) return fail("option --seed needs a value");
            o.seed = ParseSeed(*v);
            if (!o.seed) return fail("the seed must be an unsigned 64-bit decimal integer, not '" + *v + "'");
            runOption = true;
        } else if (a.starts_with("-n") && !a.starts_with("--")) {
            auto v = value(a.substr(2), a.size() > 2);
            if (!v) return fail("option -n needs a value");
            o.count = *v;
            runOption = true;
        } else if (a.starts_with("-o") && !a.starts_with("--")) {
            auto v = value(a.substr(2), a.size() > 2);
            if (!v) return fail("option -o needs a value");
            if (v->empty()) return fail("option -o needs a file name");
            o.output = *v;
            runOption = true;
        } else {
            return fail("unknown option '" + arg + "'");
        }
    }

    if (help) {
        o.mode = Mode::Help;
        return result;
    }
    if (version || list) {
        if (version && list) return fail("--list and --version do not go together");
        if (positionals > 0 || runOption) {
            return fail(std::string(version ? "--version" : "--list") + " takes no other arguments");
        }
        o.mode = version ? Mode::Version : Mode::List;
        return result;
    }

    if (positionals == 0) return fail("no distribution given");
    o.row = FindRow(positional[0]);
    if (o.row < 0) return fail("unknown distribution '" + positional[0] + "' (--list shows them)");
    if (positionals > 1) o.p1 = positional[1];
    if (positionals > 2) o.p2 = positional[2];
    if (positionals > 3) o.p3 = positional[3];
    return result;
}

}  // namespace pelmora::cli
