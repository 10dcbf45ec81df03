// Writes pictures of the windows as a user sees them, without a desktop:
//   pelmora-screenshot <folder>
// 1-start.png (the main window at start), 2-gamma.png (after selecting
// "Gamma"), 3-generated.png (after generating values), 4-manual.png (the
// manual window), 5-file-menu.png (the File menu opened from the keyboard,
// F10 then Down, its letters underlined). Errors are written to standard
// error instead of a box.

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <cstdio>

#include "app/errorbox.h"
#include "app/form1.h"
#include "app/form2.h"
#include "core/rows.h"
#include "engine/uniform.h"

namespace {

uint64_t CountingClock(void* context) { return ++*static_cast<uint64_t*>(context); }

bool SavePicture(const QPixmap& picture, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromUtf8(name));
    if (!picture.save(path)) {
        std::fprintf(stderr, "pelmora-screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool Save(QWidget* window, const QDir& folder, const char* name) {
    QCoreApplication::processEvents();
    return SavePicture(window->grab(), folder, name);
}

void Type(QWidget* window, Qt::Key key) {
    QWidget* target = QApplication::activePopupWidget();
    if (target == nullptr) target = window->focusWidget();
    if (target == nullptr) target = window;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

// The main window with its File menu dropped down from the keyboard; the
// menu, a window of its own, is painted over the main window's picture.
bool SaveFileMenu(TForm1& form1, const QDir& folder, const char* name) {
    Type(&form1, Qt::Key_F10);
    Type(&form1, Qt::Key_Down);
    QCoreApplication::processEvents();
    QPixmap picture = form1.grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(form1.File1->pos() - form1.mapToGlobal(QPoint(0, 0)), form1.File1->grab());
    }
    Type(&form1, Qt::Key_Escape);
    Type(&form1, Qt::Key_Escape);
    return SavePicture(picture, folder, name);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "pelmora-screenshot: cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    pelmora::app::SetApplicationTitle(QStringLiteral("Pelmora"));
    pelmora::app::SetErrorBox([](const QString&, const QString& text) {
        std::fprintf(stderr, "pelmora-screenshot: error box: %s\n", qPrintable(text));
    });
    // The same values on every run.
    uint64_t ticks = 1000;
    pelmora::ScopedClock clock({&CountingClock, &ticks});
    pelmora::UniformSeed = 1;

    TForm1 form1;
    TForm2 form2;
    form1.show();
    QApplication::setActiveWindow(&form1);
    bool ok = Save(&form1, folder, "1-start.png");

    form1.ListBox1->SetItemIndex(pelmora::Index(pelmora::Row::Gamma));
    form1.ListBox1Click(form1.ListBox1);
    ok &= Save(&form1, folder, "2-gamma.png");

    form1.LabeledEdit2->setText(QStringLiteral("30"));
    form1.LabeledEdit5->setText(QStringLiteral("2"));
    form1.LabeledEdit6->setText(QStringLiteral("3"));
    form1.Button1Click(form1.Button1);
    ok &= Save(&form1, folder, "3-generated.png");

    form2.show();
    ok &= Save(&form2, folder, "4-manual.png");
    form2.hide();

    ok &= SaveFileMenu(form1, folder, "5-file-menu.png");
    return ok ? 0 : 1;
}
