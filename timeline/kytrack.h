#pragma once
// KyTrack: one figure's kinTimeline, the model behind a KyMasterLayout.
//
// Design note. A track is an ordered list of placed blocks, each a clone of
// a library block that the track owns; order is play order. Nothing about a
// block's place on the track is stored as a position: every start time
// follows from walking the blocks and adding each gap and visible length
// (outPoint − inPoint), so a change of any block moves everything after it
// by itself. The derived fields of the blocks (start position, facing, axis
// and loop shift) are recomputed by chain() after every change of order,
// length or parameters; evaluation then reads them from each block without
// walking the track.
//
// Every change goes through this class: insertion, removal, moves, slides,
// parameter slots, scene loading. Each mutating operation ends in relayout()
// or chain(), which tells the views (signals) and asks the timeline for a
// delayed trim of the host's animation range. Views (KyMasterLayout and its
// tiles) only translate gestures into these calls and draw what the signals
// report. checkConsistency() states the invariants; tests call it after
// every change.
//
// Units: milliseconds for times, track pixels (40 per second) for x values.
// Pixel arguments are contents coordinates (scroll offset already added).

#include "kyblock.h"
#include "vec3f.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class KyTimeline;
struct FigureBinding;

class KyTrack : public QObject
{
    Q_OBJECT
public:
    // The timeline owns its tracks; a track without one (tests, tools) has
    // no figure and never clears host keys.
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

    // --- start times (ms) ---------------------------------------------------
    // start = previous end + gap; end = start + outPoint − inPoint.
    int startOf(int index) const;
    int endOf(int index) const;
    // End of the last block (0 for an empty track), whatever the binding.
    int endTime() const;
    // Track length: endTime(), or 0 when the binding has no skeleton.
    int length() const;
    // The tile geometry in contents pixels: x = start × 40 / 1000 and width
    // = (outPoint − inPoint) × 40 / 1000.
    int tileX(int index) const;
    int tileWidth(int index) const;
    // Where a block dropped at contents x goes: before the first tile whose
    // horizontal centre lies right of x, else at the end.
    int insertIndexAt(int x) const;

    // --- editing -------------------------------------------------------------
    // Inserts a clone of source (its placement parameters and clip handle)
    // at contents x. Unless keepKeys is set, clears the host's animation
    // under the new block first. Clears the selection, relayouts and chains.
    // Returns the placed block (owned by the track).
    KyBlock *insertBlock(int x, const KyBlock &source, bool keepKeys);
    // The same at the end of the track.
    KyBlock *appendBlock(const KyBlock &source, bool keepKeys);
    // Removes a block: pending previews are restored first, the host's
    // animation under the whole track is cleared, the block is taken out
    // and deleted, the animation range is widened to the track and the
    // track is chained. False when the block is not on this track.
    bool removeBlock(KyBlock *block);
    // Removes the selected blocks, last selected first.
    void deleteSelected();
    // Moves a block to contents x: it lands before the first other block
    // whose tile centre (in the layout as it stands) lies right of x, else
    // at the end; dropped on its own tile it stays where it is. The gap
    // moves with the block. Makes it current and chains.
    void moveBlock(int x, KyBlock *block);
    // Moves the selected blocks as one run, in track order, to contents x
    // (the place found as for moveBlock, ignoring the selected blocks).
    void moveSelection(int x);
    // The gap a slide to contents x gives: max(0, x − pressX − slideOffset)
    // × 1000 / 40 (slideOffset: the pixel where the previous block ends).
    static int slideGap(int x, int pressX, int slideOffset);
    // Sets a block's gap (negative values become 0) and relayouts.
    void setGap(KyBlock *block, int gapMs);
    // Sets in and out points (outPoint kept above inPoint) and relayouts.
    void setInOut(KyBlock *block, int inPoint, int outPoint);
    // Sets the blend-in length (0 … outPoint − inPoint) and chains.
    void setBlendIn(KyBlock *block, int blendMs);
    // Deletes every block; current and selection become empty.
    void clear();

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
    // Recomputes the layout (signals the views) and chains.
    void relayout();
    // Recomputes the derived fields of every block (see kychaining.h), then
    // asks for a repaint when the host's animation range grew past the one
    // last painted, and for a delayed trim.
    void chain();

    // --- view state read by evaluation -----------------------------------------
    bool handleDrag() const { return m_handleDrag; }
    void setHandleDrag(bool on) { m_handleDrag = on; }
    int playheadMs() const { return m_playheadMs; }
    // Seeks the timeline when its time differs from ms; with scroll, the
    // playhead moves to ms and is scrolled into view.
    void setPlayhead(int ms, bool scroll);
    // Moves the playhead without seeking (evaluation).
    void movePlayhead(int ms);
    // Skims the timeline to ms (when its time differs) and scrolls ms into view.
    void skimTo(int ms);
    // The animation range end (ticks) the view last painted with.
    int paintedRangeEnd() const { return m_paintedRangeEnd; }
    void setPaintedRangeEnd(int ticks) { m_paintedRangeEnd = ticks; }

    // Empty string when all invariants hold, else the first violation: blocks
    // unique and non-null, visible lengths and gaps not negative, speed
    // positive, start times increasing, selection a subset without repeats,
    // current block on the track or null, remembered out points no more than
    // the selection.
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
    void currentBlockChanged(KyBlock *block);
    void selectionChanged();
    // A block's look changed without its size (flags, mirror).
    void blockChanged(KyBlock *block);
    void playheadMoved(int ms, bool scroll);
    // Scroll the contents so that x (contents pixels) is visible.
    void ensureVisibleRequested(int x);
    // The host's animation range grew past the painted one.
    void repaintRequested();
    void chained();

private:
    void setFlagBit(int bit, bool on);
    // Parameter slots that re-pose the figure at once.
    void reposeAfterOffsetChange();
    void clearHostAnimationUnder(KyBlock &block, int fromMs, int toMs);
    int clipOutPointFor(KyBlock *block);
    std::unique_ptr<KyBlock> takeBlock(int index);

    KyTimeline *m_timeline;
    int m_bindingIndex = -1;
    std::vector<std::unique_ptr<KyBlock>> m_blocks;
    KyBlock *m_current = nullptr;
    std::vector<KyBlock *> m_selection;
    std::vector<int> m_rememberedOut;
    bool m_handleDrag = false;
    int m_playheadMs = 0;
    int m_paintedRangeEnd = 0;
};
