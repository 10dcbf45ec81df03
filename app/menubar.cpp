#include "app/menubar.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSet>
#include <QWindow>

#include "app/look.h"

namespace pelmora::app {

namespace {

bool MayBeAccelerator(QChar c) {
    return c.unicode() < 128 && c.isLetterOrNumber();
}

// The letter a caption marks with "&", upper case; null when none.
QChar AcceleratorOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) continue;
        if (caption[i + 1] != QLatin1Char('&')) return caption[i + 1].toUpper();
        ++i;
    }
    return {};
}

QString Caption(const QString& shown, qsizetype accelerator) {
    QString caption;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (i == accelerator || shown[i] == QLatin1Char('&')) caption += QLatin1Char('&');
        caption += shown[i];
    }
    return caption;
}

bool CursorOver(const QWidget* widget) {
    return widget->isVisible() && widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

QAction* FirstItem(const QMenu* menu) {
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && action->isVisible() && action->isEnabled()) return action;
    return nullptr;
}

}  // namespace

QStringList AcceleratedCaptions(const QStringList& captions) {
    QSet<QChar> taken;
    QStringList result;
    for (const QString& shown : captions) {
        qsizetype chosen = -1;
        for (qsizetype i = 0; i < shown.size() && chosen < 0; ++i)
            if (MayBeAccelerator(shown[i]) && !taken.contains(shown[i].toUpper())) chosen = i;
        if (chosen >= 0) taken.insert(shown[chosen].toUpper());
        result << Caption(shown, chosen);
    }
    return result;
}

void AssignAccelerators(QMenu* menu) {
    QList<QAction*> items;
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        items << action;
        captions << action->text();
    }
    captions = AcceleratedCaptions(captions);
    for (qsizetype i = 0; i < items.size(); ++i) items[i]->setText(captions[i]);
}

// The letters show in the whole window while the menu is open, the menu
// buttons of the tool bar included, as the platform's keyboard cues do.
void PopUpContextMenu(QMenu* menu, const QPoint& global, bool byKeyboard) {
    QWidget* owner = menu->parentWidget() ? menu->parentWidget()->window() : nullptr;
    auto cues = [owner](bool shown) {
        SetKeyboardCues(shown);
        if (owner) owner->update();
    };
    if (byKeyboard) {
        cues(true);
        QObject::connect(menu, &QMenu::aboutToHide, menu, [cues] { cues(false); }, Qt::SingleShotConnection);
    }
    menu->popup(global);
}

// ---- TMenuToolBar

TMenuToolBar::TMenuToolBar(QWidget* parent) : QWidget(parent) { qApp->installEventFilter(this); }

QToolButton* TMenuToolBar::AddMenu(QMenu* menu, const QString& name) {
    const int left = entries_.empty() ? 0 : entries_.back().button->geometry().right() + 1;
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    button->setGeometry(left, 2, button->fontMetrics().horizontalAdvance(menu->title()) + 14, 21);
    const int index = int(entries_.size());
    connect(menu, &QMenu::aboutToHide, this, [this, index] { MenuHidden(index); });
    entries_.push_back({button, menu, {}});

    QStringList titles;
    for (const Entry& entry : entries_) titles << entry.menu->title();
    titles = AcceleratedCaptions(titles);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].button->setText(titles[qsizetype(i)]);
        entries_[i].letter = AcceleratorOf(titles[qsizetype(i)]);
    }
    return button;
}

QToolButton* TMenuToolBar::HotButton() const { return hot_ >= 0 ? entries_[std::size_t(hot_)].button : nullptr; }

QMenu* TMenuToolBar::OpenMenu() const { return open_ >= 0 ? entries_[std::size_t(open_)].menu : nullptr; }

// Every event of the application passes here: the bar answers keys typed in
// its window and in its open menu, the mouse on its buttons and its menu.
bool TMenuToolBar::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Shortcut:  // Alt and a button's letter
        if (const int index = IndexOf(watched); index >= 0) {
            altAlone_ = false;
            Open(index, true);
            return true;
        }
        return false;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return KeyEvent(watched, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return MouseEvent(watched, static_cast<QMouseEvent*>(event));
    case QEvent::WindowDeactivate:
        if (watched == window()) {
            altDown_ = altAlone_ = false;
            SetHot(-1);
        }
        return false;
    default:
        return false;
    }
}

bool TMenuToolBar::KeyEvent(QObject* watched, QKeyEvent* key) {
    const bool inMenu = watched == OpenMenu();
    if (key->type() == QEvent::ShortcutOverride) {
        if (key->key() != Qt::Key_Alt) altAlone_ = false;
    } else if (key->type() == QEvent::KeyPress) {
        if (inMenu) return MenuKey(key);
        if (QApplication::activePopupWidget() == nullptr && InWindow(watched)) return WindowKey(key);
    } else if (key->key() == Qt::Key_Alt && (IsMenu(watched) || InWindow(watched))) {
        altDown_ = false;
        if (altAlone_) AltReleased();
        altAlone_ = false;
        UpdateCues();
    }
    return false;
}

bool TMenuToolBar::MouseEvent(QObject* watched, QMouseEvent* mouse) {
    const bool inMenu = watched == OpenMenu();
    const bool onButton = IndexOf(watched) >= 0;
    switch (mouse->type()) {
    case QEvent::MouseButtonPress:
        altAlone_ = false;
        if (inMenu) return MenuMousePress(mouse);
        if (onButton) {
            if (mouse->button() == Qt::LeftButton) Open(IndexOf(watched), false);
            return true;
        }
        if (hot_ >= 0 && InWindow(watched)) SetHot(-1);
        return false;
    case QEvent::MouseMove:
        if (inMenu) MenuMouseMove(mouse);
        return false;
    default:
        return onButton;  // the press did all there is to do
    }
}

bool TMenuToolBar::WindowKey(QKeyEvent* key) {
    if (key->key() == Qt::Key_Alt) {
        altDown_ = true;
        if (!key->isAutoRepeat()) altAlone_ = true;
        UpdateCues();
        return false;
    }
    altAlone_ = false;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_F10 && modifiers == Qt::NoModifier) {
        SetHot(hot_ >= 0 ? -1 : 0);
        return true;
    }
    if (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        SetHot(-1);
        OpenContextMenu();
        return true;
    }
    if (hot_ < 0) return false;
    const int count = int(entries_.size());
    switch (key->key()) {
    case Qt::Key_Left:
        SetHot((hot_ + count - 1) % count);
        break;
    case Qt::Key_Right:
        SetHot((hot_ + 1) % count);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Open(hot_, true);
        break;
    case Qt::Key_Escape:
        SetHot(-1);
        break;
    default:
        if (const int index = IndexOfLetter(key->text()); index >= 0) Open(index, true);
        break;  // any other key is swallowed while the bar has the keyboard
    }
    return true;
}

bool TMenuToolBar::MenuKey(QKeyEvent* key) {
    QMenu* menu = entries_[std::size_t(open_)].menu;
    if (key->key() == Qt::Key_Alt) {  // handled on release; the menu would close at once
        altDown_ = true;
        if (!key->isAutoRepeat()) altAlone_ = true;
        UpdateCues();
        return true;
    }
    altAlone_ = false;
    const int count = int(entries_.size());
    switch (key->key()) {
    case Qt::Key_Left:
        Open((open_ + count - 1) % count, true);
        return true;
    case Qt::Key_Right:
        Open((open_ + 1) % count, true);
        return true;
    case Qt::Key_Escape:  // a menu dropped down by the mouse gives the keyboard back to the focus
        escapeToBar_ = openByKeyboard_;
        menu->hide();
        return true;
    case Qt::Key_F10:
        menu->hide();
        return true;
    default:  // Alt and another button's letter; the menu answers letters alone
        if (const int index = IndexOfLetter(key->text()); index >= 0 && key->modifiers() & Qt::AltModifier) {
            Open(index, true);
            return true;
        }
        return false;
    }
}

// A press on the open menu's own button closes the menu and goes no further
// (it would open the menu again); a press elsewhere outside the menu closes
// it and reaches what lies under the mouse, another menu button included.
bool TMenuToolBar::MenuMousePress(QMouseEvent* mouse) {
    QMenu* menu = entries_[std::size_t(open_)].menu;
    menu->setAttribute(Qt::WA_NoMouseReplay, IndexAt(mouse->globalPosition().toPoint()) == open_);
    return false;
}

// With a menu down, pointing at another button of the bar opens its menu.
void TMenuToolBar::MenuMouseMove(QMouseEvent* mouse) {
    const int index = IndexAt(mouse->globalPosition().toPoint());
    if (index >= 0 && index != open_) Open(index, false);
}

// Shift+F10 is the Menu key: the window hands a context menu request from the
// keyboard to its focused control, which places the menu at its cursor.
void TMenuToolBar::OpenContextMenu() {
    QWindow* handle = window()->windowHandle();
    if (handle == nullptr) return;
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
    QCoreApplication::sendEvent(handle, &request);
}

void TMenuToolBar::AltReleased() {
    if (open_ >= 0)
        entries_[std::size_t(open_)].menu->hide();
    else
        SetHot(hot_ >= 0 ? -1 : 0);
}

void TMenuToolBar::Open(int index, bool byKeyboard) {
    if (open_ >= 0) entries_[std::size_t(open_)].menu->hide();
    SetHot(-1);
    const Entry& entry = entries_[std::size_t(index)];
    open_ = index;
    openByKeyboard_ = byKeyboard;
    escapeToBar_ = false;
    entry.button->setDown(true);
    UpdateCues();
    entry.menu->popup(entry.button->mapToGlobal(QPoint(0, entry.button->height())));
    if (byKeyboard) entry.menu->setActiveAction(FirstItem(entry.menu));
}

// The menu has closed (a command chosen, Escape, a click elsewhere): its
// button is drawn flat again at once, or hot when Escape left the keyboard
// with the bar.
void TMenuToolBar::MenuHidden(int index) {
    if (index != open_) return;
    open_ = -1;
    entries_[std::size_t(index)].button->setDown(false);
    const bool toBar = escapeToBar_;
    escapeToBar_ = false;
    SetHot(toBar ? index : -1);
}

// The hot button is drawn as if the mouse were over it; the others as the
// mouse really is, which also clears the raised look that a button keeps
// when its menu took the mouse away.
void TMenuToolBar::SetHot(int index) {
    hot_ = index;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        QToolButton* button = entries_[i].button;
        button->setAttribute(Qt::WA_UnderMouse, hot_ >= 0 ? int(i) == hot_ : CursorOver(button));
        button->update();
    }
    UpdateCues();
}

void TMenuToolBar::UpdateCues() {
    const bool shown = altDown_ || hot_ >= 0 || (open_ >= 0 && openByKeyboard_);
    if (shown == KeyboardCues()) return;
    SetKeyboardCues(shown);
    for (const Entry& entry : entries_) {
        entry.button->update();
        entry.menu->update();
    }
}

int TMenuToolBar::IndexOf(const QObject* object) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].button == object) return int(i);
    return -1;
}

bool TMenuToolBar::IsMenu(const QObject* object) const {
    for (const Entry& entry : entries_)
        if (entry.menu == object) return true;
    return false;
}

int TMenuToolBar::IndexOfLetter(const QString& text) const {
    if (text.size() != 1) return -1;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (!entries_[i].letter.isNull() && entries_[i].letter == text[0].toUpper()) return int(i);
    return -1;
}

int TMenuToolBar::IndexAt(const QPoint& global) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const QToolButton* button = entries_[i].button;
        if (button->isVisible() && button->rect().contains(button->mapFromGlobal(global))) return int(i);
    }
    return -1;
}

bool TMenuToolBar::InWindow(const QObject* object) const {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && widget->window() == window() && isVisible();
}

}  // namespace pelmora::app
