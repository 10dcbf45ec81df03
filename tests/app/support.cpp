#include "support.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "app/errorbox.h"
#include "core/generate.h"

namespace testing_app {

QSize PictureSize(int row) { return QSize(40 + 3 * row, 16 + row); }

namespace {

// An error box that no ErrorCapture expects fails the test at once: the real
// box would wait, modal, for a click that never comes.
void UnexpectedErrorBox(const QString& caption, const QString& text) {
    qFatal("an error box nobody expected: \"%s\" (caption \"%s\")", qPrintable(text), qPrintable(caption));
}

// In place from the start of every program that links this file.
[[maybe_unused]] const bool kGuarded = (pelmora::app::SetErrorBox(UnexpectedErrorBox), true);

}  // namespace

ErrorCapture::ErrorCapture() {
    pelmora::app::SetErrorBox([this](const QString& caption, const QString& text) {
        captions << caption;
        texts << text;
    });
}

ErrorCapture::~ErrorCapture() { pelmora::app::SetErrorBox(UnexpectedErrorBox); }

namespace {

QByteArray Compress(int width, int height, bool grey, const std::vector<unsigned char>& pixels) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const int stride = width * cinfo.input_components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) + std::size_t(cinfo.next_scanline) * stride;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char*>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return result;
}

}  // namespace

QByteArray MakeJpeg(int width, int height, QRgb colour, bool grey) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < width * height; ++i) {
        if (grey) {
            pixels.push_back(static_cast<unsigned char>(qGray(colour)));
        } else {
            pixels.push_back(static_cast<unsigned char>(qRed(colour)));
            pixels.push_back(static_cast<unsigned char>(qGreen(colour)));
            pixels.push_back(static_cast<unsigned char>(qBlue(colour)));
        }
    }
    return Compress(width, height, grey, pixels);
}

QByteArray MakeNoiseJpeg(int width, int height) {
    QRandomGenerator random(7);
    std::vector<unsigned char> pixels(std::size_t(width) * height * 3);
    for (unsigned char& p : pixels) p = static_cast<unsigned char>(random.bounded(256));
    return Compress(width, height, false, pixels);
}

QByteArray WithClaimedSize(QByteArray jpeg, int width, int height) {
    // The baseline frame header: FF C0, length, precision, height, width.
    qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0) return {};
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

ExeFolder::ExeFolder() {
    QDir(dir_.path()).mkdir(QStringLiteral("pic"));
    for (int row = 0; row < 27; ++row) {
        QSize size = PictureSize(row);
        WriteFile(picFolder() + QLatin1Char('/') + QString::fromUtf8(kExpectedRows[std::size_t(row)].picture),
                  MakeJpeg(size.width(), size.height(), qRgb(20 * (row % 12), 200, 255 - 9 * row), row % 2 == 1));
    }
}

QString ExeFolder::picturePath(int row) const {
    return path() + QStringLiteral("/pic/") + QString::fromUtf8(kExpectedRows[std::size_t(row)].picture);
}

Window::Window(const ExeFolder& folder) : form1(std::make_unique<TForm1>()), form2(std::make_unique<TForm2>()) {
    form1->ExeFolder = folder.path();
    form1->SaveDialog1 = [](QWidget*, const QString&) {
        qFatal("a test reached the real save dialog");
        return QString();
    };
    form1->ShowModal = [](QDialog*) { qFatal("a test reached a modal loop"); };
    form1->OpenUrl = [](const QUrl&) { qFatal("a test reached the web browser"); };
    form1->show();
    QCoreApplication::processEvents();
}

void ClickRow(TForm1& form, int row) {
    QListWidgetItem* item = form.ListBox1->item(row);
    form.ListBox1->scrollToItem(item);
    QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, Qt::NoModifier,
                      form.ListBox1->visualItemRect(item).center());
}

QStringList PaneLines(const TForm1& form) {
    QString text = form.RichEdit1->toPlainText();
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

std::vector<std::string> CoreLines(int row, const pelmora::FieldTexts& texts, uint32_t seed, uint64_t clockStart,
                                   std::string_view sep, std::size_t maxLines) {
    CountingClock clock(clockStart);
    pelmora::UniformSeed = seed;
    std::vector<std::string> lines;
    pelmora::Request request = pelmora::ParseFields(texts, sep);
    try {
        pelmora::GenerateValues(row, request, sep, [&](std::string_view text) {
            if (lines.size() == maxLines) throw std::out_of_range("enough");
            lines.emplace_back(text);
        });
    } catch (const std::out_of_range&) {
    }
    return lines;
}

}  // namespace testing_app
