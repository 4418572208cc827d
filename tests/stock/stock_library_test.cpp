// The stock block library in content/kinBlocks/Trelvo: every block loads and
// validates, starts with the hip's translation, holds motion of a sensible
// length, and the walk, run and jog cycles loop without a visible jump.
#include "stocktestsupport.h"

#include <blockfile.h>
#include <channelrecord.h>
#include <nodetable.h>

#include <QDir>
#include <QFileInfo>

namespace {

QStringList stockBlocks()
{
    QStringList paths;
    for (const QString &sub : { QString(), QStringLiteral("dance") }) {
        QDir dir(contentDir() + QStringLiteral("/kinBlocks/Trelvo/") + sub);
        for (const QString &name : dir.entryList({ QStringLiteral("*.kba") }, QDir::Files, QDir::Name))
            paths << dir.filePath(name);
    }
    return paths;
}

bool isCycle(const QString &path)
{
    const QString base = QFileInfo(path).baseName();
    // The walk over uneven ground is a one-shot take: its steps do not repeat.
    return (base.startsWith("s_walk_") || base.startsWith("s_run_") || base.startsWith("s_jog_"))
        && base != "s_walk_uneven_01";
}

// Largest rotation difference (degrees) of the given bones between two clip times.
double turned(const KyBlock &block, int timeA, int timeB, std::initializer_list<const char *> bones)
{
    const SampledPose a = samplePose(block.clipHandle, timeA);
    const SampledPose b = samplePose(block.clipHandle, timeB);
    double most = 0.0;
    for (const char *bone : bones)
        most = std::max(most, degreesBetween(a.rotations.at(bone), b.rotations.at(bone)));
    return most;
}

const std::initializer_list<const char *> kLegs = { "lThigh", "lShin", "lFoot", "rThigh", "rShin", "rFoot" };

} // namespace

TEST(StockLibrary, EveryBlockLoadsValidatesMovesAndCyclesLoop)
{
    registerStandardNodes();
    int cycles = 0;
    const QStringList paths = stockBlocks();
    ASSERT_EQ(paths.size(), 28);
    QString messages;
    EXPECT_EQ(runKba(QStringList { "validate" } + paths, &messages), kKbaOk) << messages.toStdString();
    EXPECT_EQ(messages.count(": ok\n"), paths.size());
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
        EXPECT_GE(records, 40); // the hip's translation and the driven bones' rotations

        QString error;
        KyBlock *block = KyBlock::get(path, &error);
        ASSERT_NE(block, nullptr) << error.toStdString();
        // Cycles hold at least one stride and at most a few; takes are longer.
        EXPECT_GE(block->clipLength, isCycle(path) ? 600 : 2000);
        EXPECT_LE(block->clipLength, isCycle(path) ? 3000 : 20000);
        EXPECT_GT(
            turned(*block, 0, block->clipLength / 2, { "lThigh", "rThigh", "lShldr", "rShldr", "abdomen" }),
            5.0);
        // Cycles loop with a matching leg pose at the seam.
        if (!isCycle(path))
            continue;
        ++cycles;
        const double seam = turned(*block, 0, block->clipLength, kLegs);
        EXPECT_LT(seam, 8.0);
        // Capture floors are not quite level; a few centimetres are left for
        // the block's internal blend.
        const double hipHeight = samplePose(block->clipHandle, 0).positions.at("hip").m_y;
        EXPECT_NEAR(samplePose(block->clipHandle, block->clipLength).positions.at("hip").m_y, hipHeight, 5.0);
        // Within the cycle the other leg leads at some point: the same
        // measure is large there, so a cut a step off would have been caught.
        double widest = 0.0;
        for (int t = 0; t < block->clipLength; t += 33)
            widest = std::max(widest, turned(*block, 0, t, kLegs));
        EXPECT_GT(widest, 3.0 * seam + 20.0);
    }
    EXPECT_EQ(cycles, 14);
}
