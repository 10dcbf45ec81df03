// Button1Click: the window writes exactly what the core draws, reads its
// fields in a fixed order, honours the pane's capacity, and reports
// every failure with what was appended before kept.

#include <QTest>

#include "app/pane.h"
#include "support.h"

using namespace testing_app;

namespace {

constexpr uint32_t kSeed = 20240607;
constexpr uint64_t kClockStart = 987654321;

QString NotValid(const QString& text) { return QStringLiteral("'%1' is not a valid floating point value.").arg(text); }

void SetFields(TForm1& f, const QString& quantity, const QString& first, const QString& second, const QString& third) {
    f.LabeledEdit2->setText(quantity);
    f.LabeledEdit5->setText(first);
    f.LabeledEdit6->setText(second);
    f.LabeledEdit7->setText(third);
}

pelmora::FieldTexts Texts(const TForm1& f) {
    return {f.LabeledEdit2->text().toStdString(), f.LabeledEdit5->text().toStdString(),
            f.LabeledEdit6->text().toStdString(), f.LabeledEdit7->text().toStdString()};
}

// Presses "Generate" with the source at kSeed and a counting clock.
void Generate(TForm1& f) {
    CountingClock clock(kClockStart);
    pelmora::UniformSeed = kSeed;
    QTest::mouseClick(f.Button1, Qt::LeftButton);
}

QStringList ToQt(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines) list << QString::fromStdString(line);
    return list;
}

}  // namespace

class TestGenerate : public QObject {
    Q_OBJECT
    ExeFolder folder;

private Q_SLOTS:
    void everyRowMatchesTheCore_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("fields");  // first, second, third
        const char* params[27][3] = {
            {"2", "3", "0"},   {"0.3", "0", "0"}, {"0.5", "1", "2"},   {"10", "0.4", "0"}, {"0", "1", "0"},
            {"4", "0", "0"},   {"1", "5", "0"},   {"10.7", "0", "0"},  {"3", "2", "0"},    {"2", "0", "0"},
            {"5", "7", "0"},   {"2", "3", "0"},   {"1", "2", "0"},     {"0.3", "0", "0"},  {"2", "0", "0"},
            {"0", "1", "0"},   {"0", "0", "0"},   {"4", "0", "0"},     {"2", "0", "0"},    {"0", "0", "0"},
            {"5", "0", "0"},   {"0", "4", "1"},   {"3", "0.4", "0"},   {"3", "1.5", "0"},  {"3", "5", "1"},
            {"5", "1", "0"},   {"2", "1.5", "0"},
        };
        for (int row = 0; row < 27; ++row)
            QTest::newRow(kExpectedRows[std::size_t(row)].caption)
                << row << QStringList{params[row][0], params[row][1], params[row][2]};
    }
    void everyRowMatchesTheCore() {
        QFETCH(int, row);
        QFETCH(QStringList, fields);
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, row);
        SetFields(f, QStringLiteral("20"), fields[0], fields[1], fields[2]);
        Generate(f);
        QCOMPARE(errors.texts, QStringList());
        const QStringList lines = PaneLines(f);
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines, ToQt(CoreLines(row, Texts(f), kSeed, kClockStart, ".", 1000)));
        QVERIFY(f.RichEdit1->toPlainText().endsWith(QLatin1Char('\n')));
        QCOMPARE(f.ListBox1->ItemIndex(), row);
        QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("20"));
        if (row == Index(Row::DiscreteUniform))
            for (const QString& line : lines) QVERIFY(line.toInt() >= 1 && line.toInt() <= 10);
    }

    void quantities_data() {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<int>("lines");
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("-5") << "-5" << 0;
        QTest::newRow("0.9") << "0.9" << 0;
        QTest::newRow("2.9") << "2.9" << 2;
        QTest::newRow("1e3") << "1e3" << 1000;
        QTest::newRow("4294967297") << "4294967297" << 1;
        QTest::newRow("blanks around") << "  10  " << 10;
        QTest::newRow("a lone separator") << "." << 0;
        QTest::newRow("1E") << "1E" << 1;
    }
    void quantities() {
        QFETCH(QString, quantity);
        QFETCH(int, lines);
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::ContinuousUniform);
        f.RichEdit1->setPlainText(QStringLiteral("stale\n"));
        SetFields(f, quantity, QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(PaneLines(f).size(), lines);
    }

    // Fields are read quantity, third, first, second; the first bad one is reported.
    void parseOrder_data() {
        QTest::addColumn<QStringList>("fields");  // quantity, first, second, third
        QTest::addColumn<QString>("message");
        QTest::newRow("quantity first") << QStringList{"q", "a", "b", "c"} << NotValid("q");
        QTest::newRow("then third") << QStringList{"5", "a", "b", "c"} << NotValid("c");
        QTest::newRow("then first") << QStringList{"5", "a", "b", "3"} << NotValid("a");
        QTest::newRow("then second") << QStringList{"5", "1", "b", "3"} << NotValid("b");
        QTest::newRow("empty field") << QStringList{"5", "1", "", "3"} << NotValid("");
        QTest::newRow("whole text quoted") << QStringList{" 1 2 ", "1", "1", "3"} << NotValid(" 1 2 ");
        QTest::newRow("comma where the separator is a point") << QStringList{"10,5", "1", "1", "3"} << NotValid("10,5");
        QTest::newRow("quantity out of range") << QStringList{"1e19", "1", "1", "3"}
                                               << "Invalid floating point operation.";
        QTest::newRow("parameter beyond double") << QStringList{"5", "1e400", "1", "3"}
                                                 << "Floating point overflow.";
    }
    void parseOrder() {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::ContinuousUniform);
        f.RichEdit1->setPlainText(QStringLiteral("stale\n"));
        SetFields(f, fields[0], fields[1], fields[2], fields[3]);
        Generate(f);
        QCOMPARE(errors.texts, QStringList{message});
        QCOMPARE(errors.captions, QStringList{pelmora::app::ApplicationTitle()});
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
        QCOMPARE(f.LabeledEdit2->text(), fields[0]);
    }

    // Rows without parameters still parse the hidden fields.
    void hiddenFieldsAreParsed() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::Logistic);
        SetFields(f, QStringLiteral("3"), QString(), QStringLiteral("1"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{NotValid("")});
        QVERIFY(f.LabeledEdit5->isHidden());
    }

    void truncatedParameterOutOfRange() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::Binomial);  // Binomial truncates n
        SetFields(f, QStringLiteral("5"), QStringLiteral("1e30"), QStringLiteral("0.5"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("Invalid floating point operation.")});
        QVERIFY(f.RichEdit1->toPlainText().isEmpty());
    }

    // A full pane: the line that no longer fits whole stops the command; the
    // lines before it stay, exactly those the core drew first.
    void capacity() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::StandardNormal);
        SetFields(f, QStringLiteral("100000"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("RichEdit line insertion error.")});
        const QStringList lines = PaneLines(f);
        const std::vector<std::string> core = CoreLines(Index(Row::StandardNormal), Texts(f), kSeed, kClockStart, ".", 10000);
        std::size_t used = 0, fit = 0;
        while (fit < core.size() && used + core[fit].size() + 2 <= pelmora::app::kPaneCapacity)
            used += core[fit++].size() + 2;
        QVERIFY(fit > 3000 && fit < core.size());
        QCOMPARE(qsizetype(fit), lines.size());
        QCOMPARE(lines, ToQt(std::vector<std::string>(core.begin(), core.begin() + qsizetype(fit))));
    }

    // Lines of "12" take four characters with their breaks: 16384 of them fill
    // the pane exactly, and the next one is refused.
    void paneFilledExactly() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        ClickRow(f, Row::ContinuousUniform);
        SetFields(f, QStringLiteral("16384"), QStringLiteral("12"), QStringLiteral("12"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(PaneLines(f).size(), 16384);
        f.LabeledEdit2->setText(QStringLiteral("16385"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{QStringLiteral("RichEdit line insertion error.")});
        QCOMPARE(PaneLines(f).size(), 16384);
        QCOMPARE(PaneLines(f).last(), QStringLiteral("12"));
    }

    void paneCapacityBoundary() {
        using pelmora::app::PaneLines;
        PaneLines pane;
        const std::string line(98, '7');  // 100 characters with its break
        for (int i = 0; i < 655; ++i) pane.Append(line);
        QCOMPARE(pane.used(), std::size_t(65500));
        pane.Append(std::string(34, '1'));  // exactly full
        QCOMPARE(pane.used(), std::size_t(65536));
        QVERIFY_THROWS_EXCEPTION(pelmora::Error, pane.Append(""));
        PaneLines almost;
        for (int i = 0; i < 655; ++i) almost.Append(line);
        QVERIFY_THROWS_EXCEPTION(pelmora::Error, almost.Append(std::string(35, '1')));
        QCOMPARE(almost.used(), std::size_t(65500));
        QCOMPARE(almost.text().size(), std::size_t(655 * 99));
        QCOMPARE(pelmora::app::PaneLength("0\xC2\xB7" "5"), std::size_t(3));  // U+00B7 is one character
        QCOMPARE(pelmora::app::PaneLength("\xF0\x9F\x98\x80"), std::size_t(2));  // beyond U+FFFF: two
    }

    // The regional settings' separator, read again when the system says it changed.
    void commaSeparator() {
        ErrorCapture errors;
        Window w(folder);
        TForm1& f = *w.form1;
        QCOMPARE(f.DecimalSeparator, std::string("."));
        SetDecimalSeparatorSource([] { return QStringLiteral(","); });
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(qApp, &change);
        QCOMPARE(f.DecimalSeparator, std::string(","));
        ClickRow(f, Row::ContinuousUniform);
        SetFields(f, QStringLiteral("2,9"), QStringLiteral("0,25"), QStringLiteral("0,25"), QStringLiteral("3"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList());
        QCOMPARE(PaneLines(f), QStringList({"0,25", "0,25"}));
        f.LabeledEdit2->setText(QStringLiteral("10.5"));
        Generate(f);
        QCOMPARE(errors.texts, QStringList{NotValid("10.5")});
        SetDecimalSeparatorSource([] { return QString(); });
        QCoreApplication::sendEvent(qApp, &change);
        QCOMPARE(f.DecimalSeparator, std::string("."));
        SetDecimalSeparatorSource(nullptr);
        QCoreApplication::sendEvent(qApp, &change);
    }

};

QTEST_MAIN(TestGenerate)
#include "test_generate.moc"
