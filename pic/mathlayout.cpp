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
// Parse tree

// Atom classes decide the automatic spacing, as in TeX.
enum class Cls { Ord, Op, Bin, Rel, Open, Close, Punct, Inner };

struct Node {
    enum class Kind { Glyph, Word, Text, Group, Frac, Binom, Sqrt, Fenced, Sum, Cases, Space };
    Kind kind = Kind::Group;
    QString text;                // Glyph, Word, Text; Fenced: left and right delimiter
    Cls cls = Cls::Ord;          // Glyph
    bool italic = false;         // Glyph
    bool display = false;        // Frac: \dfrac
    qreal em = 0;                // Space: width in em
    std::vector<Node> children;  // Group: items; Frac, Binom: numerator and denominator;
                                 // Sqrt, Fenced: the body; Cases: rows of cells
    std::vector<Node> sup, sub;  // at most one node each
};

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

Node glyph(QString text, Cls cls, bool italic = false) {
    Node n;
    n.kind = Node::Kind::Glyph;
    n.text = std::move(text);
    n.cls = cls;
    n.italic = italic;
    return n;
}

Node group(std::vector<Node> items) {
    Node n;
    n.kind = Node::Kind::Group;
    n.children = std::move(items);
    return n;
}

class Parser {
public:
    explicit Parser(const QString& source) : s_(source) {}

    std::vector<Node> parse() { return parseList(Until::End); }

private:
    enum class Until { End, Brace, Right, Cell };

    const QString& s_;
    qsizetype i_ = 0;

    [[noreturn]] void fail(const QString& what) const {
        throw FormulaError(QStringLiteral("%1 at offset %2 of \"%3\"").arg(what).arg(i_).arg(s_).toStdString());
    }

    bool atEnd() const { return i_ >= s_.size(); }

    void skipSpace() {
        while (!atEnd() && s_[i_].isSpace()) ++i_;
    }

    bool lookingAt(QStringView word) const {
        if (s_.mid(i_, word.size()) != word) return false;
        // a command name ends where the letters end
        const qsizetype after = i_ + word.size();
        return !isAsciiLetter(word.back()) || after >= s_.size() || !isAsciiLetter(s_[after]);
    }

    void expect(QChar c) {
        skipSpace();
        if (atEnd() || s_[i_] != c) fail(QStringLiteral("expected '%1'").arg(c));
        ++i_;
    }

    std::vector<Node> parseList(Until until) {
        std::vector<Node> items;
        for (;;) {
            skipSpace();
            if (atEnd()) {
                if (until == Until::End) return items;
                fail(until == Until::Right ? QStringLiteral("\\left without \\right") : QStringLiteral("missing '}'"));
            }
            const QChar c = s_[i_];
            if (c == u'}') {
                if (until == Until::Brace || until == Until::Cell) return items;
                fail(QStringLiteral("unexpected '}'"));
            }
            if (c == u'&' || lookingAt(u"\\\\")) {
                if (until == Until::Cell) return items;
                fail(QStringLiteral("'&' or '\\\\' outside \\cases"));
            }
            if (lookingAt(u"\\right")) {
                if (until == Until::Right) return items;
                fail(QStringLiteral("\\right without \\left"));
            }
            if (c == u'^' || c == u'_') {
                ++i_;
                if (items.empty()) items.push_back(group({}));
                std::vector<Node>& slot = c == u'^' ? items.back().sup : items.back().sub;
                if (!slot.empty()) fail(QStringLiteral("a second '%1' on the same base").arg(c));
                slot.push_back(parseArgument());
                continue;
            }
            if (c == u'{') {
                ++i_;
                items.push_back(group(parseList(Until::Brace)));
                expect(u'}');
                continue;
            }
            if (c == u'\\') {
                ++i_;
                items.push_back(parseCommand());
                continue;
            }
            if (isAsciiLetter(c)) {
                const qsizetype start = i_;
                while (!atEnd() && isAsciiLetter(s_[i_])) ++i_;
                const QString run = s_.mid(start, i_ - start);
                if (run.size() == 1) {
                    items.push_back(glyph(run, Cls::Ord, true));
                } else {
                    Node word;
                    word.kind = Node::Kind::Word;
                    word.text = run;
                    items.push_back(std::move(word));
                }
                continue;
            }
            if (isDigit(c)) {
                const qsizetype start = i_;
                while (!atEnd() && (isDigit(s_[i_]) ||
                                    (s_[i_] == u'.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1]))))
                    ++i_;
                items.push_back(glyph(s_.mid(start, i_ - start), Cls::Ord));
                continue;
            }
            ++i_;
            items.push_back(symbol(c));
        }
    }

    // The argument of a script or of a command: a braced group, a command or
    // a single character (x^ab is x^a followed by b).
    Node parseArgument() {
        skipSpace();
        if (atEnd()) fail(QStringLiteral("missing argument"));
        const QChar c = s_[i_];
        if (c == u'{') {
            ++i_;
            Node g = group(parseList(Until::Brace));
            expect(u'}');
            return g;
        }
        if (c == u'\\') {
            ++i_;
            return parseCommand();
        }
        if (c == u'}' || c == u'^' || c == u'_' || c == u'&') fail(QStringLiteral("missing argument"));
        ++i_;
        if (isAsciiLetter(c)) return glyph(QString(c), Cls::Ord, true);
        if (isDigit(c)) return glyph(QString(c), Cls::Ord);
        return symbol(c);
    }

    static Node symbol(QChar c) {
        switch (c.unicode()) {
        case u'-':
        case 0x2212:
            return glyph(QString(QChar(0x2212)), Cls::Bin);
        case u'+':
        case 0x00B7:  // centred dot
        case 0x00D7:  // times
        case 0x00B1:  // plus-minus
            return glyph(QString(c), Cls::Bin);
        case u'=':
        case u'<':
        case u'>':
        case u'~':
        case u':':
        case 0x2264:  // less or equal
        case 0x2265:  // greater or equal
        case 0x2248:  // almost equal
        case 0x2260:  // not equal
            return glyph(QString(c), Cls::Rel);
        case u'(':
        case u'[':
            return glyph(QString(c), Cls::Open);
        case u')':
        case u']':
        case u'!':
            return glyph(QString(c), Cls::Close);
        case u',':
        case u';':
            return glyph(QString(c), Cls::Punct);
        case 0x2026:  // ellipsis
            return glyph(QString(c), Cls::Inner);
        default:
            break;
        }
        // lower-case Greek is italic, capitals stay upright
        const bool greekSmall = c.unicode() >= 0x03B1 && c.unicode() <= 0x03C9;
        return glyph(QString(c), Cls::Ord, greekSmall);
    }

    QString readName() {
        if (atEnd()) fail(QStringLiteral("lone backslash"));
        if (!isAsciiLetter(s_[i_])) return QString(s_[i_++]);
        const qsizetype start = i_;
        while (!atEnd() && isAsciiLetter(s_[i_])) ++i_;
        return s_.mid(start, i_ - start);
    }

    QChar readDelimiter() {
        skipSpace();
        if (atEnd()) fail(QStringLiteral("missing delimiter"));
        QChar c = s_[i_++];
        if (c == u'\\') {
            if (atEnd() || (s_[i_] != u'{' && s_[i_] != u'}')) fail(QStringLiteral("unknown delimiter"));
            c = s_[i_++];
        }
        if (!QStringLiteral("()[]|.{}").contains(c)) fail(QStringLiteral("unknown delimiter '%1'").arg(c));
        return c;
    }

    Node space(qreal em) {
        Node n;
        n.kind = Node::Kind::Space;
        n.em = em;
        return n;
    }

    Node parseCommand() {
        const QString name = readName();
        if (name == u"frac" || name == u"dfrac" || name == u"binom") {
            Node n;
            n.kind = name == u"binom" ? Node::Kind::Binom : Node::Kind::Frac;
            n.display = name == u"dfrac";
            n.children.push_back(group({}));
            n.children.push_back(group({}));
            n.children[0].children.push_back(parseArgument());
            n.children[1].children.push_back(parseArgument());
            return n;
        }
        if (name == u"sqrt") {
            Node n;
            n.kind = Node::Kind::Sqrt;
            n.children.push_back(group({}));
            n.children[0].children.push_back(parseArgument());
            return n;
        }
        if (name == u"left") {
            Node n;
            n.kind = Node::Kind::Fenced;
            n.text += readDelimiter();
            n.children.push_back(group(parseList(Until::Right)));
            i_ += 6;  // \right
            n.text += readDelimiter();
            return n;
        }
        if (name == u"sum") {
            Node n;
            n.kind = Node::Kind::Sum;
            return n;
        }
        if (name == u"cases") {
            Node n;
            n.kind = Node::Kind::Cases;
            expect(u'{');
            std::vector<Node> row;
            for (;;) {
                row.push_back(group(parseList(Until::Cell)));
                if (s_[i_] == u'&') {
                    ++i_;
                } else if (s_[i_] == u'\\') {
                    i_ += 2;
                    n.children.push_back(group(std::move(row)));
                    row.clear();
                } else {  // the closing brace
                    ++i_;
                    n.children.push_back(group(std::move(row)));
                    return n;
                }
            }
        }
        if (name == u"text") {
            expect(u'{');
            const qsizetype start = i_;
            while (!atEnd() && s_[i_] != u'}') {
                if (s_[i_] == u'{' || s_[i_] == u'\\') fail(QStringLiteral("\\text takes plain words"));
                ++i_;
            }
            if (atEnd()) fail(QStringLiteral("missing '}'"));
            Node n;
            n.kind = Node::Kind::Text;
            n.text = s_.mid(start, i_ - start);
            ++i_;
            return n;
        }
        if (name == u",") return space(3.0 / 18);
        if (name == u":") return space(4.0 / 18);
        if (name == u";") return space(5.0 / 18);
        if (name == u"!") return space(-3.0 / 18);
        if (name == u" ") return space(6.0 / 18);
        if (name == u"quad") return space(1);
        if (name == u"qquad") return space(2);
        if (name == u"ldots") return glyph(QString(QChar(0x2026)), Cls::Inner);
        if (name == u"{") return glyph(QStringLiteral("{"), Cls::Open);
        if (name == u"}") return glyph(QStringLiteral("}"), Cls::Close);
        fail(QStringLiteral("unknown command \\%1").arg(name));
    }
};

// ---------------------------------------------------------------------------
// Boxes

constexpr qreal kOutlinePen = 0.2;

class GlyphBox final : public Box {
public:
    GlyphBox(QString text, const QFont& font) : text_(std::move(text)), font_(font) {
        const QFontMetricsF metrics(font_);
        for (const char32_t c : text_.toUcs4()) {
            if (!metrics.inFontUcs4(c)) {
                throw FormulaError(QStringLiteral("the face %1%2 has no glyph for U+%3")
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
    qreal overhang() const { return std::max<qreal>(0, inkRight_ - width); }

    // Glyphs are painted as outlines rather than through the font rasteriser:
    // the result then depends on the font files alone, not on hinting
    // settings, and a hairline around the outline gives small sizes more body.
    void draw(QPainter& painter, QPointF origin) const override {
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
    void place(std::unique_ptr<Box> box, qreal x, qreal y) { items_.push_back({QPointF(x, y), std::move(box)}); }
    void rule(const QRectF& r) { rules_.push_back(r); }
    void fill(const QPainterPath& path) { fills_.push_back(path); }
    void stroke(const QPainterPath& path, qreal penWidth) { strokes_.emplace_back(path, penWidth); }

    void draw(QPainter& painter, QPointF origin) const override {
        const QColor ink = painter.pen().color();
        for (const Item& item : items_) item.box->draw(painter, origin + item.at);
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

bool isScript(Style s) { return s == Style::S || s == Style::SS; }
Style fracStyle(Style s) { return s == Style::D ? Style::T : s == Style::T ? Style::S : Style::SS; }
Style scriptStyle(Style s) { return isScript(s) ? Style::SS : Style::S; }

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
    qreal italic = 0;  // italic correction included in the width
    bool simple = false;  // a single glyph or word: scripts hug it
    bool space = false;   // explicit space: no automatic spacing around it
};

class Typesetter {
public:
    Typesetter(const MathFonts& fonts, int basePx) : fonts_(fonts), basePx_(basePx) {}

    std::unique_ptr<Box> run(const std::vector<Node>& items) { return list(items, Style::D).box; }

private:
    const MathFonts& fonts_;
    int basePx_;

    int px(Style s) const {
        switch (s) {
        case Style::D:
        case Style::T:
            return basePx_;
        case Style::S:
            return std::max(9, int(std::lround(basePx_ * 0.75)));
        case Style::SS:
            return std::max(8, int(std::lround(basePx_ * 0.6)));
        }
        return basePx_;
    }

    QFont font(const QString& family, int pixels, bool italic) const {
        QFont f(family);
        f.setPixelSize(pixels);
        f.setItalic(italic);
        f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                                QFont::NoFontMerging));
        f.setHintingPreference(QFont::PreferNoHinting);
        const QFontInfo info(f);
        if (info.family() != family || info.italic() != italic) {
            throw FormulaError(QStringLiteral("the face %1%2 is not available (got %3)")
                                   .arg(family, italic ? QStringLiteral(" Italic") : QString(), info.family())
                                   .toStdString());
        }
        return f;
    }

    QFont mathFont(Style s, bool italic = false) const { return font(fonts_.mathFamily, px(s), italic); }

    // Height of the math axis (the middle of the minus sign) above the baseline.
    qreal axis(Style s) const {
        const QRectF minus = QFontMetricsF(mathFont(s)).tightBoundingRect(QString(QChar(0x2212)));
        return -minus.center().y();
    }

    qreal xHeight(Style s) const { return QFontMetricsF(mathFont(s)).xHeight(); }

    qreal em(Style s) const { return px(s); }

    Atom glyphAtom(const QString& text, const QFont& f, Cls cls) {
        auto box = std::make_unique<GlyphBox>(text, f);
        Atom a;
        a.cls = cls;
        a.simple = true;
        if (f.italic()) {
            a.italic = box->overhang();
            box->width += a.italic;
        }
        a.box = std::move(box);
        return a;
    }

    Atom list(const std::vector<Node>& items, Style st) {
        std::vector<Atom> atoms;
        atoms.reserve(items.size());
        for (const Node& n : items) atoms.push_back(node(n, st));

        // A binary operator without an operand on its left is a sign (unary
        // minus); one without an operand on its right is set as ordinary.
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

        if (atoms.size() == 1 && !atoms.front().space) {
            Atom only = std::move(atoms.front());
            only.cls = Cls::Ord;
            return only;
        }

        auto box = std::make_unique<Compound>();
        qreal x = 0;
        const Atom* left = nullptr;
        for (Atom& a : atoms) {
            if (!a.space && left) x += spacing(left->cls, a.cls, st);
            box->ascent = std::max(box->ascent, a.box->ascent);
            box->descent = std::max(box->descent, a.box->descent);
            const qreal w = a.box->width;
            box->place(std::move(a.box), x, 0);
            x += w;
            if (!a.space) left = &a;
        }
        box->width = x;
        Atom result;
        result.box = std::move(box);
        return result;
    }

    qreal spacing(Cls a, Cls b, Style st) const {
        int v = kSpacing[size_t(a)][size_t(b)];
        if (v < 0) {
            if (isScript(st)) return 0;
            v = -v;
        }
        static constexpr std::array<qreal, 4> mu{0, 3, 4, 5};
        return mu[size_t(v)] * em(st) / 18.0;
    }

    Atom node(const Node& n, Style st) {
        Atom a;
        switch (n.kind) {
        case Node::Kind::Glyph:
            a = glyphAtom(n.text, mathFont(st, n.italic), n.cls);
            break;
        case Node::Kind::Word:
            a = glyphAtom(n.text, mathFont(st), Cls::Op);
            break;
        case Node::Kind::Text:
            a = glyphAtom(n.text, font(fonts_.textFamily, px(st), false), Cls::Ord);
            break;
        case Node::Kind::Group:
            a = list(n.children, st);
            a.cls = Cls::Ord;
            break;
        case Node::Kind::Frac:
        case Node::Kind::Binom:
            a = fraction(n, st);
            break;
        case Node::Kind::Sqrt:
            a = radical(n, st);
            break;
        case Node::Kind::Fenced:
            a = fenced(n, st);
            break;
        case Node::Kind::Sum:
            return sum(n, st);
        case Node::Kind::Cases:
            a = cases(n, st);
            break;
        case Node::Kind::Space: {
            auto box = std::make_unique<Compound>();
            box->width = n.em * em(st);
            a.box = std::move(box);
            a.space = true;
            return a;
        }
        }
        if (n.sup.empty() && n.sub.empty()) return a;
        return scripts(std::move(a), n.sup.empty() ? nullptr : &n.sup.front(),
                       n.sub.empty() ? nullptr : &n.sub.front(), st);
    }

    Atom scripts(Atom base, const Node* supNode, const Node* subNode, Style st) {
        const Style ss = scriptStyle(st);
        std::unique_ptr<Box> sup = supNode ? node(*supNode, ss).box : nullptr;
        std::unique_ptr<Box> sub = subNode ? node(*subNode, ss).box : nullptr;
        const qreal e = em(st);
        const qreal xh = xHeight(st);
        const qreal es = em(ss);

        qreal up = 0;
        qreal down = 0;
        if (!base.simple) {
            // a tall base (parentheses, a fraction) carries its scripts near its corners
            up = base.box->ascent - 0.386 * es;
            down = base.box->descent + 0.05 * es;
        }
        if (sup) up = std::max({up, (st == Style::D ? 0.413 : 0.363) * e, sup->descent + xh / 4});
        if (sub && !sup) down = std::max({down, 0.15 * e, sub->ascent - 0.8 * xh});
        if (sub && sup) {
            down = std::max(down, 0.247 * e);
            const qreal minGap = 2;
            const qreal gap = (up - sup->descent) - (sub->ascent - down);
            if (gap < minGap) {
                down += minGap - gap;
                const qreal lift = 0.8 * xh - (up - sup->descent);
                if (lift > 0) {
                    up += lift;
                    down -= lift;
                }
            }
        }
        up = std::round(up);
        down = std::round(down);

        auto box = std::make_unique<Compound>();
        const qreal bw = base.box->width;
        box->ascent = base.box->ascent;
        box->descent = base.box->descent;
        qreal right = bw;
        if (sup) {
            box->ascent = std::max(box->ascent, up + sup->ascent);
            right = std::max(right, bw + sup->width);
            box->place(std::move(sup), bw, -up);
        }
        if (sub) {
            box->descent = std::max(box->descent, down + sub->descent);
            right = std::max(right, bw - base.italic + sub->width);
            box->place(std::move(sub), bw - base.italic, down);
        }
        box->place(std::move(base.box), 0, 0);
        box->width = right + 1;
        Atom a;
        a.box = std::move(box);
        a.cls = base.cls;
        return a;
    }

    Atom fraction(const Node& n, Style st) {
        const bool bar = n.kind == Node::Kind::Frac;
        const Style inner = n.display ? Style::T : fracStyle(st);
        std::unique_ptr<Box> num = node(n.children[0], inner).box;
        std::unique_ptr<Box> den = node(n.children[1], inner).box;
        const int ax = int(std::lround(axis(st)));
        const int gap = (st == Style::D || n.display) ? 2 : 1;

        qreal numBase = 0;
        qreal denBase = 0;
        int barTop = 0;
        if (bar) {
            barTop = -int(std::lround(axis(st) + 0.5));  // the bar is one pixel row centred on the axis
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
        box->place(std::move(num), numX, numBase);
        box->place(std::move(den), denX, denBase);
        if (bar) box->rule(QRectF(outer, barTop, w, 1));

        Atom a;
        a.cls = Cls::Inner;
        if (bar) {
            a.box = std::move(box);
            return a;
        }
        a.box = delimit(std::move(box), u'(', u')', st);
        return a;
    }

    Atom radical(const Node& n, Style st) {
        std::unique_ptr<Box> body = node(n.children[0], st).box;
        const int gap = isScript(st) ? 1 : 2;
        const qreal ruleTop = -(std::ceil(body->ascent) + gap + 1);
        const qreal bottom = std::ceil(body->descent) + 1;
        const qreal sw = std::round(0.45 * em(st)) + 1;  // width of the sign

        const qreal yT = ruleTop + 0.5;
        const qreal yB = bottom - 0.5;
        const qreal h = yB - yT;
        const QPointF a(0.5, yB - 0.40 * h);
        const QPointF b(0.28 * sw, yB - 0.50 * h);
        const QPointF c(0.55 * sw, yB);
        const QPointF d(sw, yT);

        auto box = std::make_unique<Compound>();
        QPainterPath hook(a);
        hook.lineTo(b);
        box->stroke(hook, 1.0);
        QPainterPath down(b);
        down.lineTo(c);
        box->stroke(down, 1.5);
        QPainterPath up(c);
        up.lineTo(d);
        box->stroke(up, 0.9);
        box->rule(QRectF(sw, ruleTop, body->width + 2, 1));
        box->ascent = -ruleTop;
        box->descent = std::max(bottom, body->descent);
        box->width = sw + body->width + 2.5;
        box->place(std::move(body), sw + 1, 0);
        Atom r;
        r.box = std::move(box);
        return r;
    }

    Atom fenced(const Node& n, Style st) {
        Atom body = list(n.children[0].children, st);
        Atom a;
        a.cls = Cls::Inner;
        a.box = delimit(std::move(body.box), n.text[0], n.text[1], st);
        return a;
    }

    // Puts delimiters around a box: the font's own glyphs while they are tall
    // enough, drawn ones (symmetric about the axis) for taller content.
    std::unique_ptr<Box> delimit(std::unique_ptr<Box> body, QChar left, QChar right, Style st) {
        const qreal ax = axis(st);
        const qreal half = std::max(body->ascent - ax, body->descent + ax);
        const GlyphBox probe(QStringLiteral("("), mathFont(st));
        auto box = std::make_unique<Compound>();
        qreal x = 0;
        box->ascent = body->ascent;
        box->descent = body->descent;

        if (2 * half <= probe.height() + 1) {
            auto put = [&](QChar d) {
                if (d == u'.') return;
                auto g = std::make_unique<GlyphBox>(QString(d), mathFont(st));
                box->ascent = std::max(box->ascent, g->ascent);
                box->descent = std::max(box->descent, g->descent);
                const qreal w = g->width;
                box->place(std::move(g), x, 0);
                x += w;
            };
            put(left);
            const qreal w = body->width;
            box->place(std::move(body), x, 0);
            x += w;
            put(right);
            box->width = x;
            return box;
        }

        const qreal top = -std::ceil(ax + half + 1);
        const qreal bottom = std::ceil(half - ax + 1);
        box->ascent = std::max(box->ascent, -top);
        box->descent = std::max(box->descent, bottom);
        x += drawDelimiter(*box, left, x, top, bottom, st);
        const qreal w = body->width;
        box->place(std::move(body), x, 0);
        x += w;
        x += drawDelimiter(*box, right, x, top, bottom, st);
        box->width = x;
        return box;
    }

    // Draws one delimiter from top to bottom (pixel rows) at x; returns its width.
    qreal drawDelimiter(Compound& box, QChar d, qreal x, qreal top, qreal bottom, Style st) {
        const qreal h = bottom - top;
        const qreal thin = isScript(st) ? 0.7 : 0.9;
        switch (d.unicode()) {
        case u'.':
            return 1;
        case u'|':
            box.rule(QRectF(x + 1, top, 1, h));
            return 3;
        case u'[':
        case u']': {
            const qreal stem = d == u'[' ? x + 1 : x + 3;
            box.rule(QRectF(stem, top, 1, h));
            box.rule(QRectF(x + 1, top, 3, 1));
            box.rule(QRectF(x + 1, bottom - 1, 3, 1));
            return 5;
        }
        case u'(':
        case u')': {
            const qreal w = std::clamp(2.0 + 0.12 * h, 4.0, 7.0);
            // a crescent: outer curve from top to bottom, inner curve back up
            auto mx = [&](qreal local) { return d == u'(' ? x + local : x + w - local; };
            const qreal tip = w - 0.8;  // where the ends sit
            const qreal bulge = 0.9;    // the outermost point of the curve
            const qreal ctrl = 2 * bulge - tip;
            const qreal mid = (top + bottom) / 2;
            const qreal thick = isScript(st) ? 0.5 : 0.7;
            QPainterPath crescent(QPointF(mx(tip), top + 0.5));
            crescent.quadTo(QPointF(mx(ctrl), mid), QPointF(mx(tip), bottom - 0.5));
            crescent.quadTo(QPointF(mx(ctrl + 2 * thick), mid), QPointF(mx(tip), top + 0.5));
            crescent.closeSubpath();
            box.fill(crescent);
            QPainterPath outline(QPointF(mx(tip), top + 0.5));
            outline.quadTo(QPointF(mx(ctrl + 0.5), mid), QPointF(mx(tip), bottom - 0.5));
            box.stroke(outline, thin);
            return w;
        }
        case u'{':
        case u'}': {
            const qreal w = 6;
            auto mx = [&](qreal local) { return d == u'{' ? x + local : x + w - local; };
            const qreal mid = std::round((top + bottom) / 2) + 0.5;
            const qreal r = std::min(2.5, h / 8);
            const qreal xl = 0.8;
            const qreal xm = w / 2;
            const qreal xr = w - 0.5;
            QPainterPath brace(QPointF(mx(xr), top + 0.5));
            brace.quadTo(QPointF(mx(xm), top + 0.5), QPointF(mx(xm), top + 0.5 + r));
            brace.lineTo(QPointF(mx(xm), mid - r));
            brace.quadTo(QPointF(mx(xm), mid), QPointF(mx(xl), mid));
            brace.quadTo(QPointF(mx(xm), mid), QPointF(mx(xm), mid + r));
            brace.lineTo(QPointF(mx(xm), bottom - 0.5 - r));
            brace.quadTo(QPointF(mx(xm), bottom - 0.5), QPointF(mx(xr), bottom - 0.5));
            box.stroke(brace, thin + 0.1);
            return w + 1;
        }
        default:
            throw FormulaError(QStringLiteral("no drawing for the delimiter '%1'").arg(d).toStdString());
        }
    }

    Atom sum(const Node& n, Style st) {
        const bool limits = st == Style::D;
        const int size = limits ? int(std::lround(px(st) * 1.45)) : px(st);
        QFont f = font(fonts_.mathFamily, size, false);
        auto op = std::make_unique<GlyphBox>(QString(QChar(0x2211)), f);
        // large operators sit centred on the axis
        const qreal shift = std::round(-axis(st) - (op->descent - op->ascent) / 2);
        auto opBox = std::make_unique<Compound>();
        opBox->ascent = op->ascent - shift;
        opBox->descent = op->descent + shift;
        opBox->width = op->width;
        opBox->place(std::move(op), 0, shift);

        Atom base;
        base.cls = Cls::Op;
        if (!limits) {
            base.box = std::move(opBox);
            if (n.sup.empty() && n.sub.empty()) return base;
            return scripts(std::move(base), n.sup.empty() ? nullptr : &n.sup.front(),
                           n.sub.empty() ? nullptr : &n.sub.front(), st);
        }

        const Style ss = scriptStyle(st);
        std::unique_ptr<Box> upper = n.sup.empty() ? nullptr : node(n.sup.front(), ss).box;
        std::unique_ptr<Box> lower = n.sub.empty() ? nullptr : node(n.sub.front(), ss).box;
        qreal w = opBox->width;
        if (upper) w = std::max(w, upper->width);
        if (lower) w = std::max(w, lower->width);
        auto box = std::make_unique<Compound>();
        box->ascent = opBox->ascent;
        box->descent = opBox->descent;
        if (upper) {
            const qreal y = -std::ceil(opBox->ascent) - 2 - std::ceil(upper->descent);
            box->ascent = -y + upper->ascent;
            const qreal uw = upper->width;
            box->place(std::move(upper), (w - uw) / 2, y);
        }
        if (lower) {
            const qreal y = std::ceil(opBox->descent) + 2 + std::ceil(lower->ascent);
            box->descent = y + lower->descent;
            const qreal lw = lower->width;
            box->place(std::move(lower), (w - lw) / 2, y);
        }
        const qreal ow = opBox->width;
        box->place(std::move(opBox), (w - ow) / 2, 0);
        box->width = w;
        base.box = std::move(box);
        return base;
    }

    Atom cases(const Node& n, Style st) {
        struct Row {
            std::vector<std::unique_ptr<Box>> cells;
            qreal ascent = 0;
            qreal descent = 0;
        };
        std::vector<Row> rows;
        std::vector<qreal> colWidth;
        for (const Node& r : n.children) {
            Row row;
            for (const Node& cell : r.children) {
                std::unique_ptr<Box> b = node(cell, Style::T).box;
                const size_t col = row.cells.size();
                if (colWidth.size() <= col) colWidth.push_back(0);
                colWidth[col] = std::max(colWidth[col], b->width);
                row.ascent = std::max(row.ascent, b->ascent);
                row.descent = std::max(row.descent, b->descent);
                row.cells.push_back(std::move(b));
            }
            rows.push_back(std::move(row));
        }

        const qreal rowGap = 3;
        const qreal lineSkip = std::round(1.2 * em(st));
        std::vector<qreal> baseline(rows.size(), 0);
        for (size_t r = 1; r < rows.size(); ++r) {
            baseline[r] = baseline[r - 1] +
                          std::max(std::ceil(rows[r - 1].descent + rows[r].ascent + rowGap), lineSkip);
        }
        const qreal top = -rows.front().ascent;
        const qreal bottom = baseline.back() + rows.back().descent;
        const qreal shift = std::round(-axis(st) - (top + bottom) / 2);

        auto box = std::make_unique<Compound>();
        const qreal braceTop = std::floor(top + shift) - 1;
        const qreal braceBottom = std::ceil(bottom + shift) + 1;
        qreal x = drawDelimiter(*box, u'{', 0, braceTop, braceBottom, st) + 2;
        const qreal colGap = std::round(0.6 * em(st));
        for (size_t col = 0; col < colWidth.size(); ++col) {
            for (size_t r = 0; r < rows.size(); ++r) {
                if (col < rows[r].cells.size()) box->place(std::move(rows[r].cells[col]), x, baseline[r] + shift);
            }
            x += colWidth[col] + (col + 1 < colWidth.size() ? colGap : 0);
        }
        box->width = x + 1;
        box->ascent = -braceTop;
        box->descent = braceBottom;
        Atom a;
        a.box = std::move(box);
        a.cls = Cls::Inner;
        return a;
    }
};

}  // namespace

std::unique_ptr<Box> typeset(const QString& markup, const MathFonts& fonts, int basePx) {
    Parser parser(markup);
    const std::vector<Node> items = parser.parse();
    Typesetter typesetter(fonts, basePx);
    return typesetter.run(items);
}

}  // namespace pelmora::pic
