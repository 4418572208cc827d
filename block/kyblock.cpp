#include "kyblock.h"

#include "blockfile.h"
#include "channelstore.h"
#include "engine.h"
#include "evaluation.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>

namespace {

// Never destroyed: save() can put a block owned elsewhere (a clone) into the
// registry, so the registry must not delete its blocks, and keeping the
// vector alive to the end keeps every registered block reachable.
std::vector<KyBlock *> &registryStorage()
{
    static std::vector<KyBlock *> *blocks = new std::vector<KyBlock *>;
    return *blocks;
}

int g_defaultFlags = KyBlock::ReorientHorizontalPosition | KyBlock::ReorientFacing
    | KyBlock::ReorientInternalHorizontalPosition;

// A float truncated toward zero into an int, saturating (NaN gives 0), so
// that no product of milliseconds and speed can overflow.
int truncToInt(float f)
{
    if (!(f == f))
        return 0;
    if (f >= 2147483647.0f)
        return INT32_MAX;
    if (f <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int>(f);
}

int msTimesSpeed(int64_t ms, float speed)
{
    return truncToInt(static_cast<float>(ms) * speed);
}

Vec3f scaled(const Vec3f &v, int n)
{
    return Vec3f{v.x * static_cast<float>(n), v.y * static_cast<float>(n), v.z * static_cast<float>(n)};
}

const Vec3f kUp{0.0f, 1.0f, 0.0f};

// The programs decode file names with bytes that are not valid UTF-8 as
// U+DC80..U+DCFF (dzDecodeFileName); those go back to the bytes they were.
std::string localPath(const QString &path)
{
    std::string out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && path.at(i - 1).isHighSurrogate())) {
            out += QFile::encodeName(path.mid(start, i - start)).toStdString();
            out += static_cast<char>(u - 0xDC00);
            start = i + 1;
        }
    }
    return out + QFile::encodeName(path.mid(start)).toStdString();
}

} // namespace

KyBlock::KyBlock()
    : flags(g_defaultFlags)
{
}

KyBlock *KyBlock::create()
{
    KyBlock *block = new KyBlock;
    block->clipHandle = allocateSlot();
    registryStorage().push_back(block);
    return block;
}

KyBlock *KyBlock::get(const QString &path, QString *error)
{
    // Blocks made in memory are registered with an empty path; an empty
    // path names no file and must not find one of them.
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name given");
        return nullptr;
    }
    for (KyBlock *block : registryStorage()) {
        if (block->path == path)
            return block;
    }
    KyBlock *block = create();
    std::string reason;
    if (!loadBlockIntoSlot(block->clipHandle, localPath(path), &reason)) {
        if (error)
            *error = QString::fromStdString(reason);
        return nullptr;
    }
    block->clipLength = durationOf(block->clipHandle);
    block->path = path;
    block->name = QFileInfo(path).baseName();
    block->outPoint = block->loopLength();
    if (path.contains(QLatin1String("Walk"))) {
        block->blendIn = 150;
        block->internalBlend = 50;
    }
    return block;
}

const std::vector<KyBlock *> &KyBlock::registry()
{
    return registryStorage();
}

int KyBlock::defaultFlags()
{
    return g_defaultFlags;
}

void KyBlock::setDefaultFlags(int flags)
{
    g_defaultFlags = flags;
}

KyBlock *KyBlock::clone() const
{
    return new KyBlock(*this);
}

bool KyBlock::save(QString *error)
{
    std::string reason;
    if (!writeBlockFile(clipHandle, localPath(path), &reason)) {
        if (error)
            *error = QString::fromStdString(reason);
        return false;
    }
    for (KyBlock *&block : registryStorage()) {
        if (block->path == path) {
            block = this;
            break;
        }
    }
    return true;
}

void KyBlock::addTranslationKey(const QString &nodeName, int timeMs, float x, float y, float z)
{
    ::addTranslationKey(clipHandle, nodeName.toUtf8().constData(), timeMs, x, y, z);
}

void KyBlock::addRotationKey(const QString &nodeName, int timeMs, float angle, float axisX,
                             float axisY, float axisZ)
{
    ::addRotationKey(clipHandle, nodeName.toUtf8().constData(), timeMs, angle, axisX, axisY, axisZ);
}

bool KyBlock::crop(bool *cutAtKeyLimit)
{
    const int slot = allocateSlot();
    if (slot < 0)
        return false;
    // Shown to its end, the block ends at the clip's last key, which the
    // truncated timeline out point can only come near at other speeds.
    const int to = outPoint == loopLength() ? clipLength : toClipMs(outPoint);
    const bool whole = resampleInto(slot, clipHandle, toClipMs(inPoint), to);
    if (cutAtKeyLimit)
        *cutAtKeyLimit = !whole;
    clipHandle = slot;
    inPoint = 0;
    clipLength = durationOf(slot);
    outPoint = loopLength();
    return true;
}

bool KyBlock::isCurrent() const
{
    return engineCurrentBlock() == this;
}

int KyBlock::toClipMs(int timelineMs) const
{
    return msTimesSpeed(timelineMs, speed);
}

int KyBlock::loopLength() const
{
    return truncToInt(static_cast<float>(clipLength) / speed);
}

void KyBlock::startOn(int localMs, int blendMs)
{
    engineStart(clipHandle, msTimesSpeed(static_cast<int64_t>(inPoint) + localMs, speed),
                toClipMs(blendMs == -1 ? blendIn : blendMs), toClipMs(blendIn),
                toClipMs(internalBlend), startPos, startFacing, startAxis, loopShift, mirror);
    setEngineCurrentBlock(this);
}

void KyBlock::holdLastShown()
{
    const int64_t shown = static_cast<int64_t>(outPoint) - inPoint;
    startOn(static_cast<int>(std::clamp<int64_t>(shown, INT32_MIN, INT32_MAX)), 0);
    engineHoldAtCycleEnd();
}

bool KyBlock::setAsPrevious(int blendReferenceMs) const
{
    const int loop = loopLength();
    if (loop < 1)
        return false;
    const int64_t shown = static_cast<int64_t>(outPoint) - 1;
    const int cycles = static_cast<int>(shown / loop);
    const int64_t rest = shown % loop;
    engineSetPrevious(clipHandle, msTimesSpeed(rest + 1, speed),
                      blendReferenceMs, startPos, startFacing, startAxis, scaled(loopShift, cycles),
                      mirror);
    return true;
}

bool KyBlock::endPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const
{
    const int loop = loopLength();
    if (loop < 1)
        return false;
    int end = outPoint;
    if (outPoint % loop > 60)
        end = outPoint % loop;
    const int cycles = static_cast<int>((static_cast<int64_t>(outPoint) - 60) / loop);
    return enginePoseAt(clipHandle, toClipMs(end), fromZero ? Vec3f() : startPos,
                        fromZero ? 0.0f : startFacing, fromZero ? kUp : startAxis,
                        scaled(loopShift, cycles), mirror, pos, heading, axis);
}

bool KyBlock::cycleEndPose(Vec3f *pos, float *heading, Vec3f *axis, bool fromZero) const
{
    return enginePoseAt(clipHandle, clipLength, fromZero ? Vec3f() : startPos,
                        fromZero ? 0.0f : startFacing, fromZero ? kUp : startAxis, Vec3f(), mirror,
                        pos, heading, axis);
}

KyPlacement KyBlock::placeAfter(KyPlacement from, const KyPlacement *end)
{
    if (end) {
        if (flags & ReorientHorizontalPosition) {
            from.position.x = end->position.x;
            from.position.z = end->position.z;
        }
        if (flags & ReorientFacing) {
            from.facing = end->facing;
            from.axis = end->axis;
        }
    }
    from.facing += facingOffset;
    // The offset turns with the block, by the same turn as its path.
    const Fixed axis[3] = {toFixed(from.axis.x), toFixed(from.axis.y), toFixed(from.axis.z)};
    const double offset[3] = {posOffset.x, posOffset.y, posOffset.z};
    double turned[3];
    turnAboutAxis(from.facing, axis, offset, turned);
    startPos = Vec3f{from.position.x + static_cast<float>(turned[0]),
                     from.position.y + static_cast<float>(turned[1]),
                     from.position.z + static_cast<float>(turned[2])};
    startFacing = from.facing;
    startAxis = from.axis;
    return from;
}

bool KyBlock::append(const KyBlock &other, bool *cutAtKeyLimit)
{
    if (cutAtKeyLimit)
        *cutAtKeyLimit = false;
    const int loop = loopLength();
    const int64_t span = static_cast<int64_t>(other.outPoint) - other.inPoint;
    if (span > INT32_MAX)
        return false;
    const int length = static_cast<int>(span);
    if (loop < 1 || other.loopLength() < 1 || length < 0 || other.clipHandle == clipHandle)
        return false;

    KyPlacement end;
    if (!endPose(&end.position, &end.facing, &end.axis, true))
        return false;
    KyBlock placed(other);
    placed.placeAfter(KyPlacement(), &end);

    const bool mirrorRelative = mirror != other.mirror;
    const int steps = length / 33 + 1;
    const int previousTime = msTimesSpeed((static_cast<int64_t>(outPoint) - 1) % loop + 1, speed);
    const int blendReference = other.toClipMs(other.inPoint);
    // Keys follow the clip's last key, in this block's clip ms: other's
    // timeline ms t plays at t × speed when the result plays at our speed.
    const int64_t appendAt = durationOf(clipHandle);
    bool cut = false;
    for (int k = 0; k < steps; ++k) {
        const int t = k == steps - 1 ? length : 33 * k;
        const int64_t keyTime = appendAt + toClipMs(t);
        if (keyTime > INT32_MAX || slotHasFullRecord(clipHandle)) {
            cut = true;
            break;
        }
        engineStart(other.clipHandle, msTimesSpeed(static_cast<int64_t>(other.inPoint) + t, other.speed),
                    0, other.toClipMs(other.blendIn), other.toClipMs(other.internalBlend),
                    placed.startPos, placed.startFacing, placed.startAxis, Vec3f(), mirrorRelative);
        setEngineCurrentBlock(&other);
        engineSetPrevious(clipHandle, previousTime, blendReference, Vec3f(), 0.0f, kUp, Vec3f(), false);
        engineAdvance(0);
        copyPoseInto(clipHandle, other.clipHandle, static_cast<int>(keyTime));
    }
    if (cutAtKeyLimit)
        *cutAtKeyLimit = cut;
    clipLength = durationOf(clipHandle);
    outPoint = loopLength();
    return true;
}

QString kyBlockLabel(const QString &name)
{
    QString label = name;
    if (label.startsWith(QLatin1String("s_")))
        label.remove(0, 2);
    if (label.size() > 15)
        label = label.left(15) + QLatin1String("...");
    label.replace(QLatin1Char('_'), QLatin1Char(' '));
    return label;
}
