#pragma once
// The output pane's text while a command fills it: the pane holds at most
// 65,536 characters, each line break counting as two, and a line that no
// longer fits whole is refused.

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora::app {

inline constexpr std::size_t kPaneCapacity = 65536;
inline constexpr std::size_t kLineBreakLength = 2;
inline constexpr const char* kLineInsertionError = "RichEdit line insertion error";

// Characters of a UTF-8 text as the pane counts them (UTF-16 units).
std::size_t PaneLength(std::string_view utf8);

class PaneLines {
public:
    // Appends `line` (UTF-8) and its line break, or throws
    // pelmora::Error(kLineInsertionError) when they do not fit whole; the
    // lines appended before stay.
    void Append(std::string_view line);

    // The lines so far, each followed by "\n".
    const std::string& text() const { return text_; }
    // Characters used, line breaks counted as two.
    std::size_t used() const { return used_; }

private:
    std::string text_;
    std::size_t used_ = 0;
};

}  // namespace pelmora::app
