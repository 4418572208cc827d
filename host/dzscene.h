#pragma once

#include "dzbase.h"
#include "dznodelistiterator.h"
#include "dztime.h"

#include <QList>
#include <QString>

class DzAudioClip;
class DzNode;
class DzSceneData;
class DzScript;
class QTimer;

// The scene: nodes, selection, time and playback, scene data items, audio.
//
// The global dzScene points to the most recently constructed scene and is
// cleared when that scene is destroyed. Everything runs on the GUI thread.
//
// Time: ticks (4800 per second); one frame is getTimeStep() ticks (160 by
// default). Defaults after construction and clear(): time 0, play range and
// animation range both (0, 4800), looping on, not playing.
//
// Playback: play() starts a timer whose interval is one frame of real time;
// each tick advances the time by one frame inside the play range. Reaching
// the range end shows the end, then either wraps to the range start (looping)
// or stops. Frames are never skipped to catch up with a slow event loop.
//
// Nodes: addNode adds a node and every descendant not yet in the scene
// (parents first), emitting nodeAdded per node and nodeListChanged once. A
// node added without a parent node is owned by the scene. removeNode detaches
// the node from its parent, deselects and removes it and its descendants
// (nodeRemoved per node, deepest first, then nodeListChanged) and deletes it
// once control returns to the event loop (deleteLater), so receivers of the
// signals may still use the pointer.
//
// Selection: a list of selected nodes in selection order; the primary
// selection is the most recently selected node still selected, or null when
// nothing is selected.
//
// Modified flag: set by node additions/removals, by changes of the nodes'
// properties (values and keys) and of the ranges; cleared by clear(),
// notifyLoaded() and setModified(false). Time changes, selection and data
// items do not set it.
class DzScene : public DzBase
{
    Q_OBJECT
public:
    explicit DzScene(QObject *parent = nullptr);
    ~DzScene() override;

    // --- time -------------------------------------------------------------
    DzTime getTime() const { return m_time; }
    // Emits timeChanged(time) when the time differs from the current one.
    void setTime(DzTime time);
    DzTime getTimeStep() const { return m_timeStep; }
    // Refuses values below 1. Adjusts the playback interval.
    void setTimeStep(DzTime step);
    DzTimeRange getPlayRange() const { return m_playRange; }
    // A reversed range is put in order. Emits playRangeChanged when it changes.
    void setPlayRange(const DzTimeRange &range);
    DzTimeRange getAnimRange() const { return m_animRange; }
    void setAnimRange(const DzTimeRange &range);

    // --- playback -----------------------------------------------------------
    // Starts playback (no-op while playing). fromCurrent: continue from the
    // current time when it lies inside the play range; otherwise (or when
    // false) start at the play range start.
    void play(bool fromCurrent = true);
    void pause();
    bool isPlaying() const;
    void loopPlayback(bool onOff);
    bool isLoopingPlayback() const { return m_looping; }
    // One playback tick: the timer calls it once per frame of real time.
    // Tests step playback with it instead of waiting for the clock. No-op
    // while not playing.
    void advanceFrame();

    // --- nodes ----------------------------------------------------------------
    // Refuses null and a node already in a scene.
    bool addNode(DzNode *node);
    // Refuses null and nodes not in this scene.
    bool removeNode(DzNode *node);
    int getNumNodes() const { return m_nodes.size(); }
    DzNode *getNode(int i) const;
    // First node (insertion order) with this name, or null.
    DzNode *findNode(const QString &name) const;
    DzNodeListIterator nodeListIterator() const { return DzNodeListIterator(m_nodes); }
    const QList<DzNode *> &getNodeList() const { return m_nodes; }

    // --- selection ----------------------------------------------------------
    // Selects (onOff true) or deselects a node of this scene; others are
    // ignored. Selecting makes the node primary.
    void selectNode(DzNode *node, bool onOff = true);
    void selectAllNodes(bool onOff);
    int getNumSelectedNodes() const { return m_selected.size(); }
    DzNode *getSelectedNode(int i) const;
    DzNode *getPrimarySelection() const { return m_selected.isEmpty() ? nullptr : m_selected.last(); }
    // Selects the node (others stay selected) and makes it primary. Null
    // deselects everything.
    void setPrimarySelection(DzNode *node);

    // --- data items -----------------------------------------------------------
    // Takes ownership. A unique item deletes an earlier item of the same name
    // first. Refuses null and an item already in the scene.
    bool addDataItem(DzSceneData *item);
    // Removes and deletes; false when the item is not in the scene.
    bool removeDataItem(DzSceneData *item);
    DzSceneData *findDataItem(const QString &name) const;
    int getNumDataItems() const { return m_dataItems.size(); }
    DzSceneData *getDataItem(int i) const;

    // --- whole scene ----------------------------------------------------------
    // sceneClearStarting(); stop playback; deselect; remove every node (as
    // removeNode) and data item; no audio; time 0, default ranges, time step
    // 160; not modified; sceneCleared().
    void clear();
    // Called by the scene-file loader around a load.
    void notifyLoadStarting();
    void notifyLoaded();
    bool isLoading() const { return m_loading; }
    // Asks views to redraw (emits updateRequested).
    void update();
    // Emits saveStateScript(script) so that every listener adds its lines.
    void buildStateScript(DzScript &script);

    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    // --- audio ---------------------------------------------------------------
    DzAudioClip *getAudio() const { return m_audio; }
    // Takes ownership; deletes the previous clip. Null removes the audio.
    void setAudio(DzAudioClip *clip);
    // Frame of the scene at which the clip starts.
    int getAudioStartFrame() const { return m_audioStartFrame; }
    void setAudioStartFrame(int frame);

signals:
    void timeChanged(DzTime time);
    void timeStepChanged(DzTime step);
    void playRangeChanged(const DzTimeRange &range);
    void animRangeChanged(const DzTimeRange &range);
    void playbackStarted();
    void playbackStopped();
    void loopPlaybackChanged(bool onOff);

    void nodeAdded(DzNode *node);
    void nodeRemoved(DzNode *node);
    void nodeListChanged();
    // A node's transform controls changed (views repaint).
    void nodeTransformChanged(DzNode *node);

    void primarySelectionChanged(DzNode *node);
    void nodeSelectionListChanged();

    void sceneDataListChanged();

    void sceneClearStarting();
    void sceneCleared();
    void sceneLoadStarting();
    void sceneLoaded();
    void updateRequested();
    void saveStateScript(DzScript &script);
    void modifiedChanged(bool modified);
    void audioChanged();

private:
    friend class DzNode;
    // A node of this scene is being deleted without removeNode: forget it.
    void nodeDestroyed(DzNode *node);
    void removeNodeInternal(DzNode *node, bool emitListChanged);
    void restartTimerInterval();
    void setPrimaryAfterChange(DzNode *oldPrimary);
    void collectRemoval(DzNode *node, QList<DzNode *> &out) const;
    void connectNode(DzNode *node);
    void markModified() { setModified(true); }

    QList<DzNode *> m_nodes;
    QList<DzNode *> m_selected;
    QList<DzSceneData *> m_dataItems;
    QTimer *m_timer;
    DzAudioClip *m_audio = nullptr;
    DzTimeRange m_playRange;
    DzTimeRange m_animRange;
    DzTime m_time = 0;
    DzTime m_timeStep = 160;
    int m_audioStartFrame = 0;
    bool m_looping = true;
    bool m_loading = false;
    bool m_modified = false;
};

extern DzScene *dzScene;
