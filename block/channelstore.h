#pragma once
// The process-wide channel store: 20000 slots, each null or the head of a
// block's chain of channel records. Slots are handed out from a counter that
// starts at 10 and never reuses a number. The store owns every record.
//
// Slot numbers outside the store (−1 for "no slot", or anything out of
// range) act as permanently empty slots: reads give nothing, writes do
// nothing.

#include "channelrecord.h"

constexpr int kSlotCount = 20000;
constexpr int kFirstSlot = 10;

// The next unused slot, cleared; −1 once all slots have been handed out.
int allocateSlot();

// Head of the slot's chain, or null.
ChannelRecord *slotRecords(int slot);

// Makes chain the slot's records, freeing the ones it held. Returns false
// (and frees chain) when the slot number is not a valid slot.
bool replaceSlotRecords(int slot, ChannelRecord *chain);

// Frees every slot's records and sets every slot to null.
void freeAllSlots();

// In clip ms. Null slot: 0. First record not a translation record: −1
// (block files of that shape are refused on reading). Otherwise the time of
// the last key of the first record (0 when it has none).
int durationOf(int slot);
int chainDuration(const ChannelRecord *first);

// Evaluates every record of the slot at timeMs (clip ms) into the node
// table and returns what the last translation record returned (ms left
// until its last key), 0 when there is none.
int sampleSlot(int slot, int timeMs);

// The slot's record for (node, type), made when missing. An empty slot first
// gets a translation record for the node, so that every block made in
// memory starts with one. Only types 1 and 3 are made. Null for an invalid
// slot or type.
ChannelRecord *findOrMakeRecord(int slot, const char *nodeName, int32_t type);

// Key appending by node name (values as floats, angle in degrees).
void addTranslationKey(int slot, const char *nodeName, int timeMs, float x, float y, float z);
void addRotationKey(int slot, const char *nodeName, int timeMs, float angle, float ax, float ay,
                    float az);
// Translation key from Fixed values, without a round trip through float.
void addTranslationKeyFixed(int slot, const char *nodeName, int timeMs, const Fixed v[3]);

// Samples src every 33 clip ms from fromMs to toMs (src clip ms) into dst,
// starting at key time 0, translations moved so that the motion starts at
// x = z = 0. Stops, returning false, when a record of dst holds the most
// keys a record may (the result is then shorter than asked); true when the
// whole span was sampled.
bool resampleInto(int dstSlot, int srcSlot, int fromMs, int toMs);

// Whether a record of the slot holds kMaxRecordKeys keys, so that it takes
// no more.
bool slotHasFullRecord(int slot);

// Appends the node table's current pose for every named record of src as
// keys at timeMs (dst clip ms) to dst, without evaluating src.
void copyPoseInto(int dstSlot, int srcSlot, int timeMs);
