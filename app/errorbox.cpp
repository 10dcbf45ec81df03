#include "app/errorbox.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>

#include "core/generate.h"

namespace pelmora::app {

namespace {

QString& TitleStore() {
    static QString title;
    return title;
}

ErrorBoxFunction& BoxStore() {
    static ErrorBoxFunction box;
    return box;
}

// The room a window manager takes beside a caption in the title bar: the
// window's icon and up to four buttons with their margins. (Qt's message box
// allows 50 pixels, and a short message gives a box so narrow that the
// caption is cut to "pe… ra".)
constexpr int kTitleBarRoom = 160;

void MessageBoxError(const QString& caption, const QString& text) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) owner = QApplication::activeWindow();
    MakeErrorBox(caption, text, owner)->exec();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& caption, const QString& text, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    // Title bars are set in a bold face, often a larger one than the box's text.
    QFont title = QApplication::font();
    title.setBold(true);
    title.setPointSizeF(std::max(title.pointSizeF(), 11.0));
    const int width = QFontMetrics(title).horizontalAdvance(caption) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    return box;
}

QString TitleFromExecutable(const QString& path) {
    QString name = QFileInfo(path).fileName();
    qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString ApplicationTitle() {
    QString& title = TitleStore();
    if (title.isEmpty()) title = TitleFromExecutable(QCoreApplication::applicationFilePath());
    return title;
}

void SetApplicationTitle(const QString& title) { TitleStore() = title; }

void SetErrorBox(ErrorBoxFunction box) { BoxStore() = std::move(box); }

void ShowErrorBox(std::string_view message) {
    QString text = QString::fromStdString(pelmora::ShortenedForBox(pelmora::ErrorBoxText(message)));
    const ErrorBoxFunction& box = BoxStore();
    if (box)
        box(ApplicationTitle(), text);
    else
        MessageBoxError(ApplicationTitle(), text);
}

}  // namespace pelmora::app
