#pragma once
// KyBlock: one recorded motion (its clip, held in a channel store slot) and
// the parameters with which it is placed on a timeline.
//
// Blocks made by create() and get() belong to the process-wide registry and
// are never deleted (do not delete them). Clones belong to whoever made
// them and share their source's motion (the same slot) until they are
// cropped. GUI thread only.

#include "vec3f.h"

#include <QString>

#include <vector>

// Where a placed block stands: a position (length units, centimetres), a
// facing (degrees about axis, positive turning +Z toward +X) and a unit axis.
struct KyPlacement {
    Vec3f position;
    float facing = 0.0f;
    Vec3f axis{0.0f, 1.0f, 0.0f};
};

// Units. Two time scales meet here: clip ms, the times of the keys in the
// block's slot, and timeline ms, time on a track; clip ms = timeline ms ×
// speed (truncated toward zero, see toClipMs). Every placement field in
// time is in timeline ms; clipLength is in clip ms. Lengths are in the
// figure's length units (centimetres), angles in degrees.
class KyBlock
{
public:
    // Reorientation flags (flags field).
    enum : int {
        ReorientHorizontalPosition = 1,
        ReorientFacing = 4,
        ReorientInternalHorizontalPosition = 8,
    };

    // A new block with default parameters and a fresh, empty slot (clipHandle
    // −1 once every slot has been handed out), added to the registry.
    static KyBlock *create();

    // The registered block for path (compared exactly); otherwise a new one
    // loaded from the file. Null when the file cannot be read or is not a
    // valid block file (the reason in *error); the block that was created
    // for it stays registered with an empty slot. An empty path gives null
    // without registering anything.
    static KyBlock *get(const QString &path, QString *error = nullptr);

    static const std::vector<KyBlock *> &registry();

    // Reorientation flags given to blocks at creation (13 unless changed).
    static int defaultFlags();
    static void setDefaultFlags(int flags);

    ~KyBlock() = default;

    // A copy with every field, sharing the motion; not registered.
    KyBlock *clone() const;

    // Writes the slot to path (".kba" appended when path does not contain
    // it), reloads the slot from the file and takes the place of the
    // registered block with the same path. A failed write, or a file that
    // cannot be read back, leaves the slot and the registry unchanged and
    // gives false; the file that was there stays unless the failure came
    // after it was replaced.
    bool save(QString *error = nullptr);

    // Keys appended to the node's record (made when missing). Times are clip
    // ms; keys not after the last one, or beyond 6000, are dropped.
    void addTranslationKey(const QString &nodeName, int timeMs, float x, float y, float z);
    void addRotationKey(const QString &nodeName, int timeMs, float angle, float axisX, float axisY,
                        float axisZ);

    // Resamples the shown part (inPoint … outPoint through speed, so clip
    // ms) every 33 clip ms into a new slot that becomes this block's clip;
    // inPoint becomes 0. When a record fills up (6000 keys) the clip ends
    // there and *cutAtKeyLimit is set. False (nothing changed) when no slot
    // is left.
    bool crop(bool *cutAtKeyLimit = nullptr);

    // Whether this block is the one the engine last started.
    bool isCurrent() const;

    // Plays this block on the engine from localMs (timeline ms from inPoint),
    // fading from what plays over blendMs (timeline ms; −1: blendIn).
    void startOn(int localMs, int blendMs);

    // Shows this block frozen at its last shown frame (a gap after it): its
    // end, even when the end falls on a loop seam.
    void holdLastShown();

    // Names this block as the one before the block now started, fading from
    // its last shown pose from blendReferenceMs (clip ms of the block now
    // started). False (engine untouched) when the clip is shorter than one
    // timeline ms.
    bool setAsPrevious(int blendReferenceMs) const;

    // Root position and the figure's heading (snapped to 45 degrees, about
    // axis) at the block's last shown time, with its loops; from a zero start
    // transform when fromZero is set. False when the clip is shorter than
    // one timeline ms or has no motion.
    bool endPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const;

    // The same at the end of the clip's first cycle, without loop displacement.
    bool cycleEndPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const;

    // Sets startPos, startFacing and startAxis for this block placed after
    // another (chaining and join share this): from is where the block
    // before started (its position before offsets, its facing with
    // offsets), end where it ended (null for the first block, whose flags
    // are then ignored). Flag 1 takes end's x and z, flag 4 its facing and
    // axis; facingOffset is added and posOffset, turned by that facing, is
    // added to the position. Returns the placement the next block starts
    // from.
    KyPlacement placeAfter(KyPlacement from, const KyPlacement *end);

    // Appends the shown part of other to this block's clip (which join has
    // cropped first), sampled every 33 timeline ms of other and starting
    // with the fade from this block's end pose into other, so that the
    // result played at this block's speed shows what the timeline shows
    // for the two blocks one after the other. The keys go after the clip's
    // last key, in this block's clip ms. When a record fills up (6000 keys)
    // the clip ends there and *cutAtKeyLimit is set. False (nothing
    // appended) when either clip is shorter than one timeline ms, other
    // shows nothing, or both share one slot.
    bool append(const KyBlock &other, bool *cutAtKeyLimit = nullptr);

    // Timeline ms turned into clip ms (× speed, truncated toward zero).
    int toClipMs(int timelineMs) const;
    // The loop length in timeline ms: clipLength / speed, truncated.
    int loopLength() const;

    QString path;
    QString name;
    int flags;               // Reorient… bits
    float speed = 1.0f;      // clip ms per timeline ms
    int inPoint = 0;         // timeline ms: start of the shown part (clip ms = inPoint × speed)
    int outPoint = 0;        // timeline ms: end of the shown part; past loopLength() the clip loops
    int blendIn = 300;       // timeline ms: fade from the previous block
    int internalBlend = 100; // timeline ms: fade at each loop seam
    Vec3f posOffset;         // length units, in the block's turned frame
    float facingOffset = 0.0f; // degrees, added to the chained facing
    bool mirror = false;
    int gap = 0;             // timeline ms of empty track before the block
    Vec3f startPos;          // length units: derived by chaining
    float startFacing = 0.0f; // degrees: derived by chaining
    Vec3f startAxis{0.0f, 1.0f, 0.0f}; // unit axis of startFacing
    int clipLength = 0;      // clip ms: the last key of the clip's first record
    int clipHandle = -1;     // channel store slot
    Vec3f loopShift;         // length units per completed loop: derived by chaining

private:
    KyBlock();
    KyBlock(const KyBlock &) = default;
    KyBlock &operator=(const KyBlock &) = delete;
};

// The short label a tile or a pad dot shows for a block name: without the
// stock "s_" prefix, cut to 15 characters plus "...", underscores as spaces.
QString kyBlockLabel(const QString &name);
