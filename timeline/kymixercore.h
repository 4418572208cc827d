#pragma once
// KyMixerCore: the main pane's logic without its widgets. It owns the
// evaluation timer (33 ms), the delayed-trim timer (250 ms), the refresh
// block, the recording state and buffers and the drag velocity, follows the
// host's scene, time and render signals, and runs the animation update, the
// single entry that poses figures. KyMixerPane owns one and forwards its
// slots to it; tools and tests use it directly.
//
// Animation update (animUpdate), guarded against re-entry:
//  1. timeline active and dirty: the timeline's update step (every track
//     evaluated at the current time). Done.
//  2. recording transitions (requested ≠ recording): on empties the
//     buffers; off writes the recorded frames as host keys from the host's
//     time and makes a block from that range.
//  3. elapsed = wall-clock ms since the previous update, 0 … 100.
//  4. drag velocity ≠ 0 and skimming enabled: (unless inactive and not
//     recording) the engine advances by elapsed × velocity and the primary
//     selection's figure is posed at the host's frame, with a 250 ms hold,
//     or recorded (hold 0) while recording.
//  5. otherwise, unless the pointer rests on a block tile: every binding's
//     key hold counts down (previews are undone when it runs out) and the
//     offset tool recomputes its offsets, or switches off when the time moved.

#include "kyrecordingbuffers.h"

#include "dztime.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class DzNode;
class DzPaneSettings;
class KyBlock;
class KyTimeline;
class QTimer;

class KyMixerCore : public QObject
{
    Q_OBJECT
public:
    static constexpr int kEvaluationIntervalMs = 33;
    static constexpr int kTrimDelayMs = 250;
    static constexpr int kMaxElapsedMs = 100;

    // timeline is not owned and must outlive the core.
    explicit KyMixerCore(KyTimeline *timeline, QObject *parent = nullptr);
    ~KyMixerCore() override;

    KyTimeline *timeline() const { return m_timeline.data(); }

    // Connects the scene's and the render manager's signals (when they
    // exist) to the slots below.
    void connectHost();

    bool isRefreshBlocked() const { return m_refreshBlocked; }
    bool isRendering() const { return m_renderInProgress; }
    bool isRecording() const { return m_recording; }
    bool isRecordingRequested() const { return m_recordingRequested; }
    // The pad asks for recording on or off; the next animation update makes
    // the transition.
    void setRecordingRequested(bool on) { m_recordingRequested = on; }
    float dragVelocity() const { return m_dragVelocity; }
    void setDragVelocity(float velocity) { m_dragVelocity = velocity; }
    const KyRecordingBuffers &recordingBuffers() const { return m_buffers; }
    // Whether the evaluation timer exists (made when a skeleton is first seen).
    bool hasEvaluationTimer() const { return m_evaluationTimer != nullptr; }
    bool isTrimPending() const;
    bool isUpdating() const { return m_updating; }

    // The wall clock of step 3 (the engine's elapsedMs() unless replaced).
    void setClock(std::function<int()> clock);
    // Whether a host progress dialog is up (none unless told).
    void setProgressQuery(std::function<bool()> query);
    // The folder the block save dialog starts in (the browser's current
    // one); the timeline keeps it for its editing commands too.
    void setStartFolderProvider(std::function<QString()> provider);

    // Options to and from the pane settings ("mDoSkimming", "mTrimTimeline",
    // "mMaskFingers", "mDefaultFlags0"; defaults true, true, false, 13).
    void saveSettings(DzPaneSettings &settings) const;
    void restoreSettings(const DzPaneSettings &settings);

public slots:
    void refresh();
    void createKinBlockFromScene();
    void createKinBlockFromScene(DzTimeRange *range);
    void trimTimeline();
    void delayTrimTimeline();
    void clearDSKeys();
    void clearDSKeys(DzTimeRange *range);
    void renderStarting();
    void renderFinished(bool succeeded);
    void timerDone();
    void timeChanged1(DzTime time);
    void animUpdate();
    void nodeRemoved(DzNode *node);
    void refreshSelected0(DzNode *node);
    void blockRefresh();
    // Refresh unblocked: the pane adds a fresh scene data item
    // (sceneDataNeeded), then refresh().
    void unblockRefresh();
    // After a load: unblockRefresh(), then the figures are posed at the
    // scene's time, so they do not stand in their rest pose until it moves.
    void sceneLoaded();
    void sceneClearStarting();

signals:
    void sceneDataNeeded();
    // A block was made from host keys and saved (the browser shows it).
    void blockCreated(KyBlock *block);

private:
    bool progressUp() const;
    void startRecording();
    void stopRecording();
    void poseFromDrag(int elapsed);
    void ensureEvaluationTimer();

    QPointer<KyTimeline> m_timeline;
    bool m_refreshBlocked = false;
    bool m_recording = false;
    bool m_recordingRequested = false;
    float m_dragVelocity = 0.0f;
    bool m_renderInProgress = false;
    bool m_updating = false;
    int m_previousElapsed = 0;
    KyRecordingBuffers m_buffers;
    QTimer *m_evaluationTimer = nullptr;
    QTimer *m_trimTimer;
    std::function<int()> m_clock;
    std::function<bool()> m_progressQuery;
};
