#pragma once
// KyTrackEdit: one user edit of a track as one step on the host's undo
// stack. Made before the edit, it snapshots the track's placements and opens
// a key snapshot on every node of the track's figure (DzElement::beginEdit);
// commit(caption) takes the placements after, closes the key snapshots (the
// host records the keys that changed) and accepts the step. Undo puts the
// keys and the placements back as they were, redo as they were after; the
// host's keys are restored exactly, nothing is recomputed.
//
// An edit that ends without commit() (refused, cancelled) leaves no step. An
// edit that changed neither placements nor keys leaves no step either.
// Edits nest: an inner edit becomes part of the outer one. While the stack is
// undoing or redoing nothing is recorded.
//
// Block files written by an edit (split pieces are not files; join and crop
// write one) stay on disk when the edit is undone.

#include "kytrack.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class DzElement;
class DzUndoStackHold;

class KyTimeline;

class KyTrackEdit
{
public:
    explicit KyTrackEdit(KyTrack *track);
    // Every track of every figure, and every figure's keys (baking, clearing
    // keys, recording).
    explicit KyTrackEdit(KyTimeline *timeline);
    ~KyTrackEdit();
    KyTrackEdit(const KyTrackEdit &) = delete;
    KyTrackEdit &operator=(const KyTrackEdit &) = delete;

    // Records the step (when anything changed) with this caption; when
    // placements changed, the figure is re-posed at the current time first.
    void commit(const QString &caption);
    bool isCommitted() const { return m_done; }

private:
    void open(const std::vector<KyTrack *> &tracks);
    void closeKeySnapshots();

    std::vector<std::pair<QPointer<KyTrack>, KyTrackSnapshot>> m_before;
    std::unique_ptr<DzUndoStackHold> m_hold;
    std::vector<QPointer<DzElement>> m_nodes;
    bool m_done = false;
};

// Every node of the track's figure (the skeleton and its descendants); empty
// without a figure. Baking and clearing keys snapshot the same nodes.
std::vector<DzElement *> kyTrackFigureNodes(const KyTrack &track);
