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
        QTest::newRow("CRLF") << "1\r\n2\r\n" << "1\\par\n2\\par\n";
        QTest::newRow("last line unended") << "1\n2" << "1\\par\n2";
        QTest::newRow("blank line") << "\n" << "\\par\n";
        QTest::newRow("leading blank") << " 7\n" << " 7\\par\n";
        QTest::newRow("specials") << "a\\b{c}" << "a\\\\b\\{c\\}";
        QTest::newRow("tab") << "a\tb" << "a\\tab b";
        QTest::newRow("control") << QString(QChar(1)) << "\\'01";
        QTest::newRow("comma separator") << "0,5\n" << "0,5\\par\n";
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

    void rtfMalformedUtf8() {
        const std::string doc = pelmora::RtfDocument("a\xFF\xC3" "b");
        QCOMPARE(QString::fromStdString(doc.substr(kHead.size())), QStringLiteral("a\\u-3?\\u-3?b}\n"));
    }

    void rtfBracesBalance() {
        std::string text;
        for (int c = 1; c < 128; ++c) text += char(c);
        const std::string doc = pelmora::RtfDocument(text + text);
        int depth = 0;
        for (std::size_t i = 0; i < doc.size(); ++i) {
            if (doc[i] == '\\') {
                ++i;
                continue;
            }
            if (doc[i] == '{') ++depth;
            if (doc[i] == '}') QVERIFY(--depth >= 0);
            QVERIFY(depth > 0 || i + 2 >= doc.size());
        }
        QCOMPARE(depth, 0);
    }

    void defaultExtension_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("none") << "/d/values" << "/d/values.TXT";
        QTest::newRow("lower case kept") << "/d/values.txt" << "/d/values.txt";
        QTest::newRow("another kept") << "/d/values.rtf" << "/d/values.rtf";
        QTest::newRow("dot in the folder only") << "/d.x/values" << "/d.x/values.TXT";
        QTest::newRow("no folder") << "values" << "values.TXT";
    }
    void defaultExtension() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(QString::fromStdString(pelmora::AddDefaultExtension(typed.toStdString(), "TXT")), saved);
    }

    void systemErrorText() {
        QCOMPARE(QString::fromStdString(pelmora::SystemErrorText(ENOENT)), QStringLiteral("No such file or directory"));
        QCOMPARE(QString::fromStdString(pelmora::CannotCreateMessage("/x/y", EACCES)),
                 QStringLiteral("Cannot create file \"/x/y\". Permission denied"));
        QCOMPARE(QString::fromStdString(pelmora::CannotOpenMessage("/x/y", EISDIR)),
                 QStringLiteral("Cannot open file \"/x/y\". Is a directory"));
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
                 QStringLiteral("Cannot create file \"%1\". No such device or address").arg(fifo));
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    void saveIntoMissingFolder() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no/such/a.TXT"));
        QCOMPARE(Thrown([&] { pelmora::SaveFile(path.toStdString(), "x"); }),
                 QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(path));
    }

    void decodesColourAndGrey() {
        const QImage colour = Decode(MakeJpeg(33, 17, qRgb(200, 40, 90)));
        QCOMPARE(colour.size(), QSize(33, 17));
        const QColor c = colour.pixelColor(16, 8);
        QVERIFY(qAbs(c.red() - 200) <= 3 && qAbs(c.green() - 40) <= 3 && qAbs(c.blue() - 90) <= 3);
        const QImage grey = Decode(MakeJpeg(8, 9, qRgb(120, 120, 120), true));
        QCOMPARE(grey.size(), QSize(8, 9));
        QVERIFY(qAbs(grey.pixelColor(3, 3).red() - 120) <= 2);
        QCOMPARE(grey.pixelColor(3, 3).red(), grey.pixelColor(3, 3).blue());
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

    // Every prefix of a picture gives the picture or a JPEG error, never a crash.
    void everyPrefix() {
        const QByteArray jpeg = MakeNoiseJpeg(24, 24);
        for (qsizetype n = 0; n < jpeg.size(); n += 7) {
            const QString message = Thrown([&] { Decode(jpeg.left(n)); });
            QVERIFY2(message.startsWith(QStringLiteral("JPEG error #")), qPrintable(message));
        }
        QCOMPARE(Decode(jpeg).size(), QSize(24, 24));
    }

    void loadReportsTheFullPath() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("absent.jpg"));
        QCOMPARE(Thrown([&] { pelmora::app::LoadJpegFile(path); }),
                 QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
