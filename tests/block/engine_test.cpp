// The playback engine: fades on start, from a named previous block and at
// loop seams, loop displacement, mirroring, long fades, unplayable clips,
// and the KyBlock operations built on the engine (end poses, append).
// Expected raw values are worked out from the 16.16 definitions by hand.
#include "blocktestsupport.h"

#include <chrono>
#include <cmath>

using namespace blocktest;

namespace {

const Vec3f kZero;
const Vec3f kUp { 0, 1, 0 };

// A record holding (x, y, z) from 0 to 1000 ms.
ChannelRecord *held(int32_t type, const char *name, double x, double y, double z)
{
    return vectorRecord(type, name, { { 0, x, y, z }, { 1000, x, y, z } });
}

class Engine : public CoreTest {
protected:
    // The hip standing at pos and the abdomen turned by degrees about +Y.
    static int standing(Vec3f pos, double degrees)
    {
        return slotWith(chainOf({ held(kTranslationRecord, "hip", pos.x, pos.y, pos.z),
            held(kRotationRecord, "abdomen", 0, degrees, 0) }));
    }
    static void start(int slot, int startMs, int fadeMs, int transitionIn, int loopTransition,
        Vec3f shift = Vec3f(), bool mirror = false)
    {
        engineStart(slot, startMs, fadeMs, transitionIn, loopTransition, kZero, 0, kUp, shift, mirror);
    }
    static const NodeEntry &abdomen() { return entry("abdomen"); }
    static const NodeEntry &hip() { return entry("hip"); }
};

TEST_F(Engine, StartingABlockFadesFromThePoseAtTheSwitchOverEveryFadeLength)
{
    // clock  0    100        100 + elapsed
    //        |- A -|
    //              |==== fade ====|
    //              |------ B ---------->
    // A holds the abdomen at 40°, B at 100°; the weight is elapsed × 65536
    // / fade (the 16.16 reciprocal up to 32767 ms, 64-bit beyond).
    const struct {
        int fade, elapsed;
        Fixed angle;
        bool running;
    } cases[] = {
        { 300, 150, 4581320, true }, // 218 × 150: 40 + 60 × 32700/65536
        { 300, 301, fx(100), false }, // the weight passes 0xFFFF: over
        { 32767, 16384, 4585398, true }, // fxRecip(32767 × 65536) = 2: weight 32768
        { 40000, 20000, 4585398, true }, // exactly halfway
        { 40000, 40001, fx(100), false }, { 1, 40000, fx(100), false }, // 65536 × 40000 does not fit 32 bits
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "fade " << c.fade << ", after " << c.elapsed);
        resetCore();
        const int a = standing({ 0, 100, 0 }, 40);
        const int b = standing({ 0, 100, 0 }, 100);
        start(a, 0, 0, 300, 0);
        engineAdvance(100);
        EXPECT_EQ(abdomen().rotAngle, fx(40));
        start(b, 0, c.fade, 300, 0);
        engineAdvance(c.elapsed);
        EXPECT_EQ(abdomen().rotAngle, c.angle);
        EXPECT_EQ(engineState().outgoingRecords != nullptr, c.running);
    }
    // Fade 255: the weight at its end is 257 × 255 = 0xFFFF, not past it,
    // so the fade still blends there and ends one step later.
    start(standing({ 0, 100, 0 }, 40), 0, 255, 300, 0);
    engineAdvance(255);
    EXPECT_NE(engineState().outgoingRecords, nullptr);
    engineAdvance(1);
    EXPECT_EQ(engineState().outgoingRecords, nullptr);
}

TEST_F(Engine, LoopsAddTheDisplacementPerCompletedCycleAndFadeAtTheSeam)
{
    // local   0 ....... 1000|0 ....... 1000|0 .. 50
    // cycle   n = 0          n = 1          n = 2
    // shift   0              50             100
    // clock 2000 = start of cycle 2; the loop transition is 100 ms.
    //   fade slot 0: the block at its last key (1000) with one shift (z 50)
    //   fade slot 1: the block at 50 ms with two shifts (z 100)
    // at clock 2050 the weight is 655 × 50 = 32750, about one half.
    // The hip still at height 100, the abdomen from 10° to 50° about +Y.
    start(slotWith(chainOf({ held(kTranslationRecord, "hip", 0, 100, 0),
              vectorRecord(kRotationRecord, "abdomen", { { 0, 0, 10, 0 }, { 1000, 0, 50, 0 } }) })),
        0, 0, 350, 100, { 0, 0, 50 });
    engineAdvance(2050);
    EXPECT_EQ(std::tuple(engineState().fadeStart, engineState().fadeLength), std::tuple(2000, 100));
    EXPECT_EQ(hip().pos[2], 4914300); // 50 + 50 × 32750/65536
    EXPECT_EQ(abdomen().rotAngle, 2031338);
}

TEST_F(Engine, PreviousBlockFadesInWhenAdvancedByZero)
{
    // local 0 (previousStart) .. 100 (now) ......... 300 (transitionIn)
    //       |== fade from P at 1000 ms into C ===|
    // weight 218 × 100 = 21800, one third.
    const int p = standing({ 10, 100, 0 }, 40);
    const int c = standing({ 0, 100, 0 }, 100);
    start(c, 100, 0, 300, 100);
    engineSetPrevious(p, 1000, 0, { 5, 0, 0 }, 0, kUp, kZero, false);
    // The root marker is never blended: a blend would renormalise this
    // rotation's axis from 65536 to 65530.
    NodeEntry &root = entry("kbanims_root");
    root.rotAngle = fx(10);
    root.rotAxis[0] = 0x10000;
    engineAdvance(0);
    EXPECT_EQ(std::tuple(engineState().fadeLength, engineState().fadeStart),
        std::tuple(300, engineState().blockStart));
    EXPECT_EQ(abdomen().rotAngle, 3927812); // about 60°
    // The previous block's start transform moved its hip to x = 15.
    EXPECT_EQ(hip().pos[0], 656040);
    EXPECT_EQ(std::tuple(root.rotAngle, root.rotAxis[0]), std::tuple(fx(10), 0x10000));

    // Advancing by a non-zero step lets the fade run on to its end
    // (218 × 301 > 0xFFFF) without rebuilding it.
    engineAdvance(201);
    EXPECT_TRUE(engineState().outgoingRecords == nullptr && abdomen().rotAngle == fx(100));
}

TEST_F(Engine, MirroringMovesWrittenSidesAndReachesTheLoopSeam)
{
    // Only the right shoulder is driven: mirrored, the left one is written
    // and the right one is not.
    const int shoulder = slotWith(
        chainOf({ held(kTranslationRecord, "hip", 0, 100, 0), held(kRotationRecord, "rShldr", 0, 0, 40) }));
    float angle, x, y, z;
    for (bool mirror : { false, true }) {
        SCOPED_TRACE(mirror);
        start(shoulder, 0, 0, 0, 0, kZero, mirror);
        engineAdvance(10);
        EXPECT_FALSE(nodeRotation(mirror ? "rShldr" : "lShldr", &angle, &x, &y, &z));
        EXPECT_TRUE(nodeRotation(mirror ? "lShldr" : "rShldr", &angle, &x, &y, &z));
        EXPECT_FLOAT_EQ(angle, 40.0f);
    }

    // The seam of a mirrored block fades from its mirrored last pose.
    const int swinging = slotWith(chainOf({ held(kTranslationRecord, "hip", 0, 100, 0),
        vectorRecord(kRotationRecord, "lHand", { { 0, 0, 0, 20 }, { 1000, 0, 0, 50 } }) }));
    start(standing({ 0, 100, 0 }, 10), 0, 0, 300, 100);
    engineAdvance(100);
    start(swinging, 0, 0, 300, 100, kZero, true);
    engineAdvance(1050); // cycle 1, 50 ms into the seam
    const Rotation &frozen = engineState().fadeRotation[0][nodeIndexByHash(nameHash("rHand"))];
    EXPECT_TRUE(frozen.angle == fx(50) && frozen.axis[2] < -65000); // lHand's last key, mirrored onto rHand
}

TEST_F(Engine, UnplayableEmptyAndFreedSlotsAreRefusedSafely)
{
    // Without a leading translation record, or with one key, a clip has no length.
    start(slotWith(vectorRecord(kRotationRecord, "neck", { { 0, 0, 10, 0 }, { 500, 0, 20, 0 } })), 0, 0, 300,
        100);
    EXPECT_EQ(engineState().cycleLength, -1);
    EXPECT_TRUE(engineAdvance(100));
    float angle, x, y, z;
    EXPECT_FALSE(nodeRotation("neck", &angle, &x, &y, &z));
    resetCore();
    start(slotWith(chainOf({ vectorRecord(kTranslationRecord, "hip", { { 0, 1, 2, 3 } }),
              vectorRecord(kRotationRecord, "neck", { { 0, 0, 10, 0 } }) })),
        0, 0, 300, 100);
    EXPECT_EQ(engineState().cycleLength, 0);
    EXPECT_TRUE(engineAdvance(0));
    EXPECT_FALSE(nodeTranslation("hip", &x, &y, &z));

    // Starting an empty slot keeps the old records playing.
    const int a = standing({ 0, 100, 0 }, 40);
    start(a, 0, 0, 300, 100);
    engineAdvance(100);
    start(allocateSlot(), 0, 0, 123, 45);
    engineAdvance(10);
    EXPECT_EQ(abdomen().rotAngle, fx(40));
    // Freeing the playing slot stops the engine referring to it.
    replaceSlotRecords(a, nullptr);
    EXPECT_EQ(engineState().currentRecords, nullptr);
    EXPECT_TRUE(engineAdvance(10));
}

TEST_F(Engine, ElapsedMsCountsMillisecondsFromTheTimersZero)
{
    // Bracketed by the steady clock rather than compared with a sleep.
    using namespace std::chrono;
    startTimer();
    const auto zero = steady_clock::now();
    while (steady_clock::now() - zero < milliseconds(5)) { }
    const auto before = duration_cast<milliseconds>(steady_clock::now() - zero).count();
    const int32_t ms = elapsedMs();
    EXPECT_GE(ms, before);
    EXPECT_LE(ms, duration_cast<milliseconds>(steady_clock::now() - zero).count() + 1);
}

class BlockPlayback : public Engine {
protected:
    // A 1000 ms block made in memory: the hip from `from` to `to`, the
    // abdomen turned by degrees, the hip turned by hipTurn about +Y.
    static KyBlock *block(
        Vec3f from = { 0, 100, 0 }, Vec3f to = { 0, 100, 100 }, float degrees = 0, float hipTurn = 0)
    {
        KyBlock *b = KyBlock::create();
        for (int t : { 0, 1000 }) {
            const Vec3f p = t ? to : from;
            b->addTranslationKey("hip", t, p.x, p.y, p.z);
            b->addRotationKey("abdomen", t, degrees, 0, 1, 0);
            if (hipTurn != 0)
                b->addRotationKey("hip", t, hipTurn, 0, 1, 0);
        }
        b->clipLength = durationOf(b->clipHandle);
        b->outPoint = b->clipLength;
        return b;
    }
};

TEST_F(BlockPlayback, StartOnAndSetAsPreviousGoThroughTheSpeed)
{
    KyBlock *walk = block();
    walk->speed = 2.0f;
    walk->inPoint = 100;
    walk->blendIn = 150;
    walk->internalBlend = 40;
    walk->startOn(50, -1);
    EXPECT_TRUE(walk->isCurrent());
    EXPECT_EQ(std::tuple(engineState().blockStart, engineState().transitionIn, engineState().loopTransition),
        std::tuple(engineState().clock - 300, 300, 80));

    KyBlock *other = block();
    other->startOn(0, 20);
    EXPECT_TRUE(!walk->isCurrent() && other->isCurrent());
    EXPECT_EQ(engineState().fadeLength, 20); // something was playing: it fades out

    // setAsPrevious names the last shown time and the loops behind it.
    KyBlock *looped = block();
    looped->outPoint = 2500;
    looped->loopShift = { 0, 0, 100 };
    ASSERT_TRUE(looped->setAsPrevious(70));
    const EngineState &s = engineState();
    EXPECT_EQ(std::tuple(s.previousSlot, s.previousTime, s.previousStart, s.previousShift[2]),
        std::tuple(looped->clipHandle, 500, 70, fx(200)));

    looped->speed = 2.0f; // loop length 500 timeline ms
    looped->outPoint = 1200;
    ASSERT_TRUE(looped->setAsPrevious(0));
    EXPECT_EQ(engineState().previousTime, 400);

    // Clips shorter than one timeline ms are refused everywhere.
    KyBlock *empty = KyBlock::create();
    empty->addTranslationKey("hip", 0, 0, 0, 0);
    empty->outPoint = 10;
    EXPECT_FALSE(empty->setAsPrevious(0));
    EXPECT_EQ(engineState().previousSlot, looped->clipHandle);
    Vec3f pos, axis;
    float heading;
    EXPECT_FALSE(empty->endPose(&pos, &heading, &axis, true));
    EXPECT_FALSE(looped->append(*empty));
    EXPECT_FALSE(empty->append(*looped));
    EXPECT_EQ(durationOf(looped->clipHandle), 1000);
}

TEST_F(BlockPlayback, EndPoseCountsTheLoopsAndTurnsWithTheStartFacing)
{
    KyBlock *walk = block();
    walk->loopShift = { 0, 0, 100 };
    walk->startPos = { 10, 0, 0 };
    Vec3f pos, axis;
    float heading;
    walk->outPoint = 2500; // 500 ms into the third cycle: two loops behind
    ASSERT_TRUE(walk->endPose(&pos, &heading, &axis, true));
    EXPECT_EQ(std::tuple(pos.x, pos.z), std::tuple(0.0f, 250.0f));
    // Posed aside: the engine neither ran nor took the slot.
    EXPECT_EQ(std::tuple(engineState().clock, engineState().currentSlot), std::tuple(0, -1));
    ASSERT_TRUE(walk->endPose(&pos, &heading, &axis, false));
    EXPECT_FLOAT_EQ(pos.x, 10);
    walk->outPoint = 2030; // within 60 ms of a seam: the end of the second cycle
    ASSERT_TRUE(walk->endPose(&pos, &heading, &axis, true));
    EXPECT_FLOAT_EQ(pos.z, 200);
    ASSERT_TRUE(walk->cycleEndPose(&pos, &heading, &axis, true));
    EXPECT_FLOAT_EQ(pos.z, 100);

    // A stored hip rotation of 90° about +Y poses the figure turned by −90°
    // (posing negates the axis); a start facing of 45° turns it back by 45.
    KyBlock *turned = block({ 0, 100, 0 }, { 0, 100, 100 }, 0, 90);
    ASSERT_TRUE(turned->endPose(&pos, &heading, &axis, true));
    EXPECT_EQ(heading, -90.0f);
    turned->startFacing = 45;
    ASSERT_TRUE(turned->endPose(&pos, &heading, &axis, false));
    EXPECT_EQ(std::tuple(heading, axis.y), std::tuple(-45.0f, 1.0f));
    // The path turned with it: 100 along +Z became 100 toward +X and +Z.
    EXPECT_LT(std::hypot(pos.x - 70.71f, pos.z - 70.71f), 0.01f);
}

TEST_F(BlockPlayback, AppendContinuesFromTheTargetsEndPose)
{
    //   0 ........ 1000 | 1033 ... 1300 ........ 2000
    //   target          | fade into other  | other (moved to x 5, z 7)
    KyBlock *target = block({ 5, 100, 7 }, { 5, 100, 7 }, 30);
    KyBlock *other = block({ 0, 100, 0 }, { 0, 100, 200 }, 90);
    other->flags = KyBlock::ReorientHorizontalPosition;
    Vec3f endPos, axis;
    float heading;
    ASSERT_TRUE(target->endPose(&endPos, &heading, &axis, true));
    ASSERT_TRUE(target->append(*other));
    EXPECT_EQ(std::tuple(target->clipLength, target->outPoint), std::tuple(2000, 2000));
    EXPECT_TRUE(other->isCurrent());

    // The joined block passes through the target's end pose at 1000 ms.
    const Vec3f at1000 = hipAt(target->clipHandle, 1000);
    EXPECT_EQ(std::tuple(at1000.x, at1000.z, abdomen().rotAngle), std::tuple(endPos.x, endPos.z, fx(30)));
    // 33 ms later the fade has weight 218 × 33 = 7194.
    const ChannelRecord *hipRecord = slotRecords(target->clipHandle);
    ASSERT_EQ(hipRecord->keys[2].time, 1033);
    EXPECT_EQ(std::tuple(hipRecord->keys[2].v[0], hipRecord->keys[2].v[2]), std::tuple(fx(5), 506217));
    // And it ends where the other block ends, moved onto the target.
    const Vec3f end = hipAt(target->clipHandle, 2000);
    EXPECT_EQ(std::tuple(end.x, end.z), std::tuple(5.0f, 207.0f));
    EXPECT_NEAR(toFloat(abdomen().rotAngle), 90.0f, 0.1f);

    // Turned to the target's facing: it ends facing −90° at (0, 100, 100),
    // so the offset (0, 0, 10) becomes (−10, 0, 0) and the other block's
    // motion along +Z runs along −X.
    KyBlock *turnedTarget = block({ 0, 100, 0 }, { 0, 100, 100 }, 0, 90);
    KyBlock *walk = block();
    walk->flags = KyBlock::ReorientHorizontalPosition | KyBlock::ReorientFacing;
    walk->posOffset = { 0, 0, 10 };
    ASSERT_TRUE(turnedTarget->append(*walk));
    const Vec3f turnedEnd = hipAt(turnedTarget->clipHandle, 2000);
    EXPECT_LT(std::hypot(turnedEnd.x + 110, turnedEnd.y - 100, turnedEnd.z - 100), 0.01);
}

} // namespace
