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

}  // namespace pelmora
