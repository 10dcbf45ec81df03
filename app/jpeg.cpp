#include "app/jpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "core/posix.h"
#include "core/savefile.h"
#include "engine/error.h"

namespace pelmora::app {

namespace {

// libjpeg reports errors through a callback that must not return: it jumps
// back into Decode or Encode. Everything that lives across the jump is in one
// heap object reached through a pointer that does not change after setjmp,
// and the only frames skipped are libjpeg's own and the callbacks below.
struct Failure {
    std::jmp_buf jump{};
    int code = 0;
};

struct Decoder : Failure {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    QImage image;
    std::vector<JSAMPLE> row;
};

// The compressed data passes through a fixed block into `bytes`. (libjpeg's
// own memory destination is not used: after an error it may leave its
// buffer already freed or not freed at all.)
struct Encoder : Failure {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr destination{};
    std::array<JOCTET, 4096> block{};
    QByteArray bytes;
};

void OnError(j_common_ptr cinfo) {
    auto* failure = static_cast<Failure*>(cinfo->client_data);
    failure->code = cinfo->err->msg_code;
    std::longjmp(failure->jump, 1);
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
    cinfo->client_data = static_cast<Failure*>(d);
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

Encoder* EncoderOf(j_compress_ptr cinfo) { return static_cast<Encoder*>(static_cast<Failure*>(cinfo->client_data)); }

void StartBlock(j_compress_ptr cinfo) {
    Encoder* e = EncoderOf(cinfo);
    e->destination.next_output_byte = e->block.data();
    e->destination.free_in_buffer = e->block.size();
}

void KeepBlock(j_compress_ptr cinfo, std::size_t used) {
    Encoder* e = EncoderOf(cinfo);
    bool kept = true;
    try {
        e->bytes.append(reinterpret_cast<const char*>(e->block.data()), qsizetype(used));
    } catch (const std::bad_alloc&) {
        kept = false;
    }
    if (!kept) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);  // outside the catch: it jumps
}

boolean FlushFullBlock(j_compress_ptr cinfo) {
    KeepBlock(cinfo, EncoderOf(cinfo)->block.size());
    StartBlock(cinfo);
    return TRUE;
}

void FlushLastBlock(j_compress_ptr cinfo) {
    KeepBlock(cinfo, EncoderOf(cinfo)->block.size() - EncoderOf(cinfo)->destination.free_in_buffer);
}

void SetEncoding(jpeg_compress_struct* cinfo, const QImage& rgb, int quality) {
    cinfo->image_width = JDIMENSION(rgb.width());
    cinfo->image_height = JDIMENSION(rgb.height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    for (int c = 0; c < cinfo->num_components; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->optimize_coding = TRUE;
    cinfo->write_JFIF_header = TRUE;
    cinfo->density_unit = 0;
    cinfo->X_density = 1;
    cinfo->Y_density = 1;
}

// Returns false with e->code set when libjpeg fails. `rgb` is 24-bit.
bool Encode(Encoder* e, const QImage& rgb, int quality) {
    jpeg_compress_struct* cinfo = &e->cinfo;
    cinfo->err = jpeg_std_error(&e->errors);
    e->errors.error_exit = OnError;
    e->errors.output_message = OnOutput;
    cinfo->client_data = static_cast<Failure*>(e);
    if (setjmp(e->jump) != 0) {
        jpeg_destroy_compress(&e->cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    e->destination.init_destination = StartBlock;
    e->destination.empty_output_buffer = FlushFullBlock;
    e->destination.term_destination = FlushLastBlock;
    cinfo->dest = &e->destination;
    SetEncoding(cinfo, rgb, quality);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo->next_scanline)));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
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

QString DoubleSizePath(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    const qsizetype slash = path.lastIndexOf(u'/');
    if (dot <= slash + 1) return path + QStringLiteral("@2x");
    return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

QImage LoadFormulaPicture(const QString& path, qreal ratio) {
    QImage picture = LoadJpegFile(path);
    if (ratio <= 1) return picture;
    QImage sharp;
    try {
        sharp = LoadJpegFile(DoubleSizePath(path));
    } catch (const Error&) {
        return picture;
    }
    if (sharp.size() != picture.size() * 2) return picture;
    sharp.setDevicePixelRatio(2);
    return sharp;
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    auto encoder = std::make_unique<Encoder>();
    if (!Encode(encoder.get(), rgb, quality)) throw Error(JpegErrorMessage(encoder->code));
    return std::move(encoder->bytes);
}

}  // namespace pelmora::app
