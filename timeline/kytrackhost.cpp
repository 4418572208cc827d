#include "kytrackhost.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "dzscene.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

int clampToInt(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                                 std::numeric_limits<int>::max()));
}

} // namespace

void kyClearHostAnimationUnder(const KyTrack &track, KyBlock &block, int fromMs, int toMs)
{
    const FigureBinding *b = track.binding();
    if (!b || !b->skeleton())
        return;
    clearHostAnimation(b->skeleton(), block, DzTimeRange(msToTicks(fromMs), msToTicks(toMs)));
}

void kyReleasePreviewsBeforeRemoval(const KyTrack &track)
{
    KyTimeline *timeline = track.timeline();
    if (!timeline)
        return;
    timeline->setPointerOverBlock(false);
    // Pending previews go back first, so that nothing of the removed
    // block's preview stays on the figure.
    timeline->releaseKeyHolds(10000);
    timeline->recheckOffsetTool();
}

void kyClearUnderTrack(const KyTrack &track)
{
    // The host's keys under the whole track were written by the timeline;
    // they are cleared so that the figure follows the track as it will be.
    int previousEnd = 0;
    for (int i = 0; i < track.count(); ++i) {
        KyBlock *block = track.blockAt(i);
        const int64_t end = static_cast<int64_t>(previousEnd) + block->gap - block->inPoint
            + block->outPoint + 10;
        kyClearHostAnimationUnder(track, *block, previousEnd, clampToInt(end));
        previousEnd = track.endOf(i);
    }
}

void kyWidenRangesToTrack(const KyTrack &track)
{
    if (!dzScene)
        return;
    const DzTimeRange anim = dzScene->getAnimRange();
    const DzTimeRange play = dzScene->getPlayRange();
    const DzTime end = msToTicks(track.endTime());
    const DzTimeRange widened(std::min<DzTime>(anim.getStart(), 0), std::max<DzTime>(anim.getEnd(), end));
    dzScene->setAnimRange(widened);
    if (play == anim)
        dzScene->setPlayRange(widened);
}
