// Motion import onto and export from the host's figures.
#include "bonemap.h"
#include "motionexporter.h"
#include "motionimporter.h"
#include "motiontestdata.h"

#include <dzbone.h>
#include <dzfigureloader.h>
#include <dzfloatproperty.h>
#include <dzscene.h>
#include <dzskeleton.h>

using namespace trelvo::motion;

namespace {

// A scene with figures loaded from the shipped figure files.
class MotionHost : public ::testing::Test {
protected:
    DzSkeleton *add(const char *file = "standard.json")
    {
        QString error;
        DzSkeleton *figure
            = DzFigureLoader::loadFile(QString(TRELVO_CONTENT_DIR) + "/figures/" + file, &error);
        EXPECT_NE(figure, nullptr) << error.toStdString();
        if (figure)
            m_scene.addNode(figure);
        return figure;
    }
    static int keys(DzSkeleton *figure, const char *bone)
    {
        return figure->findBone(bone)->getXRotControl()->getNumKeys();
    }

    DzScene m_scene;
    MotionImporter m_importer;
};

std::filesystem::path mocap(const char *relative)
{
    return motiontest::mocapDir() / relative;
}

} // namespace

TEST_F(MotionHost, ImportWritesOneKeyPerSceneFrameOnTheDrivenBonesInItsRangeScaledToTheFigure)
{
    DzSkeleton *figure = add();
    ASSERT_TRUE(figure);
    DzBone *shin = figure->findBone("lShin");
    DzBone *toe = figure->findBone("lToe");
    shin->getXRotControl()->setValue(500, 33.0f); // between two imported frames: must go
    shin->getXRotControl()->setValue(16000, 12.0f); // after the import (ends at 14080): must stay
    toe->getYRotControl()->setValue(160, 20.0f); // a bone the file does not drive: must stay
    MotionImportOptions options;
    options.startTime = 480;
    ASSERT_TRUE(m_importer.importFile(mocap("walk_01.bvh"), figure, options)) << m_importer.errorString();
    const MotionImportReport &report = m_importer.report();
    // 343 captured frames at 120 fps (the T-pose dropped) are 2.85 s: 86 frames at 30 fps.
    EXPECT_EQ(report.framesWritten, 86);
    EXPECT_EQ(report.range, DzTimeRange(480, 480 + 85 * 160));
    EXPECT_EQ(report.unmappedJoints, (std::vector<std::string> { "leftEye", "rightEye" }));
    EXPECT_EQ(report.undrivenBones.size(), 12u); // toes and the fingers' third segments
    DzBone *hip = figure->findBone("hip");
    EXPECT_EQ(hip->getZPosControl()->getNumKeys(), 86);
    EXPECT_EQ(shin->getXRotControl()->getNumKeys(), 86 + 1);
    EXPECT_FLOAT_EQ(shin->getXRotControl()->getValue(16000), 12.0f);
    EXPECT_EQ(shin->getXPosControl()->getNumKeys(), 0); // only the hip moves
    EXPECT_EQ(keys(figure, "lToe"), 0);
    EXPECT_FLOAT_EQ(toe->getYRotControl()->getValue(160), 20.0f);

    // Starting at the figure's origin: the hip's first horizontal offset is 0.
    EXPECT_NEAR(hip->getLocalPos(480).m_x, 0.0f, 1e-4f);
    EXPECT_NEAR(hip->getLocalPos(480).m_z, 0.0f, 1e-4f);

    // A figure 1.1 times the size takes the motion 1.1 times as large.
    const double standardScale = report.scale;
    DzSkeleton *large = add("large.json");
    DzSkeleton *partial = add("partial.json");
    ASSERT_TRUE(large && partial);
    ASSERT_TRUE(m_importer.importFile(mocap("walk_01.bvh"), large)) << m_importer.errorString();
    EXPECT_NEAR(m_importer.report().scale / standardScale, 1.1, 1e-3);
    // A figure without fingers and toes still takes the motion of what it has.
    ASSERT_TRUE(m_importer.importFile(mocap("cmu_names/dance_01.bvh"), partial)) << m_importer.errorString();
    EXPECT_TRUE(m_importer.report().undrivenBones.empty());
    EXPECT_EQ(keys(partial, "lShin"), m_importer.report().framesWritten);
}

TEST_F(MotionHost, ImportRefusesWithoutTouchingTheFigure)
{
    DzSkeleton *figure = add();
    ASSERT_TRUE(figure);
    auto *odd = new DzSkeleton("Odd");
    odd->addNodeChild(new DzBone("Root"));
    m_scene.addNode(odd);
    MotionImportOptions late, overflow;
    late.retarget.fromSeconds = 100.0;
    overflow.startTime = 2147480000;
    const struct {
        const char *file;
        DzSkeleton *figure;
        MotionImportOptions options;
        const char *message;
    } cases[] = {
        { "missing.bvh", figure, {}, "no such file" },
        { "walk_01.bvh", figure, late, "after the end" },
        { "walk_01.bvh", figure, overflow, "" },
        { "walk_01.bvh", odd, {}, "no 'hip' bone" },
        { "walk_01.bvh", nullptr, {}, "" },
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(m_importer.importFile(mocap(c.file), c.figure, c.options)) << c.message;
        EXPECT_NE(m_importer.errorString().find(c.message), std::string::npos) << m_importer.errorString();
    }
    EXPECT_EQ(keys(figure, "hip"), 0);
}

TEST_F(MotionHost, ExportRefusesEmptyAndOversizedRangesAndWritesTheRestPose)
{
    DzSkeleton *figure = add();
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
    ASSERT_TRUE(exporter.exportBvh(figure, DzTimeRange(0, 4800), out)) << exporter.errorString();
    EXPECT_EQ(out.frameCount, 31);
    for (float v : out.values)
        EXPECT_TRUE(v == 0.0f || std::abs(v - 99.24f) < 1e-4f) << v;
}
