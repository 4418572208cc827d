// The block model: node table and name hash, key appending, slots, and the
// KyBlock operations that do not play (get, clone, crop, resampling).
#include "blocktestsupport.h"

#include <QFile>

using namespace blocktest;

namespace {

using BlockModel = FileTest;

TEST(NameHash, IsTheClassicTimes33HashOverSignedBytes)
{
    EXPECT_EQ(nameHash("hip"), 193493830u);
    EXPECT_EQ(nameHash("\xe9"), 177550u); // 0xE9 counts as −23
    EXPECT_EQ(nameHash(QStringLiteral("hip")), 193493830u);
}

TEST(NodeTableTest, SlotNumbersAreNotReusedOutOfRangeSlotsAreRefusedAndAFullTableAddsNothing)
{
    registerStandardNodes();
    const int a = allocateSlot();
    EXPECT_EQ(allocateSlot(), a + 1);
    EXPECT_FALSE(replaceSlotRecords(-1, nullptr));
    EXPECT_EQ(std::tuple(durationOf(a), durationOf(-1), durationOf(kSlotCount)), std::tuple(0, 0, 0));
    // A full node table: records stay unbound.
    while (nodeTable().count < kNodeTableCapacity)
        ASSERT_NE(addNode(static_cast<uint32_t>(nodeTable().count), nullptr, 0), nullptr);
    EXPECT_EQ(addNode(1u << 31, nullptr, 0), nullptr);
    EXPECT_EQ(findOrAddNamedNode("tail"), nullptr);
    const int slot = allocateSlot();
    addRotationKey(slot, "tail", 0, 10, 0, 1, 0);
    const ChannelRecord *first = slotRecords(slot);
    ASSERT_TRUE(first && first->next);
    EXPECT_TRUE(!first->target && !first->next->target);
    sampleSlot(slot, 0); // skipped, no crash
    registerStandardNodes();
}

TEST(KeyAppending, RunsOfEqualValuesLateKeysTheKeyLimitAndRotations)
{
    registerStandardNodes();
    int slot = allocateSlot();
    for (int t : { 0, 33, 66, 99 })
        addTranslationKey(slot, "hip", t, 1, 2, 3);
    const ChannelRecord *r = slotRecords(slot);
    ASSERT_EQ(r->keys.size(), 2u); // only the first and last key of the run
    EXPECT_EQ(r->keys[1].time, 99);
    addTranslationKey(slot, "hip", 132, 1, 2, 4); // a change ends the run
    addTranslationKey(slot, "hip", 165, 1, 2, 4);
    EXPECT_EQ(r->keys.size(), 4u);
    // Keys not after the last are dropped.
    addTranslationKey(slot, "hip", 165, 9, 9, 9);
    addTranslationKey(slot, "hip", 50, 9, 9, 9);
    EXPECT_EQ(r->keys.size(), 4u);
    EXPECT_EQ(r->keys.back().v[2], fx(4));

    slot = allocateSlot();
    for (int i = 0; i < 6100; ++i)
        addTranslationKey(slot, "hip", i, static_cast<float>(i), 0, 0);
    EXPECT_EQ(slotRecords(slot)->keys.size(), 6000u);

    // Rotation keys store the vector, with the angle in half a turn.
    slot = allocateSlot();
    addRotationKey(slot, "abdomen", 0, 270, 0, 1, 0);
    addRotationKey(slot, "abdomen", 10, -200, 1, 0, 0);
    addRotationKey(slot, "abdomen", 20, 540, 0, 0, 1);
    // An empty slot first gets a translation record for the node.
    const ChannelRecord *first = slotRecords(slot);
    ASSERT_TRUE(first && first->next);
    EXPECT_EQ(
        std::tuple(first->type, first->keys.size(), durationOf(slot)), std::tuple(kTranslationRecord, 0u, 0));
    const ChannelRecord *rotation = first->next;
    ASSERT_EQ(rotation->keys.size(), 3u);
    EXPECT_EQ(std::tuple(rotation->keys[0].v[1], rotation->keys[1].v[0], rotation->keys[2].v[2]),
        std::tuple(fx(-90), fx(160), fx(180)));
    EXPECT_EQ(rotation->target, &entry("abdomen"));
}

TEST_F(BlockModel, GetLoadsOnceNamesTheBlockSavedClonesReplaceItAndUnreadableFilesAreRefused)
{
    // name: the file name up to its first dot; "Walk" in the path: faster blends.
    const struct {
        const char *file, *name;
        int blendIn, internalBlend;
    } cases[] = { { "plain.kba", "plain", 300, 100 }, { "step.left.kba", "step", 300, 100 },
        { "SlowWalk.kba", "SlowWalk", 150, 50 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = saved(QString::fromUtf8(c.file), [](KyBlock &b) {
            b.addTranslationKey("hip", 0, 0, 100, 0);
            b.addTranslationKey("hip", 1000, 0, 100, 50);
        });
        clearPoseFlags();
        KyBlock *first = KyBlock::get(path);
        ASSERT_NE(first, nullptr);
        Vec3f hip;
        EXPECT_TRUE(nodeTranslation("hip", &hip.x, &hip.y, &hip.z) && hip.y == 100.0f);
        clearPoseFlags(); // the pose queries answer only for the latest evaluation
        EXPECT_FALSE(nodeTranslation("hip", &hip.x, &hip.y, &hip.z));
        EXPECT_EQ(std::tuple(first->clipLength, first->outPoint, first->blendIn, first->internalBlend),
            std::tuple(1000, 1000, c.blendIn, c.internalBlend));
        EXPECT_EQ(first->name, QString::fromUtf8(c.name));
        // Changing the file does not matter any more: the registered block wins.
        QFile::remove(path);
        const size_t size = KyBlock::registry().size();
        EXPECT_EQ(KyBlock::get(path), first);
        EXPECT_EQ(KyBlock::registry().size(), size);
        // Saving an edited clone puts it in the registered place.
        KyBlock *edited = first->clone();
        ASSERT_TRUE(edited->save());
        EXPECT_EQ(KyBlock::get(path), edited);
    }

    // A failed get returns null; an empty path finds nothing.
    const size_t before = KyBlock::registry().size();
    QString reason;
    EXPECT_EQ(KyBlock::get(file("missing.kba"), &reason), nullptr);
    EXPECT_FALSE(reason.isEmpty());
    ASSERT_EQ(KyBlock::registry().size(), before + 1); // an empty registered block
    EXPECT_EQ(slotRecords(KyBlock::registry().back()->clipHandle), nullptr);
    KyBlock::create(); // registered with an empty path
    EXPECT_EQ(KyBlock::get(QString()), nullptr);
    EXPECT_EQ(KyBlock::registry().size(), before + 2);
}

TEST_F(BlockModel, CloneSharesTheSlotUntilCroppedThroughTheSpeed)
{
    KyBlock *source = KyBlock::create();
    for (int t = 0; t <= 990; t += 33)
        source->addTranslationKey("hip", t, static_cast<float>(t) / 10.0f, 100, 0);
    source->clipLength = durationOf(source->clipHandle);
    source->outPoint = source->clipLength;
    const size_t registered = KyBlock::registry().size();
    std::unique_ptr<KyBlock> copy(source->clone());
    EXPECT_EQ(KyBlock::registry().size(), registered); // clones are not registered
    EXPECT_EQ(copy->clipHandle, source->clipHandle);

    copy->inPoint = 330;
    copy->outPoint = 660;
    ASSERT_TRUE(copy->crop());
    EXPECT_NE(copy->clipHandle, source->clipHandle);
    EXPECT_EQ(std::tuple(copy->inPoint, copy->clipLength, copy->outPoint, durationOf(source->clipHandle)),
        std::tuple(0, 330, 330, 990));

    // In and out points are timeline times: at speed 2, 250 … 750 is clip 500 … 1500.
    KyBlock *fast = KyBlock::create();
    fast->addTranslationKey("hip", 0, 0, 0, 0);
    fast->addTranslationKey("hip", 2000, 0, 0, 200);
    fast->clipLength = 2000;
    fast->speed = 2.0f;
    fast->inPoint = 250;
    fast->outPoint = 750;
    ASSERT_TRUE(fast->crop());
    EXPECT_EQ(
        std::tuple(fast->clipLength, fast->outPoint), std::tuple(990, 495)); // keys every 33 ms up to 1000
}

TEST(Resampling, SamplesEvery33MsAndCopiesAllRotationRecords)
{
    registerStandardNodes();
    const int src = slotWith(
        chainOf({ vectorRecord(kTranslationRecord, "hip", { { 0, 10, 90, 20 }, { 1000, 110, 95, 220 } }),
            vectorRecord(kRotationRecord, "chest", { { 0, 0, 10, 0 }, { 1000, 0, 50, 0 } }),
            angleAxisRecord("head", { { 0, 30, 1, 0, 0 }, { 1000, 60, 1, 0, 0 } }) }));
    const int dst = allocateSlot();
    resampleInto(dst, src, 100, 200);
    const ChannelRecord *r = slotRecords(dst);
    ASSERT_TRUE(r && r->next && r->next->next);
    ASSERT_EQ(r->keys.size(), 4u); // 0, 33, 66, 99: (200 − 100) / 33 = 3 steps after the first
    // y: 90 + fxMul(fxDiv(100, 1000), 5.0); x at 199 ms less x at 100 ms.
    EXPECT_EQ(std::tuple(r->keys[0].v[0], r->keys[0].v[1], r->keys[0].v[2], r->keys[3].time, r->keys[3].v[0]),
        std::tuple(0, 5931005, 0, 99, 648800));
    // The angle-and-axis record of the head is copied as rotation vectors.
    EXPECT_EQ(
        std::tuple(r->type, r->next->type, r->next->keys.size(), r->next->next->hash, r->next->next->type),
        std::tuple(kTranslationRecord, kRotationRecord, 4u, nameHash("head"), kRotationRecord));
    // 33 degrees about an axis renormalised to 0.99951 (65504).
    EXPECT_NEAR(toFloat(r->next->next->keys[0].v[0]), 32.984f, 0.001f);
}

} // namespace
