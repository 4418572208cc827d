// Evaluation of each record type into the node table, the key cursor and
// the mirror (the root offset is checked through the block end poses). Expected raw values are worked out
// from the 16.16 definitions (fxMul, fxDiv, fxRecip, fxLength3) by hand.
#include "blocktestsupport.h"

using namespace blocktest;

namespace {

using Raw = std::array<Fixed, 7>; // pos, angle, axis

Raw raw(const NodeEntry &e)
{
    return { e.pos[0], e.pos[1], e.pos[2], e.rotAngle, e.rotAxis[0], e.rotAxis[1], e.rotAxis[2] };
}

void setRaw(NodeEntry &e, const Raw &r)
{
    for (int c = 0; c < 3; ++c) {
        e.pos[c] = r[c];
        e.rotAxis[c] = r[4 + c];
    }
    e.rotAngle = r[3];
}

// The angle and axis a one-record slot gives its node at t.
std::array<Fixed, 4> rotationAt(ChannelRecord *record, int t)
{
    sampleSlot(slotWith(record), t);
    const NodeEntry &e = *record->target;
    return { e.rotAngle, e.rotAxis[0], e.rotAxis[1], e.rotAxis[2] };
}

using Evaluation = CoreTest;

TEST_F(Evaluation, TranslationInterpolatesHoldsAtBothEndsAndChainsSkipUnusableRecords)
{
    const int hip
        = slotWith(vectorRecord(kTranslationRecord, "hip", { { 0, 0, 0, 0 }, { 1000, 10, 20, -30 } }));
    const NodeEntry &e = entry("hip");
    EXPECT_EQ(sampleSlot(hip, 500), 500); // time left until the last key
    EXPECT_EQ(raw(e), (Raw { fx(5), fx(10), fx(-15), 0, 0, 0, 0 }));
    EXPECT_EQ(sampleSlot(hip, -100), 1100); // before the first key: held, not extrapolated
    EXPECT_EQ(e.pos[0], 0);
    EXPECT_EQ(sampleSlot(hip, 2000), -1000);
    EXPECT_EQ(e.pos[2], fx(-30));

    // A chain skips unbound records, unknown types and records without keys.
    ChannelRecord *unbound = vectorRecord(kTranslationRecord, "hip", { { 0, 1, 2, 3 } });
    unbound->target = nullptr;
    ChannelRecord *other = vectorRecord(kRotationRecord, "chest", { { 0, 0, 45, 0 } });
    other->type = 6;
    ChannelRecord *empty = vectorRecord(kTranslationRecord, "abdomen", {});
    ChannelRecord *last = vectorRecord(kTranslationRecord, "head", { { 0, 0, 0, 0 }, { 300, 0, 0, 0 } });
    const int chained = slotWith(chainOf({ unbound, other, empty, last }));
    clearPoseFlags();
    EXPECT_EQ(sampleSlot(chained, 100), 200); // the last translation record's value
    for (const char *name : { "hip", "chest", "abdomen" })
        EXPECT_EQ(entry(name).nodeFlags & kNodePoseFlags, 0u) << name;
    EXPECT_EQ(entry("head").nodeFlags & kNodePoseFlags, kNodeTranslationSet | kNodeWritten);
}

TEST_F(Evaluation, RotationRecordsOnHandWorkedValues)
{
    const struct {
        const char *what;
        ChannelRecord *record;
        int t;
        std::array<Fixed, 4> expected; // angle, axis
    } cases[] = {
        // 45 × fxRecip(45.0) = 45 × 1456
        { "vector halfway", vectorRecord(kRotationRecord, "abdomen", { { 0, 0, 0, 0 }, { 1000, 0, 90, 0 } }),
            500, { fx(45), 0, 65520, 0 } },
        { "zero vector: angle 0 about +Y",
            vectorRecord(kRotationRecord, "abdomen", { { 0, 0, 0, 0 }, { 1000, 0, 90, 0 } }), 0,
            { 0, 0, 0x10000, 0 } },
        // 5 × fxRecip(5.0) = 5 × 13107
        { "vector extrapolated before the first key (u = −0.5)",
            vectorRecord(kRotationRecord, "chest", { { 100, 0, 10, 0 }, { 200, 0, 20, 0 } }), 50,
            { fx(5), 0, 65535, 0 } },
        // (0, 170, 0) to (0, −170, 0): q is replaced by the shorter alternative
        // a = d × (L1 − 360) with d = q × fxRecip(170) = (0, −65450, 0), so
        // a = (0, 12435500, 0); halfway is about 179.88° about +Y, not 0.
        { "vectors half a turn apart take the short way",
            vectorRecord(kRotationRecord, "neck", { { 0, 0, 170, 0 }, { 1000, 0, -170, 0 } }), 500,
            { 11788308, 0, 65474, 0 } },
        // −170 has the alternative 190, which is nearer to 170: halfway is 180.
        { "angle-axis 170 to −170 passes 180",
            angleAxisRecord("head", { { 0, 170, 0, 1, 0 }, { 1000, -170, 0, 1, 0 } }), 500,
            { fx(180), 0, 65520, 0 } },
        // 10 × fxRecip(10.0) = 10 × 6553
        { "angle-axis weight limited to the key pair",
            angleAxisRecord("head", { { 100, 10, 1, 0, 0 }, { 200, 20, 1, 0, 0 } }), 0,
            { fx(10), 65530, 0, 0 } },
        // An axis of length 2 makes the vector twice the angle: angle 1/32
        // gives a vector of length 1/16 (4096 < 4097), so the key's own angle
        // and axis are taken; angle 1/16 gives 8192 and a normalised axis.
        { "shorter than 1/16°: the key as it is", angleAxisRecord("rHand", { { 0, 1.0 / 32, 2, 0, 0 } }), 0,
            { 2048, 0x20000, 0, 0 } },
        { "1/16°: normalised", angleAxisRecord("rHand", { { 0, 1.0 / 16, 2, 0, 0 } }), 0,
            { 8192, 0x10000, 0, 0 } },
        { "opposite keys meet at zero: the earlier key stands",
            angleAxisRecord("lHand", { { 0, 10, 1, 0, 0 }, { 1000, -10, 1, 0, 0 } }), 500,
            { fx(10), 0x10000, 0, 0 } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(rotationAt(c.record, c.t), c.expected) << c.what;
    std::vector<uint8_t> s;
    fullEntry(s, 0, 2048, 0x20000, 0, 0);
    EXPECT_EQ(rotationAt(streamRecord("lFoot", s), 0), (std::array<Fixed, 4> { 2048, 0x20000, 0, 0 }));
    EXPECT_EQ(entry("abdomen").nodeFlags & kNodePoseFlags, kNodeRotationSet | kNodeWritten);
}

TEST_F(Evaluation, PackedStreamDeltaEntriesContinueAndCutEntriesStop)
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
    EXPECT_EQ(raw(e), (Raw { 0, 0, 0, 915902, 57, 65531, 171 }));
    // At 5 ms and after, the stream is exhausted and holds the last entry.
    EXPECT_EQ(evaluateRecord(*record, 5), 0);
    EXPECT_EQ(raw(e), (Raw { 0, 0, 0, 1306734, 100, 65519, 300 }));
    // Going back restarts the decoder from the first entry.
    EXPECT_EQ(evaluateRecord(*record, 0), 1);
    // 10 × fxRecip(10.0) = 10 × 6553
    EXPECT_EQ(std::tuple(e.rotAngle, e.rotAxis[1]), std::tuple(fx(10), 65530));

    // An entry cut off by the stream's end stops the stream.
    std::vector<uint8_t> full, delta;
    fullEntry(full, 0, fx(30), 0x10000, 0, 0);
    fullEntry(full, 100, fx(60), 0x10000, 0, 0);
    full.resize(full.size() - 4); // the second entry lacks its last bytes
    fullEntry(delta, 0, fx(30), 0x10000, 0, 0);
    delta.push_back(0x85); // a delta entry of one byte
    for (ChannelRecord *cut : { streamRecord("rFoot", full), streamRecord("lShin", delta) }) {
        slotWith(cut);
        EXPECT_EQ(evaluateRecord(*cut, 500), 0);
        EXPECT_EQ(cut->target->rotAngle, fx(30));
    }
}

TEST_F(Evaluation, KeySearchStopsAtThePairEndingAtOrAfterT)
{
    // Keys every 100 ms, each time twice. Sorted keys are bisected once more
    // than four steps lie ahead, unsorted ones stepped through; going back
    // restarts from the first key.
    ChannelRecord *r = vectorRecord(kRotationRecord, "rThigh", {});
    for (int i = 0; i < 40; ++i)
        r->keys.push_back(ChannelKey { 100 * (i / 2), { 0, fx(i), 0 } });
    slotWith(r);
    for (bool sorted : { true, false }) {
        r->keysSorted = sorted;
        for (auto [t, cursor] :
            { std::pair { 150, 3 }, { 300, 5 }, { 1700, 33 }, { 1750, 35 }, { 50, 1 }, { 5000, 39 } }) {
            evaluateRecord(*r, t);
            EXPECT_EQ(r->cursor, cursor) << "t = " << t << (sorted ? ", sorted" : ", unsorted");
        }
    }
}

TEST_F(Evaluation, MirrorSwapsLeftAndRightAndIsItsOwnInverse)
{
    setRaw(entry("hip"), { fx(12), fx(95), 0, 0, 0, 0, 0 });
    setRaw(entry("lHand"), { 0, 0, 0, fx(30), fx(0.6), fx(0.8), 0 });
    setRaw(entry("rHand"), { 0, 0, 0, fx(50), 0, 0, fx(1) });
    mirrorPose();
    EXPECT_EQ(raw(entry("hip")), (Raw { fx(-12), fx(95), 0, 0, 0, 0, 0 }));
    EXPECT_EQ(raw(entry("lHand")), (Raw { 0, 0, 0, fx(50), 0, 0, fx(-1) }));
    EXPECT_EQ(raw(entry("rHand")), (Raw { 0, 0, 0, fx(30), fx(0.6), -fx(0.8), 0 }));
    mirrorPose();
    EXPECT_EQ(raw(entry("rHand")), (Raw { 0, 0, 0, fx(50), 0, 0, fx(1) }));

    // New names pair up too.
    const size_t pairs = mirrorPairs().size();
    findOrAddNamedNode("lEar");
    findOrAddNamedNode("rEar");
    EXPECT_EQ(mirrorPairs().size(), pairs + 1);
}

} // namespace
