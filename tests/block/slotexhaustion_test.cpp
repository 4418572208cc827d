// Once all 20000 slots have been handed out, blocks get no slot and every
// operation on them refuses safely; freeing all slots empties the store. A
// separate program, since it uses the store up for good.
#include "blocktestsupport.h"
#include "kyblock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace blocktest;

namespace {

// Runs first, while slots remain.
TEST(SlotExhaustion, FreeAllSlotsEmptiesEverySlotAndStopsTheEngine)
{
    resetCore();
    const int slot = slotWith(vectorRecord(kTranslationRecord, "hip", {{0, 1, 2, 3}, {100, 1, 2, 3}}));
    engineStart(slot, 0, 0, 300, 100, Vec3f(), 0, Vec3f{0, 1, 0}, Vec3f(), false);
    engineAdvance(10);
    ASSERT_NE(engineState().currentRecords, nullptr);
    freeAllSlots();
    EXPECT_EQ(slotRecords(slot), nullptr);
    EXPECT_EQ(engineState().currentRecords, nullptr);
    for (const KyBlock *block : KyBlock::registry())
        EXPECT_EQ(slotRecords(block->clipHandle), nullptr);
    EXPECT_TRUE(engineAdvance(10));
}

TEST(SlotExhaustion, BlocksWithoutASlotRefuseEverything)
{
    resetCore();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // A block made while slots remain, saved for get() below.
    KyBlock *last = KyBlock::create();
    last->addTranslationKey(QStringLiteral("hip"), 0, 0, 100, 0);
    last->addTranslationKey(QStringLiteral("hip"), 500, 0, 100, 10);
    last->clipLength = 500;
    last->outPoint = 500;
    std::unique_ptr<KyBlock> saver(last->clone());
    saver->path = dir.filePath(QStringLiteral("kept.kba"));
    ASSERT_TRUE(saver->save());

    int handed = 0;
    while (allocateSlot() >= 0)
        ++handed;
    EXPECT_LT(handed, kSlotCount - kFirstSlot);
    EXPECT_EQ(allocateSlot(), -1);

    KyBlock *none = KyBlock::create();
    EXPECT_EQ(none->clipHandle, -1);
    none->addTranslationKey(QStringLiteral("hip"), 0, 1, 2, 3);
    EXPECT_EQ(slotRecords(-1), nullptr);
    EXPECT_EQ(durationOf(none->clipHandle), 0);
    none->path = dir.filePath(QStringLiteral("none.kba"));
    EXPECT_FALSE(none->save());

    QString reason;
    EXPECT_EQ(KyBlock::get(saver->path, &reason), nullptr);
    EXPECT_EQ(reason, QStringLiteral("no channel slot is free"));

    EXPECT_FALSE(last->crop());
    EXPECT_EQ(last->clipLength, 500); // unchanged

    // The engine keeps playing what it played.
    last->startOn(0, -1);
    engineAdvance(250);
    none->startOn(0, -1);
    engineAdvance(0);
    float x, y, z;
    ASSERT_TRUE(nodeTranslation("hip", &x, &y, &z));
    EXPECT_FLOAT_EQ(z, 5.0f);
}

} // namespace
