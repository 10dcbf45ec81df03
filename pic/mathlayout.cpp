#include "mathlayout.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace pelmora::pic {
namespace {

// ---------------------------------------------------------------------------
// Sizes and placements. Lengths ending in "Em" are fractions of the font size
// in pixels (its em), those ending in "Px" whole pixels. The script placements
// are the values of TeX's math fonts, which the pictures' readers know.

constexpr qreal kScriptScale = 0.75;       // scripts at three quarters of the base size
constexpr int kMinScriptPx = 9;            // ... but never below 9 pixels
constexpr qreal kScriptScriptScale = 0.6;  // scripts of scripts at six tenths
constexpr int kMinScriptScriptPx = 8;      // ... but never below 8 pixels

constexpr qreal kSupRaiseDisplayEm = 0.413;  // least raise of a superscript on the line (TeX's sup1)
constexpr qreal kSupRaiseEm = 0.363;         // least raise inside a fraction (sup2)
constexpr qreal kSupBottomXHeights = 0.25;   // a superscript's bottom stays this many x-heights above the baseline
constexpr qreal kSupDropEm = 0.386;  // a tall base's superscript sits this far below its top, in script em (sup_drop)
constexpr qreal kSubDropEm = 0.05;   // a tall base's subscript sits this far below its bottom, in script em (sub_drop)
constexpr qreal kSubLowerEm = 0.15;           // least drop of a lone subscript (sub1)
constexpr qreal kSubLowerWithSupEm = 0.247;   // least drop of a subscript under a superscript (sub2)
constexpr qreal kSubTopXHeights = 0.8;        // a lone subscript's top reaches at most this many x-heights
constexpr qreal kSupBottomWithSubXHeights = 0.8;  // with both scripts, the superscript's bottom rises to here
constexpr qreal kScriptGapPx = 2;                 // least space between a superscript and the subscript below it

constexpr qreal kSumScale = 1.45;  // the summation sign is set this much larger than its line
constexpr int kLimitGapPx = 2;     // between the summation sign and its limits

constexpr qreal kRadicalWidthEm = 0.45;  // width of the drawn radical sign (plus one pixel)
constexpr qreal kOutlinePen = 0.2;       // hairline around each glyph outline, in pixels

// ---------------------------------------------------------------------------
// Parse tree

// Atom classes decide the automatic spacing, as in TeX.
enum class Cls { Ord, Op, Bin, Rel, Open, Close, Punct, Inner };

struct Node {
    enum class Kind { Glyph, Word, Text, Group, Frac, Binom, Sqrt, Fenced, Sum, Space };
    Kind kind = Kind::Group;
    QString text;                // Glyph, Word, Text
    Cls cls = Cls::Ord;          // Glyph
    bool italic = false;         // Glyph
    qreal em = 0;                // Space: width in em
    std::vector<Node> children;  // Group: items; Frac, Binom: numerator and denominator; Sqrt, Fenced: the body
    std::vector<Node> sup, sub;  // at most one node each
};

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

Node Glyph(QString text, Cls cls, bool italic = false) {
    Node n;
    n.kind = Node::Kind::Glyph;
    n.text = std::move(text);
    n.cls = cls;
    n.italic = italic;
    return n;
}

Node Group(std::vector<Node> items) {
    Node n;
    n.kind = Node::Kind::Group;
    n.children = std::move(items);
    return n;
}

Node OfKind(Node::Kind kind) {
    Node n;
    n.kind = kind;
    return n;
}

Node Space(qreal em) {
    Node n = OfKind(Node::Kind::Space);
    n.em = em;
    return n;
}

// The atom class of a character outside letters and digits.
Node Symbol(QChar c) {
    switch (c.unicode()) {
    case u'-':
    case 0x2212:
        return Glyph(QString(QChar(0x2212)), Cls::Bin);
    case u'+':
    case 0x00B7:  // centred dot
        return Glyph(QString(c), Cls::Bin);
    case u'=':
    case u'<':
    case u'>':
    case u'~':
    case 0x2264:  // less or equal
    case 0x2265:  // greater or equal
        return Glyph(QString(c), Cls::Rel);
    case u'(':
        return Glyph(QString(c), Cls::Open);
    case u')':
    case u'!':
        return Glyph(QString(c), Cls::Close);
    case u',':
        return Glyph(QString(c), Cls::Punct);
    case 0x2026:  // ellipsis
        return Glyph(QString(c), Cls::Inner);
    default:
        break;
    }
    // lower-case Greek is italic, capitals stay upright
    const bool greekSmall = c.unicode() >= 0x03B1 && c.unicode() <= 0x03C9;
    return Glyph(QString(c), Cls::Ord, greekSmall);
}

class Parser {
public:
    explicit Parser(const QString& source) : s_(source) {}

    std::vector<Node> Parse() { return ParseList(Until::End); }

private:
    enum class Until { End, Brace, Right };

    const QString& s_;
    qsizetype i_ = 0;

    [[noreturn]] void Fail(const QString& what) const {
        throw Error(QStringLiteral("%1 at offset %2 of \"%3\"").arg(what).arg(i_).arg(s_).toStdString());
    }

    bool AtEnd() const { return i_ >= s_.size(); }

    void SkipSpace() {
        while (!AtEnd() && s_[i_].isSpace()) ++i_;
    }

    bool LookingAt(QStringView word) const {
        if (s_.mid(i_, word.size()) != word) return false;
        // a command name ends where the letters end
        const qsizetype after = i_ + word.size();
        return after >= s_.size() || !IsAsciiLetter(s_[after]);
    }

    void Expect(QChar c) {
        SkipSpace();
        if (AtEnd() || s_[i_] != c) Fail(QStringLiteral("expected '%1'").arg(c));
        ++i_;
    }

    // Items up to the end of the markup, a '}' or a \right, which stays unread.
    std::vector<Node> ParseList(Until until) {
        std::vector<Node> items;
        for (;;) {
            SkipSpace();
            if (AtEnd()) {
                if (until == Until::End) return items;
                Fail(until == Until::Right ? QStringLiteral("\\left without \\right") : QStringLiteral("missing '}'"));
            }
            const QChar c = s_[i_];
            if (c == u'}') {
                if (until == Until::Brace) return items;
                Fail(QStringLiteral("unexpected '}'"));
            }
            if (LookingAt(u"\\right")) {
                if (until == Until::Right) return items;
                Fail(QStringLiteral("\\right without \\left"));
            }
            if (c == u'^' || c == u'_') {
                AttachScript(items);
            } else {
                items.push_back(ParseItem());
            }
        }
    }

    void AttachScript(std::vector<Node>& items) {
        const QChar c = s_[i_++];
        if (items.empty()) items.push_back(Group({}));
        std::vector<Node>& slot = c == u'^' ? items.back().sup : items.back().sub;
        if (!slot.empty()) Fail(QStringLiteral("a second '%1' on the same base").arg(c));
        slot.push_back(ParseArgument());
    }

    Node ParseItem() {
        const QChar c = s_[i_];
        if (c == u'{') return ParseGroup();
        if (c == u'\\') {
            ++i_;
            return ParseCommand();
        }
        if (IsAsciiLetter(c)) return ParseLetters();
        if (IsDigit(c)) {
            const qsizetype start = i_;
            while (!AtEnd() && IsDigit(s_[i_])) ++i_;
            return Glyph(s_.mid(start, i_ - start), Cls::Ord);
        }
        ++i_;
        return Symbol(c);
    }

    Node ParseGroup() {
        ++i_;  // {
        Node g = Group(ParseList(Until::Brace));
        Expect(u'}');
        return g;
    }

    // One letter is a variable, a run of them an operator name.
    Node ParseLetters() {
        const qsizetype start = i_;
        while (!AtEnd() && IsAsciiLetter(s_[i_])) ++i_;
        const QString run = s_.mid(start, i_ - start);
        if (run.size() == 1) return Glyph(run, Cls::Ord, true);
        Node word = OfKind(Node::Kind::Word);
        word.text = run;
        return word;
    }

    // The argument of a script or of a command: a braced group, a command or
    // a single character (x^ab is x^a followed by b).
    Node ParseArgument() {
        SkipSpace();
        if (AtEnd()) Fail(QStringLiteral("missing argument"));
        const QChar c = s_[i_];
        if (c == u'{') return ParseGroup();
        if (c == u'\\') {
            ++i_;
            return ParseCommand();
        }
        if (c == u'}' || c == u'^' || c == u'_') Fail(QStringLiteral("missing argument"));
        ++i_;
        if (IsAsciiLetter(c)) return Glyph(QString(c), Cls::Ord, true);
        if (IsDigit(c)) return Glyph(QString(c), Cls::Ord);
        return Symbol(c);
    }

    // A group holding the next argument.
    Node ParseBody() { return Group({ParseArgument()}); }

    QString ReadName() {
        if (AtEnd()) Fail(QStringLiteral("lone backslash"));
        if (!IsAsciiLetter(s_[i_])) return QString(s_[i_++]);
        const qsizetype start = i_;
        while (!AtEnd() && IsAsciiLetter(s_[i_])) ++i_;
        return s_.mid(start, i_ - start);
    }

    void ExpectParenthesis(QChar c) {
        SkipSpace();
        if (AtEnd() || s_[i_] != c) Fail(QStringLiteral("expected the delimiter '%1'").arg(c));
        ++i_;
    }

    Node ParseCommand() {
        const QString name = ReadName();
        if (name == u"frac" || name == u"binom") {
            Node n = OfKind(name == u"binom" ? Node::Kind::Binom : Node::Kind::Frac);
            n.children.push_back(ParseBody());
            n.children.push_back(ParseBody());
            return n;
        }
        if (name == u"sqrt") {
            Node n = OfKind(Node::Kind::Sqrt);
            n.children.push_back(ParseBody());
            return n;
        }
        if (name == u"left") {
            Node n = OfKind(Node::Kind::Fenced);
            ExpectParenthesis(u'(');
            n.children.push_back(Group(ParseList(Until::Right)));
            i_ += 6;  // \right
            ExpectParenthesis(u')');
            return n;
        }
        if (name == u"sum") return OfKind(Node::Kind::Sum);
        if (name == u"text") return ParseText();
        if (name == u",") return Space(3.0 / 18);
        if (name == u";") return Space(5.0 / 18);
        if (name == u"quad") return Space(1);
        if (name == u"ldots") return Glyph(QString(QChar(0x2026)), Cls::Inner);
        Fail(QStringLiteral("unknown command \\%1").arg(name));
    }

    Node ParseText() {
        Expect(u'{');
        const qsizetype start = i_;
        while (!AtEnd() && s_[i_] != u'}') {
            if (s_[i_] == u'{' || s_[i_] == u'\\') Fail(QStringLiteral("\\text takes plain words"));
            ++i_;
        }
        if (AtEnd()) Fail(QStringLiteral("missing '}'"));
        Node n = OfKind(Node::Kind::Text);
        n.text = s_.mid(start, i_ - start);
        ++i_;
        return n;
    }
};

// ---------------------------------------------------------------------------
// Boxes

class GlyphBox final : public Box {
public:
    GlyphBox(QString text, const QFont& font) : text_(std::move(text)), font_(font) {
        const QFontMetricsF metrics(font_);
        for (const char32_t c : text_.toUcs4()) {
            if (!metrics.inFontUcs4(c)) {
                throw Error(QStringLiteral("the face %1%2 has no glyph for U+%3")
                                .arg(font_.family(), font_.italic() ? QStringLiteral(" Italic") : QString(),
                                     QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'))
                                .toStdString());
            }
        }
        width = metrics.horizontalAdvance(text_);
        const QRectF ink = metrics.tightBoundingRect(text_);
        ascent = std::max<qreal>(0, -ink.top());
        descent = std::max<qreal>(0, ink.bottom());
        inkRight_ = ink.right();
    }

    // How far the ink reaches beyond the advance (the italic correction).
    qreal Overhang() const { return std::max<qreal>(0, inkRight_ - width); }

    // Glyphs are painted as outlines rather than through the font rasteriser:
    // the result then depends on the font files alone, not on hinting
    // settings, and a hairline around the outline gives small sizes more body.
    void Draw(QPainter& painter, QPointF origin) const override {
        QPainterPath path;
        path.addText(origin, font_, text_);
        const QColor ink = painter.pen().color();
        painter.fillPath(path, ink);
        painter.strokePath(path, QPen(ink, kOutlinePen));
    }

private:
    QString text_;
    QFont font_;
    qreal inkRight_ = 0;
};

// A box made of other boxes, rules and drawn strokes. All vertical offsets are
// whole pixels, so bars and rules fall on the pixel grid.
class Compound final : public Box {
public:
    void Place(std::unique_ptr<Box> box, qreal x, qreal y) { items_.push_back({QPointF(x, y), std::move(box)}); }
    void Rule(const QRectF& r) { rules_.push_back(r); }
    void Fill(const QPainterPath& path) { fills_.push_back(path); }
    void Stroke(const QPainterPath& path, qreal penWidth) { strokes_.emplace_back(path, penWidth); }

    void Draw(QPainter& painter, QPointF origin) const override {
        const QColor ink = painter.pen().color();
        for (const Item& item : items_) item.box->Draw(painter, origin + item.at);
        for (const QRectF& r : rules_) painter.fillRect(r.translated(origin), ink);
        for (const QPainterPath& path : fills_) painter.fillPath(path.translated(origin), ink);
        for (const auto& [path, penWidth] : strokes_) {
            painter.strokePath(path.translated(origin), QPen(ink, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
    }

private:
    struct Item {
        QPointF at;
        std::unique_ptr<Box> box;
    };
    std::vector<Item> items_;
    std::vector<QRectF> rules_;
    std::vector<QPainterPath> fills_;
    std::vector<std::pair<QPainterPath, qreal>> strokes_;
};

// ---------------------------------------------------------------------------
// Layout

// Display and text style set at the line's size, script and scriptscript
// smaller; fractions step down one style, scripts step down to S or SS.
enum class Style { D, T, S, SS };

bool IsScript(Style s) { return s == Style::S || s == Style::SS; }
Style FracStyle(Style s) { return s == Style::D ? Style::T : s == Style::T ? Style::S : Style::SS; }
Style ScriptStyle(Style s) { return IsScript(s) ? Style::SS : Style::S; }

// Space between neighbouring atoms in eighteenths of an em: 0 none, 1 thin,
// 2 medium, 3 thick; negative entries apply only outside scripts.
constexpr std::array<std::array<int, 8>, 8> kSpacing{{
    //  Ord  Op Bin Rel Open Close Punct Inner
    {0, 1, -2, -3, 0, 0, 0, -1},       // Ord
    {1, 1, 0, -3, 0, 0, 0, -1},        // Op
    {-2, -2, 0, 0, -2, 0, 0, -2},      // Bin
    {-3, -3, 0, 0, -3, 0, 0, -3},      // Rel
    {0, 0, 0, 0, 0, 0, 0, 0},          // Open
    {0, 1, -2, -3, 0, 0, 0, -1},       // Close
    {-1, -1, 0, -1, -1, -1, -1, -1},   // Punct
    {-1, 1, -2, -3, -1, 0, -1, -1},    // Inner
}};

struct Atom {
    std::unique_ptr<Box> box;
    Cls cls = Cls::Ord;
    qreal italic = 0;     // italic correction included in the width
    bool simple = false;  // a single glyph or word: scripts hug it
    bool space = false;   // explicit space: no automatic spacing around it
};

// A binary operator without an operand on its left is a sign (unary minus);
// one without an operand on its right is set as ordinary.
void ClassifyBinaries(std::vector<Atom>& atoms) {
    Atom* prev = nullptr;
    for (Atom& a : atoms) {
        if (a.space) continue;
        if (a.cls == Cls::Bin &&
            (!prev || prev->cls == Cls::Bin || prev->cls == Cls::Op || prev->cls == Cls::Rel ||
             prev->cls == Cls::Open || prev->cls == Cls::Punct))
            a.cls = Cls::Ord;
        if ((a.cls == Cls::Rel || a.cls == Cls::Close || a.cls == Cls::Punct) && prev && prev->cls == Cls::Bin)
            prev->cls = Cls::Ord;
        prev = &a;
    }
    if (prev && prev->cls == Cls::Bin) prev->cls = Cls::Ord;
}

// Where the scripts of a base go: `up` raises the superscript's baseline,
// `down` lowers the subscript's, both in whole pixels.
struct ScriptShift {
    qreal up = 0;
    qreal down = 0;
};

class Typesetter {
public:
    Typesetter(const MathFonts& fonts, int basePx) : fonts_(fonts), basePx_(basePx) {}

    std::unique_ptr<Box> Run(const std::vector<Node>& items) { return List(items, Style::D).box; }

private:
    const MathFonts& fonts_;
    int basePx_;

    int Px(Style s) const {
        switch (s) {
        case Style::D:
        case Style::T:
            return basePx_;
        case Style::S:
            return std::max(kMinScriptPx, int(std::lround(basePx_ * kScriptScale)));
        case Style::SS:
            return std::max(kMinScriptScriptPx, int(std::lround(basePx_ * kScriptScriptScale)));
        }
        return basePx_;
    }

    QFont Font(const QString& family, int pixels, bool italic) const {
        QFont f(family);
        f.setPixelSize(pixels);
        f.setItalic(italic);
        f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                                QFont::NoFontMerging));
        f.setHintingPreference(QFont::PreferNoHinting);
        const QFontInfo info(f);
        if (info.family() != family || info.italic() != italic) {
            throw Error(QStringLiteral("the face %1%2 is not available (got %3)")
                            .arg(family, italic ? QStringLiteral(" Italic") : QString(), info.family())
                            .toStdString());
        }
        return f;
    }

    QFont MathFont(Style s, bool italic = false) const { return Font(fonts_.mathFamily, Px(s), italic); }

    // Height of the math axis (the middle of the minus sign) above the baseline.
    qreal Axis(Style s) const {
        const QRectF minus = QFontMetricsF(MathFont(s)).tightBoundingRect(QString(QChar(0x2212)));
        return -minus.center().y();
    }

    qreal XHeight(Style s) const { return QFontMetricsF(MathFont(s)).xHeight(); }

    qreal Em(Style s) const { return Px(s); }

    Atom GlyphAtom(const QString& text, const QFont& f, Cls cls) {
        auto box = std::make_unique<GlyphBox>(text, f);
        Atom a;
        a.cls = cls;
        a.simple = true;
        if (f.italic()) {
            a.italic = box->Overhang();
            box->width += a.italic;
        }
        a.box = std::move(box);
        return a;
    }

    Atom List(const std::vector<Node>& items, Style st) {
        std::vector<Atom> atoms;
        atoms.reserve(items.size());
        for (const Node& n : items) atoms.push_back(NodeAtom(n, st));
        ClassifyBinaries(atoms);
        if (atoms.size() == 1 && !atoms.front().space) {
            Atom only = std::move(atoms.front());
            only.cls = Cls::Ord;
            return only;
        }

        auto box = std::make_unique<Compound>();
        qreal x = 0;
        const Atom* left = nullptr;
        for (Atom& a : atoms) {
            if (!a.space && left) x += Spacing(left->cls, a.cls, st);
            box->ascent = std::max(box->ascent, a.box->ascent);
            box->descent = std::max(box->descent, a.box->descent);
            const qreal w = a.box->width;
            box->Place(std::move(a.box), x, 0);
            x += w;
            if (!a.space) left = &a;
        }
        box->width = x;
        Atom result;
        result.box = std::move(box);
        return result;
    }

    qreal Spacing(Cls a, Cls b, Style st) const {
        int v = kSpacing[size_t(a)][size_t(b)];
        if (v < 0) {
            if (IsScript(st)) return 0;
            v = -v;
        }
        static constexpr std::array<qreal, 4> mu{0, 3, 4, 5};
        return mu[size_t(v)] * Em(st) / 18.0;
    }

    Atom NodeAtom(const Node& n, Style st) {
        Atom a;
        switch (n.kind) {
        case Node::Kind::Glyph:
            a = GlyphAtom(n.text, MathFont(st, n.italic), n.cls);
            break;
        case Node::Kind::Word:
            a = GlyphAtom(n.text, MathFont(st), Cls::Op);
            break;
        case Node::Kind::Text:
            a = GlyphAtom(n.text, Font(fonts_.textFamily, Px(st), false), Cls::Ord);
            break;
        case Node::Kind::Group:
            a = List(n.children, st);
            a.cls = Cls::Ord;
            break;
        case Node::Kind::Frac:
        case Node::Kind::Binom:
            a = Fraction(n, st);
            break;
        case Node::Kind::Sqrt:
            a = Radical(n, st);
            break;
        case Node::Kind::Fenced:
            a.cls = Cls::Inner;
            a.box = Parenthesize(List(n.children[0].children, st).box, st);
            break;
        case Node::Kind::Sum:
            return Sum(n, st);
        case Node::Kind::Space:
            a.box = std::make_unique<Compound>();
            a.box->width = n.em * Em(st);
            a.space = true;
            return a;
        }
        if (n.sup.empty() && n.sub.empty()) return a;
        return Scripts(std::move(a), n.sup.empty() ? nullptr : &n.sup.front(),
                       n.sub.empty() ? nullptr : &n.sub.front(), st);
    }

    ScriptShift ScriptShifts(const Atom& base, const Box* sup, const Box* sub, Style st) const {
        const qreal e = Em(st);
        const qreal xh = XHeight(st);
        const qreal es = Em(ScriptStyle(st));
        ScriptShift s;
        if (!base.simple) {
            // a tall base (parentheses, a fraction) carries its scripts near its corners
            s.up = base.box->ascent - kSupDropEm * es;
            s.down = base.box->descent + kSubDropEm * es;
        }
        if (sup) {
            const qreal least = (st == Style::D ? kSupRaiseDisplayEm : kSupRaiseEm) * e;
            s.up = std::max({s.up, least, sup->descent + kSupBottomXHeights * xh});
        }
        if (sub && !sup) s.down = std::max({s.down, kSubLowerEm * e, sub->ascent - kSubTopXHeights * xh});
        if (sub && sup) {
            s.down = std::max(s.down, kSubLowerWithSupEm * e);
            const qreal gap = (s.up - sup->descent) - (sub->ascent - s.down);
            if (gap < kScriptGapPx) {
                s.down += kScriptGapPx - gap;
                const qreal lift = kSupBottomWithSubXHeights * xh - (s.up - sup->descent);
                if (lift > 0) {
                    s.up += lift;
                    s.down -= lift;
                }
            }
        }
        s.up = std::round(s.up);
        s.down = std::round(s.down);
        return s;
    }

    Atom Scripts(Atom base, const Node* supNode, const Node* subNode, Style st) {
        const Style ss = ScriptStyle(st);
        std::unique_ptr<Box> sup = supNode ? NodeAtom(*supNode, ss).box : nullptr;
        std::unique_ptr<Box> sub = subNode ? NodeAtom(*subNode, ss).box : nullptr;
        const ScriptShift shift = ScriptShifts(base, sup.get(), sub.get(), st);

        auto box = std::make_unique<Compound>();
        const qreal bw = base.box->width;
        box->ascent = base.box->ascent;
        box->descent = base.box->descent;
        qreal right = bw;
        if (sup) {
            box->ascent = std::max(box->ascent, shift.up + sup->ascent);
            right = std::max(right, bw + sup->width);
            box->Place(std::move(sup), bw, -shift.up);
        }
        if (sub) {
            box->descent = std::max(box->descent, shift.down + sub->descent);
            right = std::max(right, bw - base.italic + sub->width);
            box->Place(std::move(sub), bw - base.italic, shift.down);
        }
        box->Place(std::move(base.box), 0, 0);
        box->width = right + 1;
        Atom a;
        a.box = std::move(box);
        a.cls = base.cls;
        return a;
    }

    // A fraction's parts at full size on the line (one style down inside), a
    // one-pixel bar on the axis; a binomial is the same stack without the bar,
    // in parentheses.
    Atom Fraction(const Node& n, Style st) {
        const bool bar = n.kind == Node::Kind::Frac;
        const Style inner = FracStyle(st);
        std::unique_ptr<Box> num = NodeAtom(n.children[0], inner).box;
        std::unique_ptr<Box> den = NodeAtom(n.children[1], inner).box;
        const int ax = int(std::lround(Axis(st)));
        const int gap = st == Style::D ? 2 : 1;  // between the bar and each part

        qreal numBase = 0;
        qreal denBase = 0;
        int barTop = 0;
        if (bar) {
            barTop = -int(std::lround(Axis(st) + 0.5));  // the bar is one pixel row centred on the axis
            numBase = barTop - gap - std::ceil(num->descent);
            denBase = barTop + 1 + gap + std::ceil(den->ascent);
        } else {
            numBase = -ax - 2 - std::ceil(num->descent);
            denBase = -ax + 2 + std::ceil(den->ascent);
        }
        const qreal pad = 1;              // the bar (or the parentheses) keep off the parts
        const qreal outer = bar ? 1 : 0;  // and keeps a little off its neighbours
        const qreal w = std::max(num->width, den->width) + 2 * pad;

        auto box = std::make_unique<Compound>();
        box->ascent = -numBase + num->ascent;
        box->descent = denBase + den->descent;
        box->width = w + 2 * outer;
        const qreal numX = outer + (w - num->width) / 2;
        const qreal denX = outer + (w - den->width) / 2;
        box->Place(std::move(num), numX, numBase);
        box->Place(std::move(den), denX, denBase);
        if (bar) box->Rule(QRectF(outer, barTop, w, 1));

        Atom a;
        a.cls = Cls::Inner;
        a.box = bar ? std::move(box) : Parenthesize(std::move(box), st);
        return a;
    }

    // The radical sign is drawn: a short hook up to a thick down-stroke and a
    // thin up-stroke to the rule over the body.
    Atom Radical(const Node& n, Style st) {
        std::unique_ptr<Box> body = NodeAtom(n.children[0], st).box;
        const int gap = IsScript(st) ? 1 : 2;
        const qreal ruleTop = -(std::ceil(body->ascent) + gap + 1);
        const qreal bottom = std::ceil(body->descent) + 1;
        const qreal sw = std::round(kRadicalWidthEm * Em(st)) + 1;

        const qreal yT = ruleTop + 0.5;
        const qreal yB = bottom - 0.5;
        const qreal h = yB - yT;
        const QPointF hookStart(0.5, yB - 0.40 * h);
        const QPointF hookEnd(0.28 * sw, yB - 0.50 * h);
        const QPointF foot(0.55 * sw, yB);
        const QPointF top(sw, yT);

        auto box = std::make_unique<Compound>();
        const std::array<std::pair<std::pair<QPointF, QPointF>, qreal>, 3> strokes{{
            {{hookStart, hookEnd}, 1.0}, {{hookEnd, foot}, 1.5}, {{foot, top}, 0.9}}};
        for (const auto& [ends, pen] : strokes) {
            QPainterPath stroke(ends.first);
            stroke.lineTo(ends.second);
            box->Stroke(stroke, pen);
        }
        box->Rule(QRectF(sw, ruleTop, body->width + 2, 1));
        box->ascent = -ruleTop;
        box->descent = std::max(bottom, body->descent);
        box->width = sw + body->width + 2.5;
        box->Place(std::move(body), sw + 1, 0);
        Atom r;
        r.box = std::move(box);
        return r;
    }

    // Puts parentheses around a box: the font's own glyphs while they are tall
    // enough, drawn ones (symmetric about the axis) for taller content.
    std::unique_ptr<Box> Parenthesize(std::unique_ptr<Box> body, Style st) {
        const qreal ax = Axis(st);
        const qreal half = std::max(body->ascent - ax, body->descent + ax);
        const GlyphBox probe(QStringLiteral("("), MathFont(st));
        if (2 * half <= probe.Height() + 1) return WithFontParentheses(std::move(body), st);

        auto box = std::make_unique<Compound>();
        const qreal top = -std::ceil(ax + half + 1);
        const qreal bottom = std::ceil(half - ax + 1);
        box->ascent = std::max(body->ascent, -top);
        box->descent = std::max(body->descent, bottom);
        qreal x = DrawParenthesis(*box, u'(', 0, top, bottom, st);
        const qreal w = body->width;
        box->Place(std::move(body), x, 0);
        x += w;
        x += DrawParenthesis(*box, u')', x, top, bottom, st);
        box->width = x;
        return box;
    }

    std::unique_ptr<Box> WithFontParentheses(std::unique_ptr<Box> body, Style st) {
        auto box = std::make_unique<Compound>();
        box->ascent = body->ascent;
        box->descent = body->descent;
        qreal x = 0;
        auto put = [&](std::unique_ptr<Box> b) {
            box->ascent = std::max(box->ascent, b->ascent);
            box->descent = std::max(box->descent, b->descent);
            const qreal w = b->width;
            box->Place(std::move(b), x, 0);
            x += w;
        };
        put(std::make_unique<GlyphBox>(QStringLiteral("("), MathFont(st)));
        const qreal w = body->width;
        box->Place(std::move(body), x, 0);
        x += w;
        put(std::make_unique<GlyphBox>(QStringLiteral(")"), MathFont(st)));
        box->width = x;
        return box;
    }

    // Draws one parenthesis from top to bottom (pixel rows) at x, as a
    // crescent: the outer curve from top to bottom, the inner curve back up,
    // filled and outlined. Returns its width.
    qreal DrawParenthesis(Compound& box, QChar d, qreal x, qreal top, qreal bottom, Style st) {
        const qreal h = bottom - top;
        const qreal w = std::clamp(2.0 + 0.12 * h, 4.0, 7.0);  // wider for taller content
        auto mx = [&](qreal local) { return d == u'(' ? x + local : x + w - local; };
        const qreal tip = w - 0.8;  // where the ends sit
        const qreal bulge = 0.9;    // the outermost point of the curve
        const qreal ctrl = 2 * bulge - tip;
        const qreal mid = (top + bottom) / 2;
        const qreal thick = IsScript(st) ? 0.5 : 0.7;  // of the crescent at its middle
        const qreal outline = IsScript(st) ? 0.7 : 0.9;
        QPainterPath crescent(QPointF(mx(tip), top + 0.5));
        crescent.quadTo(QPointF(mx(ctrl), mid), QPointF(mx(tip), bottom - 0.5));
        crescent.quadTo(QPointF(mx(ctrl + 2 * thick), mid), QPointF(mx(tip), top + 0.5));
        crescent.closeSubpath();
        box.Fill(crescent);
        QPainterPath edge(QPointF(mx(tip), top + 0.5));
        edge.quadTo(QPointF(mx(ctrl + 0.5), mid), QPointF(mx(tip), bottom - 0.5));
        box.Stroke(edge, outline);
        return w;
    }

    // The summation sign, larger than its line and centred on the axis, with
    // its limits above and below.
    Atom Sum(const Node& n, Style st) {
        QFont f = Font(fonts_.mathFamily, int(std::lround(Px(st) * kSumScale)), false);
        auto op = std::make_unique<GlyphBox>(QString(QChar(0x2211)), f);
        const qreal shift = std::round(-Axis(st) - (op->descent - op->ascent) / 2);
        const qreal opAscent = op->ascent - shift;
        const qreal opDescent = op->descent + shift;
        const qreal ow = op->width;

        const Style ss = ScriptStyle(st);
        std::unique_ptr<Box> upper = n.sup.empty() ? nullptr : NodeAtom(n.sup.front(), ss).box;
        std::unique_ptr<Box> lower = n.sub.empty() ? nullptr : NodeAtom(n.sub.front(), ss).box;
        qreal w = ow;
        if (upper) w = std::max(w, upper->width);
        if (lower) w = std::max(w, lower->width);
        auto box = std::make_unique<Compound>();
        box->ascent = opAscent;
        box->descent = opDescent;
        if (upper) {
            const qreal y = -std::ceil(opAscent) - kLimitGapPx - std::ceil(upper->descent);
            box->ascent = -y + upper->ascent;
            const qreal uw = upper->width;
            box->Place(std::move(upper), (w - uw) / 2, y);
        }
        if (lower) {
            const qreal y = std::ceil(opDescent) + kLimitGapPx + std::ceil(lower->ascent);
            box->descent = y + lower->descent;
            const qreal lw = lower->width;
            box->Place(std::move(lower), (w - lw) / 2, y);
        }
        box->Place(std::move(op), (w - ow) / 2, shift);
        box->width = w;
        Atom a;
        a.box = std::move(box);
        a.cls = Cls::Op;
        return a;
    }
};

}  // namespace

std::unique_ptr<Box> Typeset(const QString& markup, const MathFonts& fonts, int basePx) {
    Parser parser(markup);
    const std::vector<Node> items = parser.Parse();
    Typesetter typesetter(fonts, basePx);
    return typesetter.Run(items);
}

}  // namespace pelmora::pic
