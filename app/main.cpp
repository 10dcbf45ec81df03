// Pelmora: random numbers from 27 distributions, in a window.

#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/errorbox.h"
#include "app/form1.h"
#include "app/form2.h"
#include "core/posix.h"

namespace {

constexpr const char* kHelp =
    "Usage: pelmora [--help | --version]\n"
    "\n"
    "Opens Pelmora's window: pick one of 27 distributions, type its parameters\n"
    "and a quantity, and press Generate; the values can be saved, copied or\n"
    "cleared. The formula pictures come from pic/ beside the program or, where\n"
    "that folder does not exist, from the installed share/pelmora/pic.\n"
    "\n"
    "The window needs a display (X11 or Wayland). pelmora-gen draws the same\n"
    "values on the command line; see pelmora-gen --help.\n";

constexpr const char* kNoDisplay =
    "pelmora: no usable display (X11 or Wayland) to open the window on; pelmora-gen draws the same values "
    "on the command line\n";

// Qt ends the process with abort() when no window-system platform can be
// opened, after a few lines of its own. While the application object is
// being constructed, messages are held back: a fatal one becomes one line
// and status 1 -- the one above, or, where the platform named by
// QT_QPA_PLATFORM or -platform has no plugin at all, a line that says so --
// and the others are passed on once the platform works.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;
QtMessageHandler passOn = nullptr;

// The platform whose plugin Qt did not find, from its own words; empty
// when it found them all (a plugin that is there but finds no display).
QString MissingPlatform() {
    const QString notFound = QStringLiteral("Could not find the Qt platform plugin \"");
    for (const HeldMessage& m : heldMessages) {
        if (m.category != "qt.qpa.plugin" || !m.text.startsWith(notFound)) continue;
        const qsizetype end = m.text.indexOf(QLatin1Char('"'), notFound.size());
        if (end > notFound.size()) return m.text.mid(notFound.size(), end - notFound.size());
    }
    return {};
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const QString missing = MissingPlatform();
        if (missing.isEmpty()) {
            std::fputs(kNoDisplay, stderr);
        } else {
            std::fprintf(
                stderr,
                "pelmora: the window-system platform \"%s\" cannot be loaded: this Qt has no plugin of that name\n",
                missing.toLocal8Bit().constData());
        }
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages.append({type, QByteArray(context.category ? context.category : ""), text});
}

void PassOnHeldMessages() {
    qInstallMessageHandler(passOn);
    for (const HeldMessage& m : heldMessages) {
        QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
        qt_message_output(m.type, context, m.text);
    }
    heldMessages.clear();
}

// --help and --version: a failed write (a full disk, a closed output) is
// reported and the status is 1, as with the system's own tools.
int Print(const std::string& text) {
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away: EPIPE, quietly
    int err = pelmora::WriteAll(STDOUT_FILENO, text);
    if (err == 0) return 0;
    if (err != EPIPE) {
        std::fprintf(stderr, "pelmora: Cannot write to standard output. %s.\n", pelmora::SystemErrorText(err).c_str());
    }
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Print(kHelp);
        if (std::strcmp(argv[i], "--version") == 0) return Print(std::string("pelmora ") + PELMORA_VERSION + "\n");
    }

    passOn = qInstallMessageHandler(HoldStartupMessage);
    QApplication application(argc, argv);
    PassOnHeldMessages();

    pelmora::app::SetApplicationTitle(
        pelmora::app::TitleFromExecutable(QCoreApplication::applicationFilePath()));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pelmora.Pelmora"));

    TForm1 form1;  // the main window: closing it ends the program
    TForm2 form2;  // the manual window, hidden until Help, "Manual"
    form1.show();
    return application.exec();
}
