// Save, Copy and Clear, from each of their three places, and "Homepage".

#include <sys/resource.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <csignal>

#include "core/savefile.h"
#include "support.h"

using namespace testing_app;

namespace {

// Answers the save dialog with `name` (empty: cancel) and remembers what it offered.
struct DialogAnswer {
    explicit DialogAnswer(QString answer = {}) : name(std::move(answer)) {}
    QString name;
    QStringList offered;
    void install(TForm1& f) {
        f.SaveDialog1 = [this](QWidget*, const QString& lastName) {
            offered << lastName;
            return name;
        };
    }
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text an independent RTF reader finds in the file, one paragraph a line.
QStringList ReadBack(const QString& path) {
    QProcess unrtf;
    unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--text"), path});
    if (!unrtf.waitForFinished(30000) || unrtf.exitCode() != 0) return {QStringLiteral("<unrtf failed>")};
    QString out = QString::fromUtf8(unrtf.readAllStandardOutput());
    const QString rule = QStringLiteral("-----------------\n");
    out = out.mid(out.indexOf(rule) + rule.size());
    if (out.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

void Fill(TForm1& f, int quantity) {
    ClickRow(f, Row::Gamma);
    f.LabeledEdit2->setText(QString::number(quantity));
    CountingClock clock(77);
    pelmora::UniformSeed = 5;
    f.Button1Click(f.Button1);
}

void SelectLines(TForm1& f, int first, int count) {
    QTextCursor cursor(f.RichEdit1->document()->findBlockByNumber(first));
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
    f.RichEdit1->setTextCursor(cursor);
}

}  // namespace

class TestOutput : public QObject {
    Q_OBJECT
    ExeFolder folder;
    QTemporaryDir out;

private Q_SLOTS:
    void initTestCase() { QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty()); }

    void saveWritesRtfThatReadsBackAsThePane() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        Fill(f, 25);
        DialogAnswer answer(out.filePath(QStringLiteral("values")));
        answer.install(f);
        f.ToolButton1Click(f.ToolButton1);
        QCOMPARE(errors.texts, QStringList());
        const QString saved = out.filePath(QStringLiteral("values.TXT"));
        QVERIFY(QFile::exists(saved));
        const QByteArray rtf = ReadAll(saved);
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fswiss\\fcharset134 Arial;}}"));
        QCOMPARE(rtf.count("\\par\n"), 25);
        QCOMPARE(ReadBack(saved), PaneLines(f));
        QCOMPARE(f.SaveFileName, saved);
        // The last name is offered again; a name with an extension keeps it;
        // an existing file is replaced without a question.
        answer.name = out.filePath(QStringLiteral("values.txt"));
        Fill(f, 3);
        f.ToolButton1Click(f.ToolButton1);
        QCOMPARE(answer.offered, QStringList({QString(), saved}));
        QCOMPARE(ReadBack(answer.name), PaneLines(f));
        answer.name = saved;
        f.ToolButton1Click(f.ToolButton1);
        QCOMPARE(ReadBack(saved), PaneLines(f));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"values.TXT", "values.txt"}));  // no temporary left
        QCOMPARE(errors.texts, QStringList());
    }

    void saveEmptyPane() {
        ErrorCapture errors;
        Window w(folder);
        DialogAnswer answer(out.filePath(QStringLiteral("empty.TXT")));
        answer.install(*w.form1);
        w.form1->ToolButton1Click(nullptr);
        QCOMPARE(errors.texts, QStringList());
        QVERIFY(ReadAll(answer.name).startsWith("{\\rtf1"));
        QVERIFY(!ReadAll(answer.name).contains("\\par\n"));
        QCOMPARE(ReadBack(answer.name), QStringList());
    }

    void cancelChangesNothing() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        f.SaveFileName = QStringLiteral("/somewhere/kept.TXT");
        DialogAnswer answer;
        answer.install(f);
        const QStringList before = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
        f.ToolButton1Click(nullptr);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(f.SaveFileName, QStringLiteral("/somewhere/kept.TXT"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    // A folder we cannot write to. Permission bits do not stop root, so the
    // path under a regular file stands in for it everywhere.
    void cannotCreate() {
        ErrorCapture errors;
        Window w(folder);
        const QString plain = out.filePath(QStringLiteral("plain"));
        QVERIFY(WriteFile(plain, "x"));
        DialogAnswer answer(plain + QStringLiteral("/values.TXT"));
        answer.install(*w.form1);
        w.form1->ToolButton1Click(nullptr);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("Cannot create file \"%1\". Not a directory.").arg(answer.name)});
        errors.texts.clear();
        const QString folderName = out.filePath(QStringLiteral("folder.TXT"));
        QVERIFY(QDir().mkpath(folderName));
        answer.name = folderName;
        w.form1->ToolButton1Click(nullptr);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("Cannot create file \"%1\". Is a directory.").arg(folderName)});
        if (::geteuid() != 0) {
            errors.texts.clear();
            QTemporaryDir closed;
            QVERIFY(QFile::setPermissions(closed.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            answer.name = closed.filePath(QStringLiteral("values.TXT"));
            w.form1->ToolButton1Click(nullptr);
            QCOMPARE(errors.texts, QStringList{QStringLiteral("Cannot create file \"%1\". Permission denied.").arg(answer.name)});
            QVERIFY(!QFile::exists(answer.name));
            QFile::setPermissions(closed.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
    }

    // After a failed save in /proc the dialog offers the name again, but in
    // the home folder: listing /proc can block for good (/proc/kmsg).
    void dialogNeverStartsInAKernelFileSystem() {
        if (!QFileInfo(QStringLiteral("/proc/self")).exists()) QSKIP("no /proc here");
        ErrorCapture errors;
        Window w(folder);
        DialogAnswer answer(QStringLiteral("/proc/pelmora-nowhere.TXT"));
        answer.install(*w.form1);
        w.form1->ToolButton1Click(nullptr);
        QCOMPARE(errors.texts.size(), 1);
        QVERIFY2(errors.texts.front().startsWith(QStringLiteral("Cannot create file \"/proc/pelmora-nowhere.TXT\".")),
                 qPrintable(errors.texts.front()));
        answer.name.clear();
        w.form1->ToolButton1Click(nullptr);
        QCOMPARE(answer.offered,
                 QStringList({QString(), QDir::home().filePath(QStringLiteral("pelmora-nowhere.TXT"))}));
    }

    // A device is written in place, never replaced. (Through the window the
    // name "/dev/full" would become "/dev/full.TXT": the default extension.)
    void deviceThatIsFull() {
        if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
        QVERIFY_THROWS_EXCEPTION(pelmora::Error, pelmora::SaveFile("/dev/full", "{\\rtf1 1\\par\n}"));
        try {
            pelmora::SaveFile("/dev/full", "x");
        } catch (const pelmora::Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Failed to Save Stream"));
        }
        QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
        pelmora::SaveFile("/dev/null", "thrown away");
        QVERIFY(!QFileInfo(QStringLiteral("/dev/null")).isFile());
    }

    // A write that fails part way (here: the file size limit) leaves the old
    // file as it was and no temporary beside it.
    void failedWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("keep.TXT"));
        QVERIFY(WriteFile(target, "the old content"));
        ErrorCapture errors;
        Window w(folder);
        Fill(*w.form1, 500);
        DialogAnswer answer(target);
        answer.install(*w.form1);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        w.form1->ToolButton1Click(nullptr);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("Failed to Save Stream.")});
        QCOMPARE(ReadAll(target), QByteArray("the old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.TXT"});
    }

    void saveFollowsALink() {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.TXT"));
        const QString link = dir.filePath(QStringLiteral("link.TXT"));
        QVERIFY(WriteFile(real, "old"));
        QVERIFY(QFile::link(real, link));
        pelmora::SaveFile(link.toStdString(), "new");
        QCOMPARE(ReadAll(real), QByteArray("new"));
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void copySelectionOnly() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        Fill(f, 10);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("held before"));
        f.ToolButton2Click(nullptr);  // nothing selected
        QCOMPARE(clipboard->text(), QStringLiteral("held before"));
        const QStringList lines = PaneLines(f);
        SelectLines(f, 2, 3);
        f.ToolButton2Click(nullptr);
        QCOMPARE(clipboard->text(), lines.mid(2, 3).join(QLatin1Char('\n')) + QLatin1Char('\n'));
        const QByteArray rtf = clipboard->mimeData()->data(QStringLiteral("text/rtf"));
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QCOMPARE(rtf.count("\\par\n"), 3);
        QVERIFY(rtf.contains(lines[3].toUtf8() + "\\par"));
        QCOMPARE(errors.texts, QStringList());
    }

    void clear() {
        Window w(folder);
        Fill(*w.form1, 10);
        w.form1->ToolButton3Click(nullptr);
        QVERIFY(w.form1->RichEdit1->toPlainText().isEmpty());
        w.form1->ToolButton3Click(nullptr);
        QVERIFY(w.form1->RichEdit1->toPlainText().isEmpty());
    }

    // Each command runs from its menu item, its tool button and the context menu.
    void threeEntryPoints() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        Fill(f, 10);
        QCOMPARE(f.ToolButton1->toolTip(), QStringLiteral("Save datas"));
        QCOMPARE(f.ToolButton2->toolTip(), QStringLiteral("Copy Datas"));
        QCOMPARE(f.ToolButton3->toolTip(), QStringLiteral("Clear Datas"));
        QCOMPARE(f.ToolButton5->toolTip(), QStringLiteral("Help"));
        DialogAnswer answer;  // cancel: count the dialogs only
        answer.install(f);
        f.Save1->trigger();
        QTest::mouseClick(f.ToolButton1, Qt::LeftButton);
        f.Save2->trigger();
        QCOMPARE(answer.offered.size(), 3);

        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString line = PaneLines(f).first();
        for (int entry = 0; entry < 3; ++entry) {
            clipboard->setText(QStringLiteral("none"));
            SelectLines(f, 0, 1);
            if (entry == 0) f.Clear1->trigger();
            if (entry == 1) QTest::mouseClick(f.ToolButton2, Qt::LeftButton);
            if (entry == 2) f.Copy1->trigger();
            QCOMPARE(clipboard->text(), line + QLatin1Char('\n'));
        }
        for (int entry = 0; entry < 3; ++entry) {
            f.RichEdit1->setPlainText(QStringLiteral("1\n2\n"));
            if (entry == 0) f.Clear2->trigger();
            if (entry == 1) QTest::mouseClick(f.ToolButton3, Qt::LeftButton);
            if (entry == 2) f.Clear3->trigger();
            QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        }

        QList<QDialog*> shown;
        f.ShowModal = [&](QDialog* d) { shown << d; };
        f.Manual1->trigger();
        QTest::mouseClick(f.ToolButton5, Qt::LeftButton);
        QCOMPARE(shown, QList<QDialog*>({w.form2.get(), w.form2.get()}));

        QList<QUrl> opened;
        f.OpenUrl = [&](const QUrl& url) { opened << url; };
        f.Register1->trigger();
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://pelmora.org/"))});
        QCOMPARE(errors.texts, QStringList());
    }
};

QTEST_MAIN(TestOutput)
#include "test_output.moc"
