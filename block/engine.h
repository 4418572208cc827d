#pragma once
// The playback engine: plays one block at a time into the node table on its
// own millisecond clock, loops it, and cross-fades from a frozen outgoing
// pose. There is one engine per process (GUI thread only). See engine.cpp
// for how the parts fit together.

#include "evaluation.h"
#include "fixedpoint.h"
#include "nodetable.h"
#include "vec3f.h"

#include <cstdint>

struct ChannelRecord;
class KyBlock;

// Units: every time and length is in clip milliseconds of the block it
// belongs to (the engine never sees timeline ms or speed: KyBlock converts),
// on the engine's own clock; positions in the figure's length units
// (centimetres), angles in degrees, both as 16.16 Fixed where Fixed.
struct EngineState {
    int32_t clock = 0;       // engine time, ms
    int32_t blockStart = 0;  // engine time at which the current block's local time 0 lies, ms
    int32_t cycleLength = 0; // duration of the current block (durationOf its slot), clip ms
    int32_t currentSlot = -1;
    ChannelRecord *currentRecords = nullptr;
    bool currentMirror = false;
    bool outgoingMirror = false;
    int32_t transitionIn = 350;   // fade from the previous block, clip ms of the current block
    int32_t loopTransition = 350; // fade at each loop seam, clip ms
    int32_t previousSlot = -1;
    int32_t previousTime = 0;  // time in the previous block whose pose is faded out, its clip ms
    int32_t previousStart = 0; // local time of the current block where that fade begins, clip ms
    // Non-null while a fade runs; it names the records the fade started from.
    ChannelRecord *outgoingRecords = nullptr;
    int32_t fadeStart = 0;    // engine time at which the running fade began, ms
    int32_t fadeLength = 350; // ms
    // Set by engineHoldAtCycleEnd until the next start or non-zero advance.
    bool holdAtCycleEnd = false;

    // Per-cycle displacement (Fixed length units) and start (offset)
    // transform of the current and of the previous block.
    Fixed currentShift[3] = {0, 0, 0};
    OffsetTransform currentOffset;
    Fixed previousShift[3] = {0, 0, 0};
    OffsetTransform previousOffset;

    // Fade buffers: slot 0 holds the outgoing pose, slot 1 the incoming one;
    // a rotation per node table entry and the translation of entry 1.
    Rotation fadeRotation[2][kNodeTableCapacity];
    Fixed fadeTranslation[2][3] = {{0, 0, 0}, {0, 0, 0}};
};

// Read access for callers that show or check the engine's state.
const EngineState &engineState();

// Back to the state at library load (clock 0, nothing playing).
void engineReset();

// Makes slot the current block at the current clock: its local time startMs
// (clip ms) lies at the clock now. All lengths here are clip ms; startPos
// and loopShift in length units, startFacing in degrees. A block playing before is frozen as the outgoing
// pose and faded out over fadeMs. transitionInMs is the fade from a previous
// block named with engineSetPrevious, loopTransitionMs the fade at each loop
// seam. The start transform (startPos, startFacing degrees about startAxis)
// and loopShift (displacement per completed cycle) are applied to the root.
// A slot without records changes the parameters, mirror flags and transition
// lengths but keeps the old records playing (with their cycle length).
void engineStart(int slot, int startMs, int fadeMs, int transitionInMs, int loopTransitionMs,
                 const Vec3f &startPos, float startFacing, const Vec3f &startAxis,
                 const Vec3f &loopShift, bool mirror);

// Names the block that plays before the current one: its pose at
// timeInPreviousMs (its clip ms; with its start transform, loop
// displacement and mirror) is faded into the current block from the
// current block's local time previousStartMs (clip ms), when the engine is
// advanced by 0.
void engineSetPrevious(int slot, int timeInPreviousMs, int previousStartMs, const Vec3f &startPos,
                       float startFacing, const Vec3f &startAxis, const Vec3f &loopTotal,
                       bool mirror);

// Until the next start or non-zero advance, a clock that falls exactly on
// a cycle boundary shows the end of the cycle before it (the block's last
// shown frame) instead of the first frame of the next cycle.
void engineHoldAtCycleEnd();

// clock += deltaMs, then evaluates the current block (with loops and fades)
// into the node table. An advance by 0 re-evaluates at the same time.
bool engineAdvance(int deltaMs);

// Evaluates slot at timeMs (clip ms) into the node table, mirrored if
// asked, with the loop displacement and then the start transform applied to
// the root, and gives the root's translation and the figure's heading (the
// yaw of the posed root's +Z axis, from +Z toward +X) snapped to 45 degrees
// about the axis (0, 1, 0). The engine's own variables are not changed. False
// (and zeros) when the slot has no records.
bool enginePoseAt(int slot, int timeMs, const Vec3f &startPos, float startFacing,
                  const Vec3f &startAxis, const Vec3f &loopTotal, bool mirror, Vec3f *pos,
                  float *heading, Vec3f *axis);

// Millisecond wall clock, independent of the engine's clock; it wraps after
// 2^32 ms, so measure spans with msBetween. startTimer also seeds the C
// library's random generator.
void startTimer();
int32_t elapsedMs();

// later − earlier in ms, correct across the clock's wrap (no overflow).
int32_t msBetween(int32_t earlier, int32_t later);

// The block that last started playing (KyBlock::isCurrent).
const KyBlock *engineCurrentBlock();
void setEngineCurrentBlock(const KyBlock *block);

// Called by the channel store when a chain is freed: the engine stops
// referring to it, taking replacement (the slot's new chain, or null) where
// it played it.
void engineRecordsReplaced(const ChannelRecord *old, ChannelRecord *replacement);
