// The window under hostile use: a whole session (every row, the pane filled
// to its capacity, Save, Clear), field texts nobody should type, and a
// picture folder that is damaged throughout. Also the program that
// scripts/memcheck runs under valgrind (its session() alone).

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "app/pane.h"
#include "hostile.h"
#include "support.h"

using namespace testing_app;

namespace {

QString NotValid(const QString& text) { return QStringLiteral("'%1' is not a valid floating point value.").arg(text); }

void SetFields(TForm1& f, const QString& quantity, const QString& first, const QString& second, const QString& third) {
    f.LabeledEdit2->setText(quantity);
    f.LabeledEdit5->setText(first);
    f.LabeledEdit6->setText(second);
    f.LabeledEdit7->setText(third);
}

void Generate(TForm1& f) {
    CountingClock clock(4242);
    pelmora::UniformSeed = 99;
    QTest::mouseClick(f.Button1, Qt::LeftButton);
}

void AnswerSaveWith(TForm1& f, const QString& name) {
    f.SaveDialog1 = [name](QWidget*, const QString&) { return name; };
}

}  // namespace

class TestSession : public QObject {
    Q_OBJECT
    ExeFolder folder;
    QTemporaryDir out;

private Q_SLOTS:
    // Every row, the pane to its capacity, Save, Clear, Save of the empty pane.
    void session() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        for (int row = 0; row < 27; ++row) {
            ClickRow(f, row);
            QCOMPARE(f.ListBox1->ItemIndex(), row);
            QCOMPARE(f.Image2->size(), PictureSize(row));
        }
        QCOMPARE(errors.texts, QStringList());

        ClickRow(f, Row::Exponential);
        SetFields(f, QStringLiteral("100000"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("RichEdit line insertion error.")});
        const QStringList lines = PaneLines(f);
        QVERIFY(lines.size() > 3000);
        std::size_t used = 0;
        for (const QString& line : lines) {
            used += std::size_t(line.size()) + pelmora::app::kLineBreakLength;
            QVERIFY2(line != QLatin1String("NAN") && !line.endsWith(QLatin1String("INF")), qPrintable(line));
        }
        QVERIFY(used <= pelmora::app::kPaneCapacity);

        const QString saved = out.filePath(QStringLiteral("full.TXT"));
        AnswerSaveWith(f, saved);
        f.ToolButton1Click(nullptr);
        QCOMPARE(errors.texts.size(), 1);
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray rtf = file.readAll();
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QCOMPARE(rtf.count("\\par\n"), lines.size());
        QCOMPARE(rtf.count('{'), rtf.count('}'));

        f.ToolButton3Click(nullptr);
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        const QString empty = out.filePath(QStringLiteral("empty.TXT"));
        AnswerSaveWith(f, empty);
        f.ToolButton1Click(nullptr);
        QCOMPARE(errors.texts.size(), 1);
        QVERIFY(QFileInfo(empty).size() > 0);
    }

    // Texts nobody should type, in the field they are typed in, with the row
    // that reads them: the conversion error quoting the whole text, the
    // arithmetic error of a value that does not fit, or the values.
    void fields_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("field");  // 0 quantity, 1 to 3 the parameters
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");  // "" for none
        QTest::addColumn<int>("lines");
        const QString megabyteOfDigits(1 << 20, QLatin1Char('7'));
        const QString megabyteOfBlanks(1 << 20, QLatin1Char(' '));
        const QString blanksAroundThree = QString(1 << 19, QLatin1Char(' ')) + QLatin1Char('3') + QString(1 << 19, QLatin1Char(' '));
        const QString nul = QStringLiteral("1") + QChar(0) + QStringLiteral("2");
        const QString fourHundred = QStringLiteral("1") + QString(399, QLatin1Char('0'));
        QTest::newRow("megabyte of digits as the quantity") << 11 << 0 << megabyteOfDigits << NotValid(megabyteOfDigits) << 0;
        QTest::newRow("megabyte of blanks in the third field") << 11 << 3 << megabyteOfBlanks << NotValid(megabyteOfBlanks) << 0;
        QTest::newRow("a quantity amid a megabyte of blanks") << 11 << 0 << blanksAroundThree << QString() << 3;
        QTest::newRow("NUL in the quantity") << 11 << 0 << nul << NotValid(nul) << 0;
        QTest::newRow("fullwidth digits") << 11 << 1 << QStringLiteral("\uFF11\uFF12") << NotValid(QStringLiteral("\uFF11\uFF12")) << 0;
        QTest::newRow("minus sign") << 12 << 2 << QStringLiteral("\u22121") << NotValid(QStringLiteral("\u22121")) << 0;
        QTest::newRow("only blanks") << 11 << 2 << QStringLiteral("    ") << NotValid(QStringLiteral("    ")) << 0;
        QTest::newRow("400 digits as a parameter") << 11 << 1 << fourHundred << QStringLiteral("Floating point overflow.") << 0;
        QTest::newRow("400 digits as the quantity") << 11 << 0 << fourHundred << QStringLiteral("Invalid floating point operation.") << 0;
        QTest::newRow("400 digits as a count") << 3 << 1 << QString(400, QLatin1Char('9')) << QStringLiteral("Floating point overflow.") << 0;
        QTest::newRow("400 fraction digits") << 11 << 1 << QStringLiteral("0.") + QString(400, QLatin1Char('3')) << QString() << 3;
        QTest::newRow("a hidden field's text") << 19 << 3 << megabyteOfDigits << NotValid(megabyteOfDigits) << 0;
    }
    void fields() {
        QFETCH(int, row);
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(int, lines);
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, row);
        f.RichEdit1->setPlainText(QStringLiteral("old"));
        SetFields(f, QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1"));
        pelmora::app::TLabeledEdit* edits[] = {f.LabeledEdit2, f.LabeledEdit5, f.LabeledEdit6, f.LabeledEdit7};
        edits[field]->setText(text);
        QCOMPARE(edits[field]->text(), text);
        Generate(f);
        // The box shows a long text shortened in the middle (pinned by the core's tests).
        const QString boxed = QString::fromStdString(pelmora::ShortenedForBox(error.toStdString()));
        QCOMPARE(errors.texts, error.isEmpty() ? QStringList() : QStringList{boxed});
        QCOMPARE(PaneLines(f).size(), lines);
    }

    // Every picture of the folder damaged the same way: each selection
    // reports its error at once, the row is in force, and Generate works.
    void damagedFolder_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");  // the system's text; "" for the decoder's error
        QTest::newRow("every picture a FIFO") << "fifo" << "No such device or address";
        QTest::newRow("every picture empty") << "empty" << "";
        QTest::newRow("every picture a folder") << "folder" << "Is a directory";
        QTest::newRow("pic is a file") << "file" << "Not a directory";
        QTest::newRow("pic is missing") << "missing" << "No such file or directory";
    }
    void damagedFolder() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        ExeFolder damaged;
        const QString pic = damaged.picFolder();
        if (kind == QLatin1String("file") || kind == QLatin1String("missing")) {
            QVERIFY(QDir(pic).removeRecursively());
            if (kind == QLatin1String("file")) QVERIFY(WriteFile(pic, "not a folder"));
        } else {
            for (int row = 0; row < 27; ++row) {
                const QString file = pic + QLatin1Char('/') + QString::fromUtf8(kExpectedRows[std::size_t(row)].picture);
                QVERIFY(QFile::remove(file));
                const QByteArray name = QFile::encodeName(file);
                if (kind == QLatin1String("fifo")) QCOMPARE(::mkfifo(name.constData(), 0644), 0);
                if (kind == QLatin1String("empty")) QVERIFY(WriteFile(file, {}));
                if (kind == QLatin1String("folder")) QVERIFY(QDir().mkdir(file));
            }
        }
        ErrorCapture errors;
        Window w(damaged);
        TForm1& f = *w.form1;
        for (int row = 0; row < 27; ++row) {
            ClickRow(f, row);
            QCOMPARE(f.ListBox1->ItemIndex(), row);
            QCOMPARE(errors.texts.size(), row + 1);
            const QString expected = reason.isEmpty()
                                         ? QStringLiteral("JPEG error #%1.").arg(JERR_INPUT_EMPTY)
                                         : QStringLiteral("Cannot open file \"%1\". %2.").arg(damaged.picturePath(row), reason);
            QCOMPARE(errors.texts.last(), expected);
            QVERIFY(f.Image2->picture().isNull());
        }
        SetFields(f, QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1"));
        Generate(f);
        QCOMPARE(errors.texts.size(), 27);
        QCOMPARE(PaneLines(f).size(), 3);
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
