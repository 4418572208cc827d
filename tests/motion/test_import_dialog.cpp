// The studio's Import Motion dialog: the mapping it shows and lets the user
// change, the frame rate field, the rest-pose choice and its warnings. The
// File menu's path through it is the studio window's test.
#include "bvhreader.h"
#include "motionimportdialog.h"

#include <dzapp.h>
#include <dzfigureloader.h>
#include <dzskeleton.h>

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using namespace trelvo::motion;
using testing::HasSubstr;
using testing::Not;

namespace {

// Legs, spine and head under MotionBuilder names; no arms. Frame 1 is a
// rest pose (all rotations zero).
const char *const kArmless = R"(HIERARCHY
ROOT Hips { OFFSET 0 0 0 CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
JOINT LeftUpLeg { OFFSET 9 -5 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT LeftLeg { OFFSET 0 -42 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT LeftFoot { OFFSET 0 -42 0 CHANNELS 3 Zrotation Xrotation Yrotation End Site { OFFSET 0 -6 14 } } } }
JOINT RightUpLeg { OFFSET -9 -5 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT RightLeg { OFFSET 0 -42 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT RightFoot { OFFSET 0 -42 0 CHANNELS 3 Zrotation Xrotation Yrotation End Site { OFFSET 0 -6 14 } } } }
JOINT Spine { OFFSET 0 8 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT Spine1 { OFFSET 0 25 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT Neck { OFFSET 0 20 0 CHANNELS 3 Zrotation Xrotation Yrotation
JOINT Head { OFFSET 0 9 0 CHANNELS 3 Zrotation Xrotation Yrotation End Site { OFFSET 0 20 0 } } } } }
}
MOTION
Frames: 3
Frame Time: 0.0333333
0 100 0 0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0  0 0 0
0 100 1 5 0 0  30 0 0  -20 0 0  10 0 0  -30 0 0  20 0 0  0 0 0  5 0 0  5 0 0  5 0 0  5 0 0
0 100 2 6 0 0  31 0 0  -21 0 0  11 0 0  -31 0 0  21 0 0  1 0 0  6 0 0  6 0 0  6 0 0  6 0 0
)";

} // namespace

TEST(ImportDialog, ShowsTheMappingAndWarnsOfUndrivenPartsAndOfMotionLongerThanABlockHolds)
{
    DzApp app;
    BvhReader reader;
    BvhData source;
    ASSERT_TRUE(reader.parse(kArmless, source)) << reader.errorString();
    std::unique_ptr<DzSkeleton> figure(
        DzFigureLoader::loadStandardFigure(QStringLiteral(TRELVO_CONTENT_DIR)));
    ASSERT_TRUE(figure);
    MotionImportDialog dialog(source, figure.get(), "armless.bvh");
    EXPECT_EQ(dialog.preview().convention, "mixamo");
    EXPECT_EQ(dialog.boneOf("LeftUpLeg"), "lThigh");
    EXPECT_EQ(dialog.boneOf("Spine1"), "chest");
    EXPECT_TRUE(dialog.canImport());
    EXPECT_THAT(dialog.warningText().toStdString(), HasSubstr("The left arm is not driven"));
    EXPECT_FALSE(dialog.warningText().contains("leg"));
    EXPECT_TRUE(dialog.preview().firstFrameIsRestPose);

    EXPECT_FALSE(dialog.options().retarget.mapping) << "an unchanged mapping is the automatic one";
    EXPECT_TRUE(dialog.options().retarget.dropFirstFrame);

    // The user takes a leg away: a warning, and the edited mapping is used.
    ASSERT_TRUE(dialog.setBone("LeftLeg", ""));
    EXPECT_THAT(
        dialog.warningText().toStdString(), HasSubstr("The left leg is not driven by the file (lShin)"));
    ASSERT_TRUE(dialog.options().retarget.mapping);
    EXPECT_FALSE(dialog.setBone("LeftLeg", "lTail"));
    EXPECT_FALSE(dialog.setBone("Tail", "lShin"));

    // Two joints that are no chain onto one bone cannot be imported.
    ASSERT_TRUE(dialog.setBone("RightUpLeg", "lThigh"));
    EXPECT_FALSE(dialog.canImport());
    EXPECT_THAT(dialog.warningText().toStdString(), HasSubstr("Cannot import"));

    // A saved mapping loads back into another dialog; a bad one is refused
    // and leaves the table alone.
    QTemporaryDir dir;
    ASSERT_TRUE(dialog.setBone("Neck", "head") && dialog.setBone("Head", "")
        && dialog.setBone("RightUpLeg", "rThigh"));
    QString error;
    ASSERT_TRUE(dialog.saveMapping(dir.filePath("map.json"), &error)) << error.toStdString();
    MotionImportDialog other(source, figure.get(), "armless.bvh");
    ASSERT_TRUE(other.loadMapping(dir.filePath("map.json"), &error)) << error.toStdString();
    EXPECT_EQ(other.boneOf("Neck"), "head");
    EXPECT_EQ(other.boneOf("LeftLeg"), "");
    EXPECT_TRUE(other.canImport());
    EXPECT_FALSE(other.loadMapping(dir.filePath("missing.json"), &error));
    QFile bad(dir.filePath("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write(R"({"joints": {"Hips": "tail"}})") > 0);
    bad.close();
    EXPECT_FALSE(other.loadMapping(dir.filePath("bad.json"), &error));
    EXPECT_THAT(error.toStdString(), HasSubstr("'tail', which the figure does not have"));
    EXPECT_EQ(other.boneOf("Neck"), "head");

    // 300 frames at 1 fps, the rest pose left out: 298 s.
    BvhData bvh = source;
    bvh.frameTime = 1.0;
    const std::vector<float> row(bvh.frame(1), bvh.frame(1) + bvh.channelCount);
    for (bvh.frameCount = 3; bvh.frameCount < 300; ++bvh.frameCount)
        bvh.values.insert(bvh.values.end(), row.begin(), row.end());
    MotionImportDialog longer(bvh, figure.get(), "long.bvh");
    EXPECT_THAT(longer.warningText().toStdString(),
        HasSubstr(
            "A block holds at most 6000 keys per record: a block made from all of this motion keeps 200.0 s "
            "of 298.0 s."));
    EXPECT_TRUE(longer.canImport());
    longer.setFramesPerSecond(2.0);
    EXPECT_THAT(longer.warningText().toStdString(), Not(HasSubstr("6000")));
}
