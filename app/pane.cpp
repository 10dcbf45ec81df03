#include "app/pane.h"

#include "engine/error.h"

namespace pelmora::app {

std::size_t PaneLength(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++units;  // a lead byte or ASCII starts a character
        if (c >= 0xF0) ++units;           // beyond U+FFFF: a surrogate pair
    }
    return units;
}

void PaneLines::Append(std::string_view line) {
    std::size_t length = PaneLength(line) + kLineBreakLength;
    if (length > kPaneCapacity - used_) throw Error(kLineInsertionError);
    if (text_.empty()) text_.reserve(kPaneCapacity);
    text_.append(line);
    text_ += '\n';
    used_ += length;
}

}  // namespace pelmora::app
