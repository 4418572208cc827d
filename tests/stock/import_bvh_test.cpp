// trelvo-kba import-bvh: BVH motion through the standard figure's keys into
// a block, compared with the keys the same import leaves on a figure.
#include "stocktestsupport.h"

#include "kbatool.h"

#include <kyblock.h>
#include <kykeystoblock.h>
#include <kytime.h>
#include <motionimporter.h>

#include <dzapp.h>
#include <dzbone.h>
#include <dzfigureloader.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString mocap(const char *name)
{
    return contentDir() + QStringLiteral("/mocap/bvh/") + QLatin1String(name);
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(ImportBvh, BlockReproducesTheImportedHostRotations)
{
    DzApp app;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("short_walk.kba"));
    QString messages;
    ASSERT_EQ(runKba({"import-bvh", mocap("walk_01.bvh"), out, "--from", "0.2", "--to", "0.7"}, &messages),
              kKbaOk)
        << messages.toStdString();

    // The same import onto a figure of our own, kept to compare against.
    DzSkeleton *figure = DzFigureLoader::loadStandardFigure(contentDir());
    ASSERT_NE(figure, nullptr);
    dzScene->addNode(figure);
    dzScene->setTimeStep(kSampleStepTicks);
    trelvo::motion::MotionImportOptions options;
    options.retarget.fromSeconds = 0.2;
    options.retarget.toSeconds = 0.7;
    trelvo::motion::MotionImporter importer;
    ASSERT_TRUE(importer.importFile(QFile::encodeName(mocap("walk_01.bvh")).toStdString(), figure, options));
    const int frames = importer.report().framesWritten;
    ASSERT_EQ(frames, 16);

    KyBlock *block = KyBlock::get(out);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->clipLength, ticksToMs(static_cast<DzTime>((frames - 1) * kSampleStepTicks)));

    DzBone *hip = figure->findBone(QStringLiteral("hip"));
    ASSERT_NE(hip, nullptr);
    const DzVec3 startPos = hip->getLocalPos(0);
    double worst = 0.0;
    QString worstBone;
    int compared = 0;
    for (int k = 0; k < frames; ++k) {
        const DzTime t = static_cast<DzTime>(k * kSampleStepTicks);
        const SampledPose pose = samplePose(block->clipHandle, ticksToMs(t));
        for (DzBone *bone : figure->getAllBones()) {
            const auto found = pose.rotations.find(bone->getName());
            ASSERT_NE(found, pose.rotations.end()) << bone->getName().toStdString();
            const double d = degreesBetween(found->second, bone->getLocalRot(t));
            if (d > worst) {
                worst = d;
                worstBone = bone->getName();
            }
            ++compared;
        }
        // The root travels from where it started, at the reference hip height.
        const DzVec3 p = hip->getLocalPos(t);
        const DzVec3 sampled = pose.positions.at(QStringLiteral("hip"));
        EXPECT_NEAR(sampled.m_x, p.m_x - startPos.m_x, 0.01) << "frame " << k;
        EXPECT_NEAR(sampled.m_y, p.m_y + 99.24, 0.01) << "frame " << k;
        EXPECT_NEAR(sampled.m_z, p.m_z - startPos.m_z, 0.01) << "frame " << k;
    }
    EXPECT_GT(compared, 16 * 50);
    EXPECT_LT(worst, 0.1) << "worst bone " << worstBone.toStdString();
    dzScene->removeNode(figure);
}

TEST(ImportBvh, KeepingTheFirstFrameStartsWithTheConvertersTPose)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.kba"));
    const QString dropped = dir.filePath(QStringLiteral("dropped.kba"));
    ASSERT_EQ(runKba({"import-bvh", mocap("walk_01.bvh"), kept, "--to", "0.5", "--keep-first-frame"}), kKbaOk);
    ASSERT_EQ(runKba({"import-bvh", mocap("walk_01.bvh"), dropped, "--to", "0.5"}), kKbaOk);
    KyBlock *a = KyBlock::get(kept);
    KyBlock *b = KyBlock::get(dropped);
    ASSERT_TRUE(a && b);
    // The T-pose lifts the upper arms to the side; the walk has them down.
    const SampledPose tpose = samplePose(a->clipHandle, 0);
    const SampledPose walk = samplePose(b->clipHandle, 0);
    EXPECT_GT(degreesBetween(tpose.rotations.at("lShldr"), walk.rotations.at("lShldr")), 20.0);
}

TEST(ImportBvh, MotionLongerThanARecordIsCutWithAWarning)
{
    DzApp app;
    QTemporaryDir dir;
    // 2100 frames at 0.1 s: 210 s, more than 6000 keys at 30 per second.
    QByteArray text = "HIERARCHY\nROOT hip { OFFSET 0 0 0 CHANNELS 6 Xposition Yposition Zposition Zrotation "
                      "Yrotation Xrotation\n JOINT lThigh { OFFSET 9 -5 0 CHANNELS 3 Zrotation Yrotation Xrotation "
                      "End Site { OFFSET 0 -42 0 } }\n JOINT rThigh { OFFSET -9 -5 0 CHANNELS 3 Zrotation "
                      "Yrotation Xrotation End Site { OFFSET 0 -42 0 } }\n JOINT abdomen { OFFSET 0 8 0 CHANNELS 3 "
                      "Zrotation Yrotation Xrotation End Site { OFFSET 0 25 0 } } }\nMOTION\nFrames: 2100\nFrame Time: 0.1\n";
    for (int i = 0; i < 2100; ++i)
        text += QByteArray::number(i % 50) + " 90 0 0 " + QByteArray::number(i % 90) + " 0 10 0 0 -10 0 0 5 0 0\n";
    const QString in = dir.filePath(QStringLiteral("long.bvh"));
    writeText(in, text);
    const QString out = dir.filePath(QStringLiteral("long.kba"));
    QString messages;
    ASSERT_EQ(runKba({"import-bvh", in, out, "--keep-first-frame", "--to", "600"}, &messages), kKbaOk)
        << messages.toStdString();
    const int kept = ticksToMs(static_cast<DzTime>((kMaxSamples - 1) * kSampleStepTicks));
    const KyBlock *block = KyBlock::get(out);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->clipLength, kept);
    EXPECT_TRUE(messages.contains(QStringLiteral("warning: a record reached the limit of 6000 keys; "
                                                 "the result keeps %1 ms of 209900 ms").arg(kept)))
        << messages.toStdString();

    // Within the limit: no such warning.
    ASSERT_EQ(runKba({"import-bvh", in, out, "--to", "100"}, &messages), kKbaOk);
    EXPECT_FALSE(messages.contains(QStringLiteral("limit"))) << messages.toStdString();
}

TEST(ImportBvh, RefusesBadInputWithoutWritingAFile)
{
    DzApp app;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.kba"));
    QString messages;

    {   // A file that is not there.
        EXPECT_EQ(runKba({"import-bvh", dir.filePath("missing.bvh"), out}, &messages), kKbaFailed);
        EXPECT_TRUE(messages.contains("missing.bvh")) << messages.toStdString();
    }
    {   // A motion line cut short: the message names its line.
        const QString broken = dir.filePath(QStringLiteral("broken.bvh"));
        writeText(broken, "HIERARCHY\nROOT hip\n{\n OFFSET 0 0 0\n CHANNELS 6 Xposition Yposition Zposition "
                          "Zrotation Yrotation Xrotation\n End Site\n {\n  OFFSET 0 10 0\n }\n}\nMOTION\n"
                          "Frames: 2\nFrame Time: 0.0333333\n0 90 0 0 0 0\n0 90 0\n");
        EXPECT_EQ(runKba({"import-bvh", broken, out}, &messages), kKbaFailed);
        EXPECT_TRUE(messages.contains("line 15")) << messages.toStdString();
    }
    {   // A range that starts after the motion ends.
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh"), out, "--from", "50"}, &messages), kKbaFailed);
    }
    {   // Usage faults.
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh")}), kKbaBadUsage);
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh"), out, "--from", "-1"}), kKbaBadUsage);
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh"), out, "--from", "abc"}), kKbaBadUsage);
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh"), out, "--from", "0.5", "--to", "0.5"}), kKbaBadUsage);
        EXPECT_EQ(runKba({"import-bvh", mocap("run_01.bvh"), out, "--speed", "2"}), kKbaBadUsage);
    }
    EXPECT_FALSE(QFile::exists(out));
}
