#pragma once
// KyBindings: the timeline's figure bindings and their tracks. One binding
// (FigureBinding) per figure the timeline has shown, with a list of tracks
// (the first is the one in use); binding 0 is the binding without a
// skeleton. It also keeps which track is current and the list of figures the
// figure picker offers. Time, playback and the offset tool are KyTimeline's;
// it owns one of these and forwards to it.

#include "figurebinding.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

class DzNode;
class DzSkeleton;
class KyTimeline;
class KyTrack;

class KyBindings : public QObject
{
    Q_OBJECT
public:
    // Tracks are made for timeline (they reach the time and options through it).
    explicit KyBindings(KyTimeline *timeline, QObject *parent = nullptr);
    ~KyBindings() override;

    int count() const { return static_cast<int>(m_bindings.size()); }
    // Null for an index out of range.
    FigureBinding *binding(int index) const;
    // −1 when no binding has this skeleton.
    int find(const DzSkeleton *skeleton) const;
    // The tracks of a binding (empty for an index out of range).
    std::vector<KyTrack *> tracks(int bindingIndex) const;
    std::vector<KyTrack *> allTracks() const;
    // Every track in binding order, without building a list: evaluation
    // calls this at every tick.
    template <typename Fn>
    void forEachTrack(Fn fn) const
    {
        for (const auto &tracks : m_trackLists)
            for (const auto &track : tracks)
                fn(*track);
    }
    KyTrack *currentTrack() const { return m_currentTrack; }
    // Binding index of the current track (0 when there is none).
    int currentIndex() const;
    // Largest track length over all tracks.
    int longestTrack() const;
    const QList<DzNode *> &shownSkeletons() const { return m_shown; }

    // The binding of node's skeleton (a non-skeleton counts as none), made
    // with its track when missing; its first track becomes current. Returns
    // that track.
    KyTrack *activate(DzNode *node);
    // Every binding forgets what concerns node; a binding of it keeps its
    // track without a skeleton.
    void nodeRemoved(DzNode *node);
    // Figures that left the scene are unbound; the picker's list follows the
    // visible skeletons.
    void refresh();

    // Scene loading: every track goes, count fresh bindings without tracks.
    void reset(int count);
    KyTrack *addTrack(int bindingIndex);
    // Scene cleared: binding 0 fresh (its track kept), the others and their
    // tracks gone, the picker's list forgotten.
    void resetForSceneClear();

signals:
    void trackAdded(KyTrack *track);
    // The track is about to be deleted.
    void trackRemoved(KyTrack *track);
    void currentTrackChanged(KyTrack *track);
    void pickerListChanged(const QList<DzNode *> &nodes);

private:
    void appendBinding(DzSkeleton *skeleton);
    void deleteTracks(int bindingIndex);

    KyTimeline *m_timeline;
    std::vector<std::unique_ptr<FigureBinding>> m_bindings;
    std::vector<std::vector<std::unique_ptr<KyTrack>>> m_trackLists;
    KyTrack *m_currentTrack = nullptr;
    QList<DzNode *> m_shown;
};
