#include "bonemap.h"
#include "bvhreader.h"
#include "figuretarget.h"
#include "motionexporter.h"
#include "motionimporter.h"
#include "motiontestdata.h"

#include <dzbone.h>
#include <dzfigureloader.h>
#include <dzfloatproperty.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using namespace trelvo::motion;

namespace {

// A scene with figures loaded from the shipped figure files.
class Stage
{
public:
    DzSkeleton *add(const char *file = "standard.json")
    {
        QString error;
        DzSkeleton *figure = DzFigureLoader::loadFile(QString(TRELVO_CONTENT_DIR) + "/figures/" + file, &error);
        EXPECT_NE(figure, nullptr) << error.toStdString();
        if (figure)
            m_scene.addNode(figure);
        return figure;
    }
    DzScene &scene() { return m_scene; }

private:
    DzScene m_scene;
};

std::filesystem::path mocap(const char *relative)
{
    return motiontest::mocapDir() / relative;
}

using motiontest::degreesBetween;

} // namespace

TEST(MotionImport, WritesOneKeyPerSceneFrameOnTheDrivenBones)
{
    Stage stage;
    DzSkeleton *figure = stage.add();
    ASSERT_TRUE(figure);
    MotionImportOptions options;
    options.startTime = 480;
    MotionImporter importer;
    ASSERT_TRUE(importer.importFile(mocap("walk_01.bvh"), figure, options)) << importer.errorString();
    const MotionImportReport &report = importer.report();
    // 343 captured frames at 120 fps (the T-pose dropped) are 2.85 s: 86 frames at 30 fps.
    EXPECT_EQ(report.framesWritten, 86);
    EXPECT_EQ(report.range, DzTimeRange(480, 480 + 85 * 160));
    // About 1.2: the file's rest hip is 82.99 above its feet, the figure's
    // 98.24 above its toe tips; the figure's steeper feet make the file's
    // skeleton a little taller in the figure's rest pose.
    EXPECT_GT(report.scale, 1.1);
    EXPECT_LT(report.scale, 1.25);
    EXPECT_EQ(report.unmappedJoints, (std::vector<std::string>{"leftEye", "rightEye"}));
    EXPECT_EQ(report.undrivenBones.size(), 12u);  // toes and the fingers' third segments
    EXPECT_NE(std::find(report.undrivenBones.begin(), report.undrivenBones.end(), "lToe"), report.undrivenBones.end());

    DzBone *hip = figure->findBone("hip");
    DzBone *shin = figure->findBone("lShin");
    EXPECT_EQ(hip->getXRotControl()->getNumKeys(), 86);
    EXPECT_EQ(hip->getZPosControl()->getNumKeys(), 86);
    EXPECT_EQ(shin->getYRotControl()->getNumKeys(), 86);
    EXPECT_EQ(shin->getXPosControl()->getNumKeys(), 0);  // only the hip moves
    EXPECT_EQ(figure->findBone("lToe")->getXRotControl()->getNumKeys(), 0);

    // The keys hold the retargeted rotations, whatever the bone's rotation order.
    FigureTarget target;
    ASSERT_TRUE(FigureTarget::fromFigure(figure, target));
    BvhReader reader;
    BvhData bvh;
    ASSERT_TRUE(reader.readFile(mocap("walk_01.bvh"), bvh));
    RetargetOptions retarget;
    retarget.frameTime = 160.0 / 4800.0;
    Retargeter retargeter(bvh, target.skeleton, retarget);
    MotionClip clip;
    ASSERT_TRUE(retargeter.run(clip));
    for (int f : {0, 40, 85}) {
        for (int b = 0; b < clip.boneCount(); ++b) {
            if (!clip.driven[b])
                continue;
            const DzQuat &q = clip.rotation(f, b);
            EXPECT_LT(degreesBetween(target.bones[b]->getLocalRot(480 + f * 160), DzQuat(q.m_x, q.m_y, q.m_z, q.m_w)), 1e-3)
                << clip.boneNames[b] << " frame " << f;
        }
    }
    // Starting at the figure's origin: the hip's first horizontal offset is 0.
    EXPECT_NEAR(hip->getLocalPos(480).m_x, 0.0f, 1e-4f);
    EXPECT_NEAR(hip->getLocalPos(480).m_z, 0.0f, 1e-4f);
}

TEST(MotionImport, ReplacesKeysInTheRangeAndKeepsTheRest)
{
    Stage stage;
    DzSkeleton *figure = stage.add();
    ASSERT_TRUE(figure);
    DzBone *shin = figure->findBone("lShin");
    DzBone *toe = figure->findBone("lToe");
    shin->getXRotControl()->setValue(100, 33.0f);   // between two imported frames: must go
    shin->getXRotControl()->setValue(16000, 12.0f); // after the import (ends at 13600): must stay
    toe->getXRotControl()->setValue(160, 20.0f);    // a bone the file does not drive: must stay
    MotionImporter importer;
    ASSERT_TRUE(importer.importFile(mocap("walk_01.bvh"), figure)) << importer.errorString();
    EXPECT_EQ(shin->getXRotControl()->getNumKeys(), 86 + 1);
    EXPECT_FLOAT_EQ(shin->getXRotControl()->getValue(16000), 12.0f);
    EXPECT_FLOAT_EQ(toe->getXRotControl()->getValue(160), 20.0f);
}

TEST(MotionImport, WalkMovesForwardWithFeetOnTheGround)
{
    Stage stage;
    DzSkeleton *figure = stage.add();
    ASSERT_TRUE(figure);
    MotionImporter importer;
    ASSERT_TRUE(importer.importFile(mocap("walk_01.bvh"), figure)) << importer.errorString();
    const int frames = importer.report().framesWritten;
    DzBone *hip = figure->findBone("hip");
    const double seconds = (frames - 1) * 160.0 / 4800.0;
    const double speed = (hip->getWSPos((frames - 1) * 160).m_z - hip->getWSPos(0).m_z) / seconds;
    EXPECT_GT(speed, 80.0);   // cm/s: a walk, forward along +Z
    EXPECT_LT(speed, 200.0);
    EXPECT_LT(std::abs(hip->getWSPos((frames - 1) * 160).m_x - hip->getWSPos(0).m_x), 30.0f);

    // The file's own floor rises about 9 units over this take, so compare
    // the figure's feet with the file's, frame by frame. The figure's foot
    // is longer and its ankle higher than the file's (scaled), so as a foot
    // rolls its lowest point differs by several cm (there is no foot IK);
    // on average the two must agree.
    BvhReader reader;
    BvhData bvh;
    ASSERT_TRUE(reader.readFile(mocap("walk_01.bvh"), bvh));
    const BoneMap map(bvh);
    const char *const feet[] = {"lFoot", "rFoot", "lToe", "rToe"};
    double worst = 0.0, sum = 0.0, lowestEver = std::numeric_limits<double>::infinity();
    for (int k = 0; k < frames; ++k) {
        const DzTime t = k * 160;
        double figureLowest = std::numeric_limits<double>::infinity();
        for (const char *name : feet) {
            DzBone *bone = figure->findBone(name);
            figureLowest = std::min({figureLowest, double(bone->getWSPos(t).m_y), double(bone->getWSEndPoint(t).m_y)});
        }
        lowestEver = std::min(lowestEver, figureLowest);
        const int source = 1 + 4 * k;
        std::vector<DzQuat> world(bvh.joints.size());
        std::vector<DzVec3> at(bvh.joints.size());
        double fileLowest = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
            const int p = bvh.joints[j].parent;
            at[j] = (p >= 0 ? at[p] : DzVec3()) + (p >= 0 ? world[p] : DzQuat()).multVec(bvh.localTranslation(source, int(j)));
            world[j] = (p >= 0 ? world[p] : DzQuat()) * bvh.localRotation(source, int(j));
            if (std::find(std::begin(feet), std::end(feet), map.boneOf(int(j))) != std::end(feet) && bvh.joints[j].hasEndSite)
                fileLowest = std::min(fileLowest, double((at[j] + world[j].multVec(bvh.joints[j].endSite)).m_y));
        }
        const double difference = figureLowest - fileLowest * importer.report().scale;
        worst = std::max(worst, std::abs(difference));
        sum += difference;
    }
    EXPECT_GT(lowestEver, -3.0);
    EXPECT_LT(lowestEver, 6.0);
    EXPECT_LT(std::abs(sum / frames), 3.0);
    EXPECT_LT(worst, 10.0);
}

TEST(MotionImport, ScalesToTheFiguresSize)
{
    Stage stage;
    DzSkeleton *standard = stage.add();
    DzSkeleton *large = stage.add("large.json");
    DzSkeleton *partial = stage.add("partial.json");
    ASSERT_TRUE(standard && large && partial);
    MotionImporter importer;
    ASSERT_TRUE(importer.importFile(mocap("cmu_names/dance_01.bvh"), standard)) << importer.errorString();
    const double standardScale = importer.report().scale;
    ASSERT_TRUE(importer.importFile(mocap("cmu_names/dance_01.bvh"), large)) << importer.errorString();
    EXPECT_NEAR(importer.report().scale / standardScale, 1.1, 1e-3);
    // A figure without fingers and toes still takes the motion of what it has.
    ASSERT_TRUE(importer.importFile(mocap("cmu_names/dance_01.bvh"), partial)) << importer.errorString();
    EXPECT_TRUE(importer.report().undrivenBones.empty());
    EXPECT_EQ(partial->findBone("lShin")->getXRotControl()->getNumKeys(), importer.report().framesWritten);
}

TEST(MotionImport, RefusesWithoutTouchingTheFigure)
{
    Stage stage;
    DzSkeleton *figure = stage.add();
    ASSERT_TRUE(figure);
    MotionImporter importer;
    EXPECT_FALSE(importer.importFile(mocap("missing.bvh"), figure));
    EXPECT_NE(importer.errorString().find("no such file"), std::string::npos) << importer.errorString();

    MotionImportOptions late;
    late.retarget.fromSeconds = 100.0;
    EXPECT_FALSE(importer.importFile(mocap("walk_01.bvh"), figure, late));
    EXPECT_NE(importer.errorString().find("after the end"), std::string::npos) << importer.errorString();
    MotionImportOptions overflow;
    overflow.startTime = 2147480000;
    EXPECT_FALSE(importer.importFile(mocap("walk_01.bvh"), figure, overflow));
    EXPECT_EQ(figure->findBone("hip")->getXRotControl()->getNumKeys(), 0);

    auto *odd = new DzSkeleton("Odd");
    auto *root = new DzBone("Root");
    odd->addNodeChild(root);
    stage.scene().addNode(odd);
    EXPECT_FALSE(importer.importFile(mocap("walk_01.bvh"), odd));
    EXPECT_NE(importer.errorString().find("no 'hip' bone"), std::string::npos) << importer.errorString();
    EXPECT_FALSE(importer.importFile(mocap("walk_01.bvh"), nullptr));
}

TEST(MotionExport, ImportExportRoundTripKeepsTheRotations)
{
    for (const char *file : {"walk_01.bvh", "cmu_names/dance_01.bvh"}) {
        SCOPED_TRACE(file);
        Stage stage;
        DzSkeleton *first = stage.add();
        DzSkeleton *second = stage.add();
        ASSERT_TRUE(first && second);
        MotionImporter importer;
        ASSERT_TRUE(importer.importFile(mocap(file), first)) << importer.errorString();
        const DzTimeRange range = importer.report().range;

        const std::filesystem::path out = std::filesystem::path(testing::TempDir()) / "roundtrip.bvh";
        MotionExporter exporter;
        ASSERT_TRUE(exporter.exportFile(out, first, range)) << exporter.errorString();
        BvhReader reader;
        BvhData exported;
        ASSERT_TRUE(reader.readFile(out, exported)) << reader.errorString();
        EXPECT_EQ(exported.joints.size(), 53u);
        EXPECT_EQ(exported.joints[0].name, "hip");
        EXPECT_EQ(exported.joints[0].channels.size(), 6u);
        EXPECT_EQ(exported.frameCount, importer.report().framesWritten);
        EXPECT_NEAR(exported.frameTime, 1.0 / 30.0, 1e-12);
        // The shin's host order YZX (Y applied first) lists as X Z Y.
        EXPECT_EQ(exported.joints[exported.findJoint("lShin")].channels,
                  (std::vector<BvhChannel>{BvhChannel::Xrotation, BvhChannel::Zrotation, BvhChannel::Yrotation}));

        MotionImportOptions same;
        same.retarget.dropFirstFrame = false;
        same.retarget.placement = RetargetOptions::Placement::KeepFilePosition;
        ASSERT_TRUE(importer.importFile(out, second, same)) << importer.errorString();
        EXPECT_NEAR(importer.report().scale, 1.0, 1e-6);
        EXPECT_TRUE(importer.report().undrivenBones.empty());
        double worstAngle = 0.0, worstPosition = 0.0;
        for (DzTime t = range.getStart(); t <= range.getEnd(); t += 160) {
            for (DzBone *bone : first->getAllBones())
                worstAngle = std::max(worstAngle, degreesBetween(bone->getLocalRot(t), second->findBone(bone->getName())->getLocalRot(t)));
            const DzVec3 d = first->findBone("hip")->getLocalPos(t) - second->findBone("hip")->getLocalPos(t);
            worstPosition = std::max(worstPosition, double(d.length()));
        }
        EXPECT_LT(worstAngle, 0.01);
        EXPECT_LT(worstPosition, 0.01);
    }
}

TEST(MotionExport, RefusesEmptyAndOversizedRanges)
{
    Stage stage;
    DzSkeleton *figure = stage.add();
    ASSERT_TRUE(figure);
    MotionExporter exporter;
    BvhData out;
    EXPECT_FALSE(exporter.exportBvh(figure, DzTimeRange(100, 50), out));
    EXPECT_NE(exporter.errorString().find("empty"), std::string::npos);
    EXPECT_FALSE(exporter.exportBvh(figure, DzTimeRange(0, 2000000000), out));
    EXPECT_NE(exporter.errorString().find("at most"), std::string::npos);
    MotionExportOptions zero;
    zero.step = 0;
    EXPECT_FALSE(exporter.exportBvh(figure, DzTimeRange(0, 4800), out, zero));
    EXPECT_FALSE(exporter.exportBvh(nullptr, DzTimeRange(0, 4800), out));
    // A still figure exports its rest pose.
    ASSERT_TRUE(exporter.exportBvh(figure, DzTimeRange(0, 4800), out)) << exporter.errorString();
    EXPECT_EQ(out.frameCount, 31);
    for (float v : out.values)
        EXPECT_TRUE(v == 0.0f || std::abs(v - 99.24f) < 1e-4f) << v;
}
