#include "kyevaluator.h"

#include "figurebinding.h"
#include "kyposer.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "engine.h"

BlockLocation locateBlock(const KyTrack &track, int t)
{
    BlockLocation location;
    for (int i = 0; i < track.count(); ++i) {
        const int start = track.startOf(i);
        if (t < start) {
            location.kind = i == 0 ? BlockLocation::BeforeFirst : BlockLocation::InGap;
            location.index = i;
            return location;
        }
        if (t < track.endOf(i)) {
            location.kind = BlockLocation::Inside;
            location.index = i;
            location.local = t - start;
            return location;
        }
    }
    return location;
}

bool driveEngine(const KyTrack &track, const BlockLocation &location)
{
    KyBlock *block = track.blockAt(location.index);
    if (!block)
        return false;
    switch (location.kind) {
    case BlockLocation::Inside: {
        block->startOn(location.local, -1);
        block->startOn(location.local, 0);
        const KyBlock *previous = track.blockAt(location.index - 1);
        if (previous && !track.handleDrag())
            previous->setAsPrevious(block->toClipMs(block->inPoint));
        break;
    }
    case BlockLocation::InGap: {
        // Frozen at its last shown pose, also when that lies on a loop seam.
        track.blockAt(location.index - 1)->holdLastShown();
        break;
    }
    case BlockLocation::BeforeFirst:
        block->startOn(0, 0);
        break;
    case BlockLocation::AfterEnd:
        return false;
    }
    engineAdvance(0);
    return true;
}

void evaluateTrack(KyTimeline &timeline, KyTrack &track, int t)
{
    const BlockLocation location = locateBlock(track, t);
    if (!driveEngine(track, location))
        return;
    const bool seek = timeline.currentTime() == timeline.seekTarget();
    if (seek)
        track.movePlayhead(t);
    FigureBinding *binding = track.binding();
    if (!binding || !binding->skeleton())
        return;
    PoseOptions options;
    options.maskFingers = timeline.maskFingers();
    if (seek)
        applyPose(*binding, t, 0, options);
    else
        applyPose(*binding, hostSnappedMs(), kSkimKeyHold, options);
}
