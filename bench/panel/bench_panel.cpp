// Cost of the register panel's two longest actions on the simulated board,
// with no latency and no trace: "Read all Registers and Update Display" (20
// requests) and "Measure Output Voltages" (8 requests), each from the button
// click through the handlers and the widget updates. Argument 1 also lets the
// window draw what changed, as it does before the next click.
#include "harness.h"
#include "panel/mainform.h"

#include <QApplication>
#include <QPushButton>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {
void Click(benchmark::State& st, QPushButton* button, int requests)
{
    const bool draw = st.range(0) != 0;
    for (auto _ : st) {
        button->click();
        if (draw)
            QApplication::processEvents();
    }
    st.counters["requests/s"] =
        benchmark::Counter(double(requests) * double(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadAll(benchmark::State& st) { Click(st, MainForm::Instance().Command1, 20); }
void BM_Measure(benchmark::State& st) { Click(st, MainForm::Instance().Command14, 8); }
}  // namespace

BENCHMARK(BM_ReadAll)->Arg(0)->Arg(1);
BENCHMARK(BM_Measure)->Arg(0)->Arg(1);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("EVLINK_SIM", "only", 0);  // the simulated board, asked for by name
    QApplication app(argc, argv);
    harness::Setup(true, false);
    if (!ProgramStart())
        return 1;
    QApplication::processEvents();  // the first drawing
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
