#include "picture.h"

#include "jpegio.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>

#include <cmath>
#include <memory>
#include <vector>

namespace pelmora::pic {
namespace {

QString loadFace(const QString& dir, const QString& file) {
    const QString path = QDir(dir).filePath(file);
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        throw FormulaError(QStringLiteral("cannot load the font %1 (install fonts-liberation)").arg(path).toStdString());
    }
    return families.front();
}

}  // namespace

MathFonts loadFonts(const QString& fontDir) {
    MathFonts fonts;
    fonts.mathFamily = loadFace(fontDir, QStringLiteral("LiberationSerif-Regular.ttf"));
    if (loadFace(fontDir, QStringLiteral("LiberationSerif-Italic.ttf")) != fonts.mathFamily) {
        throw FormulaError("the italic serif face belongs to another family");
    }
    fonts.textFamily = loadFace(fontDir, QStringLiteral("LiberationSans-Regular.ttf"));
    return fonts;
}

QString defaultFontDir() { return QStringLiteral(PELMORA_FONT_DIR); }

QImage renderPicture(const FormulaPicture& picture, const MathFonts& fonts, const PictureLayout& layout) {
    struct Line {
        std::unique_ptr<Box> box;
        bool note = false;
        int ascent = 0;
        int descent = 0;
    };
    const QString name = QString::fromUtf8(picture.file);
    std::vector<Line> lines;
    const int maxWidth = layout.width - 2 * layout.marginX;
    const int maxHeight = layout.height - 2 * layout.marginY;
    int total = 0;
    for (const char* source : picture.lines) {
        QString markup = QString::fromUtf8(source).trimmed();
        Line line;
        if (markup.startsWith(QLatin1String("\\small"))) {
            line.note = true;
            markup = markup.mid(6);
        }
        try {
            line.box = typeset(markup, fonts, line.note ? layout.notePx : layout.mainPx);
        } catch (const FormulaError& e) {
            throw FormulaError(QStringLiteral("%1: %2").arg(name, QString::fromStdString(e.what())).toStdString());
        }
        if (line.box->width > maxWidth) {
            throw FormulaError(QStringLiteral("%1: line %2 is %3 pixels wide, %4 fit")
                                   .arg(name)
                                   .arg(lines.size() + 1)
                                   .arg(std::ceil(line.box->width))
                                   .arg(maxWidth)
                                   .toStdString());
        }
        line.ascent = int(std::ceil(line.box->ascent));
        line.descent = int(std::ceil(line.box->descent));
        total += line.ascent + line.descent;
        lines.push_back(std::move(line));
    }
    if (lines.empty()) throw FormulaError(QStringLiteral("%1: no formula").arg(name).toStdString());

    const int gaps = int(lines.size()) - 1;
    int gap = layout.lineGap;
    if (gaps > 0 && total + gaps * gap > maxHeight) gap = (maxHeight - total) / gaps;
    if (total + gaps * std::max(gap, 0) > maxHeight || (gaps > 0 && gap < layout.minLineGap)) {
        throw FormulaError(QStringLiteral("%1: the lines need %2 pixels of height, %3 fit")
                               .arg(name)
                               .arg(total + gaps * layout.minLineGap)
                               .arg(maxHeight)
                               .toStdString());
    }

    QImage image(layout.width, layout.height, QImage::Format_RGB32);
    image.fill(layout.paper);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    int y = layout.marginY + (maxHeight - total - gaps * gap) / 2;
    for (const Line& line : lines) {
        const int x = int(std::lround((layout.width - line.box->width) / 2));
        painter.setPen(line.note ? layout.noteInk : layout.ink);
        line.box->draw(painter, QPointF(x, y + line.ascent));
        y += line.ascent + line.descent + gap;
    }
    painter.end();
    return image;
}

QStringList writePictures(const QString& dir, const MathFonts& fonts) {
    if (!QDir().mkpath(dir)) throw FormulaError(QStringLiteral("cannot create %1").arg(dir).toStdString());
    QStringList written;
    for (const FormulaPicture& picture : formulaPictures()) {
        const QByteArray jpeg = encodeJpeg(renderPicture(picture, fonts), kJpegQuality);
        const QString path = QDir(dir).filePath(QString::fromUtf8(picture.file));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(jpeg) != jpeg.size() ||
            !file.flush()) {
            throw FormulaError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()).toStdString());
        }
        written << path;
    }
    return written;
}

}  // namespace pelmora::pic
