// The main window as it starts: its controls, menus, tool bars, fixed size,
// tab order, and the error box with the application title.

#include <QMenu>
#include <QTimer>
#include <QTest>
#include <QToolButton>

#include "app/errorbox.h"
#include "support.h"

using namespace testing_app;

namespace {

QStringList ActionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char('=') + a->objectName();
    return texts;
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT
    ExeFolder folder;

private Q_SLOTS:
    void startState() {
        Window w(folder);
        TForm1& f = *w.form1;
        QCOMPARE(Form1, &f);
        QCOMPARE(Form2, w.form2.get());
        QCOMPARE(f.objectName(), QStringLiteral("Form1"));
        QCOMPARE(f.windowTitle(), QStringLiteral("Pelmora 8.5"));
        QVERIFY(!f.Button1->isEnabled());
        QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("10"));
        QCOMPARE(f.LabeledEdit5->text(), QStringLiteral("1"));
        QCOMPARE(f.LabeledEdit6->text(), QStringLiteral("1"));
        QCOMPARE(f.LabeledEdit7->text(), QStringLiteral("3"));
        QVERIFY(f.LabeledEdit2->isEnabled() && f.LabeledEdit2->isVisible());
        QVERIFY(!f.LabeledEdit5->isEnabled() && f.LabeledEdit5->isVisible());
        QVERIFY(!f.LabeledEdit6->isEnabled() && f.LabeledEdit6->isVisible());
        QVERIFY(!f.LabeledEdit5->EditLabel->isEnabled() && f.LabeledEdit5->EditLabel->isVisible());
        QVERIFY(f.LabeledEdit7->isHidden() && f.LabeledEdit7->EditLabel->isHidden());
        QCOMPARE(f.LabeledEdit2->EditLabel->text(), QStringLiteral("Quantity"));
        QCOMPARE(f.LabeledEdit5->EditLabel->text(), QStringLiteral("min"));
        QCOMPARE(f.LabeledEdit6->EditLabel->text(), QStringLiteral("max"));
        QCOMPARE(f.LabeledEdit7->EditLabel->text(), QStringLiteral("m (min<m<max)"));
        QCOMPARE(f.ListBox1->ItemIndex(), -1);
        QVERIFY(f.ListBox1->isEnabled());
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        QVERIFY(f.RichEdit1->isReadOnly());
        QVERIFY(f.Image2->picture().isNull());
        QVERIFY(w.form2->isHidden());
        QCOMPARE(f.focusWidget(), f.RichEdit1);  // the first in the tab order
    }

    void menus() {
        Window w(folder);
        TForm1& f = *w.form1;
        QCOMPARE(ActionTexts(f.File1),
                 QStringList({"Save=Save1", "Copy=Clear1", "-=N1", "Clear=Clear2", "Exit=Exit1"}));
        QCOMPARE(ActionTexts(f.Help1), QStringList({"Manual=Manual1", "-=N2", "Homepage=Register1"}));
        QCOMPARE(ActionTexts(f.PopupMenu1), QStringList({"Save=Save2", "Copy=Copy1", "-=N3", "Clear=Clear3"}));
        for (QMenu* menu : {f.File1, f.Help1, f.PopupMenu1})
            for (const QAction* a : menu->actions()) QVERIFY(a->shortcut().isEmpty());
        // ToolBar1 shows the main menu as two flat buttons that drop it down.
        QCOMPARE(f.File1Button->text(), QStringLiteral("File"));
        QCOMPARE(f.File1Button->menu(), f.File1);
        QCOMPARE(f.Help1Button->text(), QStringLiteral("Help"));
        QCOMPARE(f.Help1Button->menu(), f.Help1);
        for (QToolButton* b : {f.File1Button, f.Help1Button}) {
            QVERIFY(b->autoRaise());
            QCOMPARE(b->popupMode(), QToolButton::InstantPopup);
            QCOMPARE(b->height(), 21);
        }
        QVERIFY(f.File1Button->geometry().right() < f.Help1Button->x());
        QCOMPARE(f.RichEdit1->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void contextMenuOfThePane() {
        Window w(folder);
        Q_EMIT w.form1->RichEdit1->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(w.form1->PopupMenu1->isVisible());
        w.form1->PopupMenu1->hide();
    }

    void paneHidesItsSelectionWithoutFocus() {
        Window w(folder);
        TForm1& f = *w.form1;
        QApplication::setActiveWindow(&f);
        f.RichEdit1->setPlainText(QStringLiteral("123456789\n987654321\n"));
        f.RichEdit1->selectAll();
        auto highlighted = [&] {
            QCoreApplication::processEvents();
            const QImage image = f.RichEdit1->viewport()->grab().toImage();
            const QColor colour = f.RichEdit1->palette().color(QPalette::Active, QPalette::Highlight);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == colour) return true;
            return false;
        };
        f.LabeledEdit2->setFocus();
        QVERIFY(!highlighted());
        f.RichEdit1->setFocus();
        QVERIFY(highlighted());
    }

    void fixedSize() {
        Window w(folder);
        TForm1& f = *w.form1;
        QCOMPARE(f.size(), QSize(599, 469));
        QCOMPARE(f.minimumSize(), QSize(599, 469));
        QCOMPARE(f.maximumSize(), QSize(599, 469));
        QCOMPARE(f.pos(), QPoint(359, 164));
        f.resize(800, 600);
        QCoreApplication::processEvents();
        QCOMPARE(f.size(), QSize(599, 469));
        const Qt::WindowFlags flags = f.windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        int width = 1000, height = 1000;
        bool resize = true;
        f.FormCanResize(&f, width, height, resize);
        QVERIFY(!resize);
    }

    // Tab goes RichEdit1, the shown and enabled fields, Button1, ListBox1.
    void tabOrder() {
        Window w(folder);
        TForm1& f = *w.form1;
        QApplication::setActiveWindow(&f);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        auto walk = [&] {
            f.RichEdit1->setFocus();
            QStringList names{QApplication::focusWidget()->objectName()};
            for (int i = 0; i < 7; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                names << QApplication::focusWidget()->objectName();
            }
            return names;
        };
        QCOMPARE(walk(), QStringList({"RichEdit1", "LabeledEdit2", "ListBox1", "RichEdit1", "LabeledEdit2",
                                      "ListBox1", "RichEdit1", "LabeledEdit2"}));
        ClickRow(f, Row::BernoulliGauss);  // Bernoulli-Gauss shows all three parameter fields
        QCOMPARE(walk(), QStringList({"RichEdit1", "LabeledEdit2", "LabeledEdit5", "LabeledEdit6", "LabeledEdit7",
                                      "Button1", "ListBox1", "RichEdit1"}));
        for (QWidget* bar : {f.ToolBar1, f.ToolBar2})
            for (auto* b : bar->findChildren<QToolButton*>()) QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    }

    // "Exit" closes the main window, and that ends the event loop, the
    // hidden manual window notwithstanding.
    void exitEndsTheProgram() {
        Window w(folder);
        QVERIFY(!w.form2->testAttribute(Qt::WA_QuitOnClose));
        QTimer::singleShot(0, w.form1->Exit1, &QAction::trigger);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!w.form1->isVisible());
    }

    void title_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("windows name") << "C:/Programs/PELMORA.EXE" << "Pelmora";
        QTest::newRow("mixed case") << "/opt/Pelmora.exe" << "Pelmora";
        QTest::newRow("first char kept") << "/usr/bin/pelmora" << "pelmora";
        QTest::newRow("cut at first dot") << "/x/PEL.MORA.exe" << "Pel";
        QTest::newRow("no folder") << "RandGen" << "Randgen";
        QTest::newRow("beyond ASCII") << "/x/ÄBÇ.exe" << "Äbç";
        QTest::newRow("dot first") << "/x/.Hidden" << "";
    }
    void title() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(pelmora::app::TitleFromExecutable(path), title);
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("period added") << "Floating point overflow" << "Floating point overflow.";
        QTest::newRow("quote sorts before") << "'abc' is not a valid floating point value"
                                            << "'abc' is not a valid floating point value.";
        QTest::newRow("ends with a period") << "Done." << "Done.";
        QTest::newRow("bang sorts before") << "Stop!" << "Stop!";
        QTest::newRow("slash sorts after") << "a/" << "a/.";
        QTest::newRow("hyphen sorts before") << "a-" << "a-";
        QTest::newRow("empty") << "" << "";
    }
    void errorBoxText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        ErrorCapture errors;
        pelmora::app::SetApplicationTitle(QStringLiteral("Pelmora"));
        pelmora::app::ShowErrorBox(message.toStdString());
        QCOMPARE(errors.texts, QStringList{shown});
        QCOMPARE(errors.captions, QStringList{QStringLiteral("Pelmora")});
    }

    void errorBoxLook() {
        auto box = pelmora::app::MakeErrorBox(QStringLiteral("Pelmora"), QStringLiteral("Oops."), nullptr);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->windowTitle(), QStringLiteral("Pelmora"));
        QCOMPARE(box->text(), QStringLiteral("Oops."));
        QCOMPARE(box->textFormat(), Qt::PlainText);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
