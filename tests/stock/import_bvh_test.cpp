// trelvo-kba import-bvh: a BVH take made into a block and played back by the
// block core, against the keys the same import leaves on a figure; long
// takes and refusals.
#include "stocktestsupport.h"

#include <kykeystoblock.h>
#include <kytime.h>
#include <motionimporter.h>

#include <dzapp.h>
#include <dzbone.h>
#include <dzfigureloader.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <QTemporaryDir>

TEST(ImportBvh, BlockReproducesTheImportedHostRotations)
{
    DzApp app;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("short_walk.kba"));
    QString messages;
    ASSERT_EQ(runKba({ "import-bvh", mocap("walk_01.bvh"), out, "--from", "0.2", "--to", "0.7" }, &messages),
        kKbaOk)
        << messages.toStdString();
    KyBlock *block = KyBlock::get(out);
    ASSERT_NE(block, nullptr);

    // The same take imported onto a figure as keys, one per 160 ticks.
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
    EXPECT_EQ(block->clipLength, ticksToMs(static_cast<DzTime>((frames - 1) * kSampleStepTicks)));

    DzBone *hip = figure->findBone(QStringLiteral("hip"));
    const DzVec3 start = hip->getLocalPos(0);
    for (int k = 0; k < frames; ++k) {
        const DzTime t = static_cast<DzTime>(k * kSampleStepTicks);
        const SampledPose pose = samplePose(block->clipHandle, ticksToMs(t));
        for (DzBone *bone : figure->getAllBones()) {
            const auto found = pose.rotations.find(bone->getName());
            EXPECT_LT(
                found == pose.rotations.end() ? 180.0 : degreesBetween(found->second, bone->getLocalRot(t)),
                0.1)
                << bone->getName().toStdString() << " frame " << k;
        }
        // The root travels from where it started, at the reference hip height.
        const DzVec3 expected = hip->getLocalPos(t) - start + DzVec3(0, start.m_y + 99.24, 0);
        EXPECT_LT((pose.positions.at(QStringLiteral("hip")) - expected).length(), 0.01) << "frame " << k;
    }
    dzScene->removeNode(figure);
}

TEST(ImportBvh, MotionLongerThanARecordIsCutWithAWarning)
{
    DzApp app;
    QTemporaryDir dir;
    // 2100 frames at 0.1 s: 210 s, more than 6000 keys at 30 per second.
    QByteArray text
        = "HIERARCHY\nROOT hip { OFFSET 0 0 0 CHANNELS 6 Xposition Yposition Zposition Zrotation "
          "Yrotation Xrotation\n JOINT lThigh { OFFSET 9 -5 0 CHANNELS 3 Zrotation Yrotation Xrotation "
          "End Site { OFFSET 0 -42 0 } }\n JOINT rThigh { OFFSET -9 -5 0 CHANNELS 3 Zrotation "
          "Yrotation Xrotation End Site { OFFSET 0 -42 0 } }\n JOINT abdomen { OFFSET 0 8 0 CHANNELS 3 "
          "Zrotation Yrotation Xrotation End Site { OFFSET 0 25 0 } } }\nMOTION\nFrames: 2100\nFrame Time: "
          "0.1\n";
    for (int i = 0; i < 2100; ++i)
        text += QByteArray::number(i % 50) + " 90 0 0 " + QByteArray::number(i % 90)
            + " 0 10 0 0 -10 0 0 5 0 0\n";
    const QString in = dir.filePath(QStringLiteral("long.bvh"));
    ASSERT_TRUE(writeText(in, text));
    const QString out = dir.filePath(QStringLiteral("long.kba"));
    QString messages;
    ASSERT_EQ(runKba({ "import-bvh", in, out, "--keep-first-frame", "--to", "600" }, &messages), kKbaOk)
        << messages.toStdString();
    const int kept = ticksToMs(static_cast<DzTime>((kMaxSamples - 1) * kSampleStepTicks));
    // The warning names the length the block keeps.
    EXPECT_TRUE(messages.contains(QStringLiteral("warning: a record reached the limit of 6000 keys; "
                                                 "the result keeps %1 ms of 209900 ms")
                                      .arg(kept)))
        << messages.toStdString();
    // Within the limit: no such warning.
    ASSERT_EQ(runKba({ "import-bvh", in, out, "--to", "100" }, &messages), kKbaOk);
    EXPECT_FALSE(messages.contains(QStringLiteral("limit"))) << messages.toStdString();
}

TEST(ImportBvh, RefusesBadInputWithoutWritingAFile)
{
    DzApp app;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.kba"));
    const QString broken = dir.filePath(QStringLiteral("broken.bvh")); // a motion line cut short
    ASSERT_TRUE(writeText(broken,
        "HIERARCHY\nROOT hip\n{\n OFFSET 0 0 0\n CHANNELS 6 Xposition Yposition Zposition "
        "Zrotation Yrotation Xrotation\n End Site\n {\n  OFFSET 0 10 0\n }\n}\nMOTION\n"
        "Frames: 2\nFrame Time: 0.0333333\n0 90 0 0 0 0\n0 90 0\n"));
    const QString run = mocap("run_01.bvh");
    // (arguments after import-bvh, status, part of the message)
    const std::tuple<QStringList, int, const char *> cases[]
        = { { { dir.filePath("missing.bvh"), out }, kKbaFailed, "missing.bvh" },
              { { broken, out }, kKbaFailed, "line 15" },
              { { run, out, "--from", "50" }, kKbaFailed, "after the end" }, { { run }, kKbaBadUsage, "" },
              { { run, out, "--from", "-1" }, kKbaBadUsage, "" },
              { { run, out, "--from", "abc" }, kKbaBadUsage, "" },
              { { run, out, "--from", "0.5", "--to", "0.5" }, kKbaBadUsage, "" },
              { { run, out, "--speed", "2" }, kKbaBadUsage, "" } };
    for (const auto &[args, status, message] : cases) {
        QString messages;
        EXPECT_EQ(runKba(QStringList { "import-bvh" } + args, &messages), status)
            << args.join(' ').toStdString();
        EXPECT_TRUE(messages.contains(message)) << messages.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
