// trelvo-compose --bvh: a composed timeline of stock blocks exported as BVH
// and read back.
#include "stocktestsupport.h"

#include <bvhreader.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>


TEST(ComposeBvh, ExportsTheBakedFramesAsReadableBvhAndRefusesBadTargets)
{
    QTemporaryDir dir;
    const QString recipe = dir.filePath(QStringLiteral("recipe.json"));
    const QString stock = contentDir() + QStringLiteral("/kinBlocks/Trelvo/");
    ASSERT_TRUE(writeText(recipe, QStringLiteral(R"({"blocks": [{"file": "%1s_walk_01.kba"}, {"file": "%1s_run_01.kba"}]})")
                                      .arg(stock)
                                      .toUtf8()));
    const QString json = dir.filePath(QStringLiteral("out.json"));
    const QString bvh = dir.filePath(QStringLiteral("out.bvh"));
    QString messages;
    ASSERT_EQ(compose({recipe, "-o", json, "--bvh", bvh}, &messages), 0) << messages.toStdString();
    QFile jsonFile(json);
    ASSERT_TRUE(jsonFile.open(QIODevice::ReadOnly));
    const QJsonArray frames = QJsonDocument::fromJson(jsonFile.readAll()).object().value("frames").toArray();
    // Walk (1100 ms) then run (733 ms): some 55 frames at 30 fps.
    ASSERT_GT(frames.size(), 45);

    trelvo::motion::BvhData data;
    trelvo::motion::BvhReader reader;
    ASSERT_TRUE(reader.readFile(QFile::encodeName(bvh).toStdString(), data)) << reader.errorString();
    EXPECT_EQ(data.frameCount, frames.size());
    EXPECT_NEAR(data.frameTime, 1.0 / 30.0, 1e-6);
    ASSERT_FALSE(data.joints.empty());
    EXPECT_EQ(data.joints[0].name, "hip");

    // The hip's position channels follow the baked hip positions.
    const auto hipPos = [&](int frame, int axis) {
        return frames[frame].toObject().value("hipPos").toArray()[axis].toDouble();
    };
    const int last = frames.size() - 1;
    EXPECT_GT(std::hypot(hipPos(last, 0) - hipPos(0, 0), hipPos(last, 2) - hipPos(0, 2)), 100.0);  // they cover ground
    const DzVec3 first = data.localTranslation(0, 0);
    const DzVec3 end = data.localTranslation(last, 0);
    EXPECT_NEAR(end.m_x - first.m_x, hipPos(last, 0) - hipPos(0, 0), 0.5);
    EXPECT_NEAR(end.m_z - first.m_z, hipPos(last, 2) - hipPos(0, 2), 0.5);

    // And the rotations read back as baked, frame by frame.
    double worst = 0.0;
    for (const char *bone : {"hip", "lThigh", "rShin", "lShldr", "head"}) {
        const int joint = data.findJoint(bone);
        ASSERT_GE(joint, 0) << bone;
        for (int f = 0; f <= last; ++f) {
            const QJsonArray q = frames[f].toObject().value("bones").toObject().value(bone).toObject()
                                     .value("quat").toArray();
            const DzQuat baked(q[0].toDouble(), q[1].toDouble(), q[2].toDouble(), q[3].toDouble());
            worst = std::max(worst, degreesBetween(baked, data.localRotation(f, joint)));
        }
    }
    EXPECT_LT(worst, 0.05);

    // The BVH alone is enough; an unwritable target fails cleanly and leaves nothing behind.
    EXPECT_EQ(compose({recipe, "--bvh", dir.filePath(QStringLiteral("only.bvh"))}), 0);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("only.bvh"))));
    EXPECT_EQ(compose({recipe, "--bvh"}), 2);
    const QString nowhere = dir.filePath(QStringLiteral("missing/folder/out.bvh"));
    EXPECT_EQ(compose({recipe, "--bvh", nowhere}, &messages), 1);
    EXPECT_TRUE(messages.contains("out.bvh")) << messages.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}
