// Evaluation of each record type into the node table, the key cursor, the
// mirror and the root offset. Expected raw values are worked out from the
// 16.16 definitions (fxMul, fxDiv, fxRecip, fxLength3) by hand.
#include "blocktestsupport.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

using namespace blocktest;

namespace {

using Raw = std::array<Fixed, 7>; // pos, angle, axis

Raw raw(const NodeEntry &e)
{
    return {e.pos[0], e.pos[1], e.pos[2], e.rotAngle, e.rotAxis[0], e.rotAxis[1], e.rotAxis[2]};
}

void setRaw(NodeEntry &e, const Raw &r)
{
    for (int c = 0; c < 3; ++c) {
        e.pos[c] = r[c];
        e.rotAxis[c] = r[4 + c];
    }
    e.rotAngle = r[3];
}

// The angle and axis a one-record slot of the named node gives at t.
Raw rotationAt(ChannelRecord *record, const char *name, int t)
{
    sampleSlot(slotWith(record), t);
    Raw r = raw(entry(name));
    r[0] = r[1] = r[2] = 0;
    return r;
}

class Evaluation : public ::testing::Test
{
protected:
    void SetUp() override { resetCore(); }
};

TEST_F(Evaluation, TranslationInterpolatesAndHoldsAtBothEnds)
{
    const int slot = slotWith(vectorRecord(kTranslationRecord, "hip", {{0, 0, 0, 0}, {1000, 10, 20, -30}}));
    const NodeEntry &e = entry("hip");
    EXPECT_EQ(sampleSlot(slot, 500), 500); // time left until the last key
    EXPECT_EQ(raw(e), (Raw{fx(5), fx(10), fx(-15), 0, 0, 0, 0}));
    EXPECT_EQ(e.nodeFlags & kNodePoseFlags, kNodeTranslationSet | kNodeWritten);
    EXPECT_EQ(sampleSlot(slot, -100), 1100); // before the first key: held, not extrapolated
    EXPECT_EQ(e.pos[0], 0);
    EXPECT_EQ(sampleSlot(slot, 2000), -1000);
    EXPECT_EQ(e.pos[2], fx(-30));
}

TEST_F(Evaluation, RotationRecordsOnHandWorkedValues)
{
    const struct {
        const char *what;
        ChannelRecord *record;
        const char *node;
        int t;
        Raw expected;    // angle and axis only
        bool angleOnly = false;
    } cases[] = {
        // 45 × fxRecip(45.0) = 45 × 1456
        {"vector halfway", vectorRecord(kRotationRecord, "abdomen", {{0, 0, 0, 0}, {1000, 0, 90, 0}}), "abdomen",
         500, {0, 0, 0, fx(45), 0, 65520, 0}},
        {"zero vector: angle 0 about +Y", vectorRecord(kRotationRecord, "abdomen", {{0, 0, 0, 0}, {1000, 0, 90, 0}}),
         "abdomen", 0, {0, 0, 0, 0, 0, 0x10000, 0}},
        {"vector extrapolated before the first key (u = −0.5)",
         vectorRecord(kRotationRecord, "chest", {{100, 0, 10, 0}, {200, 0, 20, 0}}), "chest", 50,
         {0, 0, 0, fx(5)}, true},
        {"vector held after the last key", vectorRecord(kRotationRecord, "chest", {{100, 0, 10, 0}, {200, 0, 20, 0}}),
         "chest", 400, {0, 0, 0, fx(20)}, true},
        // (0, 170, 0) to (0, −170, 0): q is replaced by the shorter alternative
        // a = d × (L1 − 360) with d = q × fxRecip(170) = (0, −65450, 0), so
        // a = (0, 12435500, 0); halfway is about 179.88° about +Y, not 0.
        {"vectors half a turn apart take the short way",
         vectorRecord(kRotationRecord, "neck", {{0, 0, 170, 0}, {1000, 0, -170, 0}}), "neck", 500,
         {0, 0, 0, 11788308, 0, 65474, 0}},
        // −170 has the alternative 190, which is nearer to 170: halfway is 180.
        {"angle-axis 170 to −170 passes 180", angleAxisRecord("head", {{0, 170, 0, 1, 0}, {1000, -170, 0, 1, 0}}),
         "head", 500, {0, 0, 0, fx(180), 0, 65520, 0}},
        {"angle-axis weight limited to the key pair",
         angleAxisRecord("head", {{100, 10, 1, 0, 0}, {200, 20, 1, 0, 0}}),
         "head", 0, {0, 0, 0, fx(10)}, true},
        // An axis of length 2 makes the vector twice the angle: angle 1/32
        // gives a vector of length 1/16 (4096 < 4097), so the key's own angle
        // and axis are taken; angle 1/16 gives 8192 and a normalised axis.
        {"shorter than 1/16°: the key as it is", angleAxisRecord("rHand", {{0, 1.0 / 32, 2, 0, 0}}), "rHand", 0,
         {0, 0, 0, 2048, 0x20000, 0, 0}},
        {"1/16°: normalised", angleAxisRecord("rHand", {{0, 1.0 / 16, 2, 0, 0}}), "rHand", 0,
         {0, 0, 0, 8192, 0x10000, 0, 0}},
        {"opposite keys meet at zero: the earlier key stands",
         angleAxisRecord("lHand", {{0, 10, 1, 0, 0}, {1000, -10, 1, 0, 0}}), "lHand", 500,
         {0, 0, 0, fx(10), 0x10000, 0, 0}},
    };
    for (const auto &c : cases) {
        const Raw got = rotationAt(c.record, c.node, c.t);
        if (c.angleOnly) {
            EXPECT_EQ(got[3], c.expected[3]) << c.what;
        } else {
            EXPECT_EQ(got, c.expected) << c.what;
        }
    }
    std::vector<uint8_t> s;
    fullEntry(s, 0, 2048, 0x20000, 0, 0);
    EXPECT_EQ(rotationAt(streamRecord("lFoot", s), "lFoot", 0), (Raw{0, 0, 0, 2048, 0x20000, 0, 0}));
    EXPECT_EQ(entry("abdomen").nodeFlags & kNodePoseFlags, kNodeRotationSet | kNodeWritten);
}

TEST_F(Evaluation, PackedStreamDeltaEntryContinuesFromTheFullEntry)
{
    std::vector<uint8_t> s;
    fullEntry(s, 0, fx(10), 0, 0x10000, 0);
    deltaEntry(s, 5, fx(20), 100, -200, 300);
    ChannelRecord *record = streamRecord("rShin", s);
    const int slot = slotWith(record);
    const NodeEntry &e = entry("rShin");
    // At 2 ms: u = fxDiv(2, 5) = 26214 between 10° about +Y and the second
    // entry's vector (2000, 1306720, 6000).
    sampleSlot(slot, 2);
    EXPECT_EQ(raw(e), (Raw{0, 0, 0, 915902, 57, 65531, 171}));
    // At 5 ms and after, the stream is exhausted and holds the last entry.
    EXPECT_EQ(evaluateRecord(*record, 5), 0);
    EXPECT_EQ(raw(e), (Raw{0, 0, 0, 1306734, 100, 65519, 300}));
    // Going back restarts the decoder from the first entry.
    EXPECT_EQ(evaluateRecord(*record, 0), 1);
    EXPECT_EQ(e.rotAngle, fx(10));
    EXPECT_EQ(e.rotAxis[1], 65530); // 10 × fxRecip(10.0) = 10 × 6553
}

TEST_F(Evaluation, PackedStreamStopsAtAnEntryCutOffByTheStreamEnd)
{
    std::vector<uint8_t> full, delta;
    fullEntry(full, 0, fx(30), 0x10000, 0, 0);
    fullEntry(full, 100, fx(60), 0x10000, 0, 0);
    full.resize(full.size() - 4); // the second entry lacks its last bytes
    fullEntry(delta, 0, fx(30), 0x10000, 0, 0);
    delta.push_back(0x85); // a delta entry of one byte
    for (ChannelRecord *record : {streamRecord("rFoot", full), streamRecord("lShin", delta)}) {
        slotWith(record);
        EXPECT_EQ(evaluateRecord(*record, 500), 0);
        EXPECT_EQ(record->target->rotAngle, fx(30));
    }
}

TEST_F(Evaluation, CursorResumesForwardAndRestartsBackward)
{
    ChannelRecord *r = vectorRecord(kRotationRecord, "rThigh", {});
    for (int i = 0; i < 20; ++i)
        r->keys.push_back(ChannelKey{100 * i, {0, fx(i), 0}});
    slotWith(r);
    // exactly on a key (300): the pair ending there; far ahead; back: restart
    for (auto [t, cursor] : {std::pair{150, 1}, {250, 2}, {300, 2}, {1750, 17}, {50, 0}, {5000, 19}}) {
        evaluateRecord(*r, t);
        EXPECT_EQ(r->cursor, cursor) << t;
    }
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
        const int fastSlot = slotWith(fast), slowSlot = slotWith(slow);
        for (int step = 0; step < 300; ++step) {
            const int t = step % 3 == 0 ? static_cast<int>(random() % (time + 200)) - 100
                                        : static_cast<int>(random() % 41) + fast->keys[fast->cursor].time;
            sampleSlot(fastSlot, t);
            sampleSlot(slowSlot, t);
            ASSERT_EQ(fast->cursor, slow->cursor) << "t = " << t;
            ASSERT_EQ(raw(entry("lThigh")), raw(entry("rThigh")));
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
    for (const char *name : {"hip", "chest", "abdomen"})
        EXPECT_EQ(entry(name).nodeFlags & kNodePoseFlags, 0u) << name;
    EXPECT_EQ(entry("head").nodeFlags & kNodePoseFlags, kNodeTranslationSet | kNodeWritten);
}

TEST_F(Evaluation, MirrorSwapsLeftAndRightAndIsItsOwnInverse)
{
    setRaw(entry("hip"), {fx(12), fx(95), 0, 0, 0, 0, 0});
    setRaw(entry("lHand"), {0, 0, 0, fx(30), fx(0.6), fx(0.8), 0});
    setRaw(entry("rHand"), {0, 0, 0, fx(50), 0, 0, fx(1)});
    mirrorPose();
    EXPECT_EQ(raw(entry("hip")), (Raw{fx(-12), fx(95), 0, 0, 0, 0, 0}));
    EXPECT_EQ(raw(entry("lHand")), (Raw{0, 0, 0, fx(50), 0, 0, fx(-1)}));
    EXPECT_EQ(raw(entry("rHand")), (Raw{0, 0, 0, fx(30), fx(0.6), -fx(0.8), 0}));

    addNode(0x12345678, nullptr, 0); // a nameless entry takes part only in the reflection
    std::mt19937 random(99);
    NodeTable &table = nodeTable();
    std::vector<Raw> before;
    for (int i = 0; i < table.count; ++i) {
        Raw r;
        for (Fixed &v : r)
            v = static_cast<Fixed>(random());
        setRaw(table.entries[i], r);
        before.push_back(r);
    }
    mirrorPose();
    EXPECT_NE(raw(table.entries[13]), before[13]); // lHand took rHand's
    mirrorPose();
    for (int i = 0; i < table.count; ++i)
        EXPECT_EQ(raw(table.entries[i]), before[i]) << i;

    // 9 limb and 15 finger pairs in the standard list; new names pair up.
    EXPECT_EQ(mirrorPairs().size(), 24u);
    EXPECT_EQ(mirrorPairs().front(), std::make_pair(10, 6)); // lCollar with rCollar
    findOrAddNamedNode("lEar");
    findOrAddNamedNode("rEar");
    EXPECT_EQ(mirrorPairs().size(), 25u);
}

TEST_F(Evaluation, RootOffsetMovesThePathAndTurnsTheFigure)
{
    NodeEntry &hip = entry("hip");
    setRaw(hip, {fx(1), fx(2), fx(3), fx(20), 0, 0x10000, 0});
    OffsetTransform shift;
    shift.pos[0] = fx(10);
    shift.pos[2] = fx(-5);
    shift.rot.angle = 0;
    applyRootOffset(shift);
    EXPECT_EQ(raw(hip), (Raw{fx(11), fx(2), fx(-2), fx(20), 0, 0x10000, 0})); // rotation untouched

    setRaw(hip, {fx(1), fx(2), 0, fx(30), 0, 0x10000, 0});
    OffsetTransform turn;
    turn.pos[0] = fx(100);
    turn.rot = Rotation{fx(90), {0, 0x10000, 0}};
    applyRootOffset(turn);
    // 90 degrees about +Y takes +X to −Z: (1, 2, 0) becomes (0, 2, −1).
    EXPECT_LT(std::hypot(toFloat(hip.pos[0]) - 100, toFloat(hip.pos[1]) - 2, toFloat(hip.pos[2]) + 1), 1e-4);
    // The figure turns with its path: the stored rotation, the inverse of
    // the figure's, becomes 30 − 90 = −60 degrees about +Y.
    EXPECT_NEAR(toFloat(hip.rotAngle), 60.0, 1e-3);
    EXPECT_NEAR(toFloat(hip.rotAxis[1]), -1.0, 1e-4);
}

} // namespace
