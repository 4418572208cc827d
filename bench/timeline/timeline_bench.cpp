// Timeline speed: evaluating and posing a 53-bone figure at one time, and
// baking one minute of a four-block timeline at 30 frames per second.
#include "figurebinding.h"
#include "kybake.h"
#include "kyevaluator.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "channelstore.h"
#include "engine.h"
#include "kyblock.h"
#include "nodetable.h"

#include "dzapp.h"
#include "dzfigureloader.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

// Every allocation of the process is counted, so that a benchmark can say
// how many one tick makes once it runs steadily.
namespace {
std::atomic<long> g_allocations{0};
}

void *operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// Allocations per iteration over the timed loop.
void countAllocations(benchmark::State &state, long before)
{
    state.counters["allocs_per_iter"] = static_cast<double>(g_allocations.load() - before)
        / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

// A block of lengthMs driving every standard bone, keyed every 33 ms.
KyBlock *makeFullBodyBlock(const QString &path, int lengthMs, float turn)
{
    KyBlock *block = KyBlock::create();
    const std::vector<const char *> &names = standardNodeNames();
    for (int t = 0;; t += 33) {
        const int time = std::min(t, lengthMs);
        const float u = static_cast<float>(time) / static_cast<float>(lengthMs);
        block->addTranslationKey(QStringLiteral("hip"), time, 2.0f * u, 99.24f + std::sin(12.0f * u),
                                 120.0f * u);
        for (size_t i = 1; i < names.size(); ++i) {
            const float angle = (i == 1 ? turn * u : 10.0f + 25.0f * std::sin(6.0f * u + static_cast<float>(i)));
            block->addRotationKey(QString::fromLatin1(names[i]), time, angle, i % 3 == 0 ? 1.0f : 0.0f,
                                  i % 3 == 1 ? 1.0f : 0.0f, i % 3 == 2 ? 1.0f : 0.0f);
        }
        if (time == lengthMs)
            break;
    }
    block->path = path;
    block->name = QStringLiteral("bench");
    block->save();
    block->clipLength = durationOf(block->clipHandle);
    block->outPoint = block->loopLength();
    return block;
}

struct Setup {
    QTemporaryDir temp;
    DzSkeleton *figure = nullptr;
    std::unique_ptr<KyTimeline> timeline;

    Setup()
    {
        figure = DzFigureLoader::loadFile(QStringLiteral(TRELVO_CONTENT_DIR "/figures/standard.json"));
        dzScene->addNode(figure);
        timeline = std::make_unique<KyTimeline>();
        timeline->activateNode(figure);
    }
    ~Setup()
    {
        timeline.reset();
        dzScene->removeNode(figure);
    }
};

void BM_EvaluateAndPoseOneFigure(benchmark::State &state)
{
    Setup setup;
    KyBlock *block = makeFullBodyBlock(setup.temp.filePath(QStringLiteral("a.kba")), 2000, 30.0f);
    KyTrack *track = setup.timeline->currentTrack();
    track->appendBlock(*block, true);
    track->appendBlock(*block, true);
    setup.timeline->goSeek(2500, false, false); // inside the second block, blending in
    setup.timeline->evaluateAll(2500);
    const long before = g_allocations.load();
    for (auto _ : state)
        setup.timeline->evaluateAll(2500);
    countAllocations(state, before);
    state.SetLabel("53 bones, one time");
}
BENCHMARK(BM_EvaluateAndPoseOneFigure)->Unit(benchmark::kMicrosecond);

// n figures, each with its own two-block track, evaluated and posed per
// tick at advancing times (playback).
void BM_EvaluateAndPoseFigures(benchmark::State &state)
{
    Setup setup;
    const int figures = static_cast<int>(state.range(0));
    KyBlock *block = makeFullBodyBlock(setup.temp.filePath(QStringLiteral("a.kba")), 2000, 30.0f);
    std::vector<DzSkeleton *> extra;
    for (int i = 0; i < figures; ++i) {
        DzSkeleton *figure = setup.figure;
        if (i > 0) {
            figure = DzFigureLoader::loadFile(QStringLiteral(TRELVO_CONTENT_DIR "/figures/standard.json"));
            dzScene->addNode(figure);
            extra.push_back(figure);
        }
        setup.timeline->activateNode(figure);
        KyTrack *track = setup.timeline->currentTrack();
        track->appendBlock(*block, true);
        track->appendBlock(*block, true);
    }
    // One pass over the two blocks first: the keys of every frame exist
    // then, and the count below is what playback allocates steadily.
    int t = 0;
    for (; t < 4000; t += 33)
        setup.timeline->evaluateAll(t);
    t = 0;
    const long before = g_allocations.load();
    for (auto _ : state) {
        setup.timeline->evaluateAll(t);
        t = (t + 33) % 4000;
    }
    countAllocations(state, before);
    state.counters["per_figure"] = benchmark::Counter(static_cast<double>(state.iterations()) * figures,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    setup.timeline.reset();
    for (DzSkeleton *figure : extra)
        dzScene->removeNode(figure);
}
BENCHMARK(BM_EvaluateAndPoseFigures)->Arg(1)->Arg(8)->Arg(10)->Unit(benchmark::kMicrosecond);

// Finding the block at the end of a long track: one walk over the cached
// start times, so the cost grows with the block count, not its square.
void BM_LocateOnALongTrack(benchmark::State &state)
{
    Setup setup;
    KyBlock *block = makeFullBodyBlock(setup.temp.filePath(QStringLiteral("l.kba")), 500, 0.0f);
    KyTrack track;
    for (int i = 0; i < state.range(0); ++i)
        track.appendBlock(*block, true);
    const int t = track.endTime() - 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(locateBlock(track, t));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LocateOnALongTrack)->Arg(50)->Arg(500)->Arg(2000)->Complexity(benchmark::oN);

void BM_BakeOneMinuteOfFourBlocks(benchmark::State &state)
{
    Setup setup;
    KyTrack *track = setup.timeline->currentTrack();
    for (int i = 0; i < 4; ++i) {
        KyBlock *block = makeFullBodyBlock(setup.temp.filePath(QStringLiteral("b%1.kba").arg(i)), 3000,
                                           20.0f * static_cast<float>(i));
        KyBlock *placed = track->appendBlock(*block, true);
        track->setInOut(placed, 0, 15000); // loops five times: 15 s each
    }
    trimTimelineRange(*setup.timeline);
    int frames = 0;
    const long before = g_allocations.load();
    for (auto _ : state) {
        state.PauseTiming();
        for (DzNode *node : setup.figure->getNodesInHierarchy())
            node->clearAnimData(DzTimeRange(0, 1 << 30));
        setup.timeline->goSeek(-1, false, false);
        state.ResumeTiming();
        frames = bakeTimeline(*setup.timeline);
    }
    countAllocations(state, before);
    state.counters["frames"] = frames;
    state.SetLabel("60 s at 30 fps, 53 bones");
}
BENCHMARK(BM_BakeOneMinuteOfFourBlocks)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DzApp host;
    registerStandardNodes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
