// Fuzz target: arbitrary bytes read as a block file. A file that loads is
// written back and read again (the image must come back byte for byte),
// evaluated at a spread of times forwards, backwards, mirrored and not,
// resampled, and played through the engine with fades and loops.
#include "blockfile.h"
#include "channelstore.h"
#include "engine.h"
#include "evaluation.h"
#include "nodetable.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Slots {
    int played;
    int previous;
    int resampled;
};

const Slots &fuzzSlots()
{
    static const Slots s = {allocateSlot(), allocateSlot(), allocateSlot()};
    return s;
}

int clampTime(int64_t t)
{
    if (t > INT_MAX)
        return INT_MAX;
    if (t < INT_MIN)
        return INT_MIN;
    return static_cast<int>(t);
}

// Parameters drawn from the input's first bytes, so that the fuzzer steers
// offsets, facings and mirroring as well as the records.
struct Knobs {
    const uint8_t *data;
    size_t size;
    size_t next = 0;
    int byte()
    {
        if (size == 0)
            return 0;
        return data[next++ % size];
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Slots &s = fuzzSlots();
    registerStandardNodes();
    engineReset();

    std::string error;
    ChannelRecord *chain = parseBlockBytes(data, size, &error);
    if (!chain)
        return 0;

    const std::vector<uint8_t> image = serializeChain(chain);
    ChannelRecord *again = parseBlockBytes(image.data(), image.size(), &error);
    if (!again || serializeChain(again) != image)
        std::abort(); // what the writer writes, the reader must read back unchanged

    bindChain(chain, NodeBinding::AddUnknownNodes);
    evaluateChain(chain, 0);
    replaceSlotRecords(s.played, chain);
    bindChain(again, NodeBinding::LeaveUnknownUnbound);
    replaceSlotRecords(s.previous, again);

    const int duration = durationOf(s.played);
    const int64_t d = duration;
    const int64_t times[] = {0, 1, 17, 33, d / 3, d / 2, d - 1, d, d + 1, d * 2 + 5,
                             -1, -1000, 100000, 40000, d / 4, 0, INT_MAX, INT_MIN, 12, d / 2};
    for (size_t i = 0; i < sizeof times / sizeof times[0]; ++i) {
        sampleSlot(s.played, clampTime(times[i]));
        if (i % 2)
            mirrorPose();
    }

    Knobs knobs{data, size};
    const Vec3f pos{static_cast<float>(knobs.byte() - 128), static_cast<float>(knobs.byte()),
                    static_cast<float>(knobs.byte() - 128)};
    const float facing = static_cast<float>(knobs.byte() * 3 - 360);
    const Vec3f axis{0.0f, 1.0f, 0.0f};
    const Vec3f shift{static_cast<float>(knobs.byte() - 128), 0.0f, static_cast<float>(knobs.byte())};
    const bool mirror = knobs.byte() & 1;

    replaceSlotRecords(s.resampled, nullptr);
    resampleInto(s.resampled, s.played, 0, duration > 0 ? (duration < 2000 ? duration : 2000) : 100);
    copyPoseInto(s.resampled, s.played, 5000);
    const std::vector<uint8_t> resampled = serializeChain(slotRecords(s.resampled));
    if (!resampled.empty()) {
        ChannelRecord *back = parseBlockBytes(resampled.data(), resampled.size(), &error);
        if (!back)
            std::abort(); // blocks made in memory always make valid files
        freeChain(back);
    }

    engineStart(s.previous, 0, 0, 300, 100, pos, facing, axis, shift, !mirror);
    engineAdvance(50);
    engineStart(s.played, knobs.byte() * 10, knobs.byte() * 4, 350, knobs.byte(), pos, facing, axis,
                shift, mirror);
    engineSetPrevious(s.previous, clampTime(d / 2), knobs.byte(), pos, -facing, axis, shift, mirror);
    engineAdvance(0);
    for (int step = 0; step < 12; ++step)
        engineAdvance(33 + knobs.byte());
    engineAdvance(0);
    engineAdvance(clampTime(d * 3 + 7));
    engineStart(s.resampled, 0, 40000, 0, 0, pos, facing, axis, shift, mirror);
    engineAdvance(20000);
    engineAdvance(-5000);

    Vec3f rootPos, rootAxis;
    float heading = 0.0f;
    enginePoseAt(s.played, duration, pos, facing, axis, shift, mirror, &rootPos, &heading, &rootAxis);
    enginePoseAt(s.played, clampTime(-d), pos, 0.0f, axis, shift, !mirror, &rootPos, &heading, &rootAxis);
    return 0;
}
