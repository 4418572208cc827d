#include "kytrackedit.h"

#include "figurebinding.h"
#include "kytimeline.h"

#include "dzelement.h"
#include "dznode.h"
#include "dzskeleton.h"
#include "dzundoitem.h"
#include "dzundostack.h"
#include "dzundostackhold.h"

#include <algorithm>

namespace {

// Puts a track's placements back; the keys have items of their own.
class TrackPlacementsItem : public DzUndoItem
{
public:
    TrackPlacementsItem(KyTrack *track, KyTrackSnapshot before, KyTrackSnapshot after)
        : m_track(track)
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
    }
    void undo() override
    {
        if (m_track)
            m_track->restore(m_before);
    }
    void redo() override
    {
        if (m_track)
            m_track->restore(m_after);
    }
    int getSize() const override
    {
        return static_cast<int>(sizeof(*this)
                                + (m_before.blocks.size() + m_after.blocks.size()) * sizeof(KyBlock));
    }

private:
    QPointer<KyTrack> m_track;
    KyTrackSnapshot m_before;
    KyTrackSnapshot m_after;
};

void collect(DzNode *node, std::vector<DzElement *> &out)
{
    out.push_back(node);
    for (int i = 0; i < node->getNumNodeChildren(); ++i)
        collect(node->getNodeChild(i), out);
}

} // namespace

std::vector<DzElement *> kyTrackFigureNodes(const KyTrack &track)
{
    std::vector<DzElement *> out;
    const FigureBinding *b = track.binding();
    if (b && b->skeleton())
        collect(b->skeleton(), out);
    return out;
}

KyTrackEdit::KyTrackEdit(KyTrack *track)
{
    if (track)
        open({track});
}

KyTrackEdit::KyTrackEdit(KyTimeline *timeline)
{
    if (timeline)
        open(timeline->allTracks());
}

void KyTrackEdit::open(const std::vector<KyTrack *> &tracks)
{
    if (DzUndoStack::instance()->isUndoing())
        return;
    m_hold = std::make_unique<DzUndoStackHold>();
    std::vector<const FigureBinding *> seen;
    for (KyTrack *track : tracks) {
        // Previews pending on the figure are not part of anybody's keys.
        if (track->timeline())
            track->timeline()->restoreAllBackups();
        m_before.emplace_back(track, track->snapshot());
        const FigureBinding *binding = track->binding();
        if (std::find(seen.begin(), seen.end(), binding) != seen.end())
            continue;
        seen.push_back(binding);
        for (DzElement *node : kyTrackFigureNodes(*track)) {
            node->beginEdit();
            m_nodes.emplace_back(node);
        }
    }
}

KyTrackEdit::~KyTrackEdit()
{
    // Not committed: the hold goes without accept, which drops whatever
    // the key snapshots recorded.
    closeKeySnapshots();
}

void KyTrackEdit::closeKeySnapshots()
{
    for (const QPointer<DzElement> &node : m_nodes) {
        if (node)
            node->finishEdit();
    }
    m_nodes.clear();
}

void KyTrackEdit::commit(const QString &caption)
{
    if (m_done || !m_hold)
        return;
    m_done = true;
    std::vector<KyTrackSnapshot> afters;
    KyTimeline *timeline = nullptr;
    for (auto &[track, before] : m_before) {
        afters.push_back(track ? track->snapshot() : KyTrackSnapshot());
        if (track && !KyTrack::samePlacements(before, afters.back()))
            timeline = track->timeline();
    }
    // When blocks changed, the figure shows it at once, and the keys that
    // posing writes at the current frame belong to this step. (Edits of keys
    // alone, such as deleting them, are not re-posed.)
    if (timeline) {
        timeline->reevaluate();
        timeline->restoreAllBackups();
    }
    for (size_t i = 0; i < m_before.size(); ++i) {
        auto &[track, before] = m_before[i];
        if (track && !KyTrack::samePlacements(before, afters[i]))
            DzUndoStack::instance()->push(new TrackPlacementsItem(track, std::move(before), std::move(afters[i])));
    }
    closeKeySnapshots();
    m_hold->accept(caption);
}
