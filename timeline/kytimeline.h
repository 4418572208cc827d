#pragma once
// KyTimeline: the state and operations of the timeline pane (KyMaster)
// without its widgets: options, the current time and seek target, playback
// through the pane, the dirty flag and frame clock, the rotational-offset
// tool and the update step. The figure bindings with their tracks and the
// figure picker's list are a KyBindings it owns (bindings()); the binding
// calls here forward to it, adding what depends on the time or the tool.
//
// Times are integer milliseconds; conversions are those of kytime.h. The
// host is reached through the global dzScene (nothing happens to the host
// when there is none).
//
// KyMaster adds a page for every track (trackAdded) and raises the page of
// the current one (currentTrackChanged). Binding 0 is the binding without a
// skeleton.

#include "figurebinding.h"
#include "kybindings.h"
#include "kytrack.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class DzNode;
class DzSkeleton;

class KyTimeline : public QObject
{
    Q_OBJECT
public:
    explicit KyTimeline(QObject *parent = nullptr);
    ~KyTimeline() override;

    // --- options (persisted by the main pane) -------------------------------
    bool skimmingEnabled() const { return m_skimming; }
    void setSkimmingEnabled(bool on) { m_skimming = on; }
    bool autoTrim() const { return m_autoTrim; }
    void setAutoTrim(bool on) { m_autoTrim = on; }
    bool maskFingers() const { return m_maskFingers; }
    void setMaskFingers(bool on) { m_maskFingers = on; }
    // Reorientation flags of blocks dropped from the library (13); also the
    // defaults of blocks created from now on (KyBlock::setDefaultFlags).
    int defaultFlags() const { return m_defaultFlags; }
    void setDefaultFlags(int flags);

    // --- time and playback -----------------------------------------------------
    int currentTime() const { return m_currentTime; }
    int seekTarget() const { return m_seekTarget; }
    bool isPlaying() const { return m_playing; }
    bool isDirty() const { return m_dirty; }
    bool isLooping() const { return m_loop; }
    bool isActive() const { return m_active; }
    // Whether the frame clock was reset (seek, skim, play) since the last step.
    bool frameClockReset() const { return !m_lastStepValid; }
    // Makes the seek target equal the current time, so that the next
    // evaluation writes keys that stay (baking).
    void alignTargetToCurrent() { m_seekTarget = m_currentTime; }

    // The monotonic millisecond clock of the update step (elapsedMs() of the
    // engine unless replaced, e.g. by a test's clock).
    void setClock(std::function<int()> clock);
    int now() const;

    // The folder new block files are saved in first (the block library
    // browser's current folder once one tells it; the home folder before).
    QString blockFolder() const;
    void setBlockFolderProvider(std::function<QString()> provider);

    // The main pane's animation update, run by goSeek (step 6). Without one,
    // goSeek runs the update step itself when the pane is active and dirty.
    void setAnimationUpdate(std::function<void()> update);

    // --- bindings and tracks ------------------------------------------------------
    // The bindings and tracks themselves (KyBindings); the calls below
    // forward to it.
    KyBindings *bindings() const { return m_bindings; }
    int bindingCount() const { return m_bindings->count(); }
    // Null for an index out of range.
    FigureBinding *binding(int index) const;
    // −1 when no binding has this skeleton (null finds binding 0's kind).
    int findBinding(const DzSkeleton *skeleton) const;
    // The tracks of a binding (empty for an index out of range).
    std::vector<KyTrack *> tracks(int bindingIndex) const;
    // Every track of every binding.
    std::vector<KyTrack *> allTracks() const;
    KyTrack *currentTrack() const { return m_bindings->currentTrack(); }
    // Binding of the current track (binding 0 when there is none).
    FigureBinding *currentBinding() const;
    int currentBindingIndex() const;
    // Largest track length over all tracks.
    int longestTrack() const;
    // The skeletons the picker offers (visible DzSkeleton nodes of the scene).
    const QList<DzNode *> &shownSkeletons() const { return m_bindings->shownSkeletons(); }

    // Scene loading: drops every track, resizes the bindings to count (new
    // ones with defaults) and leaves every binding without tracks.
    void resetBindings(int count);
    // A new track for a binding (binding index set); null for a bad index.
    KyTrack *addTrack(int bindingIndex);

    // Scene cleared: every track of the bindings other than 0 is deleted
    // with its blocks, binding 0 becomes a fresh default binding (its track
    // stays), the shown skeletons are forgotten and the null binding is
    // activated.
    void resetForSceneClear();

    // --- pointer over a block tile (set by the tiles) ---------------------------
    bool pointerOverBlock() const { return m_pointerOverBlock; }
    void setPointerOverBlock(bool on) { m_pointerOverBlock = on; }

    // --- rotational-offset tool -----------------------------------------------------
    bool offsetToolOn() const { return m_toolOn; }
    int offsetToolStartTime() const { return m_toolStartTime; }
    // Switches the tool: on needs a skeleton on the current binding, else
    // "No Skeleton Selected" is shown and the tool stays off. Emits
    // offsetToolChanged with the resulting state.
    void setOffsetTool(bool on);
    // Re-applies the tool after a block was removed (on while the time is
    // still the start time and there is a skeleton; off otherwise).
    void recheckOffsetTool();

    // --- evaluation ------------------------------------------------------------------
    // Update step: elapsed since the last step (0 after a reset), every
    // track evaluated at the current time, current time = snapped (current
    // + elapsed), dirty cleared.
    void updateStep();
    // Evaluates every track of every binding at ms (kyevaluator.h).
    void evaluateAll(int ms);
    // Runs the key hold release of every binding with elapsed ms.
    void releaseKeyHolds(int elapsedMs);
    // Restores every binding's pending backups at once.
    void restoreAllBackups();

    // Re-poses the figures at the current time now (after an edit that
    // cleared host keys under the playhead): dirty, then the animation update.
    void reevaluate();

    // Asks the main pane for a delayed trim (chaining does after a change).
    void requestDelayedTrim() { emit delayTrimRequested(); }

public slots:
    void goActive(bool on);
    void goLoop();
    void goBack();
    void goPlay();
    void goStop();
    void goForward();
    void goSeek(int ms);
    void goSeek(int ms, bool updatePlayhead);
    void goSeek(int ms, bool updatePlayhead, bool doUpdateScene);
    void goSkim(int ms);
    void reSkim();
    void activateNode(DzNode *node);
    void selectNode(DzNode *node);
    void refresh();
    void nodeRemoved(DzNode *node);

signals:
    void trackAdded(KyTrack *track);
    // The track is about to be deleted.
    void trackRemoved(KyTrack *track);
    void currentTrackChanged(KyTrack *track);
    // The picker shows node / offers this list.
    void pickerNodeChanged(DzNode *node);
    void pickerListChanged(const QList<DzNode *> &nodes);
    void offsetToolChanged(bool on);
    // Playback stopped by the pane (the Play button goes off).
    void playStopped();
    void delayTrimRequested();

private:
    KyBindings *m_bindings;
    bool m_skimming = true;
    bool m_autoTrim = true;
    bool m_maskFingers = false;
    int m_defaultFlags = 13;
    bool m_toolOn = false;
    int m_toolStartTime = 0;
    int m_currentTime = 0;
    int m_seekTarget = 0;
    bool m_playing = false;
    bool m_dirty = false;
    bool m_loop = true;
    int m_lastStep = 0; // clock value at the last update step, ms
    bool m_lastStepValid = false;
    bool m_active = true;
    bool m_pointerOverBlock = false;
    std::function<int()> m_clock;
    std::function<void()> m_animationUpdate;
    std::function<QString()> m_blockFolder;
};
