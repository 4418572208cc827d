#pragma once
// Split, join and crop: the editing commands of the timeline pane's row,
// run on one track. Messages and questions go through kyprompt.h.
//
//  - split cuts the current block (or, after asking, the block under the
//    playhead) in two at the playhead; both parts share the clip and no
//    file is written. The playhead must lie at least 25 pixels inside.
//  - join makes one block of the selected block and the one after it: two
//    touching pieces of one clip just merge; otherwise the first is cropped,
//    the second appended to its motion and the result saved as a new block
//    file (never over a stock "s_" file).
//  - crop reduces the current block's motion to its visible part and saves
//    it as a new block file.
// Blocks that loop (outPoint beyond one clip pass + 50 ms) are not joined
// or cropped.

#include <QString>

class KyBlock;
class KyTrack;
struct KyTrackGeometry;

// Whether a block loops by more than the 50 ms the editing commands allow.
bool blockLoops(const KyBlock &block);

// Each returns whether it changed the track.
// The playhead's distance limits are pixels of the given zoom.
bool splitBlock(KyTrack &track, const KyTrackGeometry &geometry);
bool joinBlocks(KyTrack &track, const QString &startFolder);
bool cropBlock(KyTrack &track, const QString &startFolder);
