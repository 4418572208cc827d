// The stock block library in content/kinBlocks/Trelvo: every block loads,
// starts with the hip's translation, holds motion of a sensible length, and
// the walk, run and jog cycles loop without a visible jump.
#include "stocktestsupport.h"

#include "kbatool.h"

#include <blockfile.h>
#include <channelrecord.h>
#include <kyblock.h>
#include <nodetable.h>

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList stockBlocks(const QString &subfolder)
{
    QDir dir(contentDir() + QStringLiteral("/kinBlocks/Trelvo/") + subfolder);
    QStringList paths;
    for (const QString &name : dir.entryList({QStringLiteral("*.kba")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

QStringList allStockBlocks()
{
    return stockBlocks(QString()) + stockBlocks(QStringLiteral("dance"));
}

bool isCycle(const QString &path)
{
    const QString base = QFileInfo(path).baseName();
    // The walk over uneven ground is a one-shot take: its steps do not repeat.
    return (base.startsWith("s_walk_") || base.startsWith("s_run_") || base.startsWith("s_jog_"))
        && base != "s_walk_uneven_01";
}

const char *const kLegBones[] = {"lThigh", "lShin", "lFoot", "rThigh", "rShin", "rFoot"};

// Largest leg rotation difference (degrees) between two clip times, and the
// difference in hip height; the hip's horizontal travel is left out.
struct PoseDifference {
    double legDegrees = 0.0;
    double hipHeight = 0.0;
};

PoseDifference poseDifference(const KyBlock &block, int timeA, int timeB)
{
    const SampledPose a = samplePose(block.clipHandle, timeA);
    const SampledPose b = samplePose(block.clipHandle, timeB);
    PoseDifference d;
    for (const char *bone : kLegBones)
        d.legDegrees = std::max(d.legDegrees, degreesBetween(a.rotations.at(bone), b.rotations.at(bone)));
    d.hipHeight = std::abs(a.positions.at("hip").m_y - b.positions.at("hip").m_y);
    return d;
}

} // namespace

TEST(StockLibrary, HoldsTheWalksRunsJumpsAndDances)
{
    QStringList names;
    for (const QString &path : allStockBlocks())
        names << QFileInfo(path).fileName();
    for (const char *expected : {"s_walk_01.kba", "s_walk_slow_01.kba", "s_walk_stride_01.kba",
                                 "s_walk_uneven_01.kba", "s_run_01.kba", "s_jog_01.kba", "s_jump_01.kba"})
        EXPECT_TRUE(stockBlocks(QString()).join(' ').contains(expected)) << expected;
    for (const char *expected : {"s_dance_01.kba", "s_punch_01.kba", "s_turn_left_dribble_01.kba"})
        EXPECT_TRUE(stockBlocks("dance").join(' ').contains(expected)) << expected;
    EXPECT_EQ(stockBlocks(QString()).size(), 20);
    EXPECT_EQ(stockBlocks("dance").size(), 8);
    for (const QString &name : names)
        EXPECT_TRUE(name.startsWith("s_")) << name.toStdString();
}

TEST(StockLibrary, EveryBlockLoadsWithTheStandardRootAndMotion)
{
    registerStandardNodes();
    const QStringList paths = allStockBlocks();
    ASSERT_FALSE(paths.isEmpty());
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        std::string reason;
        std::unique_ptr<ChannelRecord, void (*)(ChannelRecord *)> chain(
            readBlockFile(QFile::encodeName(path).toStdString(), &reason), freeChain);
        ASSERT_TRUE(chain) << reason;
        EXPECT_EQ(chain->type, kTranslationRecord);
        const NodeEntry *root = findNodeByHash(chain->bindHash);
        ASSERT_NE(root, nullptr);
        EXPECT_STREQ(root->name.get(), "hip");
        int records = 0;
        for (const ChannelRecord *r = chain.get(); r; r = r->next)
            ++records;
        EXPECT_GE(records, 40);  // the hip's translation and the driven bones' rotations

        QString error;
        KyBlock *block = KyBlock::get(path, &error);
        ASSERT_NE(block, nullptr) << error.toStdString();
        if (isCycle(path)) {
            // At least one stride, at most a few.
            EXPECT_GE(block->clipLength, 600);
            EXPECT_LE(block->clipLength, 3000);
        } else {
            EXPECT_GE(block->clipLength, 2000);
            EXPECT_LE(block->clipLength, 20000);
        }
        // The motion moves: the legs or arms change pose within the block.
        const SampledPose first = samplePose(block->clipHandle, 0);
        const SampledPose middle = samplePose(block->clipHandle, block->clipLength / 2);
        double moved = 0.0;
        for (const char *bone : {"lThigh", "rThigh", "lShldr", "rShldr", "abdomen"})
            moved = std::max(moved, degreesBetween(first.rotations.at(bone), middle.rotations.at(bone)));
        EXPECT_GT(moved, 5.0);
    }
}

TEST(StockLibrary, ValidatesWithTheBlockTool)
{
    const QStringList paths = allStockBlocks();
    ASSERT_EQ(paths.size(), 28);
    QString messages;
    EXPECT_EQ(runKba(QStringList{"validate"} + paths, &messages), kKbaOk) << messages.toStdString();
    EXPECT_EQ(messages.count(": ok\n"), paths.size());
}

TEST(StockLibrary, CyclesLoopWithMatchingLegPoseAtTheSeam)
{
    registerStandardNodes();
    int cycles = 0;
    for (const QString &path : allStockBlocks()) {
        if (!isCycle(path))
            continue;
        SCOPED_TRACE(path.toStdString());
        ++cycles;
        KyBlock *block = KyBlock::get(path);
        ASSERT_NE(block, nullptr);
        const PoseDifference seam = poseDifference(*block, 0, block->clipLength);
        EXPECT_LT(seam.legDegrees, 8.0);
        // Capture floors are not quite level; a few centimetres are left for
        // the block's internal blend.
        EXPECT_LT(seam.hipHeight, 5.0);
        // Within the cycle the other leg leads at some point: the same
        // measure is large there, so a cut a step off would have been caught.
        double widest = 0.0;
        for (int t = 0; t < block->clipLength; t += 33)
            widest = std::max(widest, poseDifference(*block, 0, t).legDegrees);
        EXPECT_GT(widest, 3.0 * seam.legDegrees + 20.0);
    }
    EXPECT_EQ(cycles, 14);
}
