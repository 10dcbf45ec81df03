#include "core/speech.h"

#include <utility>
#include <vector>

namespace pelmora {
namespace {

// ---- Reading the markup (the grammar of the picture tool's typesetter)

struct Item {
    enum class Kind { Word, Symbol, Group, Fraction, Binomial, Root, Parens, Bars, Sum };
    Kind kind = Kind::Group;
    std::string words;       // Word: what is said ("" for a pause)
    bool name = false;       // Word: a letter, a Greek letter or a word, which "(" right after applies
    char32_t symbol = 0;     // Symbol
    bool applied = false;    // Parens: the argument of the name right before it
    std::vector<Item> body;  // Group, Root, Parens, Bars: the items; Fraction, Binomial: its two parts
    std::vector<Item> sup;   // at most one item each
    std::vector<Item> sub;
};

Item Word(std::string words, bool name = false) {
    Item item;
    item.kind = Item::Kind::Word;
    item.words = std::move(words);
    item.name = name;
    return item;
}

Item Of(Item::Kind kind, std::vector<Item> body = {}) {
    Item item;
    item.kind = kind;
    item.body = std::move(body);
    return item;
}

bool IsLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

// The next code point of UTF-8 text at `i`, which moves past it; a broken
// sequence gives U+FFFD one byte on.
char32_t Decode(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + std::size_t(length) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((byte(i + std::size_t(k)) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(i + std::size_t(k)) & 0x3F);
    }
    i += std::size_t(length);
    return c;
}

// The Greek letters as they are said; "" for any other character.
const char* GreekName(char32_t c) {
    static constexpr const char* kSmall[] = {"alpha",   "beta", "gamma", "delta",  "epsilon", "zeta", "eta",
                                             "theta",   "iota", "kappa", "lambda", "mu",      "nu",   "xi",
                                             "omicron", "pi",   "rho",   "sigma",  "sigma",   "tau",  "upsilon",
                                             "phi",     "chi",  "psi",   "omega"};
    if (c >= 0x03B1 && c <= 0x03C9) return kSmall[c - 0x03B1];
    switch (c) {
        case 0x0393: return "Gamma";
        case 0x0394: return "Delta";
        case 0x0398: return "Theta";
        case 0x039B: return "Lambda";
        case 0x039E: return "Xi";
        case 0x03A0: return "Pi";
        case 0x03A3: return "Sigma";
        case 0x03A6: return "Phi";
        case 0x03A8: return "Psi";
        case 0x03A9: return "Omega";
        default: return "";
    }
}

// A run of letters is an operator name ("ln", "min") or a word.
std::string LetterRun(std::string_view run) {
    if (run == "ln") return "natural log";
    if (run == "min") return "minimum";
    if (run == "max") return "maximum";
    return std::string(run);
}

class Reader {
public:
    explicit Reader(std::string_view markup) : s_(markup) {}

    std::vector<Item> Line() { return List(Until::End); }

private:
    enum class Until { End, Brace, Right, Parenthesis, Bar };

    std::string_view s_;
    std::size_t i_ = 0;

    bool AtEnd() const { return i_ >= s_.size(); }
    char Peek() const { return s_[i_]; }

    // Skips blanks; whether there were any.
    bool SkipBlanks() {
        const std::size_t from = i_;
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t')) ++i_;
        return i_ != from;
    }

    bool LookingAt(std::string_view command) const {
        if (s_.substr(i_, command.size()) != command) return false;
        const std::size_t after = i_ + command.size();
        return after >= s_.size() || !IsLetter(char32_t(static_cast<unsigned char>(s_[after])));
    }

    // Items up to the end of the text or of the construct being read, past
    // its closing mark. A closing mark that closes nothing is left out.
    std::vector<Item> List(Until until) {
        std::vector<Item> items;
        for (;;) {
            const bool blank = SkipBlanks();
            if (AtEnd()) return items;
            const char c = Peek();
            if ((c == '}' && until == Until::Brace) || (c == ')' && until == Until::Parenthesis) ||
                (c == '|' && until == Until::Bar)) {
                ++i_;
                return items;
            }
            if (LookingAt("\\right")) {
                i_ += 6;
                SkipBlanks();
                if (!AtEnd() && Peek() == ')') ++i_;
                if (until == Until::Right) return items;
                continue;
            }
            if (c == '}' || c == ')') {
                ++i_;
                continue;
            }
            if (c == '^' || c == '_') {
                ++i_;
                if (items.empty()) items.push_back(Of(Item::Kind::Group));
                (c == '^' ? items.back().sup : items.back().sub) = {Argument()};
                continue;
            }
            Item item = Next();
            if (item.kind == Item::Kind::Parens && !blank && !items.empty() && items.back().name) item.applied = true;
            items.push_back(std::move(item));
        }
    }

    Item Next() {
        const char c = Peek();
        if (c == '{') {
            ++i_;
            return Of(Item::Kind::Group, List(Until::Brace));
        }
        if (c == '(') {
            ++i_;
            return Of(Item::Kind::Parens, List(Until::Parenthesis));
        }
        if (c == '|') {
            ++i_;
            return Of(Item::Kind::Bars, List(Until::Bar));
        }
        if (c == '\\') return Command();
        const std::size_t start = i_;
        if (IsLetter(char32_t(c))) {
            while (!AtEnd() && IsLetter(char32_t(Peek()))) ++i_;
            return Word(LetterRun(s_.substr(start, i_ - start)), true);
        }
        if (IsDigit(char32_t(c))) {
            while (!AtEnd() && IsDigit(char32_t(Peek()))) ++i_;
            return Word(std::string(s_.substr(start, i_ - start)));
        }
        return Character(Decode(s_, i_));
    }

    static Item Character(char32_t c) {
        if (IsLetter(c) || IsDigit(c)) return Word(std::string(1, char(c)), IsLetter(c));
        if (const char* greek = GreekName(c); *greek) return Word(greek, true);
        Item item;
        item.kind = Item::Kind::Symbol;
        item.symbol = c;
        return item;
    }

    // The argument of a script or a command: a braced group, a command or one character.
    Item Argument() {
        SkipBlanks();
        if (AtEnd()) return Of(Item::Kind::Group);
        if (Peek() == '{') {
            ++i_;
            return Of(Item::Kind::Group, List(Until::Brace));
        }
        if (Peek() == '\\') return Command();
        return Character(Decode(s_, i_));
    }

    Item Command() {
        ++i_;  // the backslash
        if (AtEnd()) return Word("");
        const std::size_t start = i_;
        if (IsLetter(char32_t(Peek()))) {
            while (!AtEnd() && IsLetter(char32_t(Peek()))) ++i_;
        } else {
            ++i_;
        }
        const std::string_view name = s_.substr(start, i_ - start);
        if (name == "frac" || name == "binom") {
            Item first = Argument();
            Item second = Argument();
            return Of(name == "frac" ? Item::Kind::Fraction : Item::Kind::Binomial, {first, second});
        }
        if (name == "sqrt") return Of(Item::Kind::Root, {Argument()});
        if (name == "left") {
            SkipBlanks();
            if (!AtEnd() && Peek() == '(') ++i_;
            return Of(Item::Kind::Parens, List(Until::Right));
        }
        if (name == "sum") return Of(Item::Kind::Sum);
        if (name == "text") return Text();
        if (name == ",") return Word("times");  // the thin space between factors
        if (name == "ldots") return Word("dot dot dot");
        if (name == ";" || name == "quad" || name == "small") return Word("");
        return Word(std::string(name));
    }

    // \text{...}: the words as they are, blanks at the ends dropped.
    Item Text() {
        SkipBlanks();
        if (AtEnd() || Peek() != '{') return Word("");
        const std::size_t start = ++i_;
        while (!AtEnd() && Peek() != '}') ++i_;
        std::string_view text = s_.substr(start, i_ - start);
        if (!AtEnd()) ++i_;
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        return Word(std::string(text), true);
    }
};

// ---- Saying it

// One item that is said in a breath: a word, letter, number or Greek letter,
// with scripts that are one such item each. Anything longer is said with
// the end of its construct.
bool IsOne(const Item& item) {
    if (item.kind == Item::Kind::Group) {
        if (!item.sup.empty() || !item.sub.empty()) return false;
        const Item* only = nullptr;
        for (const Item& part : item.body) {
            if (part.kind == Item::Kind::Word && part.words.empty()) continue;
            if (only != nullptr) return false;
            only = &part;
        }
        return only != nullptr && IsOne(*only);
    }
    if (item.kind != Item::Kind::Word || item.words.empty() || item.words == "times") return false;
    for (const std::vector<Item>* scripts : {&item.sup, &item.sub})
        for (const Item& script : *scripts)
            if (!IsOne(script)) return false;
    return true;
}

// Items that are single items separated by commas ("μ, σ^2").
bool IsListOfOnes(const std::vector<Item>& items) {
    bool expectItem = true;
    for (const Item& item : items) {
        const bool comma = item.kind == Item::Kind::Symbol && item.symbol == ',';
        if (comma == expectItem || (!comma && !IsOne(item))) return false;
        expectItem = comma;
    }
    return !items.empty() && !expectItem;
}

class Speaker {
public:
    std::string Say(const std::vector<Item>& items) {
        Items(items);
        return text_;
    }

private:
    std::string text_;

    void Add(std::string_view words) {
        if (words.empty()) return;
        if (words == ",") {
            if (!text_.empty() && text_.back() != ',') text_ += ',';
            return;
        }
        if (!text_.empty()) text_ += ' ';
        text_ += words;
    }

    void Items(const std::vector<Item>& items) {
        for (const Item& item : items) One(item);
    }

    void One(const Item& item) {
        switch (item.kind) {
            case Item::Kind::Word: Add(item.words); break;
            case Item::Kind::Symbol: Symbol(item.symbol); break;
            case Item::Kind::Group: Items(item.body); break;
            case Item::Kind::Fraction: Construct(item, "over", "the fraction", "end fraction"); break;
            case Item::Kind::Binomial: Construct(item, "choose", "the binomial coefficient", "end binomial"); break;
            case Item::Kind::Root: Around(item, "the square root of", "end root"); break;
            case Item::Kind::Bars: Around(item, "the absolute value of", "end absolute value"); break;
            case Item::Kind::Parens:
                if (item.applied) Add("of");
                if (item.applied && IsListOfOnes(item.body) && item.sup.empty() && item.sub.empty()) {
                    Items(item.body);
                } else {
                    Add("open paren");
                    Items(item.body);
                    Add("close paren");
                }
                break;
            case Item::Kind::Sum:
                Add("the sum");
                if (!item.sub.empty()) {
                    Add("from");
                    Items(item.sub);
                }
                if (!item.sup.empty()) {
                    Add("to");
                    Items(item.sup);
                }
                Add("of");
                return;  // the scripts were its limits
        }
        Scripts(item);
    }

    // A two-part construct: "a over b", or with longer parts "the fraction
    // a plus b, over c, end fraction".
    void Construct(const Item& item, std::string_view between, std::string_view start, std::string_view end) {
        const bool short_ = IsOne(item.body[0]) && IsOne(item.body[1]);
        if (!short_) Add(start);
        One(item.body[0]);
        if (!short_) Add(",");
        Add(between);
        One(item.body[1]);
        if (!short_) {
            Add(",");
            Add(end);
            Add(",");
        }
    }

    void Around(const Item& item, std::string_view start, std::string_view end) {
        Add(start);
        Items(item.body);
        if (!IsOne(Of(Item::Kind::Group, item.body))) {
            Add(",");
            Add(end);
            Add(",");
        }
    }

    void Scripts(const Item& item) {
        for (const Item& sub : item.sub) {
            if (IsOne(sub)) {
                One(sub);
            } else {
                Add("sub");
                One(sub);
                Add("end sub");
            }
        }
        for (const Item& sup : item.sup) {
            const bool one = IsOne(sup);
            std::string said = one ? Speaker().Say({sup}) : std::string();
            if (said == "2") {
                Add("squared");
            } else if (said == "3") {
                Add("cubed");
            } else {
                Add("to the");
                One(sup);
                if (!one) Add("power");
            }
        }
    }

    void Symbol(char32_t c) {
        switch (c) {
            case '=': Add("equals"); break;
            case '<': Add("less than"); break;
            case '>': Add("greater than"); break;
            case 0x2264: Add("less than or equal to"); break;
            case 0x2265: Add("greater than or equal to"); break;
            case '~': Add("distributed as"); break;
            case '+': Add("plus"); break;
            case '-':
            case 0x2212: Add("minus"); break;
            case '*':
            case 0x00B7:
            case 0x00D7: Add("times"); break;
            case '/': Add("over"); break;
            case '!': Add("factorial"); break;
            case ',': Add(","); break;
            case 0x2026: Add("dot dot dot"); break;
            default: break;  // nothing a reader could say
        }
    }
};

}  // namespace

std::string SpokenFormula(std::string_view markup) {
    std::string said = Speaker().Say(Reader(markup).Line());
    while (!said.empty() && said.back() == ',') said.pop_back();
    return said;
}

std::string SpokenPicture(const Distribution& row) {
    std::string all;
    for (const char* line : row.formula) {
        if (line == nullptr) continue;
        const std::string said = SpokenFormula(line);
        if (said.empty()) continue;
        if (!all.empty()) all += ". ";
        all += said;
    }
    return all;
}

}  // namespace pelmora
