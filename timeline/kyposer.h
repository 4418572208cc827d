#pragma once
// Writes the engine's pose (the node table) to a figure through the host.
//
//  - figure scale = the root's origin height / 99.24 (1 when that is not a
//    positive finite number);
//  - root ("hip", else the skeleton): position (y − 99.24) × scale, rotation
//    (rotational offset × block rotation), Euler angles kept next to the
//    previous key so the root never flips by a full turn;
//  - bones: rotational offset × block rotation, clamping off, heel offset on
//    the feet (and the toes for positive offsets, a pure rotation above 60
//    degrees), fingers skipped when masking; bones the engine does not
//    drive are left alone (their host values and keys stay);
//  - a key hold > 0 backs up every control before it is first written, so
//    that releaseKeyHold() puts the host's own values back; a write with
//    hold 0 stays, and drops any backup pending at that very time.
// Rotations in the node table are (angle in degrees, axis); the host
// rotation is DzQuat(−axis, angle).

#include "dzquat.h"
#include "dztime.h"

class DzNode;
class KyRecordingBuffers;
struct FigureBinding;

constexpr float kReferenceHipHeight = 99.24f;
constexpr float kHeelToeLimit = 60.0f;
constexpr int kSkimKeyHold = 500;
constexpr int kPadKeyHold = 250;

struct PoseOptions {
    bool maskFingers = false;
    // Frame being recorded (the caller opened it), or null.
    KyRecordingBuffers *recording = nullptr;
};

// Poses the binding's figure at snapped ticks(tMs). Nothing happens without
// a skeleton or for a follower skeleton.
void applyPose(FigureBinding &binding, int tMs, int keyHoldMs, const PoseOptions &options);

// The root node of a skeleton: its child "hip", else the skeleton itself.
DzNode *poseRoot(DzNode *skeleton);
// The figure scale of a skeleton (see above).
float figureScaleOf(DzNode *skeleton);
// The same from the skeleton's root node (poseRoot).
float figureScaleOfRoot(DzNode *root);

// The rotation of a named node in the node table as a host quaternion;
// false when the node table has no rotation for it.
bool engineRotation(const QString &name, DzQuat *q);
// The same for a node table index (nodeIndexByHash).
bool engineRotationAt(int tableIndex, DzQuat *q);

// The heel offset applied to a bone's rotation (feet: rotated by −h about X;
// toes: rotated by +h, replaced above the 60-degree limit) and its inverse.
DzQuat applyHeelOffset(const QString &boneName, float heelDegrees, const DzQuat &q);
DzQuat removeHeelOffset(const QString &boneName, float heelDegrees, const DzQuat &q);

// Brings an Euler angle (degrees) next to a reference angle by whole turns.
float continuousAngle(float angle, float reference);

// Key hold release: counts the hold down by elapsedMs; when it runs out the
// backups are restored and the hold returns to 0.
void releaseKeyHold(FigureBinding &binding, int elapsedMs);
// Restores and forgets every backup at once.
void restoreBackups(FigureBinding &binding);
