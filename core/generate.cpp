#include "core/generate.h"

namespace pelmora {

Request ParseFields(const FieldTexts& texts, std::string_view sep) {
    Request r;
    r.count = TruncToInt(TextToReal(texts.quantity, sep));
    r.p3 = ToDouble(TextToReal(texts.third, sep));
    r.p1 = ToDouble(TextToReal(texts.first, sep));
    r.p2 = ToDouble(TextToReal(texts.second, sep));
    return r;
}

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
    return text;
}

namespace {

// Whether the byte starts a character (is not a UTF-8 continuation byte).
bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

}  // namespace

std::string ShortenedForBox(std::string_view text) {
    std::size_t characters = 0;
    std::size_t headEnd = text.size();  // where character kBoxKeptCharacters starts
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!StartsCharacter(text[i])) continue;
        if (characters == kBoxKeptCharacters) headEnd = i;
        ++characters;
    }
    if (characters <= kBoxMaxCharacters) return std::string(text);
    std::size_t tailStart = text.size();
    for (std::size_t kept = 0; kept < kBoxKeptCharacters;) {
        if (StartsCharacter(text[--tailStart])) ++kept;
    }
    return std::string(text.substr(0, headEnd)) + " \xE2\x80\xA6 (" + std::to_string(characters) + " characters in all) \xE2\x80\xA6 " +
           std::string(text.substr(tailStart));
}

}  // namespace pelmora
