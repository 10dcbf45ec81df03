// Pelmora: random numbers from 27 distributions, in a window.

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/errorbox.h"
#include "app/form1.h"
#include "app/form2.h"

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
// being constructed, messages are held back: a fatal one becomes the one
// line above and status 1, the others are passed on once the platform works.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;
QtMessageHandler passOn = nullptr;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
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

}  // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pelmora %s\n", PELMORA_VERSION);
            return 0;
        }
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
