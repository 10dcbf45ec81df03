#pragma once
// A small typesetter for the formulas on the distribution pictures.
//
// It reads a TeX-like markup and builds a tree of boxes that can be painted
// with QPainter. Only what the pictures use is supported:
//
//   x^{...}  x_{...}        superscript and subscript (one character or a group)
//   \frac{a}{b}              fraction with a bar
//   \binom{n}{k}             binomial coefficient
//   \sqrt{...}               square root with a drawn radical sign
//   \left( ... \right)       parentheses that grow with their content
//   \sum_{i=1}^{n}           summation sign, limits above and below
//   \text{...}               upright words in the sans face, spaces kept
//   \, \; \quad              thin, thick and em spaces; \ldots
//
// Letters follow the mathematical habit: a single Latin letter is italic, a
// run of two or more (ln, Exp) is an upright operator name, lower-case Greek
// letters are italic and everything else is upright. Spaces in the markup
// only separate letters ("a b" is the product ab); the spacing around
// relations, binary operators and punctuation is automatic. ASCII '-' is set
// as the minus sign U+2212 and '~' as the "distributed as" relation.
//
// Faults in the markup (unknown command, unbalanced braces, a character the
// font does not have) throw pelmora::Error instead of drawing something wrong.

#include <QFont>
#include <QPointF>
#include <QString>

#include <memory>

#include "engine/error.h"

class QPainter;

namespace pelmora::pic {

// A laid-out piece of a formula. Coordinates: x to the right, y downwards,
// the origin on the left end of the baseline; ascent is the extent above the
// baseline and descent the extent below it, both in pixels.
struct Box {
    qreal width = 0;
    qreal ascent = 0;
    qreal descent = 0;

    virtual ~Box() = default;
    virtual void Draw(QPainter& painter, QPointF origin) const = 0;
    qreal Height() const { return ascent + descent; }
};

struct MathFonts {
    QString mathFamily;  // letters, digits and symbols (a serif face)
    QString textFamily;  // words written with \text (a sans face)
};

// Lays out one line of markup at a base size of basePx pixels. Scripts are
// set smaller, fractions in the line keep the base size for their parts.
std::unique_ptr<Box> Typeset(const QString& markup, const MathFonts& fonts, int basePx);

}  // namespace pelmora::pic
