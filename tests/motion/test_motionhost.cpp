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
