// Chains sampled through their samplers (scalar arithmetic and each vector
// arithmetic the processor runs) against the same chains evaluated record by
// record: identical node entries, results and cursors after every sample.
#include "blocktestsupport.h"

#include "chainsampler.h"

#include <algorithm>
#include <filesystem>
#include <random>

using namespace blocktest;

namespace {

// A copy of every record, linked the same way and bound to the same nodes.
ChannelRecord *copyChain(const ChannelRecord *chain)
{
    ChannelRecord *copy = new ChannelRecord(*chain);
    copy->next = chain->next ? copyChain(chain->next) : nullptr;
    return copy;
}

// Evaluates the chain from a poisoned table and takes what it leaves: the
// result, each entry's flags, position and rotation, and each cursor.
template <class Evaluate> std::vector<int64_t> poseAfter(ChannelRecord *chain, int t, Evaluate evaluate)
{
    NodeTable &table = nodeTable();
    for (int i = 0; i < table.count; ++i) {
        NodeEntry &e = table.entries[i];
        e.nodeFlags = 0;
        std::fill(e.pos, e.pos + 3, 0x5A5A5A5A);
        e.rotAngle = 0x5A5A5A5A;
        std::fill(e.rotAxis, e.rotAxis + 3, 0x5A5A5A5A);
    }
    std::vector<int64_t> pose { evaluate(chain, t) };
    for (int i = 0; i < table.count; ++i) {
        const NodeEntry &e = table.entries[i];
        pose.insert(pose.end(),
            { e.nodeFlags, e.pos[0], e.pos[1], e.pos[2], e.rotAngle, e.rotAxis[0], e.rotAxis[1],
                e.rotAxis[2] });
    }
    for (const ChannelRecord *r = chain; r; r = r->next)
        pose.push_back(r->cursor);
    return pose;
}

// Samples both chains at each time and stops at the first difference. With
// unsettle, every few samples one record of each is first evaluated on its
// own at another time, so that its cursor parts from its neighbours'.
void expectSameSamples(
    ChannelRecord *fast, ChannelRecord *reference, const std::vector<int> &times, bool unsettle = false)
{
    std::mt19937 random(11);
    for (int t : times) {
        if (unsettle && random() % 4 == 0) {
            const unsigned index = random() % 8;
            const int other = t + static_cast<int>(random() % 200) - 100;
            ChannelRecord *a = fast, *b = reference;
            for (unsigned i = 0; i < index && a->next; ++i)
                a = a->next, b = b->next;
            evaluateRecord(*a, other);
            evaluateRecord(*b, other);
        }
        ASSERT_EQ(poseAfter(fast, t, evaluateChain), poseAfter(reference, t, evaluateChainRecordByRecord))
            << "t = " << t;
    }
}

// Forward at 7, 16 and 33 ms from before the first key to after the last,
// random times, then backwards.
std::vector<int> sampleTimes(int length, unsigned seed)
{
    std::vector<int> times;
    for (int step : { 7, 16, 33 })
        for (int t = -100; t <= length + 100; t += step)
            times.push_back(t);
    std::mt19937 random(seed);
    for (int i = 0; i < 500; ++i)
        times.push_back(static_cast<int>(random() % static_cast<unsigned>(length + 300)) - 150);
    for (int t = length + 50; t >= -50; t -= 41)
        times.push_back(t);
    return times;
}

// Every arithmetic the processor runs.
const SamplingMode kModes[] = { SamplingMode::Scalar, SamplingMode::Avx2, SamplingMode::Avx512 };

class FastSampling : public CoreTest {
protected:
    void TearDown() override { setSamplingMode(bestSamplingMode()); }
};

} // namespace

TEST_F(FastSampling, EveryStockBlockSamplesAsRecordByRecord)
{
    int blocks = 0;
    for (const auto &file : std::filesystem::recursive_directory_iterator(TRELVO_CONTENT_DIR "/kinBlocks")) {
        if (file.path().extension() != ".kba")
            continue;
        SCOPED_TRACE(file.path().string());
        ++blocks;
        for (SamplingMode mode : kModes) {
            if (!samplingModeAvailable(mode))
                continue;
            setSamplingMode(mode);
            ASSERT_EQ(samplingMode(), mode); // each arithmetic in turn, as asked
            using Chain = std::unique_ptr<ChannelRecord, void (*)(ChannelRecord *)>;
            const Chain fast(readBlockFile(file.path().string(), nullptr), freeChain);
            ASSERT_TRUE(fast);
            bindChain(fast.get(), NodeBinding::AddUnknownNodes);
            const Chain reference(copyChain(fast.get()), freeChain);
            expectSameSamples(fast.get(), reference.get(), sampleTimes(chainDuration(fast.get()), 1));
        }
    }
    EXPECT_GE(blocks, 28);
}

TEST_F(FastSampling, AwkwardChainsSampleAsRecordByRecord)
{
    // Records with shared, partly shared and repeated key times, unsorted
    // keys, zero vectors, keys half a turn apart, huge values, records of
    // other types, unbound or empty records and nodes driven twice.
    std::mt19937 random(5);
    const auto &names = standardNodeNames();
    for (int variant = 0; variant < 24; ++variant) {
        SCOPED_TRACE(variant);
        const bool repeatedTimes = variant % 3 == 1, unsorted = variant % 4 == 2;
        const int keyCount = 1 + (variant * 7) % 40;
        const auto fill = [&](ChannelRecord *r, bool shared) {
            int t = shared ? 0 : static_cast<int>(random() % 20);
            for (int k = 0; k < keyCount; ++k) {
                ChannelKey key { t, { 0, 0, 0 } };
                const int kind = static_cast<int>(random() % 5);
                for (int c = 0; c < 3 && kind > 0; ++c)
                    key.v[c] = kind == 1 ? fx(c == 0 ? (random() % 2 ? 179 : -179) : 0)
                        : kind == 2      ? static_cast<Fixed>(random())
                                         : fx(static_cast<int>(random() % 400) - 200);
                r->keys.push_back(key);
                t += repeatedTimes ? static_cast<int>(random() % 3) * 20
                                   : (unsorted && random() % 4 == 0 ? -50 : 33);
            }
            if (!shared && random() % 2)
                r->keys.resize(r->keys.size() / 2 + 1);
            updateKeysSorted(*r);
        };
        ChannelRecord *head = vectorRecord(kTranslationRecord, "hip", {});
        fill(head, true);
        ChannelRecord *last = head;
        for (int i = 0; i < 1 + variant % 19; ++i) {
            const char *name = names[1 + random() % (variant % 4 == 0 ? 4 : 53)];
            const int kind = static_cast<int>(random() % 10);
            ChannelRecord *r = kind == 0
                ? angleAxisRecord(name, { { 0, 30, 0, 1, 0 }, { 500, -170, 1, 0, 0 } })
                : vectorRecord(kind == 1 ? kTranslationRecord : kRotationRecord, name, {});
            if (kind > 0)
                fill(r, kind < 8);
            if (random() % 11 == 0)
                r->target = nullptr;
            last = last->next = r;
        }
        ChannelRecord *reference = copyChain(head);
        const int length = std::max(1000, chainDuration(head));
        for (SamplingMode mode : kModes) {
            if (!samplingModeAvailable(mode))
                continue;
            setSamplingMode(mode);
            expectSameSamples(head, reference, sampleTimes(length, variant));
            expectSameSamples(head, reference, sampleTimes(length, variant + 1), true);
        }
        // Keys appended through the library reach the sampler.
        for (ChannelRecord *chain : { head, reference })
            for (ChannelRecord *r = chain; r; r = r->next)
                if (!r->keys.empty()) {
                    const Fixed v[3] = { fx(10), fx(-20), fx(30) };
                    appendKey(*r, r->keys.back().time + 40, v);
                }
        expectSameSamples(head, reference, sampleTimes(length + 40, 3));
        freeChain(head);
        freeChain(reference);
    }
}
