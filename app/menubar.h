#pragma once
// The tool bar that shows the main menu, and the accelerator letters of the
// menus. The window has no menu bar of its own: this tool bar takes its place
// and answers the keyboard as one does (Alt+letter, F10 or a lone Alt, the
// arrows, Escape).

#include <QMenu>
#include <QStringList>
#include <QToolButton>
#include <QWidget>
#include <vector>

namespace pelmora::app {

// Marks in each caption, with "&", the first letter or digit that no earlier
// caption of the list has taken (compared without regard to case), as the
// platform's automatic accelerators do; a caption without a free one gets
// none. A "&" of the caption itself is doubled, so it still shows as one.
QStringList AcceleratedCaptions(const QStringList& captions);

// Gives the items of `menu` their automatic accelerators (separators have none).
void AssignAccelerators(QMenu* menu);

// Pops `menu` up at `global` as a context menu. Opened from the keyboard
// (the Menu key, Shift+F10), it shows its accelerator letters until it closes.
void PopUpContextMenu(QMenu* menu, const QPoint& global, bool byKeyboard);

// A flat tool bar of menu buttons. A button drops its menu down when pressed
// with the mouse, or from the keyboard with Alt and its letter. F10 or Alt
// pressed and released alone give the bar the keyboard: the first button is
// drawn hot, Left and Right move along the bar, Down, Up, Return or the
// button's letter open its menu, Escape gives the keyboard back. In an open
// menu Left and Right open the neighbouring menu and Escape closes it, leaving
// the bar with the keyboard when the menu came from the keyboard, else the
// control that has the focus. The letters are underlined while Alt is held
// and while the bar or a menu opened from the keyboard has the keyboard.
// Shift+F10 anywhere in the window opens the focused control's context menu,
// as the Menu key does.
class TMenuToolBar : public QWidget {
    Q_OBJECT
public:
    explicit TMenuToolBar(QWidget* parent);

    // Adds a button for `menu` right of the last one, captioned with the
    // menu's title and its accelerator; `name` is the button's object name.
    QToolButton* AddMenu(QMenu* menu, const QString& name);

    // The button drawn hot while the bar has the keyboard, else nullptr.
    QToolButton* HotButton() const;
    // The menu dropped down from the bar, else nullptr.
    QMenu* OpenMenu() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QToolButton* button;
        QMenu* menu;
        QChar letter;  // upper case; null when the caption has none
    };

    bool KeyEvent(QObject* watched, QKeyEvent* key);
    bool MouseEvent(QObject* watched, QMouseEvent* mouse);
    bool WindowKey(QKeyEvent* key);
    bool MenuKey(QKeyEvent* key);
    bool MenuMousePress(QMouseEvent* mouse);
    void MenuMouseMove(QMouseEvent* mouse);
    void AltReleased();
    void OpenContextMenu();

    void Open(int index, bool byKeyboard);
    void MenuHidden(int index);
    void SetHot(int index);
    void UpdateCues();
    int IndexOf(const QObject* object) const;
    bool IsMenu(const QObject* object) const;
    int IndexOfLetter(const QString& text) const;
    int IndexAt(const QPoint& global) const;
    bool InWindow(const QObject* object) const;

    std::vector<Entry> entries_;
    int hot_ = -1;                // the hot button while the bar has the keyboard
    int open_ = -1;               // the button whose menu is dropped down
    bool openByKeyboard_ = false;
    bool escapeToBar_ = false;    // the open menu closes by Escape: the bar keeps the keyboard
    bool altDown_ = false;
    bool altAlone_ = false;       // Alt went down and nothing else happened since
};

}  // namespace pelmora::app
