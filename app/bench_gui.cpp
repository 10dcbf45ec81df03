// The Generate command in the real window, headless: quantity 100000 on
// "Standard Normal" stops when the pane is full (about 3,300 lines). The
// time covers the handler and the events it leaves behind (layout), so it is
// what the user waits for.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/errorbox.h"
#include "app/form1.h"
#include "core/rows.h"
#include "engine/uniform.h"

namespace {

uint64_t CountingClock(void* context) { return ++*static_cast<uint64_t*>(context); }

struct Window {
    TForm1 form;
    int errors = 0;
    Window() {
        pelmora::app::SetErrorBox([this](const QString&, const QString&) { ++errors; });
        form.show();
        form.ListBox1->SetItemIndex(pelmora::Index(pelmora::Row::StandardNormal));
        form.ListBox1Click(form.ListBox1);
        form.LabeledEdit2->setText(QStringLiteral("100000"));
        QCoreApplication::processEvents();
        errors = 0;
    }
};

void BM_GenerateFullPane(benchmark::State& state) {
    Window window;
    uint64_t ticks = 0;
    pelmora::ScopedClock clock({&CountingClock, &ticks});
    for (auto _ : state) {
        window.form.Button1Click(window.form.Button1);
        QCoreApplication::processEvents();
    }
    state.counters["lines"] = double(window.form.RichEdit1->document()->blockCount() - 1);
    state.counters["errors"] = double(window.errors) / double(state.iterations());
}
BENCHMARK(BM_GenerateFullPane)->Unit(benchmark::kMillisecond);

void BM_GenerateTen(benchmark::State& state) {
    Window window;
    window.form.LabeledEdit2->setText(QStringLiteral("10"));
    uint64_t ticks = 0;
    pelmora::ScopedClock clock({&CountingClock, &ticks});
    for (auto _ : state) {
        window.form.Button1Click(window.form.Button1);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_GenerateTen)->Unit(benchmark::kMicrosecond);

// 4 MB of text pasted into a field: Generate fails on it, and the error box
// is built with its text, shown, laid out and closed. The time is what the
// user waits for between the click and a closed box.
void BM_LongFieldErrorBox(benchmark::State& state) {
    Window window;
    window.form.LabeledEdit5->setText(QString(4 << 20, QLatin1Char('7')) + QStringLiteral("x"));
    qsizetype shown = 0;
    pelmora::app::SetErrorBox([&](const QString& caption, const QString& text) {
        shown = text.size();
        std::unique_ptr<QMessageBox> box = pelmora::app::MakeErrorBox(caption, text, &window.form);
        box->show();
        QCoreApplication::processEvents();
        box->close();
    });
    for (auto _ : state) {
        window.form.Button1Click(window.form.Button1);
        QCoreApplication::processEvents();
    }
    state.counters["shown characters"] = double(shown);
}
BENCHMARK(BM_LongFieldErrorBox)->Unit(benchmark::kMillisecond);

// A paint of a field that holds 4 MB of text: what every blink of its
// cursor costs while it has the focus.
void BM_LongFieldPaint(benchmark::State& state) {
    Window window;
    window.form.LabeledEdit2->setText(QString(4 << 20, QLatin1Char('7')));
    window.form.LabeledEdit2->setFocus();
    QCoreApplication::processEvents();
    for (auto _ : state) window.form.LabeledEdit2->repaint();
}
BENCHMARK(BM_LongFieldPaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
