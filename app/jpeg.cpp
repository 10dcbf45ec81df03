#include "app/jpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "core/posix.h"
#include "core/savefile.h"
#include "engine/error.h"

namespace pelmora::app {

namespace {

// libjpeg reports errors through a callback that must not return: it jumps
// back into Decode. Everything that lives across the jump is in one heap
// object reached through a pointer that does not change after setjmp, and
// the only frames skipped are libjpeg's own and the callbacks below.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
    int code = 0;
    QImage image;
    std::vector<JSAMPLE> row;
};

Decoder* DecoderOf(j_common_ptr cinfo) { return static_cast<Decoder*>(cinfo->client_data); }

void OnError(j_common_ptr cinfo) {
    Decoder* d = DecoderOf(cinfo);
    d->code = cinfo->err->msg_code;
    std::longjmp(d->jump, 1);
}

// Warnings are quiet, except that data ending before the picture is complete
// makes the file unreadable (the decoder would paint the rest grey).
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnError(cinfo);
}

void OnOutput(j_common_ptr) {}

bool TooBig(const jpeg_decompress_struct& cinfo, std::size_t fileSize) {
    // Pixels arrive as 24-bit RGB; four-ink files pass through a row of four.
    std::size_t components = cinfo.num_components > 3 ? std::size_t(cinfo.num_components) : 3;
    if (cinfo.image_width == 0 || cinfo.image_height == 0) return false;  // the decoder refuses these itself
    std::size_t limit = kMaxPictureBytes / components;
    if (cinfo.image_width > limit || cinfo.image_height > limit / cinfo.image_width) return true;
    std::size_t bytes = std::size_t(cinfo.image_width) * cinfo.image_height * components;
    return bytes > kSmallPictureBytes && bytes / kMaxExpansion > fileSize;
}

// Adobe's CMYK files store the inks inverted, which the formula below expects.
void CmykToRgb(const JSAMPLE* cmyk, uchar* rgb, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        unsigned k = cmyk[3];
        rgb[0] = static_cast<uchar>(cmyk[0] * k / 255);
        rgb[1] = static_cast<uchar>(cmyk[1] * k / 255);
        rgb[2] = static_cast<uchar>(cmyk[2] * k / 255);
    }
}

// Returns false with d->code set when the data is not a readable picture.
bool Decode(Decoder* d, const unsigned char* data, std::size_t size) {
    jpeg_decompress_struct* cinfo = &d->cinfo;
    cinfo->err = jpeg_std_error(&d->errors);
    d->errors.error_exit = OnError;
    d->errors.emit_message = OnMessage;
    d->errors.output_message = OnOutput;
    cinfo->client_data = d;
    if (setjmp(d->jump) != 0) {
        jpeg_destroy_decompress(&d->cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    if (TooBig(*cinfo, size)) {
        d->code = JERR_IMAGE_TOO_BIG;
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    bool cmyk = cinfo->num_components == 4;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGB;
    cinfo->mem->max_memory_to_use = static_cast<long>(3 * kMaxPictureBytes);
    jpeg_start_decompress(cinfo);
    d->image = QImage(int(cinfo->output_width), int(cinfo->output_height), QImage::Format_RGB888);
    if (d->image.isNull()) {
        d->code = JERR_OUT_OF_MEMORY;
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    if (cmyk) d->row.resize(std::size_t(cinfo->output_width) * 4);
    while (cinfo->output_scanline < cinfo->output_height) {
        uchar* line = d->image.scanLine(int(cinfo->output_scanline));
        JSAMPROW target = cmyk ? d->row.data() : line;
        jpeg_read_scanlines(cinfo, &target, 1);
        if (cmyk) CmykToRgb(d->row.data(), line, cinfo->output_width);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

}  // namespace

std::string JpegErrorMessage(int code) { return "JPEG error #" + std::to_string(code); }

QImage DecodeJpeg(const unsigned char* data, std::size_t size) {
    auto decoder = std::make_unique<Decoder>();
    if (!Decode(decoder.get(), data, size)) throw Error(JpegErrorMessage(decoder->code));
    return std::move(decoder->image);
}

QImage LoadJpegFile(const QString& path) {
    const std::string name = QFile::encodeName(path).toStdString();
    auto cannotOpen = [&](int err) { return Error(CannotOpenMessage(path.toStdString(), err)); };
    // Never wait on a FIFO that nobody writes.
    FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) throw cannotOpen(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw cannotOpen(errno);
    if (S_ISDIR(st.st_mode)) throw cannotOpen(EISDIR);
    if (!S_ISREG(st.st_mode)) throw cannotOpen(ENXIO);
    if (std::size_t(st.st_size) > kMaxJpegFileBytes) throw Error(JpegErrorMessage(JERR_IMAGE_TOO_BIG));
    std::vector<unsigned char> bytes(std::size_t(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw cannotOpen(errno);
        if (n == 0) break;  // the file shrank while we read it
        got += std::size_t(n);
    }
    return DecodeJpeg(bytes.data(), got);
}

}  // namespace pelmora::app
