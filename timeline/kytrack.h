#pragma once
// KyTrack: one figure's kinTimeline, the model behind a KyMasterLayout.
//
// Design note. A track is an ordered list of placed blocks, each a clone of
// a library block that the track owns; order is play order. A block's place
// on the track is not stored with the block: start = previous end + gap and
// end = start + (outPoint − inPoint). The track keeps those start times in a
// cache that every change of order or length refreshes from the first block
// it touched, so startOf(), endOf() and endTime() are O(1) and a walk over
// the blocks (evaluation, baking, hit testing) stays linear. Callers that
// change a block's fields directly must call relayout() or chain() before
// reading start times again; checkConsistency() catches a stale cache.
//
// The derived fields of the blocks (start position, facing, axis and loop
// shift) are recomputed by chain() after every change; evaluation reads them
// from each block without walking the track.
//
// This class knows milliseconds only. Pixels, scrolling, zoom and painting
// belong to the views (timeline_ui); what an edit does to the host scene
// (clearing keys under a block, releasing previews, widening the animation
// range) lives in kytrackhost.h, and undo wraps whole edits (kytrackedit.h).

#include "kyblock.h"
#include "vec3f.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class KyTimeline;
struct FigureBinding;

// The placements of a track at one moment: clones of its blocks (the clips
// are shared, never copied). Restoring one puts equal blocks back.
struct KyTrackSnapshot {
    std::vector<std::shared_ptr<const KyBlock>> blocks;
    // The placed blocks the clones were taken from, so that reordering equal
    // blocks still counts as a change.
    std::vector<const KyBlock *> placed;
};

class KyTrack : public QObject
{
    Q_OBJECT
public:
    // The timeline owns its tracks; a track without one (tests, tools) has
    // no figure and never touches the host.
    explicit KyTrack(KyTimeline *timeline = nullptr, QObject *parent = nullptr);
    ~KyTrack() override;

    KyTimeline *timeline() const { return m_timeline; }
    // Index of the track's binding in the timeline; −1 until assigned.
    int bindingIndex() const { return m_bindingIndex; }
    void setBindingIndex(int index) { m_bindingIndex = index; }
    // The binding (null without timeline or index out of range).
    FigureBinding *binding() const;

    // --- blocks ------------------------------------------------------------
    int count() const { return static_cast<int>(m_blocks.size()); }
    // Null for an index out of range.
    KyBlock *blockAt(int index) const;
    // −1 when the block is not on this track.
    int indexOf(const KyBlock *block) const;
    std::vector<KyBlock *> blocks() const;

    // --- start times (ms), O(1) ----------------------------------------------
    // Start of block index; past the last block, the track's end.
    int startOf(int index) const;
    int endOf(int index) const;
    // End of the last block (0 for an empty track), whatever the binding.
    int endTime() const;
    // Track length: endTime(), or 0 when the binding has no skeleton.
    int length() const;

    // --- editing -------------------------------------------------------------
    // Inserts a clone of source (its placement parameters and clip handle)
    // before block index (clamped to 0 … count()). Unless keepKeys is set,
    // clears the host's animation under the new block first. Clears the
    // selection, relayouts and chains. Returns the placed block.
    KyBlock *insertBlock(int index, const KyBlock &source, bool keepKeys);
    // The same at the end of the track.
    KyBlock *appendBlock(const KyBlock &source, bool keepKeys);
    // Removes a block that is on this track: pending previews are restored,
    // the host's animation under the whole track is cleared, the block is
    // taken out and deleted, the animation range is widened to the track and
    // the track is chained. A block that is not on the track changes nothing
    // and gives false.
    bool removeBlock(KyBlock *block);
    // Removes the selected blocks, last selected first.
    void deleteSelected();
    // Moves a block so that it lands before block `before` (null: at the
    // end). The gap moves with it. Makes it current and chains.
    void moveBlock(KyBlock *block, KyBlock *before);
    // Sets a block's gap (negative values become 0) and relayouts.
    void setGap(KyBlock *block, int gapMs);
    // Sets in and out points (inPoint not negative, outPoint kept above
    // inPoint) and relayouts.
    void setInOut(KyBlock *block, int inPoint, int outPoint);
    // Sets the blend-in length (0 … outPoint − inPoint) and chains.
    void setBlendIn(KyBlock *block, int blendMs);
    // Deletes every block; current and selection become empty.
    void clear();

    // --- snapshots (undo) ------------------------------------------------------
    KyTrackSnapshot snapshot() const;
    // Replaces the blocks by clones of the snapshot's; current and selection
    // become empty; the host is not touched. Emits reset() and chains.
    void restore(const KyTrackSnapshot &snapshot);
    // Whether two snapshots hold the same placed blocks with the same
    // placements, field by field.
    static bool samePlacements(const KyTrackSnapshot &a, const KyTrackSnapshot &b);

    // --- current block and selection -----------------------------------------
    KyBlock *currentBlock() const { return m_current; }
    void setCurrentBlock(KyBlock *block);
    const std::vector<KyBlock *> &selection() const { return m_selection; }
    bool isSelected(const KyBlock *block) const;
    void clearSelection();
    // Appends unless present.
    void addToSelection(KyBlock *block);
    // For each selected block outPoint × speed (truncated): the clip out
    // point that later speed changes scale from.
    void rememberClipOutPoints();
    const std::vector<int> &rememberedClipOutPoints() const { return m_rememberedOut; }
    // outPoint for a clip out point at a speed: clipOut / speed, truncated
    // (saturated; speed must be positive).
    static int outPointForSpeed(int clipOutPoint, float speed);

    // --- layout and chaining -------------------------------------------------
    // Refreshes the start times, tells the views and chains.
    void relayout();
    // Refreshes the start times, recomputes the derived fields of every block
    // (kychaining.h) and asks the timeline for a delayed trim.
    void chain();

    // --- playhead and handle state read by evaluation ----------------------------
    bool handleDrag() const { return m_handleDrag; }
    void setHandleDrag(bool on) { m_handleDrag = on; }
    int playheadMs() const { return m_playheadMs; }
    // Seeks the timeline when its time differs from ms; with scroll, the
    // playhead moves to ms (and the view scrolls it into view).
    void setPlayhead(int ms, bool scroll);
    // Moves the playhead without seeking (evaluation).
    void movePlayhead(int ms);

    // Empty string when all invariants hold, else the first violation: blocks
    // unique and non-null, visible lengths and gaps not negative, speed
    // positive, cached start times equal to a fresh walk, selection a subset
    // without repeats, current block on the track or null, remembered out
    // points no more than the selection.
    QString checkConsistency() const;

public slots:
    // Parameter slots: act on every selected block, then refresh.
    void flagsHor(bool on);
    void flagsFacing(bool on);
    void flagsIHor(bool on);
    // speed = percent / 100 and outPoint = remembered clip out point / speed.
    // Percent below 1 is refused (logged).
    void speedChanged(int percent);
    void iblend_vChanged(int ms);
    void rotyOffsetChanged(int degrees);
    void posxOffsetChanged(int value);
    void posyOffsetChanged(int value);
    void poszOffsetChanged(int value);
    void mirrorChanged(bool on);

signals:
    // Blocks were added, removed, moved or resized: views re-place tiles,
    // handles and the contents size.
    void layoutChanged();
    void blockInserted(KyBlock *block);
    // The block leaves the track; it is deleted when the signal returns.
    void blockRemoved(KyBlock *block);
    // Every block was replaced (restore): views rebuild their tiles.
    void reset();
    void currentBlockChanged(KyBlock *block);
    void selectionChanged();
    // A block's look changed without its size (flags, mirror).
    void blockChanged(KyBlock *block);
    void playheadMoved(int ms);
    void chained();

private:
    void setFlagBit(int bit, bool on);
    // Parameter slots that re-pose the figure at once.
    void reposeAfterOffsetChange();
    int clipOutPointFor(KyBlock *block);
    std::unique_ptr<KyBlock> takeBlock(int index);
    // Recomputes the cached start times from block index on.
    void updateStartsFrom(int index);

    KyTimeline *m_timeline;
    int m_bindingIndex = -1;
    std::vector<std::unique_ptr<KyBlock>> m_blocks;
    // m_starts[i] is the start of block i; m_end the end of the last one.
    std::vector<int> m_starts;
    int m_end = 0;
    KyBlock *m_current = nullptr;
    std::vector<KyBlock *> m_selection;
    std::vector<int> m_rememberedOut;
    bool m_handleDrag = false;
    int m_playheadMs = 0;
};
