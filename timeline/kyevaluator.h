#pragma once
// Evaluation of a track at a time.
//
// Design note. There is one playback engine per process and it plays one
// block at a time, fading from a frozen outgoing pose. A track is therefore
// evaluated by telling the engine which block is playing and where, not by
// mixing blocks here: the block found at t is started at its local time
// (first with its blend-in, so that the engine's state becomes the one to
// fade from, then without a fade), the block before it is named as the
// previous block so that its last shown pose fades out over the found
// block's blendIn, and the engine is advanced by 0. Inside a gap the block
// before the gap is shown frozen at its end; before the first block the
// first block is shown at its start; at or after the end of the track
// nothing is touched (the figure keeps its last pose).
//
// The engine's output is then read from the node table by bone name and
// written to the figure through the host (kyposer.h): with key hold 0 when
// the pane's current time equals its seek target (a seek: the keys stay),
// otherwise at the host's own frame with a 500 ms hold (a skim preview,
// undone when the hold runs out).

#include <QString>

class KyTimeline;
class KyTrack;

struct BlockLocation {
    enum Kind {
        Inside,   // start ≤ t < end of block `index`; local = t − start
        InGap,    // t lies before block `index` (in its gap) and after block index − 1
        BeforeFirst, // t lies before the first block (index 0)
        AfterEnd, // at or beyond the end of the last block, or an empty track
    };
    Kind kind = AfterEnd;
    int index = -1;
    int local = 0;
};

// Where t (ms) falls on the track.
BlockLocation locateBlock(const KyTrack &track, int t);

// Hands the located block (and its predecessor) to the engine and advances
// it by 0. False (engine untouched) for AfterEnd.
bool driveEngine(const KyTrack &track, const BlockLocation &location);

// Evaluates a track of the timeline at t: locate, drive the engine, move the
// playhead (on a seek) and pose the track's figure.
void evaluateTrack(KyTimeline &timeline, KyTrack &track, int t);
