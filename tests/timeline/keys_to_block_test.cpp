// Blocks from host keys: sampling, the command's questions and files, and
// round trips block → timeline → bake → block.
#include "timelinetestsupport.h"

#include "kybake.h"
#include "kykeystoblock.h"
#include "kyoffsets.h"

#include "channelstore.h"
#include "nodetable.h"

#include <QFile>

class KeysToBlock : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        m_figure = addFigure();
        m_hip = boneOf(m_figure, "hip");
        m_neck = boneOf(m_figure, "neck");
        // Keys over one second: the hip walks 60 along X, the neck nods.
        m_hip->setLocalPos(0, DzVec3(0, 0, 0));
        m_hip->setLocalPos(4800, DzVec3(60, 0, 0));
        m_neck->setLocalRot(0, DzQuat(DzVec3(1, 0, 0), 0.0));
        m_neck->setLocalRot(4800, DzQuat(DzVec3(1, 0, 0), 0.5));
        dzScene->setPlayRange(DzTimeRange(0, 4800));
        dzScene->setPrimarySelection(m_neck);
    }
    // Runs the command with the file answered, over the play range or range.
    KyBlock *create(const QString &file, const DzTimeRange *range = nullptr)
    {
        m_prompts.files = { tempPath(file) };
        return createKinBlockFromScene(range, nullptr, m_temp.path());
    }
    static Vec3f hipOf(const KyBlock *block, int ms)
    {
        sampleSlot(block->clipHandle, ms);
        return tableHipPosition();
    }
    DzSkeleton *m_figure = nullptr;
    DzNode *m_hip = nullptr, *m_neck = nullptr;
};

TEST_F(KeysToBlock, SamplesThirtyTimesASecondBelowTheRangeEnd)
{
    KyBlock *block = create(QStringLiteral("nod"));
    ASSERT_NE(block, nullptr);
    // 30 samples: 0, 160, …, 4640 ticks = 0 … 966 ms.
    EXPECT_EQ(std::tuple(block->clipLength, block->outPoint, block->name, block->path),
        std::tuple(966, 966, QString("nod"), tempPath(QStringLiteral("nod.kba"))));
    EXPECT_EQ(std::tuple(QFile::exists(block->path), KyBlock::get(block->path)), std::tuple(true, block));
    ASSERT_EQ(m_prompts.fileRequests.size(), 1u);
    const KySaveFileRequest &r = m_prompts.fileRequests[0];
    EXPECT_EQ(QStringList({ r.caption, r.filter, r.dialogName, r.startPath }),
        QStringList(
            { "Choose save file", "kinBlocks (*.kba)", "save file dialog", m_temp.path() + "/unnamed" }));
    // The stored motion: root at x 30 half-way (the key at 2400 ticks),
    // standing at the reference height.
    EXPECT_TRUE(near(hipOf(block, 500), { 30, 99.24f, 0 }, 0.01f));
    EXPECT_LT(angleBetween(tableRotation(QStringLiteral("neck")), m_neck->getLocalRot(2400)), 0.05);
    // One .kba ending.
    for (auto [in, out] : { std::pair { "/a/walk.kba", "/a/walk.kba" }, { "/a/walk.KBA", "/a/walk.KBA.kba" },
             { "/a/walk", "/a/walk.kba" }, { "/a/walk.kba.kba", "/a/walk.kba.kba" } })
        EXPECT_EQ(blockFileNameFor(in).toStdString(), out);
}

TEST_F(KeysToBlock, ARangeLongerThanABlockHoldsIsCutWithAMessage)
{
    // 6000 samples at 30 a second end at 199966 ms; the range asks for 210 s.
    const DzTimeRange range(0, 210 * 4800), shorter(0, 100 * 4800);
    KyBlock *block = create(QStringLiteral("long"), &range);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->clipLength, 199966);
    EXPECT_EQ(m_prompts.messages,
        QStringList { "A kinBlock holds at most 6000 keys per record: the block keeps "
                      "199966 ms of the 210000 ms asked for." });
    // Within the limit nothing is said.
    ASSERT_NE(create(QStringLiteral("shorter"), &shorter), nullptr);
    EXPECT_EQ(m_prompts.messages.size(), 1);
}

TEST_F(KeysToBlock, StartsAtTheFiguresPositionAndSkipsNodesThatAreNotBones)
{
    m_hip->getXPosControl()->deleteAllKeys();
    m_hip->getXPosControl()->setValue(0, 50.0f);
    m_hip->getXPosControl()->setValue(4800, 80.0f);
    DzNode *prop = new DzNode(QStringLiteral("sword"));
    boneOf(m_figure, "rHand")->addNodeChild(prop);
    KyBlock *block = KyBlock::create();
    EXPECT_EQ(sampleRange(m_hip, DzTimeRange(0, 4800), *block, nullptr), 30);
    EXPECT_NEAR(hipOf(block, 0).x, 0.0f, 1e-3f);
    float angle = 0, ax = 0, ay = 0, az = 0;
    EXPECT_TRUE(
        nodeRotation("rHand", &angle, &ax, &ay, &az) && !nodeRotation("sword", &angle, &ax, &ay, &az));
}

TEST_F(KeysToBlock, RefusalsLeaveNoFileAndNoBlock)
{
    dzScene->setPrimarySelection(nullptr);
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "Nothing selected, can't extract keyframes.");
    // Cancelled dialog.
    dzScene->setPrimarySelection(m_neck);
    EXPECT_EQ(createKinBlockFromScene(nullptr, nullptr, m_temp.path()), nullptr);
    // An existing file is only replaced after Yes.
    const QString path = writeTemp(QStringLiteral("refused.kba"), "keep");
    m_prompts.answers = { false };
    EXPECT_EQ(create(QStringLiteral("refused.kba")), nullptr);
    EXPECT_EQ(m_prompts.questions.last().toStdString(), "Save over existing?");
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep"));
    // A range too short for two samples extracts nothing.
    DzTimeRange tiny(0, 100);
    EXPECT_EQ(create(QStringLiteral("tiny"), &tiny), nullptr);
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "Unexpected Error:  No keyframes extracted.");
    // Not on disk, and no registered block claims the path.
    EXPECT_EQ(std::tuple(QFile::exists(tempPath(QStringLiteral("tiny.kba"))),
                  KyBlock::get(tempPath(QStringLiteral("tiny.kba")))),
        std::tuple(false, nullptr));
    // A figure that is not a skeleton is only sampled after Yes.
    DzNode *lamp = new DzNode(QStringLiteral("lamp"));
    dzScene->addNode(lamp);
    dzScene->setPrimarySelection(lamp);
    m_prompts.answers = { false };
    EXPECT_EQ(create(QStringLiteral("lamp")), nullptr);
    EXPECT_EQ(m_prompts.questions.last().toStdString(),
        "Non-skeletal objects are not supported yet.  Create an kinBlock anyway?");
    EXPECT_EQ(m_prompts.files.size(), 1u);
}

struct RoundTripCase {
    const char *figure;
    float heel;
    bool offsets;
};

class RoundTrip : public TimelineTest, public ::testing::WithParamInterface<RoundTripCase> { };

TEST_P(RoundTrip, BlockThroughTimelineBakeAndBackKeepsItsMotion)
{
    const RoundTripCase c = GetParam();
    DzSkeleton *figure = addFigure(QString::fromLatin1(c.figure));
    KyTimeline timeline;
    timeline.activateNode(figure);
    FigureBinding *binding = timeline.currentBinding();
    binding->m_heelOffset = c.heel;
    const DzQuat a(DzVec3(1, 0, 0), 0.3), b(DzVec3(0, 1, 1), -0.4);
    for (auto [bone, q] : { std::pair { "rForeArm", a }, { "lFoot", b }, { "hip", b } })
        EXPECT_TRUE(!c.offsets || setRotationalOffset(*binding, bone, q.m_x, q.m_y, q.m_z, q.m_w)) << bone;
    KyBlock *original = makeBlock(QStringLiteral("body"), fullBody(1000));
    timeline.currentTrack()->appendBlock(*original, false);
    trimTimelineRange(timeline);
    ASSERT_EQ(bakeTimeline(timeline), 30);

    dzScene->setPrimarySelection(boneOf(figure, "lHand"));
    m_prompts.files = { tempPath(QStringLiteral("back")) };
    DzTimeRange range(0, 4800);
    KyBlock *back = createKinBlockFromScene(&range, &timeline, m_temp.path());
    ASSERT_NE(back, nullptr);

    // Every bone's rotation and the hip's position, original against back.
    const std::vector<const char *> &names = standardNodeNames();
    const auto poseAt = [&names](const KyBlock *block, int ms) {
        sampleSlot(block->clipHandle, ms);
        std::vector<DzQuat> rotations;
        for (size_t i = 1; i < names.size(); ++i)
            rotations.push_back(tableRotation(QString::fromLatin1(names[i])));
        return std::make_pair(rotations, tableHipPosition());
    };
    for (int k = 0; k < 30; ++k) {
        const int ms = ticksToMs(160 * k);
        const auto [expected, ep] = poseAt(original, ms);
        const auto [got, bp] = poseAt(back, ms);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_LT(angleBetween(got[i], expected[i]), 0.05) << names[i + 1] << " at " << ms << " ms";
        EXPECT_TRUE(near(bp, ep, 0.01f)) << ms << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(Figures, RoundTrip,
    ::testing::Values(RoundTripCase { "standard", 0.0f, false }, RoundTripCase { "standard", 30.0f, false },
        RoundTripCase { "standard", 30.0f, true }, RoundTripCase { "large", 0.0f, false },
        RoundTripCase { "large", 30.0f, true }));
