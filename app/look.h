#pragma once
// Fonts, colours and window settings shared by the two windows.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QResizeEvent>
#include <QSize>
#include <QWidget>

namespace pelmora::app {

inline const QColor kMaroon{0x80, 0x00, 0x00};
inline const QColor kPurple{0x80, 0x00, 0x80};
inline const QColor kGreen{0x00, 0x80, 0x00};
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};

// Arial of 13 pixels (10 pt at 96 dpi), served by its metric twin where
// Arial itself is not installed.
QFont ArialFont(bool bold = false, bool italic = false);
// The windows' default font: MS Sans Serif of 11 pixels, or the closest sans face.
QFont DefaultFont();

// Installs the program's look for the whole application, once (the windows'
// constructors call it): the platform's style with group box captions set on
// the frame's top line and accelerator letters underlined only while
// keyboard cues are shown, and the windows' default font for menus, message
// boxes, tooltips and the save dialog.
void UseLook();

// Whether accelerator letters are underlined; the menu tool bar shows them
// while the keyboard works the menus. The caller repaints what shows letters.
void SetKeyboardCues(bool shown);
bool KeyboardCues();

// The program's icon: a histogram under a bell curve on the background gradient.
QIcon ProgramIcon();

// Sets `role` to `colour` for the enabled states only, so that a disabled
// control still greys its text.
void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

// A fixed window's answer to a resize it did not make: its FormCanResize
// handler is asked, and a refused size is put back to `size`.
template <class Form>
void AskBeforeResize(Form* form, QResizeEvent* event, QSize size) {
    if (event->size() == size) return;
    int width = event->size().width(), height = event->size().height();
    bool allowed = true;
    form->FormCanResize(form, width, height, allowed);
    if (!allowed) form->resize(size);
}

// A fixed-size top-level window with system menu, minimize and close
// buttons and no maximize button, its client area `size` at `position`.
void MakeFixedWindow(QWidget* window, QSize size, QPoint position);

}  // namespace pelmora::app
