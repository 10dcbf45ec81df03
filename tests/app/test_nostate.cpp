// The window keeps no state between runs: a session that saves twice
// through the real save dialog leaves nothing in the user's settings folder
// (Qt's file dialog would keep its folder history in QtProject.conf there),
// while the dialog offers the last name again within the run.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include "support.h"

using namespace testing_app;

namespace {

// HOME and XDG_CONFIG_HOME of the run, set before the application starts.
QTemporaryDir* Home() {
    static QTemporaryDir home;
    return &home;
}

// Answers the save dialog that is about to open with `name`, noting the
// file it offered.
void AnswerDialog(const QString& name, QString* offered) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        *offered = dialog->selectedFiles().value(0);
        dialog->selectFile(name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

}  // namespace

class TestNoState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saveKeepsNoSettings() {
        ExeFolder folder;
        QTemporaryDir out;
        ErrorCapture errors;
        TForm1 f;  // with its own save dialog, which Window would replace
        f.ExeFolder = folder.path();
        f.show();
        ClickRow(f, 19);
        f.Button1Click(f.Button1);
        const QString name = out.filePath(QStringLiteral("values.TXT"));
        QString offered;
        AnswerDialog(name, &offered);
        f.ToolButton1Click(f.ToolButton1);
        AnswerDialog(name, &offered);
        f.ToolButton1Click(f.ToolButton1);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(offered, name);
        QVERIFY(QFileInfo(name).size() > 0);
        const QDir config(Home()->filePath(QStringLiteral(".config")));
        QCOMPARE(config.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

int main(int argc, char** argv) {
    qputenv("HOME", QFile::encodeName(Home()->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home()->filePath(QStringLiteral(".config"))));
    QApplication application(argc, argv);
    TestNoState test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_nostate.moc"
