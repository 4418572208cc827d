#include "channelstore.h"

#include "engine.h"
#include "evaluation.h"
#include "nodetable.h"

#include <climits>

namespace {

ChannelRecord *g_slots[kSlotCount] = {};
int g_nextSlot = kFirstSlot;

bool validSlot(int slot)
{
    return slot >= 0 && slot < kSlotCount;
}

ChannelRecord *makeRecord(const char *nodeName, int32_t type)
{
    ChannelRecord *record = new ChannelRecord;
    record->hash = nameHash(nodeName);
    record->bindHash = record->hash;
    record->type = type;
    record->target = findOrAddNamedNode(nodeName);
    return record;
}

// Records of these types give their node's rotation to copies and resamples.
bool carriesRotation(int32_t type)
{
    return type == kAngleAxisRecord || type == kRotationRecord || type == kPackedStreamRecord
        || type == kUnplayedRotationRecord;
}

void appendRotationFromEntry(int slot, const NodeEntry &entry, int timeMs)
{
    addRotationKey(slot, entry.name.get(), timeMs, toFloat(entry.rotAngle), toFloat(entry.rotAxis[0]),
                   toFloat(entry.rotAxis[1]), toFloat(entry.rotAxis[2]));
}

} // namespace

int allocateSlot()
{
    if (g_nextSlot >= kSlotCount)
        return -1;
    const int slot = g_nextSlot++;
    replaceSlotRecords(slot, nullptr);
    return slot;
}

ChannelRecord *slotRecords(int slot)
{
    return validSlot(slot) ? g_slots[slot] : nullptr;
}

bool replaceSlotRecords(int slot, ChannelRecord *chain)
{
    if (!validSlot(slot)) {
        freeChain(chain);
        return false;
    }
    ChannelRecord *old = g_slots[slot];
    if (old == chain)
        return true;
    g_slots[slot] = chain;
    if (old) {
        // The engine may still be playing these records.
        engineRecordsReplaced(old, chain);
        freeChain(old);
    }
    return true;
}

void freeAllSlots()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        replaceSlotRecords(slot, nullptr);
}

int durationOf(int slot)
{
    return chainDuration(slotRecords(slot));
}

int chainDuration(const ChannelRecord *first)
{
    if (!first)
        return 0;
    if (first->type != kTranslationRecord)
        return -1;
    return first->keys.empty() ? 0 : first->keys.back().time;
}

int sampleSlot(int slot, int timeMs)
{
    return evaluateChain(slotRecords(slot), timeMs);
}

ChannelRecord *findOrMakeRecord(int slot, const char *nodeName, int32_t type)
{
    if (!validSlot(slot) || (type != kTranslationRecord && type != kRotationRecord))
        return nullptr;
    if (!g_slots[slot])
        g_slots[slot] = makeRecord(nodeName, kTranslationRecord);
    const uint32_t hash = nameHash(nodeName);
    ChannelRecord *last = nullptr;
    for (ChannelRecord *r = g_slots[slot]; r; r = r->next) {
        if (r->hash == hash && r->type == type)
            return r;
        last = r;
    }
    ChannelRecord *record = makeRecord(nodeName, type);
    last->next = record;
    noteRecordsChanged();
    return record;
}

void addTranslationKeyFixed(int slot, const char *nodeName, int timeMs, const Fixed v[3])
{
    if (ChannelRecord *record = findOrMakeRecord(slot, nodeName, kTranslationRecord))
        appendKey(*record, timeMs, v);
}

void addTranslationKey(int slot, const char *nodeName, int timeMs, float x, float y, float z)
{
    const Fixed v[3] = {toFixed(x), toFixed(y), toFixed(z)};
    addTranslationKeyFixed(slot, nodeName, timeMs, v);
}

void addRotationKey(int slot, const char *nodeName, int timeMs, float angle, float ax, float ay,
                    float az)
{
    ChannelRecord *record = findOrMakeRecord(slot, nodeName, kRotationRecord);
    if (!record)
        return;
    Fixed v[3];
    rotationKeyVector(angle, ax, ay, az, v);
    appendKey(*record, timeMs, v);
}

bool slotHasFullRecord(int slot)
{
    for (const ChannelRecord *r = slotRecords(slot); r; r = r->next) {
        if (recordKeyCount(*r) >= kMaxRecordKeys)
            return true;
    }
    return false;
}

bool resampleInto(int dstSlot, int srcSlot, int fromMs, int toMs)
{
    if (!validSlot(dstSlot))
        return true;
    const int64_t steps = (static_cast<int64_t>(toMs) - fromMs) / 33;
    Fixed baseX = 0, baseZ = 0;
    for (int64_t k = 0; k <= steps; ++k) {
        // Key times past the 32-bit range could only be dropped.
        if (33 * k > INT_MAX)
            return false;
        // Once a record is full every later key of it would be dropped: the
        // motion stops here rather than going on without that node.
        if (k > 0 && slotHasFullRecord(dstSlot))
            return false;
        const int keyTime = static_cast<int>(33 * k);
        ChannelRecord *chain = slotRecords(srcSlot);
        if (!chain)
            return true;
        evaluateChain(chain, static_cast<int>(fromMs + 33 * k));
        if (k == 0) {
            for (const ChannelRecord *r = chain; r; r = r->next) {
                if (r->type == kTranslationRecord && r->target) {
                    baseX = r->target->pos[0];
                    baseZ = r->target->pos[2];
                    break;
                }
            }
        }
        for (const ChannelRecord *r = chain; r; r = r->next) {
            if (!r->target || !r->target->name)
                continue;
            const NodeEntry &entry = *r->target;
            if (r->type == kTranslationRecord) {
                const Fixed v[3] = {fxSub(entry.pos[0], baseX), entry.pos[1], fxSub(entry.pos[2], baseZ)};
                addTranslationKeyFixed(dstSlot, entry.name.get(), keyTime, v);
            } else if (carriesRotation(r->type)) {
                appendRotationFromEntry(dstSlot, entry, keyTime);
            }
        }
    }
    return true;
}

void copyPoseInto(int dstSlot, int srcSlot, int timeMs)
{
    if (!validSlot(dstSlot))
        return;
    for (const ChannelRecord *r = slotRecords(srcSlot); r; r = r->next) {
        if (!r->target || !r->target->name)
            continue;
        const NodeEntry &entry = *r->target;
        if (r->type == kTranslationRecord)
            addTranslationKeyFixed(dstSlot, entry.name.get(), timeMs, entry.pos);
        else if (carriesRotation(r->type))
            appendRotationFromEntry(dstSlot, entry, timeMs);
    }
}
