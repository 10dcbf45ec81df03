// JPEG encoding and decoding with libjpeg(-turbo) called directly.
#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

namespace pelmora::pic {

// Encodes an image as a baseline JFIF file: three components, no chroma
// subsampling (thin strokes keep their colour), optimised Huffman tables,
// the integer DCT and no timestamps, so equal pixels give equal bytes.
// Throws std::runtime_error with libjpeg's message on failure.
QByteArray encodeJpeg(const QImage& image, int quality);

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;                 // as stored in the file
    std::vector<unsigned char> pixels;  // RGB, row after row
};

// Decodes a JPEG file to RGB. Throws std::runtime_error on bad data.
DecodedJpeg decodeJpeg(const QByteArray& bytes);

QImage toImage(const DecodedJpeg& decoded);

}  // namespace pelmora::pic
