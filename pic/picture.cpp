#include "picture.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>

#include <cmath>

#include "app/jpeg.h"

namespace pelmora::pic {
namespace {

[[noreturn]] void Fail(const QString& message) { throw Error(message.toStdString()); }

QString LoadFace(const QString& dir, const QString& file) {
    const QString path = QDir(dir).filePath(file);
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) Fail(QStringLiteral("cannot load the font %1 (install fonts-liberation)").arg(path));
    return families.front();
}

// A typeset line with its extent rounded out to whole pixels.
struct TypesetLine {
    std::unique_ptr<Box> box;
    bool note = false;
    int ascent = 0;
    int descent = 0;
};

std::vector<TypesetLine> TypesetLines(const FormulaPicture& picture, const MathFonts& fonts,
                                      const PictureLayout& layout) {
    const QString name = QString::fromUtf8(picture.file);
    const int maxWidth = layout.width - 2 * layout.marginX;
    std::vector<TypesetLine> lines;
    for (const char* source : picture.lines) {
        QString markup = QString::fromUtf8(source).trimmed();
        TypesetLine line;
        if (markup.startsWith(QLatin1String("\\small"))) {
            line.note = true;
            markup = markup.mid(6);
        }
        try {
            line.box = Typeset(markup, fonts, line.note ? layout.notePx : layout.mainPx);
        } catch (const Error& e) {
            Fail(QStringLiteral("%1: %2").arg(name, QString::fromStdString(e.message())));
        }
        if (line.box->width > maxWidth) {
            Fail(QStringLiteral("%1: line %2 is %3 pixels wide, %4 fit")
                     .arg(name)
                     .arg(lines.size() + 1)
                     .arg(std::ceil(line.box->width))
                     .arg(maxWidth));
        }
        line.ascent = int(std::ceil(line.box->ascent));
        line.descent = int(std::ceil(line.box->descent));
        lines.push_back(std::move(line));
    }
    if (lines.empty()) Fail(QStringLiteral("%1: no formula").arg(name));
    return lines;
}

// The space between lines that lets `total` pixels of lines fit: the
// layout's gap, or less down to its least gap.
int LineGap(const QString& name, int total, int gaps, const PictureLayout& layout) {
    const int maxHeight = layout.height - 2 * layout.marginY;
    int gap = layout.lineGap;
    if (gaps > 0 && total + gaps * gap > maxHeight) gap = (maxHeight - total) / gaps;
    if (total + gaps * std::max(gap, 0) > maxHeight || (gaps > 0 && gap < layout.minLineGap)) {
        Fail(QStringLiteral("%1: the lines need %2 pixels of height, %3 fit")
                 .arg(name)
                 .arg(total + gaps * layout.minLineGap)
                 .arg(maxHeight));
    }
    return gap;
}

}  // namespace

MathFonts LoadFonts(const QString& fontDir) {
    MathFonts fonts;
    fonts.mathFamily = LoadFace(fontDir, QStringLiteral("LiberationSerif-Regular.ttf"));
    if (LoadFace(fontDir, QStringLiteral("LiberationSerif-Italic.ttf")) != fonts.mathFamily) {
        Fail(QStringLiteral("the italic serif face belongs to another family"));
    }
    fonts.textFamily = LoadFace(fontDir, QStringLiteral("LiberationSans-Regular.ttf"));
    return fonts;
}

QString DefaultFontDir() { return QStringLiteral(PELMORA_FONT_DIR); }

std::vector<PlacedLine> LayOutPicture(const FormulaPicture& picture, const MathFonts& fonts,
                                      const PictureLayout& layout) {
    std::vector<TypesetLine> lines = TypesetLines(picture, fonts, layout);
    int total = 0;
    for (const TypesetLine& line : lines) total += line.ascent + line.descent;
    const int gaps = int(lines.size()) - 1;
    const int gap = LineGap(QString::fromUtf8(picture.file), total, gaps, layout);
    const int maxHeight = layout.height - 2 * layout.marginY;
    int y = layout.marginY + (maxHeight - total - gaps * gap) / 2;
    std::vector<PlacedLine> placed;
    for (TypesetLine& line : lines) {
        const int x = int(std::lround((layout.width - line.box->width) / 2));
        placed.push_back({std::move(line.box), line.note, QPointF(x, y + line.ascent)});
        y += line.ascent + line.descent + gap;
    }
    return placed;
}

QImage RenderPicture(const FormulaPicture& picture, const MathFonts& fonts, int scale, const PictureLayout& layout) {
    const std::vector<PlacedLine> lines = LayOutPicture(picture, fonts, layout);
    QImage image(layout.width * scale, layout.height * scale, QImage::Format_RGB32);
    image.fill(layout.paper);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (scale != 1) painter.scale(scale, scale);
    for (const PlacedLine& line : lines) {
        painter.setPen(line.note ? layout.noteInk : layout.ink);
        line.box->Draw(painter, line.origin);
    }
    painter.end();
    return image;
}

QStringList WritePictures(const QString& dir, const MathFonts& fonts) {
    if (!QDir().mkpath(dir)) Fail(QStringLiteral("cannot create %1").arg(dir));
    auto write = [](const QString& path, const QByteArray& jpeg) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(jpeg) != jpeg.size() ||
            !file.flush()) {
            Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        }
    };
    QStringList written;
    for (const FormulaPicture& picture : FormulaPictures()) {
        const QString path = QDir(dir).filePath(QString::fromUtf8(picture.file));
        write(path, app::EncodeJpeg(RenderPicture(picture, fonts), kJpegQuality));
        write(app::DoubleSizePath(path), app::EncodeJpeg(RenderPicture(picture, fonts, kDoubleScale), kJpegQuality));
        written << path;
    }
    return written;
}

}  // namespace pelmora::pic
