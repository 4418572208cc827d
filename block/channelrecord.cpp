#include "channelrecord.h"

#include <cmath>

namespace {

uint32_t g_editEpoch = 0;

} // namespace

uint32_t recordEditEpoch()
{
    return g_editEpoch;
}

void noteRecordsChanged()
{
    ++g_editEpoch;
}

int32_t recordKeyCount(const ChannelRecord &record)
{
    switch (record.type) {
    case kTranslationRecord:
    case kRotationRecord:
        return static_cast<int32_t>(record.keys.size());
    case kAngleAxisRecord:
        return static_cast<int32_t>(record.angleKeys.size());
    default:
        return record.otherKeyCount;
    }
}

void freeChain(ChannelRecord *chain)
{
    while (chain) {
        ChannelRecord *next = chain->next;
        delete chain;
        chain = next;
    }
}

void appendKey(ChannelRecord &record, int32_t time, const Fixed v[3])
{
    std::vector<ChannelKey> &keys = record.keys;
    const size_t n = keys.size();
    record.editStamp = ++g_editEpoch;
    if (n >= static_cast<size_t>(kMaxRecordKeys))
        return;
    if (n >= 1 && keys[n - 1].time >= time)
        return;
    if (n >= 2) {
        const ChannelKey &a = keys[n - 2];
        ChannelKey &b = keys[n - 1];
        if (a.v[0] == b.v[0] && a.v[1] == b.v[1] && a.v[2] == b.v[2]
            && b.v[0] == v[0] && b.v[1] == v[1] && b.v[2] == v[2]) {
            b.time = time;
            return;
        }
    }
    keys.push_back(ChannelKey{time, {v[0], v[1], v[2]}});
}

void rotationKeyVector(float angle, float ax, float ay, float az, Fixed out[3])
{
    // Bounded by the float range, so these loops end; a NaN angle skips them.
    if (angle < -1.0e6f || angle > 1.0e6f)
        angle = std::fmod(angle, 360.0f);
    while (angle < -180.0f)
        angle += 360.0f;
    while (angle > 180.0f)
        angle -= 360.0f;
    out[0] = toFixed(angle * ax);
    out[1] = toFixed(angle * ay);
    out[2] = toFixed(angle * az);
}

void updateKeysSorted(ChannelRecord &record)
{
    bool sorted = true;
    if (record.type == kAngleAxisRecord) {
        for (size_t i = 1; i < record.angleKeys.size() && sorted; ++i)
            sorted = record.angleKeys[i - 1].time <= record.angleKeys[i].time;
    } else {
        for (size_t i = 1; i < record.keys.size() && sorted; ++i)
            sorted = record.keys[i - 1].time <= record.keys[i].time;
    }
    record.keysSorted = sorted;
    record.editStamp = ++g_editEpoch;
}
