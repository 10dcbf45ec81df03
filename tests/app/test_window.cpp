// The main window as it starts: its controls, menus, tool bars, fixed size,
// tab order, the keyboard on the menus and the buttons, what a screen reader
// is told of each control, and the error box with the application title.

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTest>
#include <QToolButton>

#include "app/errorbox.h"
#include "app/look.h"
#include "core/speech.h"
#include "support.h"

using namespace testing_app;

namespace {

QStringList ActionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->iconText()) + QLatin1Char('=') + a->objectName();
    return texts;
}

// What the keyboard is on: the open menu and its selected item ("File>Save"),
// the hot button of the tool bar ("bar:Help"), or neither ("-"); "*" when the
// accelerator letters are underlined.
QString MenuState(const TForm1& f) {
    QString state = QStringLiteral("-");
    if (QMenu* menu = f.ToolBar1->OpenMenu())
        state = menu->title() + QLatin1Char('>') + (menu->activeAction() ? menu->activeAction()->iconText() : "");
    else if (QToolButton* hot = f.ToolBar1->HotButton())
        state = QStringLiteral("bar:") + QString(hot->text()).remove(QLatin1Char('&'));
    return pelmora::app::KeyboardCues() ? state + QLatin1Char('*') : state;
}

// A key typed as a user does: to the open menu, else to the focused widget.
void Type(TForm1& f, QKeyCombination key) {
    QWidget* target = QApplication::activePopupWidget();
    if (target == nullptr) target = QApplication::focusWidget();
    if (target == nullptr) target = &f;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
}

void Activate(TForm1& f) {
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
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
        QCOMPARE(f.File1->title(), QStringLiteral("File"));
        QCOMPARE(f.File1Button->menu(), f.File1);
        QCOMPARE(f.Help1->title(), QStringLiteral("Help"));
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
        for (QWidget* bar : {static_cast<QWidget*>(f.ToolBar1), f.ToolBar2})
            for (auto* b : bar->findChildren<QToolButton*>()) QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    }


    // The letters the platform's rule picks: the first letter of the caption
    // not yet taken in the same menu.
    void acceleratorLetters_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("File") << "File1Button" << "&File";
        QTest::newRow("Help") << "Help1Button" << "&Help";
        QTest::newRow("File, Save") << "Save1" << "&Save";
        QTest::newRow("File, Copy") << "Clear1" << "&Copy";
        QTest::newRow("File, Clear") << "Clear2" << "C&lear";
        QTest::newRow("File, Exit") << "Exit1" << "&Exit";
        QTest::newRow("Help, Manual") << "Manual1" << "&Manual";
        QTest::newRow("Help, Homepage") << "Register1" << "&Homepage";
        QTest::newRow("pane, Save") << "Save2" << "&Save";
        QTest::newRow("pane, Copy") << "Copy1" << "&Copy";
        QTest::newRow("pane, Clear") << "Clear3" << "C&lear";
    }
    void acceleratorLetters() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        Window w(folder);
        if (auto* button = w.form1->findChild<QToolButton*>(name)) {
            QCOMPARE(button->text(), text);
            QVERIFY(button->toolTip().isEmpty());
        } else {
            auto* action = w.form1->findChild<QAction*>(name);
            QVERIFY(action != nullptr);
            QCOMPARE(action->text(), text);
            QCOMPARE(action->toolTip(), QString(text).remove(QLatin1Char('&')));
        }
    }

    void acceleratorRule_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("first letters") << QStringList{"Save", "Copy"} << QStringList{"&Save", "&Copy"};
        QTest::newRow("taken letter skipped") << QStringList{"Copy", "Clear", "Close"}
                                              << QStringList{"&Copy", "C&lear", "Cl&ose"};
        QTest::newRow("case does not count") << QStringList{"exit", "Edit"} << QStringList{"&exit", "E&dit"};
        QTest::newRow("blanks and signs skipped") << QStringList{"Ab", "- a+B c"} << QStringList{"&Ab", "- a+&B c"};
        QTest::newRow("none free") << QStringList{"Ab", "ba", "AB"} << QStringList{"&Ab", "&ba", "AB"};
        QTest::newRow("ampersand doubled") << QStringList{"R&D"} << QStringList{"&R&&D"};
        QTest::newRow("every rule at once") << QStringList{"a&b", "Ba", "B-A 1", "AB", "\u00dcber"}
                                            << QStringList{"&a&&b", "&Ba", "B-A &1", "AB", "\u00dcb&er"};
    }
    void acceleratorRule() {
        QFETCH(QStringList, captions);
        QFETCH(QStringList, marked);
        QCOMPARE(pelmora::app::AcceleratedCaptions(captions), marked);
    }

    // The tool bar stands in for a menu bar. One row per sequence of keys:
    // where the keyboard is after each key, and the commands they ran.
    void keyboardOnTheMenus_data() {
        using K = QKeyCombination;
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("Alt+F opens File, Alt+H Help, Escape twice leaves")
            << QList<K>{K(Qt::AltModifier, Qt::Key_F), K(Qt::AltModifier, Qt::Key_H), K(Qt::Key_Escape),
                        K(Qt::Key_Escape)}
            << QStringList{"File>Save*", "Help>Manual*", "bar:Help*", "-"} << QStringList{};
        QTest::newRow("F10, arrows, Help, Manual")
            << QList<K>{K(Qt::Key_F10), K(Qt::Key_Right), K(Qt::Key_Down), K(Qt::Key_Return)}
            << QStringList{"bar:File*", "bar:Help*", "Help>Manual*", "-"} << QStringList{"Manual"};
        QTest::newRow("a lone Alt takes and gives back the keyboard")
            << QList<K>{K(Qt::Key_Alt), K(Qt::Key_Left), K(Qt::Key_Left), K(Qt::Key_Alt), K(Qt::Key_F10),
                        K(Qt::Key_F10)}
            << QStringList{"bar:File*", "bar:Help*", "bar:File*", "-", "bar:File*", "-"} << QStringList{};
        QTest::newRow("arrows across open menus, letters")
            << QList<K>{K(Qt::AltModifier, Qt::Key_H), K(Qt::Key_Right), K(Qt::Key_Down), K(Qt::Key_Left),
                        K(Qt::Key_Escape), K(Qt::Key_F), K(Qt::Key_L), K(Qt::AltModifier, Qt::Key_H), K(Qt::Key_H)}
            << QStringList{"Help>Manual*", "File>Save*", "File>Copy*", "Help>Manual*", "bar:Help*",
                           "File>Save*", "-", "Help>Manual*", "-"}
            << QStringList{"Clear", "Homepage"};
        QTest::newRow("other keys do nothing while the bar has the keyboard")
            << QList<K>{K(Qt::Key_F10), K(Qt::Key_Q), K(Qt::Key_Tab), K(Qt::Key_Escape), K(Qt::Key_Right)}
            << QStringList{"bar:File*", "bar:File*", "bar:File*", "-", "-"} << QStringList{};
    }
    void keyboardOnTheMenus() {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(QStringList, states);
        QFETCH(QStringList, commands);
        Window w(folder);
        TForm1& f = *w.form1;
        f.ShowModal = [](QDialog*) {};
        f.OpenUrl = [](const QUrl&) {};
        QStringList ran;
        for (QMenu* menu : {f.File1, f.Help1})
            connect(menu, &QMenu::triggered, [&](QAction* action) { ran << action->iconText(); });
        Activate(f);
        QCOMPARE(MenuState(f), QStringLiteral("-"));
        QStringList seen;
        for (QKeyCombination key : keys) {
            Type(f, key);
            seen << MenuState(f);
        }
        QCOMPARE(seen, states);
        QCOMPARE(ran, commands);
        QCOMPARE(QApplication::focusWidget(), f.RichEdit1);  // the menus never took the focus
    }

    // Return and the keypad's Enter press the focused button, as Space does;
    // Return in a field presses nothing (Generate is no default button).
    void returnPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("lines");
        QTest::newRow("Return on Generate") << "Button1" << QKeyCombination(Qt::Key_Return) << 3;
        QTest::newRow("keypad Enter on Generate")
            << "Button1" << QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter) << 3;
        QTest::newRow("Space on Generate") << "Button1" << QKeyCombination(Qt::Key_Space) << 3;
        QTest::newRow("Shift+Return on Generate")
            << "Button1" << QKeyCombination(Qt::ShiftModifier, Qt::Key_Return) << 0;
        QTest::newRow("Return in the quantity field") << "LabeledEdit2" << QKeyCombination(Qt::Key_Return) << 0;
        QTest::newRow("keypad Enter in the quantity field")
            << "LabeledEdit2" << QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter) << 0;
    }
    void returnPressesTheFocusedButton() {
        QFETCH(QString, focus);
        QFETCH(QKeyCombination, key);
        QFETCH(int, lines);
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        Activate(f);
        ClickRow(f, Row::StandardNormal);
        f.LabeledEdit2->setText(QStringLiteral("3"));
        f.findChild<QWidget*>(focus)->setFocus();
        Type(f, key);
        QCOMPARE(PaneLines(f).size(), lines);
        QCOMPARE(errors.texts, QStringList());
    }

    // Escape closes a menu dropped down with the mouse and gives the keyboard
    // back to the control that had it: the next key reaches that control.
    // (From the keyboard, Escape leaves the bar with the keyboard, as
    // keyboardOnTheMenus shows.)
    void escapeFromAMenuOpenedByTheMouse() {
        Window w(folder);
        TForm1& f = *w.form1;
        Activate(f);
        f.LabeledEdit2->clear();
        f.LabeledEdit2->setFocus();
        QTest::mouseClick(f.File1Button, Qt::LeftButton);
        QCOMPARE(MenuState(f), QStringLiteral("File>"));
        Type(f, QKeyCombination(Qt::Key_Escape));
        QCOMPARE(MenuState(f), QStringLiteral("-"));
        Type(f, QKeyCombination(Qt::Key_5));
        QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("5"));
        QCOMPARE(QApplication::focusWidget(), f.LabeledEdit2);
    }

    // Shift+F10 opens the pane's context menu as the Menu key does, with its
    // letters underlined while it is open; Escape closes it and the pane
    // keeps the focus.
    void shiftF10OpensTheContextMenu() {
        Window w(folder);
        TForm1& f = *w.form1;
        Activate(f);
        f.RichEdit1->setFocus();
        Type(f, QKeyCombination(Qt::ShiftModifier, Qt::Key_F10));
        QVERIFY(f.PopupMenu1->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), f.PopupMenu1);
        QVERIFY(pelmora::app::KeyboardCues());
        Type(f, QKeyCombination(Qt::Key_Escape));
        QVERIFY(!f.PopupMenu1->isVisible());
        QVERIFY(!pelmora::app::KeyboardCues());
        QCOMPARE(QApplication::focusWidget(), f.RichEdit1);
        // From the mouse, no letters.
        Q_EMIT f.RichEdit1->customContextMenuRequested(QPoint(10, 10));
        QVERIFY(f.PopupMenu1->isVisible());
        QVERIFY(!pelmora::app::KeyboardCues());
        f.PopupMenu1->hide();
    }

    // What a screen reader is told of each control (after Gamma is
    // selected): its role, its name, its description and the control that
    // labels it, and that it is part of the window's tree.
    void accessibilityTree_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("labelledBy");
        const QString formula = QString::fromStdString(pelmora::SpokenPicture(pelmora::Record(Row::Gamma)));
        QTest::newRow("main window") << "Form1" << int(QAccessible::Window) << "Pelmora 8.5" << "" << "";
        QTest::newRow("list") << "ListBox1" << int(QAccessible::List) << "Distribution"
                              << "The distribution to draw from" << "GroupBox1";
        QTest::newRow("formula picture") << "Image2" << int(QAccessible::Graphic) << formula
                                         << "The formula of Gamma" << "";
        QTest::newRow("quantity") << "LabeledEdit2" << int(QAccessible::EditableText) << "Quantity"
                                  << "How many values to draw" << "LabeledEdit2Label";
        QTest::newRow("first parameter") << "LabeledEdit5" << int(QAccessible::EditableText) << "afa" << "shape"
                                         << "LabeledEdit5Label";
        QTest::newRow("Generate") << "Button1" << int(QAccessible::Button) << "Generate"
                                  << "Draws the values into the pane" << "";
        QTest::newRow("pane") << "RichEdit1" << int(QAccessible::EditableText) << "Generated values"
                              << "The values drawn, one a line" << "";
        QTest::newRow("menu tool bar") << "ToolBar1" << int(QAccessible::ToolBar) << "Menu" << "" << "";
        QTest::newRow("File") << "File1Button" << int(QAccessible::ButtonMenu) << "File" << "" << "";
        QTest::newRow("glyph tool bar") << "ToolBar2" << int(QAccessible::ToolBar) << "Tools" << "" << "";
        QTest::newRow("Save datas") << "ToolButton1" << int(QAccessible::Button) << "Save datas"
                                    << "Saves the values of the pane to a file" << "";
        QTest::newRow("Copy Datas") << "ToolButton2" << int(QAccessible::Button) << "Copy Datas"
                                    << "Copies the selected values" << "";
        QTest::newRow("separator") << "ToolButton6" << int(QAccessible::Separator) << "" << "" << "";
        QTest::newRow("Clear Datas") << "ToolButton3" << int(QAccessible::Button) << "Clear Datas"
                                     << "Empties the pane" << "";
        QTest::newRow("Help") << "ToolButton5" << int(QAccessible::Button) << "Help" << "Shows the manual" << "";
    }
    void accessibilityTree() {
        QFETCH(QString, object);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, labelledBy);
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::Gamma);
        QWidget* widget = object == QLatin1String("Form1") ? &f : f.findChild<QWidget*>(object);
        QVERIFY(widget != nullptr);
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(control != nullptr && control->isValid());
        QCOMPARE(int(control->role()), role);
        QCOMPARE(control->text(QAccessible::Name), name);
        QCOMPARE(control->text(QAccessible::Description), description);
        const auto labels = control->relations(QAccessible::Label);
        QCOMPARE(labels.isEmpty() ? QString() : labels.first().first->object()->objectName(), labelledBy);
        // Each control is a child of its parent, up to the window.
        for (QAccessibleInterface* child = control; child->object() != &f;) {
            QAccessibleInterface* parent = child->parent();
            QVERIFY(parent != nullptr);
            QVERIFY2(parent->indexOfChild(child) >= 0, qPrintable(parent->object()->objectName()));
            child = parent;
        }
    }

    // Alt+F, then Exit's letter: the main window closes and the event loop
    // ends (with 0), the hidden manual window notwithstanding.
    void exitByItsAcceleratorEndsTheProgram() {
        Window w(folder);
        TForm1& f = *w.form1;
        QVERIFY(!w.form2->testAttribute(Qt::WA_QuitOnClose));
        Activate(f);
        QTimer::singleShot(0, &f, [&] {
            Type(f, QKeyCombination(Qt::AltModifier, Qt::Key_F));
            Type(f, QKeyCombination(Qt::Key_E));
        });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!f.isVisible());
    }

    // Pointed at and clicked, the button drops its menu down (drawn pressed,
    // no letters underlined); once a command is chosen it is drawn flat
    // again at once, not raised as if the mouse were still over it.
    void menuButtonFlatAfterACommand() {
        Window w(folder);
        TForm1& f = *w.form1;
        Activate(f);
        QToolButton* button = f.File1Button;
        const QImage flat = button->grab().toImage();
        QTest::mouseMove(button);
        QTRY_VERIFY(button->underMouse());
        QVERIFY(button->grab().toImage() != flat);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(f.ToolBar1->OpenMenu(), f.File1);
        QVERIFY(button->isDown());
        QCOMPARE(MenuState(f), QStringLiteral("File>"));
        f.RichEdit1->setPlainText(QStringLiteral("1\n"));
        const QPoint clear = f.File1->actionGeometry(f.Clear2).center();
        // Under X the open menu holds the mouse: the pointer goes to the item
        // and the button hears nothing of it, so it still counts as under
        // the mouse (offscreen, the move would tell it).
        QCursor::setPos(f.File1->mapToGlobal(clear));
        button->setAttribute(Qt::WA_UnderMouse);
        QTest::mouseClick(f.File1, Qt::LeftButton, {}, clear);
        QVERIFY(!f.File1->isVisible());
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());  // "Clear" ran
        QVERIFY(!button->isDown());
        QCOMPARE(button->grab().toImage(), flat);
    }

    // The drop-down menus, the context menu and the error box write in the
    // window's default font.
    void menusAndBoxesUseTheWindowFont() {
        Window w(folder);
        TForm1& f = *w.form1;
        auto box = pelmora::app::MakeErrorBox(QStringLiteral("Pelmora"), QStringLiteral("Oops."), &f);
        box->ensurePolished();  // as showing it does
        const QFontInfo window(f.font());
        QCOMPARE(window.pixelSize(), 11);
        for (QWidget* widget : {static_cast<QWidget*>(f.File1), static_cast<QWidget*>(f.Help1),
                                static_cast<QWidget*>(f.PopupMenu1),
                                static_cast<QWidget*>(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))}) {
            QVERIFY(widget != nullptr);
            const QFontInfo font(widget->font());
            QCOMPARE(font.family(), window.family());
            QCOMPARE(font.pixelSize(), window.pixelSize());
        }
    }

    // A group box caption interrupts the frame's top line, which runs
    // through the middle of the caption.
    void groupBoxCaptionsOnTheFrame_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("Distribution") << "GroupBox1";
        QTest::newRow("Setting") << "GroupBox2";
    }
    void groupBoxCaptionsOnTheFrame() {
        QFETCH(QString, name);
        Window w(folder);
        auto* box = w.form1->findChild<QGroupBox*>(name);
        const QImage image = box->grab().toImage();
        const QRgb line = box->palette().color(QPalette::Dark).rgb();
        // The frame's top line: the first row drawn in the line's colour at the right edge's inside.
        int top = 0;
        while (top < image.height() && image.pixel(image.width() - 20, top) != line) ++top;
        const QFontMetrics metrics(box->font());
        const int captionLeft = 8, captionRight = captionLeft + metrics.horizontalAdvance(box->title());
        QVERIFY(top > 2 && top < metrics.height() - 2);
        QCOMPARE(image.pixel(2, top), line);  // left of the caption
        for (int x = captionLeft + 1; x < captionRight; ++x) QVERIFY(image.pixel(x, top) != line);
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
