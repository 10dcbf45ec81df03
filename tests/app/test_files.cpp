// The pieces behind the windows' files: the RTF writer, the safe save, and
// the JPEG loader.

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTest>
#include <jpeglib.h>
#include <jerror.h>

#include "app/jpeg.h"
#include "core/rtf.h"
#include "core/savefile.h"
#include "support.h"

using namespace testing_app;

namespace {

const std::string kHead = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset134 Arial;}}\n\\uc1\\pard\\f0\\fs20 ";

QString Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const pelmora::Error& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<nothing thrown>");
}

QImage Decode(const QByteArray& bytes) {
    return pelmora::app::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rtf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("body");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("lines") << "1.5\n-2E-5\n" << "1.5\\par\n-2E-5\\par\n";
        QTest::newRow("last line unended") << "1\n2" << "1\\par\n2";
        QTest::newRow("specials") << "a\\b{c}" << "a\\\\b\\{c\\}";
        QTest::newRow("tab") << "a\tb" << "a\\tab b";
        QTest::newRow("beyond ASCII") << QString::fromUtf8("0\xC2\xB7" "5 \xE6\x95\xB0") << "0\\u183?5 \\u25968?";
        QTest::newRow("above 32767") << QString(QChar(0xFF0C)) << "\\u-244?";
        QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80") << "\\u-10179?\\u-8704?";
    }
    void rtf() {
        QFETCH(QString, text);
        QFETCH(QString, body);
        QCOMPARE(QString::fromStdString(pelmora::RtfDocument(text.toStdString())),
                 QString::fromStdString(kHead) + body + QStringLiteral("}\n"));
    }

    void defaultExtension_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("none") << "/d/values" << "/d/values.TXT";
        QTest::newRow("lower case kept") << "/d/values.txt" << "/d/values.txt";
        QTest::newRow("dot in the folder only") << "/d.x/values" << "/d.x/values.TXT";
    }
    void defaultExtension() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(QString::fromStdString(pelmora::AddDefaultExtension(typed.toStdString(), "TXT")), saved);
    }

    void saveKeepsModeAndReplaces() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.TXT"));
        QVERIFY(WriteFile(path, "old"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        pelmora::SaveFile(path.toStdString(), "new content");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("new content"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        // A new file gets the usual mode for new files.
        const mode_t mask = ::umask(022);
        ::umask(mask);
        const QString fresh = dir.filePath(QStringLiteral("b.TXT"));
        pelmora::SaveFile(fresh.toStdString(), "");
        QVERIFY(::stat(QFile::encodeName(fresh).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0666 & ~mask));
        QCOMPARE(QFileInfo(fresh).size(), 0);
    }

    void saveToAFifoWithoutReader() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.TXT"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        QCOMPARE(Thrown([&] { pelmora::SaveFile(fifo.toStdString(), "x"); }),
                 QStringLiteral("Cannot create file \"%1\". Not a regular file").arg(fifo));
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    // Headers that claim more than the file could hold are refused before
    // any pixel memory is taken.
    void sizeLimits_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("refused");
        QTest::newRow("60000 x 60000") << 60000 << 60000 << true;
        QTest::newRow("65500 x 1") << 65500 << 1 << false;
        QTest::newRow("1000 x 1000 from a small file") << 1000 << 1000 << false;
        QTest::newRow("3000 x 3000 from a small file") << 3000 << 3000 << true;
        QTest::newRow("5000 x 5000 from a small file") << 5000 << 5000 << true;
    }
    void sizeLimits() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, refused);
        const QByteArray claimed = WithClaimedSize(MakeJpeg(16, 16, qRgb(1, 2, 3)), width, height);
        const QString message = Thrown([&] { Decode(claimed); });
        if (refused)
            QCOMPARE(message, QStringLiteral("JPEG error #%1").arg(JERR_IMAGE_TOO_BIG));
        else
            QVERIFY2(message != QStringLiteral("JPEG error #%1").arg(JERR_IMAGE_TOO_BIG), qPrintable(message));
    }

};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
