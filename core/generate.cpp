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

std::size_t Characters(std::string_view text) {
    std::size_t characters = 0;
    for (char c : text) characters += StartsCharacter(c);
    return characters;
}

// The first and last kBoxKeptCharacters characters of `text` around the note
// of its length (`characters`, more than twice kBoxKeptCharacters).
std::string CutInTheMiddle(std::string_view text, std::size_t characters) {
    std::size_t headEnd = 0;  // where character kBoxKeptCharacters starts
    for (std::size_t seen = 0; headEnd < text.size(); ++headEnd)
        if (StartsCharacter(text[headEnd]) && seen++ == kBoxKeptCharacters) break;
    std::size_t tailStart = text.size();
    for (std::size_t kept = 0; kept < kBoxKeptCharacters;) {
        if (StartsCharacter(text[--tailStart])) ++kept;
    }
    return std::string(text.substr(0, headEnd)) + " \xE2\x80\xA6 (" + std::to_string(characters) +
           " characters in all) \xE2\x80\xA6 " + std::string(text.substr(tailStart));
}

}  // namespace

std::string ShortenedForBox(std::string_view text) {
    if (Characters(text) <= kBoxMaxCharacters) return std::string(text);
    const std::size_t open = text.find_first_of("'\"");
    const std::size_t close = open == std::string_view::npos ? open : text.rfind(text[open]);
    if (close != std::string_view::npos && close > open) {
        const std::string_view quoted = text.substr(open + 1, close - open - 1);
        if (const std::size_t characters = Characters(quoted); characters > 2 * kBoxKeptCharacters)
            return std::string(text.substr(0, open + 1)) + CutInTheMiddle(quoted, characters) +
                   std::string(text.substr(close));
    }
    return CutInTheMiddle(text, Characters(text));
}

}  // namespace pelmora
