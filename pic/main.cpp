// pelmora-picgen: writes the formula pictures of the distribution list.
//
//   pelmora-picgen --out DIR [--fonts DIR] [--sheet FILE.png [--scale N]] [--expect NAME...]
//
// Each picture is written at its size in the window and at twice that size
// (NAME@2x.jpg). --expect lists the file names the build installs; the tool
// refuses to run when its table names other files. --sheet also writes a PNG
// with all pictures (as decoded from the written JPEG files) for looking at
// them.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSet>

#include <cstdio>
#include <exception>

#include "app/jpeg.h"
#include "picture.h"

using namespace pelmora;
using namespace pelmora::pic;

namespace {

struct Options {
    QString outDir;
    QString fontDir = DefaultFontDir();
    QString sheet;
    int scale = 1;
    bool checkNames = false;
    QStringList expected;
};

// Returns false on a malformed command line.
bool ParseOptions(const QStringList& args, Options& options) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--out" && hasValue) {
            options.outDir = args[++i];
        } else if (a == u"--fonts" && hasValue) {
            options.fontDir = args[++i];
        } else if (a == u"--sheet" && hasValue) {
            options.sheet = args[++i];
        } else if (a == u"--scale" && hasValue) {
            options.scale = std::max(1, args[++i].toInt());
        } else if (a == u"--expect") {
            options.checkNames = true;
            options.expected = args.mid(i + 1);
            return true;
        } else {
            return false;
        }
    }
    return true;
}

void CheckNames(const QStringList& expected) {
    QSet<QString> table;
    for (const FormulaPicture& p : FormulaPictures()) table.insert(QString::fromUtf8(p.file));
    const QSet<QString> wanted(expected.begin(), expected.end());
    if (table == wanted && qsizetype(FormulaPictures().size()) == expected.size()) return;
    QStringList missing = QSet<QString>(wanted).subtract(table).values();
    QStringList extra = QSet<QString>(table).subtract(wanted).values();
    missing.sort();
    extra.sort();
    throw Error(QStringLiteral("the picture table does not match the build: missing %1; unexpected %2")
                    .arg(missing.join(u' '), extra.join(u' '))
                    .toStdString());
}

void WriteSheet(const QStringList& files, const QString& sheetPath, int scale) {
    const int columns = 3;
    const int gap = 4;
    const PictureLayout layout;
    const int rows = int((files.size() + columns - 1) / columns);
    QImage sheet((layout.width + gap) * columns + gap, (layout.height + gap) * rows + gap, QImage::Format_RGB32);
    sheet.fill(QColor(212, 208, 200));
    QPainter painter(&sheet);
    for (int i = 0; i < files.size(); ++i) {
        const QImage image = app::LoadJpegFile(files[i]);
        painter.drawImage(gap + (i % columns) * (layout.width + gap), gap + (i / columns) * (layout.height + gap), image);
    }
    painter.end();
    const QImage scaled = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.save(sheetPath, "PNG")) throw Error("cannot write " + sheetPath.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Options options;
    if (!ParseOptions(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr,
                     "usage: pelmora-picgen --out DIR [--fonts DIR] [--sheet FILE.png [--scale N]] "
                     "[--expect NAME...]\n");
        return 2;
    }
    if (options.outDir.isEmpty()) {
        std::fprintf(stderr, "pelmora-picgen: --out DIR is required\n");
        return 2;
    }
    try {
        if (options.checkNames) CheckNames(options.expected);
        const QStringList written = WritePictures(options.outDir, LoadFonts(options.fontDir));
        if (!options.sheet.isEmpty()) WriteSheet(written, options.sheet, options.scale);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelmora-picgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
