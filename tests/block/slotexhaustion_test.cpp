// Once all 20000 slots have been handed out, blocks get no slot and every
// operation on them refuses safely; freeing all slots empties the store. A
// separate program, since it uses the store up for good.
#include "blocktestsupport.h"

using namespace blocktest;

namespace {

using SlotExhaustion = FileTest;

TEST_F(SlotExhaustion, FreeingAllSlotsStopsTheEngineAndBlocksWithoutASlotRefuseEverything)
{
    // While slots remain: freeing them all empties them and stops the engine.
    const int slot = slotWith(vectorRecord(kTranslationRecord, "hip", { { 0, 1, 2, 3 }, { 100, 1, 2, 3 } }));
    engineStart(slot, 0, 0, 300, 100, Vec3f(), 0, Vec3f { 0, 1, 0 }, Vec3f(), false);
    engineAdvance(10);
    ASSERT_NE(engineState().currentRecords, nullptr);
    freeAllSlots();
    EXPECT_EQ(slotRecords(slot), nullptr);
    EXPECT_EQ(engineState().currentRecords, nullptr);
    EXPECT_TRUE(engineAdvance(10));

    // A block made while slots remain, saved for get() below.
    const QString kept = saved("kept.kba", [](KyBlock &b) {
        b.addTranslationKey("hip", 0, 0, 100, 0);
        b.addTranslationKey("hip", 500, 0, 100, 10);
        b.clipLength = 500;
        b.outPoint = 500;
    });
    KyBlock *last = KyBlock::registry().back();

    while (allocateSlot() >= 0) { }

    KyBlock *none = KyBlock::create();
    EXPECT_EQ(none->clipHandle, -1);
    none->addTranslationKey(QStringLiteral("hip"), 0, 1, 2, 3);
    none->path = file("none.kba");
    EXPECT_FALSE(none->save());

    QString reason;
    EXPECT_EQ(KyBlock::get(kept, &reason), nullptr);
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
