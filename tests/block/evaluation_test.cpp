// Evaluation of each record type into the node table, the key cursor, the
// mirror and the root offset. Expected raw values are worked out from the
// 16.16 definitions (fxMul, fxDiv, fxRecip, fxLength3) by hand.
#include "blocktestsupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace blocktest;

namespace {

class Evaluation : public ::testing::Test
{
protected:
    void SetUp() override { resetCore(); }
};

TEST_F(Evaluation, TranslationInterpolatesAndHoldsAtBothEnds)
{
    ChannelRecord *hip = vectorRecord(kTranslationRecord, "hip", {{0, 0, 0, 0}, {1000, 10, 20, -30}});
    const int slot = slotWith(hip);
    NodeEntry &e = entry("hip");

    EXPECT_EQ(sampleSlot(slot, 500), 500); // time left until the last key
    EXPECT_EQ(e.pos[0], fx(5));
    EXPECT_EQ(e.pos[1], fx(10));
    EXPECT_EQ(e.pos[2], fx(-15));
    EXPECT_EQ(e.nodeFlags & kNodePoseFlags, kNodeTranslationSet | kNodeWritten);

    EXPECT_EQ(sampleSlot(slot, -100), 1100); // before the first key: held, not extrapolated
    EXPECT_EQ(e.pos[0], 0);
    EXPECT_EQ(sampleSlot(slot, 2000), -1000);
    EXPECT_EQ(e.pos[2], fx(-30));
}

TEST_F(Evaluation, RotationVectorInterpolatesThroughTheVector)
{
    const int slot = slotWith(vectorRecord(kRotationRecord, "abdomen", {{0, 0, 0, 0}, {1000, 0, 90, 0}}));
    sampleSlot(slot, 500);
    const NodeEntry &e = entry("abdomen");
    EXPECT_EQ(e.rotAngle, fx(45));
    EXPECT_EQ(e.rotAxis[1], 65520); // 45 × fxRecip(45.0) = 45 × 1456
    EXPECT_EQ(e.nodeFlags & kNodePoseFlags, kNodeRotationSet | kNodeWritten);

    sampleSlot(slot, 0);
    EXPECT_EQ(e.rotAngle, 0); // a zero vector is angle 0 about +Y
    EXPECT_EQ(e.rotAxis[0], 0);
    EXPECT_EQ(e.rotAxis[1], 0x10000);
}

TEST_F(Evaluation, RotationVectorExtrapolatesBeforeTheFirstKey)
{
    const int slot = slotWith(vectorRecord(kRotationRecord, "chest", {{100, 0, 10, 0}, {200, 0, 20, 0}}));
    sampleSlot(slot, 50); // u = −0.5
    EXPECT_EQ(entry("chest").rotAngle, fx(5));
    sampleSlot(slot, 400); // after the last key: held
    EXPECT_EQ(entry("chest").rotAngle, fx(20));
}

TEST_F(Evaluation, RotationVectorsHalfATurnApartTakeTheShortWay)
{
    // (0, 170, 0) to (0, −170, 0): q is replaced by the shorter alternative
    // a = d × (L1 − 360) with d = q × fxRecip(170) = (0, −65450, 0), so
    // a = (0, 12435500, 0); halfway is (0, 11788310, 0), about 179.88
    // degrees about +Y and nowhere near 0.
    const int slot = slotWith(vectorRecord(kRotationRecord, "neck", {{0, 0, 170, 0}, {1000, 0, -170, 0}}));
    sampleSlot(slot, 500);
    const NodeEntry &e = entry("neck");
    EXPECT_EQ(e.rotAngle, 11788308);
    EXPECT_EQ(e.rotAxis[0], 0);
    EXPECT_EQ(e.rotAxis[1], 65474);
    EXPECT_EQ(e.rotAxis[2], 0);
}

TEST_F(Evaluation, AngleAxisKeysOf170AndMinus170PassThrough180)
{
    // −170 has the alternative 190, which is nearer to 170: halfway is 180.
    const int slot = slotWith(angleAxisRecord("head", {{0, 170, 0, 1, 0}, {1000, -170, 0, 1, 0}}));
    sampleSlot(slot, 500);
    const NodeEntry &e = entry("head");
    EXPECT_EQ(e.rotAngle, fx(180));
    EXPECT_EQ(e.rotAxis[1], 65520);
}

TEST_F(Evaluation, AngleAxisWeightIsLimitedToTheKeyPair)
{
    const int slot = slotWith(angleAxisRecord("head", {{100, 10, 1, 0, 0}, {200, 20, 1, 0, 0}}));
    sampleSlot(slot, 0); // u would be −1: limited to 0
    EXPECT_EQ(entry("head").rotAngle, fx(10));
}

TEST_F(Evaluation, RotationsShorterThanASixteenthOfADegreeKeepTheEarlierKey)
{
    // An axis of length 2 makes the vector twice the angle: angle 1/32 gives
    // a vector of length 1/16 (4096 < 4097), so the key's own angle and axis
    // are taken; angle 1/16 gives 8192 and a freshly normalised axis.
    {
        const int slot = slotWith(angleAxisRecord("rHand", {{0, 1.0 / 32, 2, 0, 0}}));
        sampleSlot(slot, 0);
        EXPECT_EQ(entry("rHand").rotAngle, 2048);
        EXPECT_EQ(entry("rHand").rotAxis[0], 0x20000);
    }
    {
        const int slot = slotWith(angleAxisRecord("rHand", {{0, 1.0 / 16, 2, 0, 0}}));
        sampleSlot(slot, 0);
        EXPECT_EQ(entry("rHand").rotAngle, 8192);
        EXPECT_EQ(entry("rHand").rotAxis[0], 0x10000);
    }
    {
        // Opposite keys meet at the zero vector: the earlier key stands.
        const int slot = slotWith(angleAxisRecord("lHand", {{0, 10, 1, 0, 0}, {1000, -10, 1, 0, 0}}));
        sampleSlot(slot, 500);
        EXPECT_EQ(entry("lHand").rotAngle, fx(10));
        EXPECT_EQ(entry("lHand").rotAxis[0], 0x10000);
    }
    {
        std::vector<uint8_t> s;
        fullEntry(s, 0, 2048, 0x20000, 0, 0);
        const int slot = slotWith(streamRecord("lFoot", s));
        sampleSlot(slot, 0);
        EXPECT_EQ(entry("lFoot").rotAngle, 2048);
        EXPECT_EQ(entry("lFoot").rotAxis[0], 0x20000);
    }
}

TEST_F(Evaluation, PackedStreamDeltaEntryContinuesFromTheFullEntry)
{
    std::vector<uint8_t> s;
    fullEntry(s, 0, fx(10), 0, 0x10000, 0);
    deltaEntry(s, 5, fx(20), 100, -200, 300);

    StreamEntry first, second;
    ASSERT_EQ(decodeStreamEntry(s.data(), s.size(), StreamState(), &first), 14);
    StreamState after;
    after.time = first.time;
    after.angle = first.angle;
    for (int i = 0; i < 3; ++i)
        after.axis[i] = first.axis[i];
    ASSERT_EQ(decodeStreamEntry(s.data() + 14, s.size() - 14, after, &second), 10);
    EXPECT_EQ(second.time, 5);
    EXPECT_EQ(second.angle, fx(20));
    EXPECT_EQ(second.axis[0], 100);
    EXPECT_EQ(second.axis[1], 0x10000 - 200);
    EXPECT_EQ(second.axis[2], 300);

    ChannelRecord *record = streamRecord("rShin", s);
    const int slot = slotWith(record);
    const NodeEntry &e = entry("rShin");
    // At 2 ms: u = fxDiv(2, 5) = 26214 between 10° about +Y and the second
    // entry's vector (2000, 1306720, 6000).
    sampleSlot(slot, 2);
    EXPECT_EQ(e.rotAngle, 915902);
    EXPECT_EQ(e.rotAxis[0], 57);
    EXPECT_EQ(e.rotAxis[1], 65531);
    EXPECT_EQ(e.rotAxis[2], 171);
    // At 5 ms and after, the stream is exhausted and holds the last entry.
    EXPECT_EQ(evaluateRecord(*record, 5), 0);
    EXPECT_EQ(e.rotAngle, 1306734);
    EXPECT_EQ(e.rotAxis[0], 100);
    EXPECT_EQ(e.rotAxis[1], 65519);
    EXPECT_EQ(e.rotAxis[2], 300);
    // Going back restarts the decoder from the first entry.
    EXPECT_EQ(evaluateRecord(*record, 0), 1);
    EXPECT_EQ(e.rotAngle, fx(10));
    EXPECT_EQ(e.rotAxis[1], 65530); // 10 × fxRecip(10.0) = 10 × 6553
}

TEST_F(Evaluation, PackedStreamStopsAtAnEntryCutOffByTheStreamEnd)
{
    std::vector<uint8_t> s;
    fullEntry(s, 0, fx(30), 0x10000, 0, 0);
    fullEntry(s, 100, fx(60), 0x10000, 0, 0);
    s.resize(s.size() - 4); // the second entry lacks its last bytes
    ChannelRecord *record = streamRecord("rFoot", s);
    slotWith(record);
    EXPECT_EQ(evaluateRecord(*record, 500), 0);
    EXPECT_EQ(entry("rFoot").rotAngle, fx(30));

    std::vector<uint8_t> delta;
    fullEntry(delta, 0, fx(30), 0x10000, 0, 0);
    delta.push_back(0x85); // a delta entry of one byte
    ChannelRecord *cut = streamRecord("lShin", delta);
    slotWith(cut);
    EXPECT_EQ(evaluateRecord(*cut, 500), 0);
    EXPECT_EQ(entry("lShin").rotAngle, fx(30));
}

TEST_F(Evaluation, CursorResumesForwardAndRestartsBackward)
{
    ChannelRecord *r = vectorRecord(kRotationRecord, "rThigh", {});
    for (int i = 0; i < 20; ++i)
        r->keys.push_back(ChannelKey{100 * i, {0, fx(i), 0}});
    slotWith(r);
    evaluateRecord(*r, 150);
    EXPECT_EQ(r->cursor, 1);
    evaluateRecord(*r, 250);
    EXPECT_EQ(r->cursor, 2);
    evaluateRecord(*r, 300); // exactly on a key: the pair ending there
    EXPECT_EQ(r->cursor, 2);
    evaluateRecord(*r, 1750); // far ahead
    EXPECT_EQ(r->cursor, 17);
    evaluateRecord(*r, 50); // back: restart from the first key
    EXPECT_EQ(r->cursor, 0);
    EXPECT_EQ(evaluateRecord(*r, 5000), 0);
    EXPECT_EQ(r->cursor, 19);
}

TEST_F(Evaluation, JumpingSearchLandsWhereTheStepByStepSearchDoes)
{
    // Keys with repeated times make the result depend on where the cursor
    // was; the bisection must still agree with stepping key by key.
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        ChannelRecord *fast = vectorRecord(kRotationRecord, "lThigh", {});
        int time = 0;
        for (int i = 0; i < 200; ++i) {
            time += static_cast<int>(random() % 3) * 20; // steps of 0, 20 or 40 ms
            fast->keys.push_back(ChannelKey{time, {fx(random() % 50), fx(random() % 90), 0}});
        }
        ChannelRecord *slow = new ChannelRecord(*fast);
        slow->target = findOrAddNamedNode("rThigh");
        updateKeysSorted(*fast);
        ASSERT_TRUE(fast->keysSorted);
        slow->keysSorted = false;
        const int fastSlot = slotWith(fast);
        const int slowSlot = slotWith(slow);
        const NodeEntry &a = entry("lThigh");
        const NodeEntry &b = entry("rThigh");
        for (int step = 0; step < 300; ++step) {
            const int t = step % 3 == 0 ? static_cast<int>(random() % (time + 200)) - 100
                                        : static_cast<int>(random() % 41) + fast->keys[fast->cursor].time;
            sampleSlot(fastSlot, t);
            sampleSlot(slowSlot, t);
            ASSERT_EQ(fast->cursor, slow->cursor) << "t = " << t;
            ASSERT_EQ(a.rotAngle, b.rotAngle);
            ASSERT_EQ(a.rotAxis[0], b.rotAxis[0]);
            ASSERT_EQ(a.rotAxis[1], b.rotAxis[1]);
        }
    }
}

TEST_F(Evaluation, ChainSkipsUnboundUnknownAndEmptyRecords)
{
    ChannelRecord *unbound = vectorRecord(kTranslationRecord, "hip", {{0, 1, 2, 3}});
    unbound->target = nullptr;
    ChannelRecord *other = vectorRecord(kRotationRecord, "chest", {{0, 0, 45, 0}});
    other->type = 6;
    ChannelRecord *empty = vectorRecord(kTranslationRecord, "abdomen", {});
    ChannelRecord *last = vectorRecord(kTranslationRecord, "head", {{0, 0, 0, 0}, {300, 0, 0, 0}});
    const int slot = slotWith(chainOf({unbound, other, empty, last}));
    clearPoseFlags();
    EXPECT_EQ(sampleSlot(slot, 100), 200); // the last translation record's value
    EXPECT_EQ(entry("hip").nodeFlags & kNodePoseFlags, 0u);
    EXPECT_EQ(entry("chest").nodeFlags & kNodePoseFlags, 0u);
    EXPECT_EQ(entry("abdomen").nodeFlags & kNodePoseFlags, 0u);
    EXPECT_EQ(entry("head").nodeFlags & kNodePoseFlags, kNodeTranslationSet | kNodeWritten);
}

TEST_F(Evaluation, MirrorSwapsLeftAndRightRotationsAndReflectsTheRest)
{
    NodeEntry &hip = entry("hip");
    NodeEntry &lHand = entry("lHand");
    NodeEntry &rHand = entry("rHand");
    hip.pos[0] = fx(12);
    hip.pos[1] = fx(95);
    lHand.rotAngle = fx(30);
    lHand.rotAxis[0] = fx(0.6);
    lHand.rotAxis[1] = fx(0.8);
    lHand.rotAxis[2] = 0;
    rHand.rotAngle = fx(50);
    rHand.rotAxis[0] = 0;
    rHand.rotAxis[1] = 0;
    rHand.rotAxis[2] = fx(1);
    mirrorPose();
    EXPECT_EQ(hip.pos[0], fx(-12));
    EXPECT_EQ(hip.pos[1], fx(95));
    EXPECT_EQ(lHand.rotAngle, fx(50));
    EXPECT_EQ(lHand.rotAxis[2], fx(-1));
    EXPECT_EQ(rHand.rotAngle, fx(30));
    EXPECT_EQ(rHand.rotAxis[0], fx(0.6));
    EXPECT_EQ(rHand.rotAxis[1], -fx(0.8));
}

TEST_F(Evaluation, MirrorTwiceGivesThePoseBack)
{
    addNode(0x12345678, nullptr, 0); // a nameless entry takes part only in the reflection
    std::mt19937 random(99);
    NodeTable &table = nodeTable();
    for (int i = 0; i < table.count; ++i) {
        NodeEntry &e = table.entries[i];
        for (int c = 0; c < 3; ++c) {
            e.pos[c] = static_cast<Fixed>(random());
            e.rotAxis[c] = static_cast<Fixed>(random());
        }
        e.rotAngle = static_cast<Fixed>(random());
    }
    std::vector<NodeEntry> before(table.count);
    for (int i = 0; i < table.count; ++i) {
        before[i].rotAngle = table.entries[i].rotAngle;
        for (int c = 0; c < 3; ++c) {
            before[i].pos[c] = table.entries[i].pos[c];
            before[i].rotAxis[c] = table.entries[i].rotAxis[c];
        }
    }
    mirrorPose();
    EXPECT_NE(table.entries[13].rotAngle, before[13].rotAngle); // lHand took rHand's
    mirrorPose();
    for (int i = 0; i < table.count; ++i) {
        EXPECT_EQ(table.entries[i].rotAngle, before[i].rotAngle) << i;
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(table.entries[i].pos[c], before[i].pos[c]) << i;
            EXPECT_EQ(table.entries[i].rotAxis[c], before[i].rotAxis[c]) << i;
        }
    }
}

TEST_F(Evaluation, MirrorPairsFollowTheNames)
{
    const auto &pairs = mirrorPairs();
    // 9 limb and 15 finger pairs in the standard list, each matched once.
    EXPECT_EQ(pairs.size(), 24u);
    EXPECT_EQ(pairs.front(), std::make_pair(10, 6)); // lCollar with rCollar
    const size_t before = pairs.size();
    findOrAddNamedNode("lEar");
    findOrAddNamedNode("rEar");
    EXPECT_EQ(mirrorPairs().size(), before + 1);
}

TEST_F(Evaluation, RootOffsetWithoutRotationAddsTheTranslation)
{
    NodeEntry &hip = entry("hip");
    hip.pos[0] = fx(1);
    hip.pos[1] = fx(2);
    hip.pos[2] = fx(3);
    hip.rotAngle = fx(20);
    hip.rotAxis[0] = 0;
    hip.rotAxis[1] = 0x10000;
    hip.rotAxis[2] = 0;
    OffsetTransform offset;
    offset.pos[0] = fx(10);
    offset.pos[2] = fx(-5);
    offset.rot.angle = 0;
    applyRootOffset(offset);
    EXPECT_EQ(hip.pos[0], fx(11));
    EXPECT_EQ(hip.pos[1], fx(2));
    EXPECT_EQ(hip.pos[2], fx(-2));
    EXPECT_EQ(hip.rotAngle, fx(20)); // untouched
}

TEST_F(Evaluation, RootOffsetRotatesThePositionAndComposesTheRotation)
{
    NodeEntry &hip = entry("hip");
    hip.pos[0] = fx(1);
    hip.pos[1] = fx(2);
    hip.pos[2] = 0;
    hip.rotAngle = fx(30);
    hip.rotAxis[0] = 0;
    hip.rotAxis[1] = 0x10000;
    hip.rotAxis[2] = 0;
    OffsetTransform offset;
    offset.pos[0] = fx(100);
    offset.rot.angle = fx(90);
    offset.rot.axis[0] = 0;
    offset.rot.axis[1] = 0x10000;
    offset.rot.axis[2] = 0;
    applyRootOffset(offset);
    // 90 degrees about +Y takes +X to −Z: (1, 2, 0) becomes (0, 2, −1).
    EXPECT_NEAR(toFloat(hip.pos[0]), 100.0, 1e-4);
    EXPECT_NEAR(toFloat(hip.pos[1]), 2.0, 1e-4);
    EXPECT_NEAR(toFloat(hip.pos[2]), -1.0, 1e-4);
    // The figure turns with its path: the stored rotation, the inverse of
    // the figure's, becomes 30 − 90 = −60 degrees about +Y.
    EXPECT_NEAR(toFloat(hip.rotAngle), 60.0, 1e-3);
    EXPECT_NEAR(toFloat(hip.rotAxis[1]), -1.0, 1e-4);
}

} // namespace
