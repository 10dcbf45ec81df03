#include "jpegio.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace pelmora::pic {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to the caller, which cleans up and throws.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

}  // namespace

QByteArray encodeJpeg(const QImage& image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    ErrorManager err{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = ignoreMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        throw std::runtime_error(std::string("JPEG compression failed: ") + err.message);
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.dct_method = JDCT_ISLOW;
    info.optimize_coding = TRUE;
    info.write_JFIF_header = TRUE;
    info.density_unit = 0;
    info.X_density = 1;
    info.Y_density = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

DecodedJpeg decodeJpeg(const QByteArray& bytes) {
    DecodedJpeg out;
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = ignoreMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        throw std::runtime_error(std::string("JPEG decoding failed: ") + err.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    out.components = info.num_components;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = int(info.output_width);
    out.height = int(info.output_height);
    out.pixels.resize(size_t(out.width) * size_t(out.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + size_t(info.output_scanline) * size_t(out.width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

QImage toImage(const DecodedJpeg& decoded) {
    QImage image(decoded.width, decoded.height, QImage::Format_RGB888);
    for (int y = 0; y < decoded.height; ++y) {
        std::copy_n(decoded.pixels.data() + size_t(y) * size_t(decoded.width) * 3, size_t(decoded.width) * 3,
                    image.scanLine(y));
    }
    return image;
}

}  // namespace pelmora::pic
