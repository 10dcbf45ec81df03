#pragma once
// The formula pictures: JPEG files decoded with libjpeg-turbo.

#include <QImage>
#include <QString>
#include <cstddef>
#include <string>

namespace pelmora::app {

// Decoded pictures are refused, before any pixel memory is taken, when they
// would need more than kMaxPictureBytes, or more than kMaxExpansion times the
// file's size (and more than kSmallPictureBytes): such headers promise far
// more than the file can hold. Files above kMaxJpegFileBytes are not read.
inline constexpr std::size_t kMaxPictureBytes = std::size_t(64) << 20;
inline constexpr std::size_t kSmallPictureBytes = std::size_t(4) << 20;
inline constexpr std::size_t kMaxExpansion = 2048;
inline constexpr std::size_t kMaxJpegFileBytes = std::size_t(64) << 20;

// "JPEG error #<code>", code being the decoder's message number.
std::string JpegErrorMessage(int code);

// Decodes a JPEG held in memory to a 24-bit picture. Any decoder error, a
// premature end of the data, and a picture refused for its size throw
// pelmora::Error(JpegErrorMessage(code)).
QImage DecodeJpeg(const unsigned char* data, std::size_t size);

// Reads and decodes the file at `path`. A file that cannot be opened or read
// (missing, no permission, a folder, anything but a regular file) throws
// pelmora::Error("Cannot open file "<path>". <system text>"); the rest as
// DecodeJpeg.
QImage LoadJpegFile(const QString& path);

}  // namespace pelmora::app
