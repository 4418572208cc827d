#include "kyfindertimeline.h"

#include "kyfinderblock.h"
#include "kyfinderlibrary.h"
#include "kymaster.h"
#include "kymasterlayout.h"
#include "kyprompt.h"

#include "kyblock.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "dzundoitem.h"
#include "dzundostack.h"
#include "dzundostackhold.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include <memory>
#include <vector>

namespace {

using Placements = std::vector<std::unique_ptr<KyBlock>>;

Placements capture(const KyTrack &track)
{
    Placements out;
    for (const KyBlock *block : track.blocks())
        out.emplace_back(block->clone());
    return out;
}

void restore(KyTrack &track, const Placements &placements)
{
    track.clear();
    // Keys stay: the host's animation is the timeline's to rewrite on the
    // next evaluation, and undo must not clear keys a user set by hand.
    for (const auto &block : placements)
        track.appendBlock(*block, true);
}

class TrackSnapshotItem : public DzUndoItem
{
public:
    TrackSnapshotItem(KyTrack *track, Placements before, Placements after, QString caption)
        : m_track(track)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_caption(std::move(caption))
    {
    }
    void undo() override
    {
        if (m_track)
            restore(*m_track, m_before);
    }
    void redo() override
    {
        if (m_track)
            restore(*m_track, m_after);
    }
    QString getDescription() const override { return m_caption; }

private:
    QPointer<KyTrack> m_track;
    Placements m_before;
    Placements m_after;
    QString m_caption;
};

bool placesBlocks(const KyTrack *track)
{
    return track && track->bindingIndex() > 0;
}

} // namespace

bool kyTrackUndoStep(KyTrack *track, const QString &caption, const std::function<bool()> &edit)
{
    if (!track || dzUndoStack->isUndoing())
        return edit();
    Placements before = capture(*track);
    DzUndoStackHold hold;
    const bool changed = edit();
    if (changed) {
        dzUndoStack->push(new TrackSnapshotItem(track, std::move(before), capture(*track), caption));
        hold.accept(caption);
    }
    return changed;
}

KyBlock *kyFinderInsertAtPlayhead(KyTimeline *timeline, KyBlock &block)
{
    KyTrack *track = timeline ? timeline->currentTrack() : nullptr;
    if (!placesBlocks(track))
        return nullptr;
    block.flags = timeline->defaultFlags();
    KyBlock *placed = nullptr;
    kyTrackUndoStep(track, QStringLiteral("Add kinBlock"), [&] {
        // The playhead marker is drawn 4 pixels left of its time.
        placed = track->insertBlock(msToPixels(track->playheadMs()) - 4, block, false);
        track->setPlayhead(snappedMs(timeline->currentTime() + placed->outPoint - placed->inPoint), true);
        return true;
    });
    return placed;
}

KyBlock *kyFinderInsertAt(KyTrack *track, int x, KyBlock &block)
{
    if (!placesBlocks(track))
        return nullptr;
    if (track->timeline())
        block.flags = track->timeline()->defaultFlags();
    KyBlock *placed = nullptr;
    kyTrackUndoStep(track, QStringLiteral("Add kinBlock"), [&] {
        placed = track->insertBlock(x, block, false);
        return true;
    });
    return placed;
}

bool kyFinderRemovePlaced(KyTrack *track, KyBlock *placed)
{
    if (!track || track->indexOf(placed) < 0)
        return false;
    return kyTrackUndoStep(track, QStringLiteral("Remove kinBlock"), [&] { return track->removeBlock(placed); });
}

bool kyFinderDropOnTrack(KyMasterLayout *layout, QObject *source, const QPoint &viewportPos)
{
    KyBlock *block = kyFinderBlockOf(source);
    if (!layout || !block)
        return false;
    if (layout->bindingIndex() == 0) {
        kyMessage(QStringLiteral("No skeleton selected"), layout);
        return true;
    }
    kyFinderInsertAt(layout->track(), viewportPos.x() + layout->scrollOffset(), *block);
    return true;
}

namespace {

bool isBrowserDrag(const QMimeData *data)
{
    return data && data->hasText() && data->text() == QLatin1String(kyFinderDragText());
}

// Takes browser drags on one track page's viewport.
class TrackDropFilter : public QObject
{
public:
    TrackDropFilter(KyMasterLayout *layout)
        : QObject(layout)
        , m_layout(layout)
    {
        layout->viewport()->setAcceptDrops(true);
        layout->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *e = static_cast<QDragMoveEvent *>(event);
            if (!isBrowserDrag(e->mimeData()))
                return false;
            e->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *e = static_cast<QDropEvent *>(event);
            if (!isBrowserDrag(e->mimeData()))
                return false;
            if (kyFinderDropOnTrack(m_layout, e->source(), e->position().toPoint()))
                e->acceptProposedAction();
            return true;
        }
        default:
            return false;
        }
    }

private:
    KyMasterLayout *m_layout;
};

void watchPage(KyMaster *master, KyTrack *track)
{
    KyMasterLayout *layout = master->layoutFor(track);
    if (layout && !layout->findChild<TrackDropFilter *>(QString(), Qt::FindDirectChildrenOnly))
        new TrackDropFilter(layout);
}

} // namespace

void kyFinderAcceptDropsOn(KyMaster *master)
{
    if (!master)
        return;
    KyTimeline *timeline = master->timeline();
    for (KyTrack *track : timeline->allTracks())
        watchPage(master, track);
    // Connected after the pane's own page making, so the page exists here.
    QObject::connect(timeline, &KyTimeline::trackAdded, master,
                     [master](KyTrack *track) { watchPage(master, track); });
}
