#pragma once
// KyPadLayer: one pad of one figure - its dots (KyPadPose, owned, in
// insertion order), its view geometry (zoom and origin; the canvas widget
// draws from it), its cursor with a track of time keys, and the playback
// and recording that a drag over the pad drives.
//
// Playback and recording: a drag in Preview or Record kinBlock mode starts
// the update timer (interval 0); every tick plays the dot nearest to the
// cursor on the block engine and hands the mouse-driven speed (and, in
// Record kinBlock mode, the recording request) to the main pane's core,
// whose animation update poses and records the figure. Each recorded frame
// also records the cursor as a key on the cursor track, at the time the
// frame's host keys get, so that "Fill Skipped Frames" can replay the
// performance between them. Everything a drag changes - host keys, cursor
// keys - is one undo step "kinPading".
//
// Claims: the layer claims (transformMask) the nodes whose transform
// differs between at least two of its dots, plus the nodes its recordings
// wrote keys on during this session, and (propertyMask) the nodes with a
// property that varies between its dots. "Clear Layer Animation" removes
// the keys of exactly those.
//
// Every edit of the dots (add, move, delete, update, clear) is one undo
// step with a caption, made from snapshots of the layer's dots.

#include "dzpointcontrol0.h"
#include "kypadmath.h"

#include "dzbase.h"
#include "dztime.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class DzFloatProperty;
#include "dznode.h"
class DzUndoStackHold;
class KyBlock;
class KyPadPaneInterface;
class KyPadPose;
class QTimer;
struct KyPadLayerSnapshot;

class KyPadLayer : public DzBase
{
    Q_OBJECT
public:
    // Made by the host's factory while a scene is read: object name
    // "KyPadLayer", no name; the pane is looked up when needed.
    KyPadLayer();
    // Made by a layer group: object name "Layer".
    KyPadLayer(KyPadPaneInterface *pane, QObject *parent, const QString &name);
    ~KyPadLayer() override;

    QString name() const { return m_name; }
    void setName(const QString &name);
    // The pane given at construction, else the registered pad pane; may be null.
    KyPadPaneInterface *pane() const;
    void setPane(KyPadPaneInterface *pane);

    KyPadViewGeometry &view() { return m_view; }
    const KyPadViewGeometry &view() const { return m_view; }
    const QList<KyPadPose *> &poses() const { return m_poses; }
    std::vector<KyPadDot> dots() const;
    int indexOf(const KyPadPose *pose) const { return m_poses.indexOf(const_cast<KyPadPose *>(pose)); }
    KyPadPose *selectedPose() const { return m_selectedPose; }
    void setSelectedPose(KyPadPose *pose);
    // The dot under pad point (px, py), or null.
    KyPadPose *hitTest(float px, float py) const;

    DzNode *figure() const { return m_figure.data(); }
    void setFigure(DzNode *figure);
    const std::vector<bool> &transformMask() const { return m_transformMask; }
    const std::vector<bool> &propertyMask() const { return m_propertyMask; }
    // Both masks all false, one entry per node-list entry.
    void resetMasks();
    // resetMasks, then the claims (see above).
    void updateMasks();
    // The properties of `props` (node i's pad properties) that at least two
    // dots store with different values.
    QList<DzFloatProperty *> varyingProperties(int i, const QList<DzFloatProperty *> &props) const;

    DzPointControl0 *cursor() const { return m_cursor; }

    // Clear Layer: every dot removed (one undo step).
    void clearPoses();
    // Clear Layer Animation: the claimed nodes' keys in the range, the
    // varying properties' keys of the claimed nodes and the cursor keys in
    // the range (one undo step).
    void clearAnimation(const DzTimeRange &range);
    // Moves a dot (an undo step is the caller's: see KyPadLayerEdit).
    void movePose(KyPadPose *pose, float x, float y);
    // Plain click in Edit mode: poses the figure from the dot (one undo step).
    void applyPose(KyPadPose *pose);

    // Drag in Preview / Record kinBlock mode: press at pad point, cursor
    // moves, release. A press with fewer than two dots or no figure starts
    // nothing, and its release does nothing.
    bool dragStart(float px, float py);
    void moveCursor(float px, float py);
    void dragEnd();
    bool isDragging() const { return m_dragging; }

    void followTime(DzTime t);
    void beginEditHold();
    void endEditHold(const QString &caption);
    bool isEditHoldOpen() const { return m_editHold != nullptr; }
    void updatePlayback();
    QTimer *updateTimer() const { return m_updateTimer; }
    QTimer *undoTimer() const { return m_undoTimer; }

    // The speed state shared by all layers.
    static KyPadSpeedState &speedState();

    // Snapshots of the dots and the view (not the cursor track, whose keys
    // have undo items of their own).
    KyPadLayerSnapshot snapshot() const;
    void restore(const KyPadLayerSnapshot &snapshot);

    void save(DzOutFile *file) override;
    void loadSection(DzInFile *file, short id) override;
    void setPointer(const DzInFile *file, short section, short id, DzBase *object) override;
    void postLoad() override;

public slots:
    void timerUpdate();
    void undoTimeout();
    KyPadPose *newPose(int x, int y);
    KyPadPose *addPose(KyBlock *block, int x, int y);
    void addPose(KyPadPose *pose);
    void addPose(KyPadPose *pose, bool backwardCompatible);
    void removePose(KyPadPose *pose);
    void setPose(KyPadPose *pose);
    void zoomToFit();
    void centerView();
    void resetView();
    void zoomOutToFit();

signals:
    // Something shown changed: the view repaints.
    void changed();
    void nameChanged(const QString &name);

private:
    void init();
    int playingIndex() const;
    int chooseAndStart();
    void recordCursorFrames();
    void fillFrame(DzTime t);
    bool recordedNear(DzTime t) const;
    void extendRangesTo(DzTime end);
    void takePose(KyPadPose *pose);

    KyPadViewGeometry m_view;
    QString m_name;
    QPointer<QObject> m_paneObject;
    KyPadPaneInterface *m_pane = nullptr;
    QList<KyPadPose *> m_poses;
    std::vector<bool> m_transformMask;
    std::vector<bool> m_propertyMask;
    DzPointControl0 *m_cursor;
    KyPadPose *m_selectedPose = nullptr;
    QPointer<DzNode> m_figure;
    QTimer *m_updateTimer;
    QElapsedTimer m_dragClock;
    DzTime m_pressTime = 0;
    DzTime m_currentTime = 0;
    DzUndoStackHold *m_editHold = nullptr;
    QList<QPointer<DzNode>> m_editNodes;
    QList<QPointer<DzFloatProperty>> m_editProperties;
    QTimer *m_undoTimer;

    bool m_dragging = false;
    // Cursor position at each frame of the running recording.
    std::vector<DzPointKey0> m_cursorFrames;
    DzTimeRange m_rangesAtPress[2];
    // Nodes that recordings from this layer wrote keys on.
    QList<QPointer<DzNode>> m_recordedNodes;
};
