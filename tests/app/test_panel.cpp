// ListBox1Click: what selecting a distribution does to the panel, the pane
// and the picture, how often it runs, and what happens when a picture
// cannot be shown.

#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include "app/errorbox.h"
#include "app/jpeg.h"
#include "core/speech.h"
#include "support.h"

using namespace testing_app;

namespace {

void FillFields(TForm1& f) {
    f.LabeledEdit2->setText(QStringLiteral("q text"));
    f.LabeledEdit5->setText(QStringLiteral("first"));
    f.LabeledEdit6->setText(QStringLiteral("second"));
    f.LabeledEdit7->setText(QStringLiteral("third"));
    f.RichEdit1->setPlainText(QStringLiteral("old\nlines\n"));
}

QString JpegError(int code) { return QStringLiteral("JPEG error #%1.").arg(code); }

QString CannotOpen(const QString& path, const char* reason) {
    return QStringLiteral("Cannot open file \"%1\". %2.").arg(path, QString::fromUtf8(reason));
}

}  // namespace

class TestPanel : public QObject {
    Q_OBJECT
    ExeFolder folder;

private Q_SLOTS:
    void rows_data() {
        QTest::addColumn<int>("row");
        for (int row = 0; row < 27; ++row) QTest::newRow(kExpectedRows[std::size_t(row)].caption) << row;
    }
    // Every row, selected after Bernoulli-Gauss (which shows all three fields).
    void rows() {
        QFETCH(int, row);
        const ExpectedRow& expected = kExpectedRows[std::size_t(row)];
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::BernoulliGauss);
        FillFields(f);
        ClickRow(f, row);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(f.ListBox1->count(), 27);
        QCOMPARE(f.ListBox1->item(row)->text(), QString::fromUtf8(expected.caption));
        QCOMPARE(f.ListBox1->ItemIndex(), row);
        QVERIFY(f.Button1->isEnabled());
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("q text"));
        QCOMPARE(f.LabeledEdit5->text(), QStringLiteral("first"));
        QCOMPARE(f.LabeledEdit6->text(), QStringLiteral("second"));
        QCOMPARE(f.LabeledEdit7->text(), QStringLiteral("third"));
        QVERIFY(f.LabeledEdit2->isVisible() && f.LabeledEdit2->isEnabled());
        const std::pair<pelmora::app::TLabeledEdit*, const char*> fields[] = {
            {f.LabeledEdit5, expected.label1}, {f.LabeledEdit6, expected.label2}, {f.LabeledEdit7, expected.label3}};
        for (const auto& [edit, label] : fields) {
            const bool shown = *label != '\0';
            QCOMPARE(edit->isVisible(), shown);
            QCOMPARE(edit->EditLabel->isVisible(), shown);
            QVERIFY(edit->isEnabled());
            if (shown) QCOMPARE(edit->EditLabel->text(), QString::fromUtf8(label));
        }
        QCOMPARE(f.Image2->pos(), QPoint(192, 72));
        QCOMPARE(f.Image2->size(), PictureSize(row));
        QCOMPARE(f.Image2->picture().size(), PictureSize(row));
    }

    void pictureFolderHasADoubledSeparator() {
        Window w(folder);
        QCOMPARE(w.form1->PictureFolder(), folder.path() + QStringLiteral("/pic"));
        QVERIFY(w.form1->PictureFolder().contains(QStringLiteral("//pic")));
        QVERIFY(QCoreApplication::applicationDirPath().size() > 0);
        TForm1 plain;
        QCOMPARE(plain.ExeFolder, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    }

    void firstSelectionEnablesFieldsAndGenerate() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::ContinuousUniform);
        QVERIFY(f.Button1->isEnabled());
        QVERIFY(f.LabeledEdit5->isEnabled() && f.LabeledEdit6->isEnabled());
        QVERIFY(f.LabeledEdit5->EditLabel->isEnabled());
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("a"));
        QCOMPARE(f.LabeledEdit6->EditLabel->text(), QStringLiteral("b"));
        QVERIFY(f.LabeledEdit7->isHidden());
    }

    void thirdFieldKeepsItsText() {
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::BernoulliGauss);
        QTest::keyClicks(f.LabeledEdit7, QStringLiteral("42"));
        ClickRow(f, Row::Triangle);
        QVERIFY(f.LabeledEdit7->isVisible());
        QCOMPARE(f.LabeledEdit7->EditLabel->text(), QStringLiteral("m (a<m<b)"));
        QCOMPARE(f.LabeledEdit7->text(), QStringLiteral("342"));
    }

    // Each user action runs the handler once: with no pictures, each run
    // shows exactly one error.
    void runsOncePerUserAction() {
        ExeFolder empty;
        QDir(empty.picFolder()).removeRecursively();
        ErrorCapture errors;
        Window w(empty);
        TForm1& f = *w.form1;
        ClickRow(f, Row::Beta);
        QCOMPARE(errors.texts.size(), 1);
        ClickRow(f, Row::Beta);  // the row already selected
        QCOMPARE(errors.texts.size(), 2);
        f.ListBox1->setFocus();
        QTest::keyClick(f.ListBox1, Qt::Key_Down);
        QTest::keyClick(f.ListBox1, Qt::Key_Down);
        QTest::keyClick(f.ListBox1, Qt::Key_Down);
        QCOMPARE(f.ListBox1->ItemIndex(), 3);
        QCOMPARE(errors.texts.size(), 5);
        QVERIFY(errors.texts.last().contains(QStringLiteral("/binonial.jpg")));
        QTest::keyClick(f.ListBox1, Qt::Key_End);
        QCOMPARE(f.ListBox1->ItemIndex(), 26);
        QCOMPARE(errors.texts.size(), 6);
        QTest::keyClick(f.ListBox1, Qt::Key_Down);  // already at the end: no move
        QCOMPARE(errors.texts.size(), 6);
        QTest::keyClick(f.ListBox1, Qt::Key_Home);
        QTest::keyClick(f.ListBox1, Qt::Key_Up);  // already at the top
        QCOMPARE(errors.texts.size(), 7);
        QTest::keyClick(f.ListBox1, Qt::Key_G);  // the first row starting with G
        QCOMPARE(f.ListBox1->ItemIndex(), 11);
        QCOMPARE(errors.texts.size(), 8);
        QTest::keyClick(f.ListBox1, Qt::Key_Space, Qt::ControlModifier);  // never deselects
        QCOMPARE(f.ListBox1->ItemIndex(), 11);
        QCOMPARE(errors.texts.size(), 8);
        // A row selected by the program runs nothing.
        f.ListBox1->SetItemIndex(Index(Row::ChiSquare));
        QCOMPARE(errors.texts.size(), 8);
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("afa"));
        // Other buttons neither select nor run it.
        QListWidgetItem* item = f.ListBox1->item(1);
        QTest::mouseClick(f.ListBox1->viewport(), Qt::RightButton, {}, f.ListBox1->visualItemRect(item).center());
        QCOMPARE(f.ListBox1->ItemIndex(), 5);
        QCOMPARE(errors.texts.size(), 8);
        // A click with Ctrl on the selected row selects it again.
        QTest::mouseClick(f.ListBox1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          f.ListBox1->visualItemRect(f.ListBox1->item(5)).center());
        QCOMPARE(f.ListBox1->ItemIndex(), 5);
        QCOMPARE(errors.texts.size(), 9);
    }

    // A screen reader selects a row through the list's accessible interface
    // (AT-SPI's action on the row): the handler runs as for a click, once,
    // and the row becomes the current one, so the panel, the picture and
    // what Generate draws agree.
    void accessibleSelectionRunsTheHandler() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::Gamma);
        FillFields(f);
        QSignalSpy runs(f.ListBox1, &pelmora::app::TListBox::Click);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.ListBox1);
        QCOMPARE(list->childCount(), 27);
        QAccessibleInterface* poisson = list->child(Index(Row::Poisson));
        QCOMPARE(poisson->role(), QAccessible::ListItem);
        QCOMPARE(poisson->text(QAccessible::Name), QStringLiteral("Poisson"));
        QCOMPARE(list->indexOfChild(poisson), Index(Row::Poisson));
        QVERIFY(!poisson->state().selected && list->child(Index(Row::Gamma))->state().selected);
        QVERIFY(poisson->actionInterface() != nullptr);
        poisson->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(runs.size(), 1);
        QVERIFY(poisson->state().selected && !list->child(Index(Row::Gamma))->state().selected);
        QCOMPARE(f.ListBox1->ItemIndex(), Index(Row::Poisson));
        QCOMPARE(f.ListBox1->currentRow(), Index(Row::Poisson));
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("lambda"));
        QVERIFY(f.LabeledEdit6->isHidden());
        QCOMPARE(f.LabeledEdit5->text(), QStringLiteral("first"));
        QCOMPARE(f.Image2->size(), PictureSize(Index(Row::Poisson)));
        QCOMPARE(QAccessible::queryAccessibleInterface(f.Image2)->text(QAccessible::Name),
                 QString::fromStdString(pelmora::SpokenPicture(pelmora::Record(Row::Poisson))));
        // The selected row cannot be deselected: the action changes nothing.
        poisson->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(runs.size(), 1);
        QCOMPARE(f.ListBox1->ItemIndex(), Index(Row::Poisson));
        QCOMPARE(errors.texts, QStringList());
    }

    void missingPictureFolder() {
        ExeFolder empty;
        QDir(empty.picFolder()).removeRecursively();
        ErrorCapture errors;
        Window w(empty);
        TForm1& f = *w.form1;
        f.RichEdit1->setPlainText(QStringLiteral("x"));
        ClickRow(f, Row::Gamma);
        QCOMPARE(errors.texts, QStringList{CannotOpen(empty.picturePath(Index(Row::Gamma)), "No such file or directory")});
        QCOMPARE(errors.captions, QStringList{pelmora::app::ApplicationTitle()});
        QVERIFY(errors.texts.first().contains(QStringLiteral("//pic/gamma.jpg")));
        // Steps 1 to 9 took effect.
        QVERIFY(f.Button1->isEnabled());
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("afa"));
        QCOMPARE(f.LabeledEdit6->EditLabel->text(), QStringLiteral("beta"));
        QVERIFY(f.LabeledEdit5->isEnabled() && f.LabeledEdit6->isEnabled());
        QVERIFY(f.Image2->picture().isNull());
    }

    // A damaged picture: the error, the row's settings in force, and Image2
    // still showing the picture of the row selected before.
    void damagedPicture_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");  // %1: the picture's path
        QTest::newRow("zero length") << "empty" << JpegError(JERR_INPUT_EMPTY);
        QTest::newRow("not a JPEG") << "text" << JpegError(JERR_NO_SOI);
        QTest::newRow("truncated") << "truncated" << JpegError(JWRN_JPEG_EOF);
        QTest::newRow("header only") << "header" << JpegError(JWRN_JPEG_EOF);
        QTest::newRow("60000 x 60000") << "huge" << JpegError(JERR_IMAGE_TOO_BIG);
        QTest::newRow("directory") << "directory" << CannotOpen("%1", "Is a directory");
        QTest::newRow("FIFO") << "fifo" << CannotOpen("%1", "No such device or address");
        QTest::newRow("no read permission") << "unreadable" << CannotOpen("%1", "Permission denied");
    }
    void damagedPicture() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        ExeFolder damaged;
        const QString path = damaged.picturePath(Index(Row::Gamma));
        const QString file = damaged.picFolder() + QStringLiteral("/gamma.jpg");
        QFile::remove(file);
        const QByteArray noise = MakeNoiseJpeg(64, 64);
        if (kind == QLatin1String("empty")) QVERIFY(WriteFile(file, {}));
        if (kind == QLatin1String("text")) QVERIFY(WriteFile(file, "Not a picture at all"));
        if (kind == QLatin1String("truncated")) QVERIFY(WriteFile(file, noise.left(noise.size() / 2)));
        if (kind == QLatin1String("header")) QVERIFY(WriteFile(file, noise.left(300)));
        if (kind == QLatin1String("huge")) QVERIFY(WriteFile(file, WithClaimedSize(noise, 60000, 60000)));
        if (kind == QLatin1String("directory")) QVERIFY(QDir().mkdir(file));
        if (kind == QLatin1String("fifo")) QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0644), 0);
        if (kind == QLatin1String("unreadable")) {
            if (::geteuid() == 0) QSKIP("permission bits do not stop root");
            QVERIFY(WriteFile(file, noise));
            QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        }
        ErrorCapture errors;
        Window w(damaged);
        TForm1& f = *w.form1;
        ClickRow(f, Row::GaussNormal);
        QCOMPARE(f.Image2->size(), PictureSize(Index(Row::GaussNormal)));
        const QImage before = f.Image2->picture();
        ClickRow(f, Row::Gamma);
        QCOMPARE(errors.texts, QStringList{message.contains(QLatin1String("%1")) ? message.arg(path) : message});
        QCOMPARE(f.ListBox1->ItemIndex(), 11);
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("afa"));
        QVERIFY(f.Button1->isEnabled());
        QCOMPARE(f.Image2->picture(), before);
        QCOMPARE(f.Image2->size(), PictureSize(Index(Row::GaussNormal)));
    }

    // The picture for the screen: the double-size file where the device pixel
    // ratio is above 1, at the same size on the screen; the picture of the
    // window's size (and its errors) otherwise.
    void pictureForTheScreen_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QString>("single");  // what gamma.jpg is
        QTest::addColumn<QString>("twice");   // what gamma@2x.jpg is
        QTest::addColumn<QString>("shown");   // "single", "twice" or the error box's text (%1: the path)
        QTest::newRow("ratio 1") << 1.0 << "picture" << "picture" << "single";
        QTest::newRow("ratio 1.25") << 1.25 << "picture" << "picture" << "twice";
        QTest::newRow("ratio 2") << 2.0 << "picture" << "picture" << "twice";
        QTest::newRow("2x missing") << 2.0 << "picture" << "missing" << "single";
        QTest::newRow("2x damaged") << 2.0 << "picture" << "text" << "single";
        QTest::newRow("2x not twice the size") << 2.0 << "picture" << "same size" << "single";
        QTest::newRow("1x missing") << 2.0 << "missing" << "picture" << CannotOpen("%1", "No such file or directory");
        QTest::newRow("1x damaged") << 2.0 << "text" << "picture" << JpegError(JERR_NO_SOI);
    }
    void pictureForTheScreen() {
        QFETCH(double, ratio);
        QFETCH(QString, single);
        QFETCH(QString, twice);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/gamma.jpg");
        QCOMPARE(pelmora::app::DoubleSizePath(path), dir.path() + QStringLiteral("/gamma@2x.jpg"));
        const QSize size(196, 68);
        auto make = [](const QString& file, const QString& kind, QSize pixels) {
            if (kind == QLatin1String("picture")) QVERIFY(WriteFile(file, MakeJpeg(pixels.width(), pixels.height(), 0)));
            if (kind == QLatin1String("same size")) QVERIFY(WriteFile(file, MakeJpeg(196, 68, 0)));
            if (kind == QLatin1String("text")) QVERIFY(WriteFile(file, "Not a picture at all"));
        };
        make(path, single, size);
        make(pelmora::app::DoubleSizePath(path), twice, size * 2);
        QImage picture;
        QString error;
        try {
            picture = pelmora::app::LoadFormulaPicture(path, ratio);
        } catch (const pelmora::Error& e) {
            error = QString::fromStdString(e.message()) + QLatin1Char('.');
        }
        if (shown != QLatin1String("single") && shown != QLatin1String("twice")) {
            QCOMPARE(error, shown.arg(path));
            return;
        }
        QCOMPARE(error, QString());
        const bool sharp = shown == QLatin1String("twice");
        QCOMPARE(picture.size(), sharp ? size * 2 : size);
        QCOMPARE(picture.devicePixelRatio(), sharp ? 2.0 : 1.0);
        QCOMPARE(picture.deviceIndependentSize(), QSizeF(size));
    }

    // The window on a screen of device pixel ratio 2 (ctest runs this one
    // with QT_SCALE_FACTOR=2): Image2 keeps the picture's size in the window
    // and holds the double-size picture's pixels.
    void denseScreenShowsTheSharpPicture() {
        ExeFolder dense;
        QVERIFY(WriteFile(pelmora::app::DoubleSizePath(dense.picturePath(11)),
                          MakeJpeg(2 * PictureSize(11).width(), 2 * PictureSize(11).height(), 0)));
        ErrorCapture errors;
        Window w(dense);
        TForm1& f = *w.form1;
        if (f.Image2->devicePixelRatioF() <= 1) QSKIP("needs a device pixel ratio above 1 (QT_SCALE_FACTOR=2)");
        ClickRow(f, 11);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(f.Image2->size(), PictureSize(11));
        QCOMPARE(f.Image2->picture().size(), PictureSize(11) * 2);
        ClickRow(f, 12);  // no double-size picture: the picture itself
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(f.Image2->size(), PictureSize(12));
        QCOMPARE(f.Image2->picture().size(), PictureSize(12));
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
