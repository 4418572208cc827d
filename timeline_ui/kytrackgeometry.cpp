#include "kytrackgeometry.h"

#include "kytrack.h"

#include "kyblock.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

int saturate(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                                 std::numeric_limits<int>::max()));
}

} // namespace

KyTrackGeometry::KyTrackGeometry(int pixelsPerSecond)
    : m_pps(std::clamp(pixelsPerSecond, kMinPixelsPerSecond, kMaxPixelsPerSecond))
{
}

int KyTrackGeometry::msToPx(int ms) const
{
    return saturate(static_cast<int64_t>(ms) * m_pps / 1000);
}

int KyTrackGeometry::pxToMs(int px) const
{
    return saturate(static_cast<int64_t>(px) * 1000 / m_pps);
}

int KyTrackGeometry::tileX(const KyTrack &track, int index) const
{
    return msToPx(track.startOf(index));
}

int KyTrackGeometry::tileWidth(const KyTrack &track, int index) const
{
    const KyBlock *block = track.blockAt(index);
    return block ? msToPx(saturate(static_cast<int64_t>(block->outPoint) - block->inPoint)) : 0;
}

int KyTrackGeometry::insertIndexAt(const KyTrack &track, int x) const
{
    for (int i = 0; i < track.count(); ++i) {
        if (tileX(track, i) + tileWidth(track, i) / 2 > x)
            return i;
    }
    return track.count();
}

int KyTrackGeometry::moveIndexAt(const KyTrack &track, int from, int x) const
{
    const int width = tileWidth(track, from);
    if (tileX(track, from) < x)
        x -= width;
    // The others as they lie once the block is taken out: everything after
    // it moves left by its gap and length.
    const KyBlock *moving = track.blockAt(from);
    const int shift = moving ? saturate(static_cast<int64_t>(moving->gap) + moving->outPoint - moving->inPoint) : 0;
    int index = 0;
    for (int i = 0; i < track.count(); ++i) {
        if (i == from)
            continue;
        const int start = i > from ? track.startOf(i) - shift : track.startOf(i);
        if (msToPx(start) + tileWidth(track, i) / 2 > x)
            return index;
        ++index;
    }
    return index;
}

int KyTrackGeometry::slideGap(int x, int pressX, int slideOffset) const
{
    const int64_t px = static_cast<int64_t>(x) - pressX - slideOffset;
    return pxToMs(saturate(std::max<int64_t>(0, px)));
}

int KyTrackGeometry::tileUnder(const KyTrack &track, int x) const
{
    int found = -1;
    for (int i = 0; i < track.count(); ++i) {
        const int left = tileX(track, i);
        if (left < x && left + tileWidth(track, i) > x)
            found = i;
    }
    return found;
}

int KyTrackGeometry::seekX(int x, int trackLengthMs, int playEndMs) const
{
    const int limit = std::max(msToPx(trackLengthMs), msToPx(playEndMs));
    return std::max(0, std::min(x, limit));
}

int KyTrackGeometry::leftAdjusterInPoint(const KyBlock &block, int inPointAtPress, int pointerX) const
{
    int x = saturate(static_cast<int64_t>(msToPx(inPointAtPress)) + pointerX);
    x = std::max(0, x);
    x = std::min(x, msToPx(block.outPoint) - 8);
    x = std::min(x, msToPx(block.loopLength()) - 8);
    return std::max(0, pxToMs(x));
}

int KyTrackGeometry::rightAdjusterX(const KyBlock &block, int pointerX) const
{
    int x = std::clamp(pointerX, 8, 30000);
    const int cycle = block.loopLength();
    const int64_t end = static_cast<int64_t>(pxToMs(x)) + block.inPoint;
    if (cycle > 0 && end > cycle) {
        const int64_t k = end / cycle;
        const int64_t boundary = cycle * k - block.inPoint;
        if (x < msToPx(saturate(boundary + 300)))
            x = msToPx(saturate(boundary));
    }
    return x;
}

int KyTrackGeometry::blendInAt(const KyBlock &block, int tileWidth, int pointerX) const
{
    int x = std::clamp(pointerX, 0, std::max(0, tileWidth));
    x = std::min(x, msToPx(block.loopLength()));
    return pxToMs(std::max(0, x));
}

std::set<int> KyTrackGeometry::loopMarks(const KyBlock &block) const
{
    std::set<int> marks;
    const int cycle = block.loopLength();
    // A clip shorter than one timeline ms has no passes to mark.
    if (cycle < 1 || block.outPoint <= cycle)
        return marks;
    const int passes = block.outPoint / cycle;
    for (int i = 0; i <= passes; ++i)
        marks.insert(msToPx(saturate(static_cast<int64_t>(cycle) * i - block.inPoint)));
    return marks;
}
