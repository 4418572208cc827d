// Blocks from host keys: sampling, the command's questions and files, and
// round trips block → timeline → bake → block.
#include "timelinetestsupport.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kykeystoblock.h"
#include "kyoffsets.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "channelstore.h"
#include "nodetable.h"

#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QFile>

class KeysToBlock : public TimelineTest
{
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        m_figure = addFigure();
        m_hip = m_figure->findNodeChild(QStringLiteral("hip"));
        m_neck = m_figure->findNodeChild(QStringLiteral("neck"), true);
        // Keys over one second: the hip walks 60 along X, the neck nods.
        m_hip->setLocalPos(0, DzVec3(0, 0, 0));
        m_hip->setLocalPos(4800, DzVec3(60, 0, 0));
        m_neck->setLocalRot(0, DzQuat(DzVec3(1, 0, 0), 0.0));
        m_neck->setLocalRot(4800, DzQuat(DzVec3(1, 0, 0), 0.5));
        dzScene->setPlayRange(DzTimeRange(0, 4800));
        dzScene->setPrimarySelection(m_neck);
    }
    DzSkeleton *m_figure = nullptr;
    DzNode *m_hip = nullptr;
    DzNode *m_neck = nullptr;
};

TEST_F(KeysToBlock, SamplesThirtyTimesASecondBelowTheRangeEnd)
{
    m_prompts.files = {tempPath(QStringLiteral("nod"))};
    KyBlock *block = createKinBlockFromScene(nullptr, nullptr, m_temp.path());
    ASSERT_NE(block, nullptr);
    // 30 samples: 0, 160, …, 4640 ticks = 0 … 966 ms.
    EXPECT_EQ(block->clipLength, 966);
    EXPECT_EQ(block->outPoint, 966);
    EXPECT_EQ(block->name.toStdString(), "nod");
    EXPECT_EQ(block->path.toStdString(), tempPath(QStringLiteral("nod.kba")).toStdString());
    EXPECT_TRUE(QFile::exists(block->path));
    EXPECT_EQ(KyBlock::get(block->path), block);
    ASSERT_EQ(m_prompts.fileRequests.size(), 1u);
    const KySaveFileRequest &request = m_prompts.fileRequests[0];
    EXPECT_EQ(request.caption.toStdString(), "Choose save file");
    EXPECT_EQ(request.filter.toStdString(), "kinBlocks (*.kba)");
    EXPECT_EQ(request.dialogName.toStdString(), "save file dialog");
    EXPECT_EQ(request.startPath.toStdString(), (m_temp.path() + "/unnamed").toStdString());

    // The stored motion: root at x 30 half-way, standing at the reference height.
    sampleSlot(block->clipHandle, 500);
    float x = 0, y = 0, z = 0;
    ASSERT_TRUE(nodeTranslation("hip", &x, &y, &z));
    EXPECT_NEAR(x, 30.0f, 0.01f); // the key at 2400 ticks = 500 ms
    EXPECT_NEAR(y, 99.24f, 0.01f);
    EXPECT_LT(angleBetween(tableRotation(QStringLiteral("neck")),
                           m_neck->getLocalRot(2400)),
              0.05);
}

TEST_F(KeysToBlock, ARangeLongerThanABlockHoldsIsCutWithAMessage)
{
    // 6000 samples at 30 a second end at 199966 ms; the range asks for 210 s.
    const DzTimeRange range(0, 210 * 4800);
    m_prompts.files = {tempPath(QStringLiteral("long"))};
    const int before = m_prompts.messages.size();
    KyBlock *block = createKinBlockFromScene(&range, nullptr, m_temp.path());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->clipLength, 199966);
    ASSERT_EQ(m_prompts.messages.size(), before + 1);
    EXPECT_EQ(m_prompts.messages.last().toStdString(),
              "A kinBlock holds at most 6000 keys per record: the block keeps 199966 ms of the 210000 ms asked for.");

    // Within the limit nothing is said.
    const DzTimeRange shorter(0, 100 * 4800);
    m_prompts.files = {tempPath(QStringLiteral("shorter"))};
    ASSERT_NE(createKinBlockFromScene(&shorter, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.messages.size(), before + 1);
}

TEST_F(KeysToBlock, NamesTheFileWithOneKbaEnding)
{
    EXPECT_EQ(blockFileNameFor(QStringLiteral("/a/walk.kba")).toStdString(), "/a/walk.kba");
    EXPECT_EQ(blockFileNameFor(QStringLiteral("/a/walk.KBA")).toStdString(), "/a/walk.KBA.kba");
    EXPECT_EQ(blockFileNameFor(QStringLiteral("/a/walk")).toStdString(), "/a/walk.kba");
    EXPECT_EQ(blockFileNameFor(QStringLiteral("/a/walk.kba.kba")).toStdString(), "/a/walk.kba.kba");
}

TEST_F(KeysToBlock, StartsAtTheFiguresPositionAtTheRangeStart)
{
    m_hip->getXPosControl()->deleteAllKeys();
    m_hip->getXPosControl()->setValue(0, 50.0f);
    m_hip->getXPosControl()->setValue(4800, 80.0f);
    KyBlock *block = KyBlock::create();
    const int samples = sampleRange(m_hip, DzTimeRange(0, 4800), *block, nullptr);
    EXPECT_EQ(samples, 30);
    sampleSlot(block->clipHandle, 0);
    float x = 0, y = 0, z = 0;
    ASSERT_TRUE(nodeTranslation("hip", &x, &y, &z));
    EXPECT_NEAR(x, 0.0f, 1e-3f);
}

TEST_F(KeysToBlock, RefusalsLeaveNoFileAndNoBlock)
{
    const QString path = tempPath(QStringLiteral("refused.kba"));

    dzScene->setPrimarySelection(nullptr);
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "Nothing selected, can't extract keyframes.");

    // Cancelled dialog.
    dzScene->setPrimarySelection(m_neck);
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    EXPECT_FALSE(QFile::exists(path));

    // An existing file is only replaced after Yes.
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    m_prompts.files = {path};
    m_prompts.answers = {false};
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.questions.last().toStdString(), "Save over existing?");
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep"));
    existing.close();

    // A range too short for two samples extracts nothing.
    DzTimeRange tiny(0, 100);
    m_prompts.files = {tempPath(QStringLiteral("tiny"))};
    EXPECT_EQ(createKinBlockFromScene(&tiny, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "Unexpected Error:  No keyframes extracted.");
    EXPECT_FALSE(QFile::exists(tempPath(QStringLiteral("tiny.kba"))));
    for (const KyBlock *registered : KyBlock::registry())
        EXPECT_NE(registered->path, tempPath(QStringLiteral("tiny.kba")));

    // A figure that is not a skeleton is only sampled after Yes.
    DzNode *lamp = new DzNode(QStringLiteral("lamp"));
    dzScene->addNode(lamp);
    dzScene->setPrimarySelection(lamp);
    m_prompts.answers = {false};
    m_prompts.files = {tempPath(QStringLiteral("lamp"))};
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.questions.last().toStdString(),
              "Non-skeletal objects are not supported yet.  Create an kinBlock anyway?");
    EXPECT_EQ(m_prompts.files.size(), 1u);
}

TEST_F(KeysToBlock, SkipsNodesThatAreNotBones)
{
    DzNode *prop = new DzNode(QStringLiteral("sword"));
    m_figure->findNodeChild(QStringLiteral("rHand"), true)->addNodeChild(prop);
    KyBlock *block = KyBlock::create();
    sampleRange(m_hip, DzTimeRange(0, 480), *block, nullptr);
    sampleSlot(block->clipHandle, 0);
    float angle = 0, ax = 0, ay = 0, az = 0;
    EXPECT_TRUE(nodeRotation("rHand", &angle, &ax, &ay, &az));
    EXPECT_FALSE(nodeRotation("sword", &angle, &ax, &ay, &az));
}

struct RoundTripCase {
    const char *figure;
    float heel;
    bool offsets;
};

class RoundTrip : public TimelineTest, public ::testing::WithParamInterface<RoundTripCase>
{
};

TEST_P(RoundTrip, BlockThroughTimelineBakeAndBackKeepsItsMotion)
{
    const RoundTripCase c = GetParam();
    DzSkeleton *figure = addFigure(QString::fromLatin1(c.figure));
    KyTimeline timeline;
    timeline.activateNode(figure);
    FigureBinding *binding = timeline.currentBinding();
    binding->m_heelOffset = c.heel;
    if (c.offsets) {
        const DzQuat a(DzVec3(1, 0, 0), 0.3);
        const DzQuat b(DzVec3(0, 1, 1), -0.4);
        setRotationalOffset(*binding, QStringLiteral("rForeArm"), a.m_x, a.m_y, a.m_z, a.m_w);
        setRotationalOffset(*binding, QStringLiteral("lFoot"), b.m_x, b.m_y, b.m_z, b.m_w);
        setRotationalOffset(*binding, QStringLiteral("hip"), b.m_x, b.m_y, b.m_z, b.m_w);
    }
    KyBlock *original = makeBlock(QStringLiteral("body"), fullBody(1000));
    timeline.currentTrack()->appendBlock(*original, false);
    trimTimelineRange(timeline);
    ASSERT_EQ(dzScene->getAnimRange(), DzTimeRange(0, 4800));
    ASSERT_EQ(bakeTimeline(timeline), 30);

    dzScene->setPrimarySelection(figure->findNodeChild(QStringLiteral("lHand"), true));
    m_prompts.files = {tempPath(QStringLiteral("back"))};
    DzTimeRange range(0, 4800);
    KyBlock *back = createKinBlockFromScene(&range, &timeline, m_temp.path());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->clipLength, 966);

    double worst = 0.0;
    float worstPosition = 0.0f;
    const std::vector<const char *> &names = standardNodeNames();
    for (int k = 0; k < 30; ++k) {
        const int ms = ticksToMs(160 * k);
        sampleSlot(original->clipHandle, ms);
        std::vector<DzQuat> expected;
        for (size_t i = 1; i < names.size(); ++i)
            expected.push_back(tableRotation(QString::fromLatin1(names[i])));
        float ex = 0, ey = 0, ez = 0;
        ASSERT_TRUE(nodeTranslation("hip", &ex, &ey, &ez));

        sampleSlot(back->clipHandle, ms);
        for (size_t i = 1; i < names.size(); ++i) {
            const double error = angleBetween(tableRotation(QString::fromLatin1(names[i])), expected[i - 1]);
            worst = std::max(worst, error);
            EXPECT_LT(error, 0.05) << names[i] << " at " << ms << " ms";
        }
        float bx = 0, by = 0, bz = 0;
        ASSERT_TRUE(nodeTranslation("hip", &bx, &by, &bz));
        worstPosition = std::max({worstPosition, std::fabs(bx - ex), std::fabs(by - ey), std::fabs(bz - ez)});
    }
    EXPECT_LT(worstPosition, 0.01f);
    RecordProperty("worstDegrees", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(Figures, RoundTrip,
                         ::testing::Values(RoundTripCase{"standard", 0.0f, false},
                                           RoundTripCase{"standard", 30.0f, false},
                                           RoundTripCase{"standard", 30.0f, true},
                                           RoundTripCase{"large", 0.0f, false},
                                           RoundTripCase{"large", 30.0f, true}));
