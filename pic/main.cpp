// pelmora-picgen: writes the formula pictures of the distribution list.
//
//   pelmora-picgen --out DIR [--fonts DIR] [--expect NAME...] [--sheet FILE.png [--scale N]]
//
// --expect lists the file names the build installs; the tool refuses to run
// when its table names other files. --sheet also writes a PNG with all
// pictures (as decoded from the written JPEG files) for looking at them.
#include "jpegio.h"
#include "picture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSet>

#include <cstdio>
#include <exception>

using namespace pelmora::pic;

namespace {

void writeSheet(const QStringList& files, const QString& sheetPath, int scale) {
    const int columns = 3;
    const int gap = 4;
    const PictureLayout layout;
    const int rows = int((files.size() + columns - 1) / columns);
    QImage sheet((layout.width + gap) * columns + gap, (layout.height + gap) * rows + gap, QImage::Format_RGB32);
    sheet.fill(QColor(212, 208, 200));
    QPainter painter(&sheet);
    for (int i = 0; i < files.size(); ++i) {
        QFile file(files[i]);
        if (!file.open(QIODevice::ReadOnly)) throw FormulaError("cannot read " + files[i].toStdString());
        const QImage image = toImage(decodeJpeg(file.readAll()));
        painter.drawImage(gap + (i % columns) * (layout.width + gap), gap + (i / columns) * (layout.height + gap), image);
    }
    painter.end();
    const QImage scaled = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.save(sheetPath, "PNG")) throw FormulaError("cannot write " + sheetPath.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString outDir;
    QString fontDir = defaultFontDir();
    QString sheet;
    int scale = 1;
    QStringList expected;
    bool checkNames = false;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--out" && hasValue) {
            outDir = args[++i];
        } else if (a == u"--fonts" && hasValue) {
            fontDir = args[++i];
        } else if (a == u"--sheet" && hasValue) {
            sheet = args[++i];
        } else if (a == u"--scale" && hasValue) {
            scale = std::max(1, args[++i].toInt());
        } else if (a == u"--expect") {
            checkNames = true;
            expected = args.mid(i + 1);
            break;
        } else {
            std::fprintf(stderr,
                         "usage: pelmora-picgen --out DIR [--fonts DIR] [--sheet FILE.png [--scale N]] "
                         "[--expect NAME...]\n");
            return 2;
        }
    }
    if (outDir.isEmpty()) {
        std::fprintf(stderr, "pelmora-picgen: --out DIR is required\n");
        return 2;
    }

    try {
        if (checkNames) {
            QSet<QString> table;
            for (const FormulaPicture& p : formulaPictures()) table.insert(QString::fromUtf8(p.file));
            const QSet<QString> wanted(expected.begin(), expected.end());
            if (table != wanted || qsizetype(formulaPictures().size()) != expected.size()) {
                QStringList missing = QSet<QString>(wanted).subtract(table).values();
                QStringList extra = QSet<QString>(table).subtract(wanted).values();
                missing.sort();
                extra.sort();
                throw FormulaError(QStringLiteral("the picture table does not match the build: missing %1; unexpected %2")
                                       .arg(missing.join(u' '), extra.join(u' '))
                                       .toStdString());
            }
        }
        const MathFonts fonts = loadFonts(fontDir);
        const QStringList written = writePictures(outDir, fonts);
        if (!sheet.isEmpty()) writeSheet(written, sheet, scale);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelmora-picgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
