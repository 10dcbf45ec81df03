// Where the window finds its formula pictures: pic/ beside the executable,
// as in the build folder, or, where that folder does not exist, the installed
// share/pelmora/pic; the error box names the file it tried. Run by the
// package test with PELMORA_UNPACKED set, it also checks an unpacked .deb.
// Also the window icon, which comes with the install layout's icons.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "support.h"

using namespace testing_app;

namespace {

constexpr int kGamma = 11;

// Copies the 27 pictures of `from` into `to`, made with its parents.
void CopyPictures(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
    ExeFolder pictures;

private Q_SLOTS:
    void layouts_data() {
        QTest::addColumn<bool>("beside");     // bin/pic holds the pictures
        QTest::addColumn<bool>("installed");  // share/pelmora/pic holds them
        QTest::addColumn<bool>("gammaGone");  // ... all but gamma.jpg
        QTest::addColumn<QString>("used");    // the folder looked in
        QTest::addColumn<bool>("error");
        QTest::newRow("build folder") << true << false << false << "beside" << false;
        QTest::newRow("installed") << false << true << false << "installed" << false;
        QTest::newRow("both: beside first") << true << true << false << "beside" << false;
        QTest::newRow("neither") << false << false << false << "beside" << true;
        QTest::newRow("installed, a picture missing") << false << true << true << "installed" << true;
    }
    void layouts() {
        QFETCH(bool, beside);
        QFETCH(bool, installed);
        QFETCH(bool, gammaGone);
        QFETCH(QString, used);
        QFETCH(bool, error);
        QTemporaryDir root;
        const QString bin = root.path() + QStringLiteral("/bin/");
        QDir().mkpath(bin);
        ErrorCapture errors;
        Window w(pictures);
        TForm1& f = *w.form1;
        f.ExeFolder = bin;
        const QString besideFolder = bin + QStringLiteral("/pic");
        const QString installedFolder = root.path() + QStringLiteral("/share/pelmora/pic");
        QCOMPARE(f.InstalledPictureFolder(), installedFolder);
        if (beside) CopyPictures(pictures.picFolder(), besideFolder);
        if (installed) {
            CopyPictures(pictures.picFolder(), installedFolder);
            // A wrong choice between two full folders shows the wrong picture.
            if (beside) {
                QFile::remove(installedFolder + QStringLiteral("/gamma.jpg"));
                QFile::copy(installedFolder + QStringLiteral("/beta.jpg"), installedFolder + QStringLiteral("/gamma.jpg"));
            }
        }
        if (gammaGone) QFile::remove(installedFolder + QStringLiteral("/gamma.jpg"));

        const QString folder = used == QLatin1String("beside") ? besideFolder : installedFolder;
        QCOMPARE(f.PictureFolder(), folder);
        ClickRow(f, kGamma);
        if (error) {
            QCOMPARE(errors.texts, QStringList{QStringLiteral("Cannot open file \"%1/gamma.jpg\". No such file or directory.")
                                                   .arg(folder)});
            QVERIFY(f.Image2->picture().isNull());
        } else {
            QCOMPARE(errors.texts, QStringList());
            QCOMPARE(f.Image2->picture().size(), PictureSize(kGamma));
        }
    }

    // The window icon is the installed application icon, built in at each size.
    void windowIcon() {
        Window w(pictures);
        QList<QSize> sizes = w.form1->windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(sizes, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    }

    // The files of an unpacked package, as dpkg-deb -x leaves them.
    void unpackedPackage() {
        const QString unpacked = qEnvironmentVariable("PELMORA_UNPACKED");
        if (unpacked.isEmpty()) QSKIP("the package test (package_contents) runs this on the unpacked .deb");
        ErrorCapture errors;
        Window w(pictures);
        TForm1& f = *w.form1;
        f.ExeFolder = unpacked + QStringLiteral("/usr/bin/");
        QCOMPARE(f.PictureFolder(), QDir::cleanPath(unpacked) + QStringLiteral("/usr/share/pelmora/pic"));
        for (int row = 0; row < 27; ++row) {
            ClickRow(f, row);
            QCOMPARE(errors.texts, QStringList());
            QVERIFY(!f.Image2->picture().isNull());
        }
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
