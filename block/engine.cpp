// The playback engine.
//
// The engine plays one block at a time into the node table. It keeps its own
// millisecond clock, which moves only through engineAdvance; a block is
// placed on that clock by engineStart, which records where the block's local
// time 0 lies (blockStart) so that any later clock value maps to a cycle
// count n and a local time within the cycle. Each evaluation clears the
// pose flags, evaluates the current block at its local time, mirrors it if
// the block is mirrored, and composes the root (entry 1) first with n times
// the per-cycle displacement and then with the block's start transform.
//
// Transitions are cross-fades from a frozen pose. The outgoing pose lives in
// fade slot 0: a rotation for every entry and the root's translation. It is
// frozen in three places: when engineStart switches blocks while another was
// playing (the pose in the table at that moment, faded over fadeMs); at a
// loop seam (the current block at its last key, with n − 1 displacements,
// faded over the loop transition); and, when the engine is advanced by 0
// after engineSetPrevious, at the previous block's chosen time with its own
// start transform, displacement and mirror (faded over transitionIn from
// the local time previousStart). An advance by 0 is how the timeline seeks,
// so the fade from the previous block is rebuilt from scratch at every seek
// rather than carried over from wherever the clock was before.
//
// While a fade runs (outgoingRecords not null) the live pose is copied to
// fade slot 1 and every entry except the root marker is blended with the
// 16.16 weight w = elapsed × fxRecip(fadeLength × 65536), that is elapsed
// times 65536 / fadeLength truncated, rotations through their
// rotation vectors (taking the one-turn-away alternative of the incoming
// rotation when it is strictly nearer), and only the root's translation.
// Once w passes 0xFFFF the fade ends and the live pose stands. The weight is
// computed in 64 bits so that long elapsed times and fade lengths of 32768
// ms or more (whose 16.16 length does not fit 32 bits) still blend from 0 to
// 1; shorter fades give exactly the 16.16 reciprocal weight.
//
// The engine refers to channel records by pointer; the channel store tells
// it (engineRecordsReplaced) whenever it frees a chain, so a saved or freed
// slot never leaves the engine holding freed memory.

#include "engine.h"

#include "channelstore.h"
#include "nodetable.h"

#include <chrono>
#include <cstdlib>

namespace {

EngineState g_engine;
const KyBlock *g_currentBlock = nullptr;
std::chrono::steady_clock::time_point g_timerZero = std::chrono::steady_clock::now();

// The largest fade length whose 16.16 value still fits 32 bits.
constexpr int32_t kLargestExactFade = 32767;

OffsetTransform makeOffset(const Vec3f &pos, float facing, const Vec3f &axis)
{
    OffsetTransform offset;
    offset.pos[0] = toFixed(pos.x);
    offset.pos[1] = toFixed(pos.y);
    offset.pos[2] = toFixed(pos.z);
    offset.rot.angle = toFixed(facing);
    offset.rot.axis[0] = toFixed(axis.x);
    offset.rot.axis[1] = toFixed(axis.y);
    offset.rot.axis[2] = toFixed(axis.z);
    return offset;
}

void toFixed3(const Vec3f &v, Fixed out[3])
{
    out[0] = toFixed(v.x);
    out[1] = toFixed(v.y);
    out[2] = toFixed(v.z);
}

void copyFixed3(const Fixed in[3], Fixed out[3])
{
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
}

void freezePose(int fadeSlot)
{
    const NodeTable &table = nodeTable();
    Rotation *rotations = g_engine.fadeRotation[fadeSlot];
    for (int i = 0; i < table.count; ++i) {
        const NodeEntry &e = table.entries[i];
        rotations[i].angle = e.rotAngle;
        copyFixed3(e.rotAxis, rotations[i].axis);
    }
    if (table.count > 1)
        copyFixed3(table.entries[1].pos, g_engine.fadeTranslation[fadeSlot]);
}

void applyShiftAndOffset(const Fixed shift[3], int32_t cycles, const OffsetTransform &offset)
{
    OffsetTransform displacement;
    displacement.rot.angle = 0;
    for (int i = 0; i < 3; ++i)
        displacement.pos[i] = fxTimesInt(shift[i], cycles);
    applyRootOffset(displacement);
    applyRootOffset(offset);
}

void blendPose(Fixed w)
{
    NodeTable &table = nodeTable();
    for (int i = 0; i < table.count; ++i) {
        NodeEntry &e = table.entries[i];
        if (e.nodeFlags & kNodeRootMarker)
            continue;
        const Rotation &from = g_engine.fadeRotation[0][i];
        const Rotation &to = g_engine.fadeRotation[1][i];
        // Of the incoming rotation and its one-turn-shorter and -longer
        // alternatives, one strictly nearer than both others wins.
        Fixed p[3], q[3], less[3], more[3];
        angleAxisVector(from.angle, from.axis, p);
        angleAxisVector(to.angle, to.axis, q);
        angleAxisVector(fxSub(to.angle, kFixed360), to.axis, less);
        angleAxisVector(fxAdd(to.angle, kFixed360), to.axis, more);
        const int64_t dq = sumAbsDiff(p, q);
        const int64_t dLess = sumAbsDiff(p, less);
        const int64_t dMore = sumAbsDiff(p, more);
        const Fixed *target = q;
        if (dLess < dq && dLess < dMore)
            target = less;
        else if (dMore < dq && dMore < dLess)
            target = more;
        Fixed r[3];
        lerpVector(p, target, w, r);
        const Fixed length = fxLength3(r[0], r[1], r[2]);
        if (length < kShortestRotation) {
            e.rotAngle = to.angle;
            copyFixed3(to.axis, e.rotAxis);
        } else {
            rotationFromVector(r, length, &e.rotAngle, e.rotAxis);
        }
        if (i == 1)
            lerpVector(g_engine.fadeTranslation[0], g_engine.fadeTranslation[1], w, e.pos);
    }
}

// The 16.16 weight of a fade that began at fadeStart, at now.
int64_t fadeWeight(int32_t now)
{
    const int64_t elapsed = static_cast<int64_t>(now) - g_engine.fadeStart;
    const int32_t length = g_engine.fadeLength;
    if (length <= kLargestExactFade)
        return static_cast<int64_t>(fxRecip(length * 65536)) * elapsed;
    return elapsed * 65536 / length;
}

void evaluateAt(int32_t now, int32_t delta)
{
    EngineState &s = g_engine;
    clearPoseFlags();
    if (s.cycleLength <= 0)
        return;
    const int32_t t = fxSub(now, s.blockStart);
    int32_t n = t / s.cycleLength;
    int32_t local = t - n * s.cycleLength;
    // A held end on a cycle boundary is the end of the cycle before, not
    // the first frame of the next.
    if (s.holdAtCycleEnd && n > 0 && local == 0) {
        --n;
        local = s.cycleLength;
    }
    const bool withPrevious = delta == 0 && s.previousSlot != -1;

    bool inFade;
    if (n == 0) {
        const int64_t sincePrevious = static_cast<int64_t>(local) - s.previousStart;
        inFade = sincePrevious < (withPrevious ? s.transitionIn : s.loopTransition);
    } else {
        inFade = local < s.loopTransition;
    }

    if (inFade) {
        if (n == 0) {
            if (withPrevious) {
                ChannelRecord *previous = slotRecords(s.previousSlot);
                s.outgoingRecords = previous;
                s.fadeStart = fxAdd(s.blockStart, s.previousStart);
                s.fadeLength = s.transitionIn;
                if (previous) {
                    evaluateChain(previous, s.previousTime);
                    if (s.outgoingMirror)
                        mirrorPose();
                    applyShiftAndOffset(s.previousShift, 1, s.previousOffset);
                    freezePose(0);
                }
            }
        } else if (n >= 1) {
            s.outgoingRecords = s.currentRecords;
            s.fadeStart = fxAdd(s.blockStart, n * s.cycleLength);
            s.fadeLength = s.loopTransition;
            if (s.currentRecords) {
                evaluateChain(s.currentRecords, s.cycleLength);
                // The seam fades the block into itself, so its own mirror
                // applies to both sides.
                if (s.currentMirror)
                    mirrorPose();
                applyShiftAndOffset(s.currentShift, n - 1, s.currentOffset);
                freezePose(0);
            }
        }
    }

    if (s.currentRecords) {
        evaluateChain(s.currentRecords, local);
        if (s.currentMirror)
            mirrorPose();
        applyShiftAndOffset(s.currentShift, n, s.currentOffset);
    }

    if (s.outgoingRecords && s.fadeLength > 0) {
        freezePose(1);
        int64_t w = fadeWeight(now);
        if (w < 0)
            w = 0;
        if (w > 0xFFFF)
            s.outgoingRecords = nullptr;
        else
            blendPose(static_cast<Fixed>(w));
    }
}

} // namespace

const EngineState &engineState()
{
    return g_engine;
}

void engineReset()
{
    g_engine = EngineState();
    g_currentBlock = nullptr;
}

void engineStart(int slot, int startMs, int fadeMs, int transitionInMs, int loopTransitionMs,
                 const Vec3f &startPos, float startFacing, const Vec3f &startAxis,
                 const Vec3f &loopShift, bool mirror)
{
    EngineState &s = g_engine;
    copyFixed3(s.currentShift, s.previousShift);
    s.previousOffset = s.currentOffset;
    s.currentOffset = makeOffset(startPos, startFacing, startAxis);
    toFixed3(loopShift, s.currentShift);
    s.outgoingMirror = s.currentMirror;
    s.currentMirror = mirror;

    ChannelRecord *records = slotRecords(slot);
    if (records) {
        if (s.blockStart <= s.clock) {
            s.outgoingRecords = s.currentRecords;
            s.fadeStart = s.clock;
            s.fadeLength = fadeMs;
            freezePose(0);
        }
        s.currentRecords = records;
        s.blockStart = fxSub(s.clock, startMs);
        s.cycleLength = durationOf(slot);
    }
    s.holdAtCycleEnd = false;
    s.previousSlot = -1;
    s.currentSlot = slot;
    s.transitionIn = transitionInMs;
    s.loopTransition = loopTransitionMs;
}

void engineSetPrevious(int slot, int timeInPreviousMs, int previousStartMs, const Vec3f &startPos,
                       float startFacing, const Vec3f &startAxis, const Vec3f &loopTotal,
                       bool mirror)
{
    EngineState &s = g_engine;
    s.previousSlot = slot;
    s.previousTime = timeInPreviousMs;
    s.previousStart = previousStartMs;
    s.previousOffset = makeOffset(startPos, startFacing, startAxis);
    toFixed3(loopTotal, s.previousShift);
    s.outgoingMirror = mirror;
}

void engineHoldAtCycleEnd()
{
    g_engine.holdAtCycleEnd = true;
}

bool engineAdvance(int deltaMs)
{
    if (deltaMs != 0)
        g_engine.holdAtCycleEnd = false;
    g_engine.clock = fxAdd(g_engine.clock, deltaMs);
    evaluateAt(g_engine.clock, deltaMs);
    return true;
}

bool enginePoseAt(int slot, int timeMs, const Vec3f &startPos, float startFacing,
                  const Vec3f &startAxis, const Vec3f &loopTotal, bool mirror, Vec3f *pos,
                  float *heading, Vec3f *axis)
{
    *pos = Vec3f();
    *heading = 0.0f;
    *axis = Vec3f{0.0f, 1.0f, 0.0f};
    ChannelRecord *records = slotRecords(slot);
    const NodeTable &table = nodeTable();
    if (!records || table.count < 2)
        return false;
    evaluateChain(records, timeMs);
    if (mirror)
        mirrorPose();
    Fixed shift[3];
    toFixed3(loopTotal, shift);
    applyShiftAndOffset(shift, 1, makeOffset(startPos, startFacing, startAxis));
    const NodeEntry &root = table.entries[1];
    pos->x = toFloat(root.pos[0]);
    pos->y = toFloat(root.pos[1]);
    pos->z = toFloat(root.pos[2]);
    // The heading of the figure itself: posing turns by the stored angle
    // about the negated axis.
    Rotation figure;
    figure.angle = root.rotAngle;
    for (int i = 0; i < 3; ++i)
        figure.axis[i] = fxNeg(root.rotAxis[i]);
    *heading = toFloat(snappedHeading(figure));
    return true;
}

void startTimer()
{
    g_timerZero = std::chrono::steady_clock::now();
    const auto ticks = static_cast<uint64_t>(g_timerZero.time_since_epoch().count());
    std::srand(static_cast<unsigned>(ticks & 0xFFFFFFFFu));
}

int32_t msBetween(int32_t earlier, int32_t later)
{
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

int32_t elapsedMs()
{
    const auto elapsed = std::chrono::steady_clock::now() - g_timerZero;
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

const KyBlock *engineCurrentBlock()
{
    return g_currentBlock;
}

void setEngineCurrentBlock(const KyBlock *block)
{
    g_currentBlock = block;
}

void engineRecordsReplaced(const ChannelRecord *old, ChannelRecord *replacement)
{
    if (!old)
        return;
    if (g_engine.currentRecords == old) {
        g_engine.currentRecords = replacement;
        if (replacement)
            g_engine.cycleLength = chainDuration(replacement);
    }
    if (g_engine.outgoingRecords == old)
        g_engine.outgoingRecords = replacement;
}
