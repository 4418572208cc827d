// Scene file loading: time to open scenes of many nodes, as one deep chain
// and as a crowd of figures of 100-node chains. Loading must grow linearly
// with the node count; chains deeper than the scene limit are refused at
// once.
#include "dzapp.h"
#include "dzguid.h"
#include "dznode.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzscenefileformat.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace DzSceneFormat;

// A scene of `figures` chains of `depth` bones each (a skeleton at the top), written record by
// record (the nodes are only keys for the writer: no hierarchy is built in
// memory, so any depth can be written).
QString writeChains(const QString &dir, int figures, int depth)
{
    const QString path = QStringLiteral("%1/chains-%2x%3.trelvo").arg(dir).arg(figures).arg(depth);
    if (QFile::exists(path))
        return path;
    std::vector<std::unique_ptr<DzNode>> nodes;
    nodes.reserve(size_t(figures) * size_t(depth));
    for (int i = 0; i < figures * depth; ++i)
        nodes.push_back(std::make_unique<DzNode>(QStringLiteral("n%1").arg(i)));
    DzNode sceneKey(QStringLiteral("scene"));
    DzOutFile out;
    out.addObject(&sceneKey, kSceneClass, [&](DzOutFile *f) {
        f->writeIntSection(SceneVersion, kSceneVersion);
        f->startSection(SceneFigures);
        for (int fig = 0; fig < figures; ++fig)
            f->writePointer(nodes[size_t(fig) * size_t(depth)].get());
        f->endSection();
    });
    for (size_t i = 0; i < nodes.size(); ++i) {
        DzNode *node = nodes[i].get();
        DzNode *child = (i + 1) % size_t(depth) != 0 ? nodes[i + 1].get() : nullptr;
        out.addObject(node, i % size_t(depth) == 0 ? kSkeletonClass : kBoneClass, [node, child](DzOutFile *f) {
            f->writeStringSection(NodeName, node->getName());
            f->startSection(NodeChildren);
            if (child)
                f->writePointer(child);
            f->endSection();
        });
    }
    out.save(path);
    return path;
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

void loadChains(benchmark::State &state, int figures, int depth)
{
    const QString path = writeChains(folder().path(), figures, depth);
    bool ok = false;
    for (auto _ : state)
        ok = loadSceneFile(path);
    state.counters["nodes"] = double(figures) * depth;
    state.SetLabel(ok ? "loaded" : "refused");
}

void BM_DeepChain(benchmark::State &state)
{
    loadChains(state, 1, int(state.range(0)));
}
BENCHMARK(BM_DeepChain)->Arg(1000)->Arg(4000)->Arg(5000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Crowd(benchmark::State &state)
{
    loadChains(state, int(state.range(0)) / 100, 100);
}
BENCHMARK(BM_Crowd)->Arg(5000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DzApp host;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
