#pragma once
// Moving animation between the timelines and the host's own keys: baking
// every track into keys frame by frame, deleting a figure's keys, and the
// clearing of the host's animation under a block that insertion and removal
// do. Trimming the host's animation range to the tracks lives here too.

#include "dztime.h"

class DzNode;
class KyBlock;
class KyTimeline;

// For t = 0, step, 2·step, … below the animation range's end: seek the
// timeline to snapped ms(t) without moving playheads or the host's time and
// evaluate every track there, so every figure gets keys at every frame.
// Nothing happens when the range ends below 1 tick. Returns the number of
// frames written.
int bakeTimeline(KyTimeline &timeline);

// Deletes the keys in range (null: the play range) of the primary selection's
// figure, from its "hip" down (or from its top node when there is no "hip"),
// after asking. "Nothing selected." without a selection. Returns whether
// keys were cleared.
bool clearDSKeys(const DzTimeRange *range);

// Clears the host animation (clearAnimData) in range on the skeleton and
// every node below it for which the node table holds a rotation after the
// engine was advanced with block started at its local time 0.
void clearHostAnimation(DzNode *skeleton, KyBlock &block, const DzTimeRange &range);

// Trim timeline: the animation range becomes (start, longest track in
// ticks), at least 4800 ticks; the play range follows when it equalled the
// animation range.
void trimTimelineRange(const KyTimeline &timeline);

// The top node above node (itself when it has no parent); null after more
// than 100 steps (a broken hierarchy).
DzNode *topNodeOf(DzNode *node);
