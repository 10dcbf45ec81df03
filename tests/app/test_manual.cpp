// The manual window: its texts, look, fixed size and modality; and the
// background gradient it shares with the main window.

#include <QKeyEvent>
#include <QTest>

#include "app/gradient.h"
#include "app/look.h"
#include "support.h"

using namespace testing_app;

class TestManual : public QObject {
    Q_OBJECT
    ExeFolder folder;

private Q_SLOTS:
    void texts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("text");
        const QColor maroon(0x80, 0, 0), green(0, 0x80, 0);
        QTest::newRow("1") << "StaticText1" << QRect(48, 32, 184, 20) << maroon << "There are only 3 steps to do:";
        QTest::newRow("2") << "StaticText2" << QRect(88, 72, 48, 20) << maroon << "Step 1:";
        QTest::newRow("3") << "StaticText3" << QRect(112, 112, 322, 20) << green
                           << "Select(Click) one of the distributions in the left list;";
        QTest::newRow("4") << "StaticText4" << QRect(88, 144, 48, 20) << maroon << "Step 2:";
        QTest::newRow("5") << "StaticText5" << QRect(112, 176, 266, 20) << green
                           << "Input the parameters in the setting panel;";
        QTest::newRow("6") << "StaticText6" << QRect(88, 208, 48, 20) << maroon << "Step 3:";
        QTest::newRow("7") << "StaticText7" << QRect(112, 240, 311, 20) << green
                           << "Click the 'Genetate' button to generate numbers.";
    }
    void texts() {
        QFETCH(QString, name);
        QFETCH(QRect, bounds);
        QFETCH(QColor, colour);
        QFETCH(QString, text);
        TForm2 form;
        auto* label = form.findChild<QLabel*>(name);
        QVERIFY(label != nullptr);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->geometry(), bounds);
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), colour);
        QCOMPARE(label->font().pixelSize(), 13);
        QVERIFY(QFontInfo(label->font()).bold());
        QVERIFY(label->fontMetrics().horizontalAdvance(text) <= bounds.width() + 4);  // it fits
    }

    void window() {
        TForm2 form;
        QCOMPARE(form.objectName(), QStringLiteral("Form2"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Manual"));
        QCOMPARE(form.size(), QSize(513, 332));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.pos(), QPoint(440, 207));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form.Image1->geometry(), QRect(0, 0, 513, 332));
        QCOMPARE(form.Image1->picture(), pelmora::app::GradientBitmap());
        QCOMPARE(form.windowIcon().pixmap(32).toImage(), pelmora::app::ProgramIcon().pixmap(32).toImage());
        QVERIFY(form.findChildren<QAbstractButton*>().isEmpty());
        form.resize(600, 400);
        QCOMPARE(form.size(), QSize(513, 332));
        int width = 1, height = 1;
        bool resize = true;
        form.FormCanResize(&form, width, height, resize);
        QVERIFY(!resize);
    }

    // Shown modally over the main window; the same window, at the same
    // place, every time. (Shown without exec, so the test keeps control.)
    void modalAndTheSameEachTime() {
        Window w(folder);
        TForm2* shown = nullptr;
        w.form1->ShowModal = [&](QDialog* dialog) {
            shown = static_cast<TForm2*>(dialog);
            dialog->show();
        };
        for (int time = 0; time < 2; ++time) {
            w.form1->Manual1Click(w.form1->Manual1);
            QCOMPARE(shown, w.form2.get());
            QVERIFY(shown->isVisible());
            QCOMPARE(shown->windowModality(), Qt::ApplicationModal);
            QCOMPARE(QApplication::activeModalWidget(), shown);
            QCOMPARE(shown->pos(), QPoint(440, 207));
            QCOMPARE(shown->StaticText7->text(), QStringLiteral("Click the 'Genetate' button to generate numbers."));
            // Escape does not close it; its title bar does.
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(shown, &escape);
            QVERIFY(shown->isVisible());
            shown->close();
            QVERIFY(!shown->isVisible());
            QVERIFY(w.form1->isVisible());
        }
    }

    void gradient_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QColor>("colour");
        const std::pair<int, unsigned> stops[] = {{0, 0x62BAE6},   {128, 0x6EC3F2}, {256, 0x8BD0F9},
                                                  {384, 0xA4DBFD}, {512, 0xB3E2FF}, {640, 0xB2E1FD},
                                                  {768, 0xA4D9F8}, {896, 0x8FCDF0}, {1023, 0x77C1E9}};
        for (auto [column, rgb] : stops) QTest::newRow(qPrintable(QString::number(column))) << column << QColor(QRgb(rgb));
    }
    void gradient() {
        QFETCH(int, column);
        QFETCH(QColor, colour);
        const QImage& image = pelmora::app::GradientBitmap();
        QCOMPARE(image.size(), QSize(1024, 10));
        QCOMPARE(image.depth(), 24);
        for (int y = 0; y < 10; ++y) QCOMPARE(image.pixelColor(column, y), colour);
    }

};

QTEST_MAIN(TestManual)
#include "test_manual.moc"
