#pragma once
// The formula pictures in words a screen reader can say. Each row's record
// holds its picture's formula as markup (see Distribution::formula); the
// window gives the picture these words as its accessible name, so a user who
// cannot see it hears the formula instead.

#include <string>
#include <string_view>

#include "core/rows.h"

namespace pelmora {

// One line of formula markup in words: "f(x) = λ e^{-λ x}" is "f of x equals
// lambda e to the minus lambda x power". Only plain words, digits, blanks
// and commas come out: no markup, no symbols, no Greek letters.
//
// The reading is unambiguous where the picture is: a fraction, root or power
// of more than one item says where it ends ("end fraction", "end root",
// "power"), and parentheses are said. A name written right before "(" takes
// the parentheses as its argument ("f(x)" is "f of x"); a product is written
// with a blank ("a (1 - x)"). A thin space (\,) separates factors and is
// said "times"; other spaces are pauses at most. Markup that the picture tool
// would refuse is read as far as it goes, never refused: the words are for
// the ear, the picture tool checks the markup.
std::string SpokenFormula(std::string_view markup);

// The whole picture of a row: its lines in words, joined by ". ".
std::string SpokenPicture(const Distribution& row);

}  // namespace pelmora
