#pragma once
// The browser's calls into the timeline, kept in one place: a library block
// placed at the playhead (double-click) or at a point of a track (drop), and
// a placed block dropped back on the strip removed from its track. Inserts go
// through the track view's own insert entry points, so a browser tile lands
// exactly as a file dropped from the desktop does; each edit is one step on
// the host's undo stack.

class KyBlock;
class KyMaster;
class KyMasterLayout;
class KyTrack;
class QObject;
class QPoint;

// Appends a copy of a library block at the playhead of the pane's current
// track and moves the playhead to the end of the new block, so that further
// inserts line up. Nothing happens (null) on the figure-less track.
KyBlock *kyFinderInsertAtPlayhead(KyMaster *master, const KyBlock &block);

// Removes a placed block from its track ("Remove kinBlock").
// False when the block is not on the track.
bool kyFinderRemovePlaced(KyTrack *track, KyBlock *placed);

// A browser tile dropped on a track page at a viewport point: the
// figure-less track shows "No skeleton selected" and changes nothing; any
// other track inserts the tile's block there. False when source is no
// browser tile.
bool kyFinderDropOnTrack(KyMasterLayout *layout, QObject *source, const QPoint &viewportPos);
