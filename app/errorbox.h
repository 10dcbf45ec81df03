#pragma once
// The application title and the error box: the one place where every
// failure of every handler is shown.

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>

#include "engine/error.h"

namespace pelmora::app {

// The executable's file name without its folder, cut before its first ".",
// with every character after the first in lower case ("PELMORA.EXE" ->
// "Pelmora", "pelmora" -> "pelmora").
QString TitleFromExecutable(const QString& path);

// The application title, the caption of every error box: set at start-up
// from the executable's name (until then, taken from it on first use).
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The error box, built but not yet shown.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& caption, const QString& text, QWidget* owner);

// Shows the error box: a modal message box with the stop icon and one OK
// button, captioned with the application title, whose text is
// pelmora::ErrorBoxText(message), shortened in the middle when it is long
// (pelmora::ShortenedForBox).
void ShowErrorBox(std::string_view message);

// What shows the box; tests put their own here to collect the texts without
// a modal loop. An empty function puts the message box back.
using ErrorBoxFunction = std::function<void(const QString& caption, const QString& text)>;
void SetErrorBox(ErrorBoxFunction box);

// Runs a handler's body; a failure ends it and reaches the error box.
template <class Body>
void RunHandler(Body&& body) {
    try {
        body();
    } catch (const pelmora::Error& e) {
        ShowErrorBox(e.message());
    } catch (const std::bad_alloc&) {
        ShowErrorBox("Out of memory");
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}

}  // namespace pelmora::app
