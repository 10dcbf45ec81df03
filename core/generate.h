#pragma once
// What the Generate command does between the field texts and the number
// texts, shared by the window and pelmora-gen.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/numtext.h"
#include "core/rows.h"

namespace pelmora {

struct FieldTexts {
    std::string quantity;  // LabeledEdit2
    std::string first;     // LabeledEdit5
    std::string second;    // LabeledEdit6
    std::string third;     // LabeledEdit7
};

struct Request {
    int32_t count = 0;
    double p1 = 0, p2 = 0, p3 = 0;
};

// Parses the quantity (truncated to the count), then the third, first and
// second fields, each stored as a double at once; the first failure throws.
Request ParseFields(const FieldTexts& texts, std::string_view sep);

// Draws request.count values of the row at list index `index` and hands
// each one's text, in the general format, to `sink` as soon as it is drawn.
// An index outside 0 to 26 (no row selected) draws nothing. A failure
// throws; what was handed over before stays.
template <class Sink>
void GenerateValues(int index, const Request& request, std::string_view sep, Sink&& sink) {
    if (index < 0 || index >= kRowCount) return;
    const Distribution& row = kRows[static_cast<std::size_t>(index)];
    char buf[kFormatMax + 16];
    for (int32_t i = 0; i < request.count; ++i) {
        double v = row.draw(request.p1, request.p2, request.p3);
        std::size_t n = FormatGeneral(v, buf, sep.size() <= 16 ? sep : std::string_view("."));
        sink(std::string_view(buf, n));
    }
}

// The error box's text: the message, with "." appended when it is not empty
// and its last character sorts after "." in character-code order.
std::string ErrorBoxText(std::string_view message);

// A UTF-8 text of more than kBoxMaxCharacters characters, shortened in the
// middle; a shorter text as it is. A field may hold megabytes, and a message
// box with all of them takes the window seconds to lay out. A message that
// quotes what the user typed (from its first ' or " to the last of the same
// mark) and is long because of it keeps its words whole: the quoted text is
// cut to its first and last kBoxKeptCharacters characters around a note of
// its own length ("(400 characters in all)" for a field of 400). Any other
// long text is cut so as a whole.
inline constexpr std::size_t kBoxMaxCharacters = 256;
inline constexpr std::size_t kBoxKeptCharacters = 100;
std::string ShortenedForBox(std::string_view text);

}  // namespace pelmora
