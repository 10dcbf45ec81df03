#pragma once
// The Rich Text written for the output pane: by Save (the whole pane) and by
// Copy (the selection, as the clipboard's rich-text format).

#include <string>
#include <string_view>

namespace pelmora {

// The pane's font, named in the document's font table.
inline constexpr const char* kRtfFontName = "Arial";
inline constexpr int kRtfCharset = 134;    // GB2312
inline constexpr int kRtfHalfPoints = 20;  // 10 pt: 13 pixels at 96 dpi

// An RTF document of `text` (UTF-8). Every line break ("\n", or "\r\n") ends
// a paragraph; text after the last break, if any, is a last paragraph without
// its mark. Backslash and braces are escaped, a tab is \tab, other control
// characters \'hh, and everything beyond ASCII \uN? (surrogate pairs above
// U+FFFF); bytes that are not UTF-8 read as U+FFFD. An empty text gives a
// document without text.
std::string RtfDocument(std::string_view text);

}  // namespace pelmora
