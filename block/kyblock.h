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
    // registered block with the same path. A failed write leaves the file
    // that was there, the slot and the registry unchanged and gives false.
    bool save(QString *error = nullptr);

    // Keys appended to the node's record (made when missing). Times are clip
    // ms; keys not after the last one, or beyond 6000, are dropped.
    void addTranslationKey(const QString &nodeName, int timeMs, float x, float y, float z);
    void addRotationKey(const QString &nodeName, int timeMs, float angle, float axisX, float axisY,
                        float axisZ);

    // Resamples the shown part (inPoint … outPoint, in clip ms through speed)
    // into a new slot that becomes this block's clip; inPoint becomes 0.
    // False (nothing changed) when no slot is left.
    bool crop();

    // Whether this block is the one the engine last started.
    bool isCurrent() const;

    // Plays this block on the engine from localMs (timeline ms), fading from
    // what plays over blendMs (−1: blendIn).
    void startOn(int localMs, int blendMs);

    // Names this block as the one before the block now started, fading from
    // its last shown pose. False (engine untouched) when the clip is shorter
    // than one timeline ms.
    bool setAsPrevious(int blendReferenceMs) const;

    // Root position and heading (snapped to 45 degrees, about axis) at the
    // block's last shown time, with its loops; from a zero start transform
    // when fromZero is set. False when the clip is shorter than one timeline
    // ms or has no motion.
    bool endPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const;

    // The same at the end of the clip's first cycle, without loop displacement.
    bool cycleEndPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const;

    // Appends the shown part of other to this block's clip, sampled every 33
    // ms and starting with the fade from this block's end pose into other.
    // False (nothing appended) when either clip is shorter than one timeline
    // ms, other shows nothing, or both share one slot.
    bool append(const KyBlock &other);

    // Timeline ms turned into clip ms (× speed, truncated toward zero).
    int toClipMs(int timelineMs) const;
    // The loop length in timeline ms: clipLength / speed, truncated.
    int loopLength() const;

    QString path;
    QString name;
    int flags;
    float speed = 1.0f;
    int inPoint = 0;
    int outPoint = 0;
    int blendIn = 300;
    int internalBlend = 100;
    Vec3f posOffset;
    float facingOffset = 0.0f;
    bool mirror = false;
    int gap = 0;
    Vec3f startPos;
    float startFacing = 0.0f;
    Vec3f startAxis{0.0f, 1.0f, 0.0f};
    int clipLength = 0;
    int clipHandle = -1;
    Vec3f loopShift;

private:
    KyBlock();
    KyBlock(const KyBlock &) = default;
    KyBlock &operator=(const KyBlock &) = delete;
};

// Right-handed rotation of v about the unit axis by radians.
Vec3f rotateAboutAxis(const Vec3f &axis, float radians, const Vec3f &v);
