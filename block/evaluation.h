#pragma once
// Evaluation of channel records into the node table, and the pose-wide
// operations on it (mirror, root offset).

#include "channelrecord.h"
#include "fixedpoint.h"

// An offset transform for the root: translation, then rotation.
struct OffsetTransform {
    Fixed pos[3] = {0, 0, 0};
    Rotation rot{0, {0, kFixedOne, 0}};
};

// Evaluates every record of the chain at timeMs (clip ms), in list order,
// writing each record's node entry (and setting its set/written flags).
// Records without a target and of other types than 1, 2, 3 and 5 are
// skipped, as are records without keys. Returns the value of the last
// translation record evaluated (its last key time − timeMs, in ms), 0 when
// there is none.
// Chains are evaluated through a sampler built for them (chainsampler.h),
// with bit-identical results, node writes in the same order and the same
// cursors.
int evaluateChain(ChannelRecord *first, int timeMs);

// The same, one record after the other: the reference that the sampler is
// checked against.
int evaluateChainRecordByRecord(ChannelRecord *first, int timeMs);

// One record at timeMs (clip ms); returns the record's own value (type 1:
// ms left until its last key; other types: 1 before the last key, 0 at it).
int evaluateRecord(ChannelRecord &record, int timeMs);

// One record's part in evaluateChain: a translation record without keys is
// skipped (it leaves *result as it is); a bound translation record sets
// *result to its value.
inline void evaluateChainStep(ChannelRecord &record, int timeMs, int *result)
{
    if (record.type == kTranslationRecord && record.keys.empty())
        return;
    const int value = evaluateRecord(record, timeMs);
    if (record.type == kTranslationRecord && record.target)
        *result = value;
}

// Left/right mirror of the whole node table: x translations and the y and z
// rotation axis components negated, then the rotations of each "l…"/"r…"
// pair exchanged together with their written flags.
void mirrorPose();

// Composes node table entry 1 (the hip) with the offset: its translation
// becomes p + R(offset)·h, and when the offset's angle is not 0 the figure
// turns with it: the stored rotation (the inverse of the figure's, posing
// negates the axis) becomes R(hip)·R(−offset). So a positive angle about
// +Y turns both the path and the figure's facing from +Z toward +X.
void applyRootOffset(const OffsetTransform &offset);

// in turned by degrees about axis (right-handed; the axis need not be of
// unit length, a zero axis or angle leaves in as it is), in doubles: the
// same turn applyRootOffset gives the root's path.
void turnAboutAxis(double degrees, const Fixed axis[3], const double in[3], double out[3]);

// Decodes one type-5 stream entry starting at bytes[0], continuing from
// prev. Returns the entry's size in bytes (14 or 10), or 0 when the entry is
// cut off by the end of the stream.
struct StreamEntry {
    int32_t time;
    Fixed angle;
    Fixed axis[3];
};
int decodeStreamEntry(const uint8_t *bytes, size_t available, const StreamState &prev,
                      StreamEntry *out);
