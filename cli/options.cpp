#include "cli/options.h"

#include <cctype>
#include <cstdint>
#include <string>

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

std::optional<int64_t> ParseCount(std::string_view text) {
    // The value is digits * 10^(exponent - fractionDigits), worked out on the
    // digits themselves: a double would round "9223372036854775807".
    std::string digits;
    std::size_t i = 0;
    int fraction = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !point) {
            point = true;
        } else if (IsDigit(c)) {
            any = true;
            if (point) ++fraction;
            if (!digits.empty() || c != '0') digits += c;  // leading zeros dropped
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        if (i == text.size()) return std::nullopt;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (negative) exponent = -exponent;
    }
    if (i != text.size()) return std::nullopt;
    if (digits.empty()) return 0;
    long scale = exponent - fraction;
    while (scale < 0 && digits.back() == '0') {
        digits.pop_back();
        ++scale;
    }
    if (scale < 0) return std::nullopt;
    if (static_cast<long>(digits.size()) + scale > 19) return std::nullopt;
    digits.append(static_cast<std::size_t>(scale), '0');
    unsigned long long value = std::stoull(digits);  // at most 19 digits: fits
    if (value > static_cast<unsigned long long>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(value);
}

namespace {

// A whole number from `low` to `high` in plain decimal digits.
std::optional<int> ParseSmall(std::string_view text, int low, int high) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

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
    std::string countOption;     // the spelling of the last count option, if any
    bool formatOption = false;   // --precision or --columns given

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
        // A long option with a value: "--name VALUE" or "--name=VALUE".
        auto longValue = [&](std::string_view name, std::optional<std::string>& v) {
            if (!a.starts_with(name)) return false;
            if (a.size() == name.size()) {
                v = value({}, false);
                return true;
            }
            if (a[name.size()] != '=') return false;
            v = std::string(a.substr(name.size() + 1));
            return true;
        };
        std::optional<std::string> v;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else if (a == "--list") {
            list = true;
        } else if (a == "--stats") {
            o.stats = true;
            runOption = true;
        } else if (a == "--as-window") {
            o.asWindow = true;
            runOption = true;
        } else if (a == "--binary") {
            o.binary = true;
            runOption = true;
        } else if (a == "--hist" || a.starts_with("--hist=")) {
            o.histBins = 40;
            if (a.size() > 6) {
                auto bins = ParseSmall(a.substr(7), 1, 1000);
                if (!bins) return fail("--hist: '" + std::string(a.substr(7)) + "' is not a number of bins from 1 to 1000");
                o.histBins = *bins;
            }
            runOption = true;
        } else if (longValue("--seed", v)) {
            if (!v) return fail("option --seed needs a value");
            o.seed = ParseSeed(*v);
            if (!o.seed) return fail("the seed must be an unsigned 64-bit decimal integer, not '" + *v + "'");
            runOption = true;
        } else if (longValue("--count", v) || (a.starts_with("-n") && (v = value(a.substr(2), a.size() > 2), true))) {
            countOption = a.starts_with("--") ? "--count" : "-n";
            if (!v) return fail("option " + countOption + " needs a value");
            o.count = *v;
            runOption = true;
        } else if (longValue("--output", v) || (a.starts_with("-o") && (v = value(a.substr(2), a.size() > 2), true))) {
            std::string name = a.starts_with("--") ? "--output" : "-o";
            if (!v) return fail("option " + name + " needs a value");
            if (v->empty()) return fail("option " + name + " needs a file name");
            o.output = *v;
            runOption = true;
        } else if (longValue("--precision", v)) {
            if (!v) return fail("option --precision needs a value");
            auto p = ParseSmall(*v, 1, 17);
            if (!p) return fail("--precision: '" + *v + "' is not a number of digits from 1 to 17");
            o.precision = *p;
            formatOption = true;
            runOption = true;
        } else if (longValue("--columns", v)) {
            if (!v) return fail("option --columns needs a value");
            auto k = ParseSmall(*v, 1, 1000000);
            if (!k) return fail("--columns: '" + *v + "' is not a number of columns from 1 to 1000000");
            o.columns = *k;
            formatOption = true;
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

    if (o.binary && formatOption) {
        return fail("--binary writes whole doubles: --precision and --columns do not go with it");
    }
    if (!o.asWindow) {
        auto count = ParseCount(o.count);
        if (!count) return fail((countOption.empty() ? "-n" : countOption) + ": '" + o.count +
                                "' is not a whole number of values.");
        o.countValue = *count;
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
