#include "kyblock.h"

#include "blockfile.h"
#include "channelstore.h"
#include "engine.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
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

Vec3f rotateAboutAxis(const Vec3f &axis, float radians, const Vec3f &v)
{
    float kx = axis.x, ky = axis.y, kz = axis.z;
    const float length = std::sqrt(kx * kx + ky * ky + kz * kz);
    if (length > 0.0f) {
        kx /= length;
        ky /= length;
        kz /= length;
    }
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const float dot = kx * v.x + ky * v.y + kz * v.z;
    const float cx = ky * v.z - kz * v.y;
    const float cy = kz * v.x - kx * v.z;
    const float cz = kx * v.y - ky * v.x;
    return Vec3f{v.x * c + cx * s + kx * dot * (1.0f - c), v.y * c + cy * s + ky * dot * (1.0f - c),
                 v.z * c + cz * s + kz * dot * (1.0f - c)};
}

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

bool KyBlock::crop()
{
    const int slot = allocateSlot();
    if (slot < 0)
        return false;
    resampleInto(slot, clipHandle, toClipMs(inPoint), toClipMs(outPoint));
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

bool KyBlock::append(const KyBlock &other)
{
    const int loop = loopLength();
    const int64_t span = static_cast<int64_t>(other.outPoint) - other.inPoint;
    if (span > INT32_MAX)
        return false;
    const int length = static_cast<int>(span);
    if (loop < 1 || other.loopLength() < 1 || length < 0 || other.clipHandle == clipHandle)
        return false;

    Vec3f endPos, endAxis;
    float endHeading = 0.0f;
    if (!endPose(&endPos, &endHeading, &endAxis, true))
        return false;

    Vec3f position;
    float facing = 0.0f;
    Vec3f axis = kUp;
    if (other.flags & ReorientHorizontalPosition) {
        position.x = endPos.x;
        position.z = endPos.z;
    }
    if (other.flags & ReorientFacing) {
        facing = endHeading;
        axis = endAxis;
    }
    facing += other.facingOffset;
    const float pi = 3.14159265358979323846f;
    const Vec3f turned = rotateAboutAxis(axis, -facing * pi / 180.0f, other.posOffset);
    position.x += turned.x;
    position.y = turned.y;
    position.z += turned.z;

    const bool mirrorRelative = mirror != other.mirror;
    const int steps = length / 33 + 1;
    const int previousTime = msTimesSpeed((static_cast<int64_t>(outPoint) - 1) % loop + 1, speed);
    const int blendReference = other.toClipMs(other.inPoint);
    const int64_t appendAt = outPoint;
    for (int k = 0; k < steps; ++k) {
        const int t = k == steps - 1 ? length : 33 * k;
        if (appendAt + t > INT32_MAX)
            break;
        engineStart(other.clipHandle, msTimesSpeed(static_cast<int64_t>(other.inPoint) + t, other.speed),
                    0, other.toClipMs(other.blendIn), other.toClipMs(other.internalBlend), position,
                    facing, axis, Vec3f(), mirrorRelative);
        setEngineCurrentBlock(&other);
        engineSetPrevious(clipHandle, previousTime, blendReference, Vec3f(), 0.0f, kUp, Vec3f(), false);
        engineAdvance(0);
        copyPoseInto(clipHandle, other.clipHandle, static_cast<int>(appendAt + t));
    }
    clipLength = durationOf(clipHandle);
    outPoint = loopLength();
    return true;
}
