#pragma once
// What an edit of a track does to the host scene, in one place: clearing the
// host's animation under a block, restoring pending previews before a block
// goes, and widening the scene's ranges after a removal. KyTrack calls these
// and nothing else of the host; an undo step (kytrackedit.h) snapshots the
// keys these functions change.
//
// Every function does nothing for a track without a timeline, a binding
// without a skeleton, or without a scene.

class KyBlock;
class KyTrack;

// Clears the host's animation of the track's figure from fromMs to toMs
// (timeline ms): the block is started on the engine at 0 and the engine
// advanced by 0, then every node of the skeleton that the block drives has
// its keys in that range removed.
void kyClearHostAnimationUnder(const KyTrack &track, KyBlock &block, int fromMs, int toMs);

// Before a block leaves the track: the pointer is no longer over a tile,
// every binding's pending preview is restored at once and the rotational-
// offset tool re-applied (or switched off when the time moved).
void kyReleasePreviewsBeforeRemoval(const KyTrack &track);

// After a removal: clears the host's animation under every block (the keys
// the timeline wrote follow the track as it is now), then widens the
// animation range to include 0 and the track's end; the play range follows
// when it equalled the animation range.
void kyClearUnderTrack(const KyTrack &track);
void kyWidenRangesToTrack(const KyTrack &track);
