// trelvo-kba import-bvh: a BVH take made into a block, played back by the
// block core and baked by trelvo-compose, against the keys the same import
// leaves on a figure.
#include "stocktestsupport.h"

#include "kbatool.h"

#include <kyblock.h>
#include <kykeystoblock.h>
#include <kytime.h>

#include <dzapp.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ImportBvh, BlockReproducesTheImportedHostRotations)
{
    DzApp app;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("short_walk.kba"));
    QString messages;
    ASSERT_EQ(runKba({"import-bvh", mocap("walk_01.bvh"), out, "--from", "0.2", "--to", "0.7"}, &messages), kKbaOk)
        << messages.toStdString();
    const ReferenceImport reference("walk_01.bvh", 0.2, 0.7);
    ASSERT_EQ(reference.frames(), 16);
    KyBlock *block = KyBlock::get(out);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->clipLength, ticksToMs(static_cast<DzTime>((reference.frames() - 1) * kSampleStepTicks)));

    // The root travels from where it started, at the reference hip height.
    const auto d = reference.compare(reference.frames(), 99.24, [&](int k) {
        return samplePose(block->clipHandle, ticksToMs(static_cast<DzTime>(k * kSampleStepTicks)));
    });
    EXPECT_LT(d.degrees, 0.1) << "worst bone " << d.worstBone.toStdString();
    EXPECT_LT(d.hip, 0.01);
}

TEST(ImportBvh, BakedTimelineGivesBackTheImportedRotations)
{
    QTemporaryDir dir;
    const QString block = dir.filePath(QStringLiteral("walk_part.kba"));
    QString messages;
    ASSERT_EQ(runKba({"import-bvh", mocap("walk_02.bvh"), block, "--from", "0.3", "--to", "1.3"}, &messages), kKbaOk)
        << messages.toStdString();
    ASSERT_TRUE(writeText(dir.filePath("recipe.json"), R"({"blocks": [{"file": "walk_part.kba"}]})"));
    const QString baked = dir.filePath(QStringLiteral("baked.json"));
    ASSERT_EQ(compose({dir.filePath("recipe.json"), "-o", baked}, &messages), 0) << messages.toStdString();
    QFile bakedFile(baked);
    ASSERT_TRUE(bakedFile.open(QIODevice::ReadOnly));
    const QJsonArray frames = QJsonDocument::fromJson(bakedFile.readAll()).object().value("frames").toArray();

    DzApp app;
    const ReferenceImport reference("walk_02.bvh", 0.3, 1.3);
    ASSERT_GE(reference.frames(), 30);
    // The track ends on the block's last key, so the bake stops one frame short.
    ASSERT_GE(frames.size(), reference.frames() - 1);
    const auto d = reference.compare(reference.frames() - 1, 0.0, [&](int k) {
        const QJsonObject frame = frames.at(k).toObject();
        EXPECT_EQ(frame.value("tick").toInt(), k * kSampleStepTicks);
        SampledPose pose;
        const QJsonObject bones = frame.value("bones").toObject();
        for (auto it = bones.begin(); it != bones.end(); ++it) {
            const QJsonArray q = it.value().toObject().value("quat").toArray();
            pose.rotations[it.key()] = DzQuat(q[0].toDouble(), q[1].toDouble(), q[2].toDouble(), q[3].toDouble());
        }
        const QJsonArray p = frame.value("hipPos").toArray();
        pose.positions["hip"] = DzVec3(float(p[0].toDouble()), float(p[1].toDouble()), float(p[2].toDouble()));
        return pose;
    });
    EXPECT_LT(d.degrees, 0.05) << "worst bone " << d.worstBone.toStdString();
    EXPECT_LT(d.hip, 0.05);
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
    ASSERT_TRUE(writeText(in, text));
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
    const QString broken = dir.filePath(QStringLiteral("broken.bvh"));  // a motion line cut short
    ASSERT_TRUE(writeText(broken, "HIERARCHY\nROOT hip\n{\n OFFSET 0 0 0\n CHANNELS 6 Xposition Yposition Zposition "
                                  "Zrotation Yrotation Xrotation\n End Site\n {\n  OFFSET 0 10 0\n }\n}\nMOTION\n"
                                  "Frames: 2\nFrame Time: 0.0333333\n0 90 0 0 0 0\n0 90 0\n"));
    const QString run = mocap("run_01.bvh");
    const struct {
        QStringList args;
        int status;
        const char *message;
    } cases[] = {
        {{dir.filePath("missing.bvh"), out}, kKbaFailed, "missing.bvh"},
        {{broken, out}, kKbaFailed, "line 15"},
        {{run, out, "--from", "50"}, kKbaFailed, "after the end"},
        {{run}, kKbaBadUsage, ""},
        {{run, out, "--from", "-1"}, kKbaBadUsage, ""},
        {{run, out, "--from", "abc"}, kKbaBadUsage, ""},
        {{run, out, "--from", "0.5", "--to", "0.5"}, kKbaBadUsage, ""},
        {{run, out, "--speed", "2"}, kKbaBadUsage, ""},
    };
    for (const auto &c : cases) {
        QString messages;
        EXPECT_EQ(runKba(QStringList{"import-bvh"} + c.args, &messages), c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(messages.contains(c.message)) << messages.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
