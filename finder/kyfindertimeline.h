#pragma once
// The browser's calls into the timeline, kept in one place: a library block
// placed at the playhead (double-click) or at a point of a track (drop), and
// a placed block dropped back on the strip removed from its track. Each is
// one step on the host's undo stack, recorded as snapshots of the track's
// placements before and after.

#include <QString>

#include <functional>

class KyBlock;
class KyMaster;
class KyMasterLayout;
class KyTimeline;
class KyTrack;
class QObject;
class QPoint;

// Appends a copy of a library block at the playhead of the timeline's
// current track, with the pane's default reorient flags, and moves the
// playhead to the end of the new block so that further inserts line up.
// Nothing happens (null) on the figure-less track (binding 0).
KyBlock *kyFinderInsertAtPlayhead(KyTimeline *timeline, KyBlock &block);

// Inserts a copy of a library block at contents x (pixels) of a track, with
// the pane's default reorient flags. Null on the figure-less track.
KyBlock *kyFinderInsertAt(KyTrack *track, int x, KyBlock &block);

// Removes a placed block from its track through the track's delete path.
// False when the block is not on the track.
bool kyFinderRemovePlaced(KyTrack *track, KyBlock *placed);

// Runs edit as one undo step with caption: the track's placements are
// captured before and after, and undo/redo put them back. Returns edit's
// result. Without an open-able hold (while undoing) the edit just runs.
bool kyTrackUndoStep(KyTrack *track, const QString &caption, const std::function<bool()> &edit);

// A browser tile dropped on a track page at a viewport point: the
// figure-less track shows "No skeleton selected" and changes nothing; any
// other track inserts the tile's block there (kyFinderInsertAt). False when
// source is no browser tile.
bool kyFinderDropOnTrack(KyMasterLayout *layout, QObject *source, const QPoint &viewportPos);

// Lets every track page of the pane, present and future, take browser
// tiles ("KyFinderBlock" drags).
void kyFinderAcceptDropsOn(KyMaster *master);
