#pragma once
// The formula pictures as JPEG files, through libjpeg-turbo: the window
// decodes them (hardened against damaged and hostile files), the build's
// picture tool (pic/) encodes them. Qt Gui only, no widgets.

#include <QByteArray>
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

// The name of a picture's double-size version, for screens of a device pixel
// ratio above 1: "@2x" before the extension ("pic/beta.jpg" -> "pic/beta@2x.jpg").
QString DoubleSizePath(const QString& path);

// The formula picture at `path` for a screen of device pixel ratio `ratio`.
// The picture at `path` is always read, and its failures throw as those of
// LoadJpegFile. Above a ratio of 1 its double-size version is returned
// instead (with a device pixel ratio of 2, so that it keeps the same size on
// the screen) when that file reads and is exactly twice as large; when it is
// missing, damaged or of another size, the picture at `path` serves quietly.
QImage LoadFormulaPicture(const QString& path, qreal ratio);

// Encodes a picture as a baseline JFIF file: three components without chroma
// subsampling (thin strokes keep their colour), optimised Huffman tables, the
// integer DCT and no density or timestamp, so equal pixels give equal bytes.
// A failure throws pelmora::Error(JpegErrorMessage(code)).
QByteArray EncodeJpeg(const QImage& image, int quality);

}  // namespace pelmora::app
