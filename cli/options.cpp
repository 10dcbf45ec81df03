#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "core/numtext.h"
#include "engine/error.h"

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

// A value glued to an option letter ("-n5", "-n-1", "-n.5", "-n 5") must
// start like a number, so that "-nan" is not read as "-n an".
bool StartsLikeNumber(std::string_view text) {
    return !text.empty() && (IsDigit(text[0]) || text[0] == '.' || text[0] == '+' || text[0] == '-' || text[0] == ' ');
}

// A row number: digits only, with blanks around them allowed ("1 1" is not 11).
std::optional<Row> RowNumber(std::string_view name) {
    std::size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    if (!std::all_of(name.begin(), name.end(), IsDigit)) return std::nullopt;
    name.remove_prefix(std::min(name.find_first_not_of('0'), name.size()));  // leading zeros are fine
    if (name.size() > 2) return std::nullopt;
    int index = 0;
    for (char c : name) index = index * 10 + (c - '0');
    if (index >= kRowCount) return std::nullopt;
    return RowAt(index);
}

// Every name a row answers to, as --list and the suggestions show them.
template <class Visit>
void ForEachName(Visit&& visit) {
    for (int index = 0; index < kRowCount; ++index) {
        const Row row = RowAt(index);
        visit(row, CommandName(row));
        for (const char* alias : Record(row).aliases) {
            if (alias) visit(row, std::string(alias));
        }
    }
}

// The optimal string alignment distance: insertions, deletions,
// substitutions and swaps of neighbours each count one.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::optional<Row> FindRow(std::string_view name) {
    if (auto number = RowNumber(name)) return number;
    std::string key = Normalized(name);
    if (key.empty() || IsDigit(key[0])) return std::nullopt;
    std::optional<Row> found;
    ForEachName([&](Row row, const std::string& candidate) {
        if (!found && Normalized(candidate) == key) found = row;
    });
    return found;
}

std::vector<std::string> NearestNames(std::string_view name) {
    const std::string key = Normalized(name);
    // One slip in a short name, two in a longer one.
    const std::size_t allowed = key.size() < 6 ? 1 : 2;
    std::size_t best = allowed;
    std::vector<std::string> nearest;
    ForEachName([&](Row, const std::string& candidate) {
        std::size_t d = EditDistance(key, Normalized(candidate));
        if (d > best || d >= key.size()) return;  // "1" is no slip of "t"
        if (d < best) nearest.clear();
        best = d;
        if (nearest.size() < 3) nearest.push_back(candidate);
    });
    return nearest;
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

// One pass over the arguments; each option's reading is one method.
class Parser {
public:
    explicit Parser(std::span<const std::string> args) : args_(args) {}

    ParsedArguments Run() {
        ParsedArguments result;
        for (i_ = 0; i_ < args_.size() && result.error.empty(); ++i_) result.error = Argument(args_[i_]);
        if (result.error.empty()) result.error = Finish();
        result.options = std::move(o_);
        return result;
    }

private:
    // An empty text when the argument is fine, else the usage error.
    std::string Argument(const std::string& arg) {
        if (optionsEnded_ || IsParameter(arg)) {
            if (positional_.size() == 4) return "too many arguments: '" + arg + "'";
            positional_.push_back(arg);
            return "";
        }
        std::string_view a = arg;
        if (a == "--") {
            optionsEnded_ = true;
        } else if (a == "--help" || a == "-h") {
            help_ = true;
        } else if (a == "--version") {
            version_ = true;
        } else if (a == "--list") {
            list_ = true;
        } else if (a == "--stats" || a == "--as-window") {
            (a == "--stats" ? o_.stats : o_.asWindow) = true;
            runOption_ = true;
        } else if (a == "--binary") {
            o_.binary = true;
            runOption_ = true;
        } else if (a == "--hist" || a.starts_with("--hist=")) {
            return Hist(a);
        } else if (IsLong(a, "--bins")) {  // the histogram's bins and range, and the NumPy file
            return Bins(LongValue(a, "--bins"));
        } else if (a == "--range" || a.starts_with("--range=")) {
            return HistRange(a);
        } else if (a == "--npy") {
            o_.npy = true;
            runOption_ = true;
        } else if (a == "--seed" || a.starts_with("--seed=")) {
            return Seed(a);
        } else if (a.starts_with("-n") && (a.size() == 2 || StartsLikeNumber(a.substr(2)))) {
            return Count("-n", Value(a.substr(2), a.size() > 2));
        } else if (IsLong(a, "--count")) {
            return Count("--count", LongValue(a, "--count"));
        } else if (a.starts_with("-o") && !a.starts_with("--")) {
            return Output("-o", Value(a.substr(2), a.size() > 2));
        } else if (IsLong(a, "--output")) {
            return Output("--output", LongValue(a, "--output"));
        } else if (a.starts_with("-j") && (a.size() == 2 || StartsLikeNumber(a.substr(2)))) {
            return Threads("-j", Value(a.substr(2), a.size() > 2));
        } else if (IsLong(a, "--threads")) {
            return Threads("--threads", LongValue(a, "--threads"));
        } else if (IsLong(a, "--shard")) {
            return Shard(LongValue(a, "--shard"));
        } else if (IsLong(a, "--precision")) {
            return Small("--precision", LongValue(a, "--precision"), 1, 17, "a number of digits", o_.precision);
        } else if (IsLong(a, "--columns")) {
            return Small("--columns", LongValue(a, "--columns"), 1, 1000000, "a number of columns", o_.columns);
        // The source of the uniforms, and where the run begins.
        } else if (IsLong(a, "--source")) {
            return Source(LongValue(a, "--source"));
        } else if (IsLong(a, "--start")) {
            return Start(LongValue(a, "--start"));
        } else {
            return "unknown option '" + arg + "'";
        }
        return "";
    }

    // The value of an option: attached ("-n5", "--seed=7") or the next argument.
    std::optional<std::string> Value(std::string_view attached, bool hasAttached) {
        if (hasAttached) return std::string(attached);
        if (i_ + 1 >= args_.size()) return std::nullopt;
        return args_[++i_];
    }

    std::string Seed(std::string_view a) {
        bool attached = a.size() > 6;
        auto v = Value(attached ? a.substr(7) : std::string_view(), attached);
        if (!v) return "option --seed needs a value";
        o_.seed = ParseSeed(*v);
        if (!o_.seed) return "the seed must be an unsigned 64-bit decimal integer, not '" + *v + "'";
        runOption_ = true;
        return "";
    }

    // "--name" or "--name=VALUE".
    static bool IsLong(std::string_view a, std::string_view name) {
        return a == name || (a.starts_with(name) && a.size() > name.size() && a[name.size()] == '=');
    }
    std::optional<std::string> LongValue(std::string_view a, std::string_view name) {
        bool attached = a.size() > name.size();
        return Value(attached ? a.substr(name.size() + 1) : std::string_view(), attached);
    }

    // The count is checked in Finish, once --as-window is known.
    std::string Count(const std::string& name, std::optional<std::string> v) {
        if (!v) return "option " + name + " needs a value";
        o_.count = *v;
        countOption_ = name;
        runOption_ = true;
        return "";
    }

    std::string Output(const std::string& name, std::optional<std::string> v) {
        if (!v) return "option " + name + " needs a value";
        if (v->empty()) return "option " + name + " needs a file name";
        o_.output = *v;
        runOption_ = true;
        return "";
    }

    std::string Small(const std::string& name, std::optional<std::string> v, int low, int high, const char* what,
                      int& into) {
        if (!v) return "option " + name + " needs a value";
        auto k = ParseSmall(*v, low, high);
        if (!k) return name + ": '" + *v + "' is not " + what + " from " + std::to_string(low) + " to " + std::to_string(high);
        into = *k;
        formatOption_ = true;
        runOption_ = true;
        return "";
    }

    std::string Threads(const std::string& name, std::optional<std::string> v) {
        if (!v) return "option " + name + " needs a value";
        auto k = ParseSmall(*v, 1, kMaxThreads);
        if (!k) return name + ": '" + *v + "' is not a number of threads from 1 to " + std::to_string(kMaxThreads);
        o_.threads = *k;
        runOption_ = true;
        return "";
    }

    // "I/N": part I, counted from 0, of N.
    std::string Shard(std::optional<std::string> v) {
        if (!v) return "option --shard needs a value";
        std::string_view text = *v;
        std::size_t slash = text.find('/');
        std::optional<uint64_t> index, count;
        if (slash != std::string_view::npos) {
            index = ParseSeed(text.substr(0, slash));
            count = ParseSeed(text.substr(slash + 1));
        }
        if (!index || !count || *index >= *count) {
            return "--shard: '" + *v + "' is not I/N, part I (counted from 0) of N parts, with 0 <= I < N";
        }
        o_.shard = Options::Shard{*index, *count};
        runOption_ = true;
        return "";
    }

    // --source lcg|philox
    std::string Source(std::optional<std::string> v) {
        if (!v) return "option --source needs a value";
        if (*v == "lcg") {
            o_.source = UniformSource::Lcg;
        } else if (*v == "philox") {
            o_.source = UniformSource::Philox;
        } else {
            return "--source: '" + *v + "' is not a source: lcg (the window's 32-bit generator) or philox (counter-based)";
        }
        runOption_ = true;
        return "";
    }

    // --start K, a count of values before the first one written.
    std::string Start(std::optional<std::string> v) {
        if (!v) return "option --start needs a value";
        auto k = ParseCount(*v);
        if (!k) return "--start: '" + *v + "' is not a whole number of values.";
        o_.start = static_cast<uint64_t>(*k);
        startGiven_ = true;
        runOption_ = true;
        return "";
    }

    std::string Hist(std::string_view a) {
        if (a.size() == 6 && i_ + 1 < args_.size() && !args_[i_ + 1].empty() &&
            std::all_of(args_[i_ + 1].begin(), args_[i_ + 1].end(), IsDigit)) {
            // "--hist 12 3 4": twelve bins, or row 12? "normal --hist 5": five
            // bins, or a mean of 5? Neither is guessed.
            const std::string& n = args_[i_ + 1];
            return "--hist takes no separate value: write --bins " + n + " (or --hist=" + n + ") for " + n +
                   " bins, or put --hist after the distribution and its parameters";
        }
        if (o_.histBins == 0) o_.histBins = 40;
        if (a.size() > 6) {
            std::string text(a.substr(7));
            auto bins = ParseSmall(text, 1, 1000);
            if (!bins) return "--hist: '" + text + "' is not a number of bins from 1 to 1000";
            o_.histBins = *bins;
        }
        runOption_ = true;
        return "";
    }

    std::string Bins(std::optional<std::string> v) {
        if (!v) return "option --bins needs a value";
        auto bins = ParseSmall(*v, 1, 1000);
        if (!bins) return "--bins: '" + *v + "' is not a number of bins from 1 to 1000";
        o_.histBins = *bins;
        runOption_ = true;
        return "";
    }

    // --range LO HI: two numbers as the fields read them, LO below HI.
    std::string HistRange(std::string_view a) {
        if (a != "--range" || i_ + 2 >= args_.size()) return "option --range needs two values: --range LO HI";
        const std::string& low = args_[++i_];
        const std::string& high = args_[++i_];
        double ends[2];
        for (int k = 0; k < 2; ++k) {
            const std::string& text = k == 0 ? low : high;
            try {
                ends[k] = ToDouble(TextToReal(text, "."));
            } catch (const Error&) {
                return "--range: '" + text + "' is not a number";
            }
        }
        if (!(ends[0] < ends[1])) return "--range: LO must be less than HI (got " + low + " and " + high + ")";
        o_.histRange = Options::Range{ends[0], ends[1]};
        runOption_ = true;
        return "";
    }

    // The parameters after the distribution. A run takes at most the row's
    // own number of them, and the defaults for those left out; a parameter
    // without a default must be given (with --list it is only noted).
    // --as-window takes them as the window's fields: any three, the
    // start-up texts for the rest.
    std::string Parameters(bool list) {
        const Row row = *o_.row;
        std::string* fields[] = {&o_.p1, &o_.p2, &o_.p3};
        const std::size_t given = positional_.size() - 1;
        for (std::size_t k = 0; k < given; ++k) *fields[k] = positional_[k + 1];
        if (o_.asWindow) return "";
        const auto& params = Record(row).params;
        std::vector<std::string> names;
        for (const Param& p : params) {
            if (p.label) names.emplace_back(ParamName(p));
        }
        if (given > names.size()) {
            std::string takes = names.empty()
                                    ? "no parameters"
                                    : std::to_string(names.size()) +
                                          (names.size() == 1 ? " parameter, " : " parameters, ") + Listed(names);
            return std::string(RowName(row)) + " takes " + takes + ", not " + std::to_string(given);
        }
        for (std::size_t k = given; k < names.size(); ++k) {
            if (params[k].fallback) {
                *fields[k] = params[k].fallback;
            } else {
                o_.missing.push_back(names[k]);
            }
        }
        if (list || o_.missing.empty()) return "";
        const bool one = o_.missing.size() == 1;
        return std::string(RowName(row)) + ": " + Listed(o_.missing) + (one ? " is" : " are") + " missing (" +
               (one ? "it has" : "they have") + " no default)";
    }

    // "a", "a and b", "a, b and c".
    static std::string Listed(const std::vector<std::string>& names) {
        std::string text;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
            text += names[k];
        }
        return text;
    }

    std::string Distribution(const std::string& name) {
        o_.row = FindRow(name);
        if (o_.row) return "";
        std::vector<std::string> nearest = NearestNames(name);
        if (nearest.empty()) return "unknown distribution '" + name + "' (--list shows them)";
        std::string message = "unknown distribution '" + name + "'; did you mean '" + nearest[0] + "'";
        for (std::size_t k = 1; k < nearest.size(); ++k) {
            message += (k + 1 == nearest.size() ? " or '" : ", '") + nearest[k] + "'";
        }
        return message + "?";
    }

    // The mode, and the distribution with its parameters.
    std::string Finish() {
        if (help_) {
            o_.mode = Mode::Help;
            return "";
        }
        if (version_ && list_) return "--list and --version do not go together";
        if (version_ || list_) {
            const char* option = version_ ? "--version" : "--list";
            if (runOption_ || (version_ && !positional_.empty())) return std::string(option) + " takes no other arguments";
            o_.mode = version_ ? Mode::Version : Mode::List;
            if (positional_.empty()) return "";
        } else {
            if (o_.shard && !o_.seed) {
                return "--shard needs --seed: only a seeded run is one stream that parts drawn apart can share";
            }
            if (startGiven_ && !o_.seed) {
                return "--start needs --seed: only a seeded run has the same values at the same places every time";
            }
            if (o_.asWindow && o_.source != UniformSource::Lcg) {
                return "--as-window draws from the window's own source: --source philox does not go with it";
            }
            if (o_.binary && formatOption_) return "--binary writes whole doubles: --precision and --columns do not go with it";
            if (o_.npy && o_.binary) {
                return "--npy and --binary do not go together: --npy writes a header before the numbers";
            }
            if (o_.npy && formatOption_) {
                return "--npy writes whole numbers: --precision and --columns do not go with it";
            }
            if (o_.histRange && o_.histBins == 0) o_.histBins = 40;
            if (!o_.asWindow) {
                auto count = ParseCount(o_.count);
                if (!count) return countOption_ + ": '" + o_.count + "' is not a whole number of values.";
                o_.countValue = *count;
            }
            if (positional_.empty()) return "no distribution given";
        }
        if (std::string error = Distribution(positional_[0]); !error.empty()) return error;
        return Parameters(o_.mode == Mode::List);
    }

    std::span<const std::string> args_;
    std::size_t i_ = 0;
    Options o_;
    bool list_ = false, help_ = false, version_ = false;
    bool runOption_ = false;  // an option that only makes sense with a distribution
    bool optionsEnded_ = false;
    bool formatOption_ = false;       // --precision or --columns given
    bool startGiven_ = false;         // --start given, even as 0
    std::string countOption_ = "-n";  // the spelling of the last count option
    std::vector<std::string> positional_;
};

}  // namespace

ParsedArguments ParseArguments(std::span<const std::string> args) { return Parser(args).Run(); }

}  // namespace pelmora::cli
