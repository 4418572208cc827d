#pragma once
// Channel records: one node's keys of one kind, linked into a chain that is
// a block's motion. The header fields mirror the record header of a block
// file (hash, type, key count, cursor, target, next); the keys are held in
// vectors sized to what the record holds.

#include "fixedpoint.h"

#include <cstdint>
#include <vector>

struct NodeEntry;

// Record types.
constexpr int32_t kTranslationRecord = 1;  // time, x, y, z
constexpr int32_t kAngleAxisRecord = 2;    // time, angle, axis x, y, z
constexpr int32_t kRotationRecord = 3;     // time, rotation vector x, y, z
constexpr int32_t kPackedStreamRecord = 5; // big-endian delta-coded rotation stream
// A rotation type that some files name but that is not played: its node's
// pose (from other records) is still copied by resampling and joining.
constexpr int32_t kUnplayedRotationRecord = 6;

// A record never holds more keys than this; further keys are dropped.
constexpr int kMaxRecordKeys = 6000;

// Stream entries start this many bytes into a type-5 record (header, stream
// end, decoder state).
constexpr int32_t kStreamEntriesOffset = 48;

struct ChannelKey {
    int32_t time;
    Fixed v[3];
};

struct AngleAxisKey {
    int32_t time;
    Fixed angle;
    Fixed axis[3];
};

// Decoder state of a type-5 record: the entry last passed.
struct StreamState {
    int32_t time = 0;
    Fixed angle = 0;
    Fixed axis[3] = {0, 0, 0};
};

class ChainSampler;

// The sampler a chain's first record keeps for the whole chain
// (chainsampler.h), made when the chain is first sampled. A copied record
// starts without one.
struct SamplerSlot {
    ChainSampler *sampler = nullptr;
    // Samples since the chain's sampler was last found stale, and how many
    // make a new one worth building (more each time one went stale, so that
    // a chain edited between samples is not copied over and over).
    uint32_t unchangedRuns = 0;
    uint32_t runsBeforeBuild = 1;

    SamplerSlot() = default;
    SamplerSlot(const SamplerSlot &) {}
    SamplerSlot &operator=(const SamplerSlot &other)
    {
        if (this != &other)
            clear();
        return *this;
    }
    ~SamplerSlot() { clear(); }
    void clear();
};

struct ChannelRecord {
    uint32_t hash = 0;      // node-name hash (file offset 0)
    uint32_t bindHash = 0;  // hash the record is bound by (file offset 16)
    int32_t type = 0;
    // Key index (types 1, 2, 3) or byte offset from the record start (type 5)
    // where evaluation resumes; 0 after loading.
    int32_t cursor = 0;
    // Whether key times never decrease; lets the key search jump instead of
    // stepping (the result is the same). Kept beside the cursor: samplers
    // read both for every record.
    bool keysSorted = true;
    NodeEntry *target = nullptr;
    ChannelRecord *next = nullptr;

    // Types 1 and 3.
    std::vector<ChannelKey> keys;
    // Type 2.
    std::vector<AngleAxisKey> angleKeys;
    // Type 5: the entries, from record offset 48 up to the stream end.
    std::vector<uint8_t> stream;
    StreamState decoder;
    // Key count of a record of another type, kept so that it is written back.
    int32_t otherKeyCount = 0;
    // The edit epoch (below) of the last change made through appendKey or
    // updateKeysSorted, so that a chain's sampler sees that its copy of the
    // keys is stale.
    uint32_t editStamp = 0;
    SamplerSlot sampler;
};

// Counts every change to keys or chain structure made through this library
// (appendKey, updateKeysSorted, noteRecordsChanged); samplers check their
// chain again only when it moved.
uint32_t recordEditEpoch();
void noteRecordsChanged();

// Number of keys as the file header counts them.
int32_t recordKeyCount(const ChannelRecord &record);

// Frees a whole chain (iteratively, chains can be long).
void freeChain(ChannelRecord *chain);

// Offers a key to a type-1 or type-3 record: dropped when the record is full
// or the time is not after the last key; a third equal value in a row moves
// the last key's time instead of adding one.
void appendKey(ChannelRecord &record, int32_t time, const Fixed v[3]);

// The rotation vector stored for an angle (degrees) about an axis: the angle
// brought into −180 … 180, then angle × axis component by component.
void rotationKeyVector(float angle, float ax, float ay, float az, Fixed out[3]);

// Recomputes keysSorted after keys were filled in directly; code that edits
// keys or links records directly calls this (or noteRecordsChanged for
// links) before the chain is evaluated again.
void updateKeysSorted(ChannelRecord &record);
