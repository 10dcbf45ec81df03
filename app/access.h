#pragma once
// What the windows show to assistive technology (a screen reader, through
// AT-SPI): the roles that Qt cannot tell from a widget's class, and the
// distribution list with its rows.

#include <QAccessible>
#include <QWidget>

namespace pelmora::app {

// Installs the program's accessible interfaces for the whole application,
// once (the windows' constructors call it).
void UseAccessibility();

// Gives `widget` the accessible role `role` in place of its class's (a plain
// QWidget would be a "filler", a line drawn by a QFrame a "frame"). Call it
// right after creating the widget, before anything asks for its interface.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

}  // namespace pelmora::app
