#pragma once
// Blocks from host keyframes: samples a figure's animation over a range at
// 30 samples per second (160-tick steps) into a new block and saves it as a
// block file. Sampling is the inverse of posing (kyposer.h): the figure
// scale, the reference hip height, the heel offset and the rotational
// offsets are taken back out, so that the stored block is figure-neutral.

#include "dztime.h"

#include <QString>

class DzNode;
class DzVec3;
class KyBlock;
class KyTimeline;
struct FigureBinding;

constexpr DzTime kSampleStepTicks = 160;
// A block record holds at most 6000 keys; later samples would be dropped.
constexpr int kMaxSamples = 6000;

// Samples node (and its subtree) at host time t into block, at key time
// (t − rangeStart) × 1000 / 4800 ms. The root must be a DzSkeleton or DzBone,
// other nodes DzBones; anything else is skipped with its subtree. binding
// (may be null) supplies figure scale, heel offset and rotational offsets;
// startPos is the root's local position at the range start.
void sampleNode(DzTime t, DzTime rangeStart, DzNode *node, KyBlock &block,
                const FigureBinding *binding, bool isRoot, const DzVec3 &startPos);

// Samples the range into block, starting at node (a figure's "hip" or top
// node). Returns the number of samples taken.
int sampleRange(DzNode *start, const DzTimeRange &range, KyBlock &block,
                const FigureBinding *binding);

// The file name for what the save dialog answered: a trailing ".kba" (lower
// case only) is removed, then ".kba" is appended.
QString blockFileNameFor(const QString &answer);

// The whole command (messages, questions and the save dialog as the user
// meets them). range null: the play range; timeline (may be null) supplies
// the figure's binding; startFolder is where the dialog opens. Returns the
// saved block (registered), or null when nothing was made.
KyBlock *createKinBlockFromScene(const DzTimeRange *range, const KyTimeline *timeline,
                                 const QString &startFolder);
