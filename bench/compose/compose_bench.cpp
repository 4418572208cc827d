// trelvo-compose in-process: the whole compose of a one-minute recipe (four
// stock blocks, 1800 frames of the standard figure) to JSON, and to JSON
// and BVH; and the number text the JSON is made of. time_compose.sh times
// the program as a whole process, start-up included. The compose benchmarks
// report wall time and the CPU time of all threads.
#include "composer.h"
#include "numbertext.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "nodetable.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

void compose(benchmark::State &state, const QStringList &outputs)
{
    QString text;
    QTextStream out(&text);
    QTextStream err(&text);
    const QStringList args = QStringList{QStringLiteral(TRELVO_ONE_MINUTE_RECIPE)} + outputs;
    for (auto _ : state) {
        text.clear();
        if (runCompose(args, out, err) != 0) {
            state.SkipWithError(qPrintable(text));
            return;
        }
    }
    state.SetLabel("60 s at 30 fps, 53 bones");
}

void BM_ComposeOneMinuteToJson(benchmark::State &state)
{
    QTemporaryDir dir;
    compose(state, {QStringLiteral("-o"), dir.filePath(QStringLiteral("out.json"))});
}
BENCHMARK(BM_ComposeOneMinuteToJson)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ComposeOneMinuteToJsonAndBvh(benchmark::State &state)
{
    QTemporaryDir dir;
    compose(state, {QStringLiteral("-o"), dir.filePath(QStringLiteral("out.json")), QStringLiteral("--bvh"),
                    dir.filePath(QStringLiteral("out.bvh"))});
}
BENCHMARK(BM_ComposeOneMinuteToJsonAndBvh)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// Values as a bake gives them: quaternion parts and degrees.
std::vector<double> sampleValues()
{
    std::mt19937_64 random(16);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> values(4096);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = i % 2 ? unit(random) : double(float(180.0 * unit(random)));
    return values;
}

void BM_NumberText(benchmark::State &state)
{
    const std::vector<double> values = sampleValues();
    char text[kMaxNumberText];
    for (auto _ : state) {
        for (const double v : values)
            benchmark::DoNotOptimize(writeNumberText(text, v));
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}
BENCHMARK(BM_NumberText);

// What each number cost before: a QString per value.
void BM_NumberTextThroughQString(benchmark::State &state)
{
    const std::vector<double> values = sampleValues();
    for (auto _ : state) {
        for (const double v : values)
            benchmark::DoNotOptimize(QString::number(v, 'g', 9).toUtf8());
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}
BENCHMARK(BM_NumberTextThroughQString);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DzApp host;
    host.getContentMgr()->setContentDirectory(QStringLiteral(TRELVO_CONTENT_DIR));
    registerStandardNodes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
