#include "app/errorbox.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

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

void MessageBoxError(const QString& caption, const QString& text) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) owner = QApplication::activeWindow();
    MakeErrorBox(caption, text, owner)->exec();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& caption, const QString& text, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
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
