#pragma once

#include "dznode.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class DzNode;
class DzScene;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QTimer;
class QToolButton;
class TimeScrubber;

// The time bar under the viewport: transport (start, previous frame,
// play/pause, next frame, end, loop), the current frame, a scrubber over the
// animation range with the play range and the selection's keys, and the
// animation and play ranges in frames. Everything it shows comes from the
// scene and every change goes to the scene; playback itself is the scene's
// (DzScene::play advances one frame per frame of real time).
//
// Ranges: the play range is kept inside the animation range; shrinking the
// animation range shrinks the play range with it.
class TimeBar : public QWidget {
    Q_OBJECT
public:
    explicit TimeBar(DzScene *scene, QWidget *parent = nullptr);

    TimeScrubber *scrubber() const { return m_scrubber; }
    int currentFrame() const;

public slots:
    void goToFrame(int frame);
    void goToStart();
    void goToEnd();
    void stepForward();
    void stepBackward();
    void togglePlayback();
    void setLooping(bool on);
    // In frames; the end is at least the start.
    void setAnimRangeFrames(int first, int last);
    void setPlayRangeFrames(int first, int last);

private:
    void refreshAll();
    void refreshTime();
    void refreshRanges();
    void refreshTransport();
    void watchSelection(DzNode *node);
    void refreshKeys();
    int step() const;

    DzScene *m_scene;
    TimeScrubber *m_scrubber;
    QToolButton *m_start;
    QToolButton *m_prev;
    QToolButton *m_play;
    QToolButton *m_next;
    QToolButton *m_end;
    QToolButton *m_loop;
    QSpinBox *m_frame;
    QSpinBox *m_animFirst;
    QSpinBox *m_animLast;
    QSpinBox *m_playFirst;
    QSpinBox *m_playLast;
    QLabel *m_rate;
    QTimer *m_keyRefresh;
    QPointer<DzNode> m_watched;
    QList<QMetaObject::Connection> m_keyConnections;
    bool m_updating = false;
    bool m_resumeAfterScrub = false;
};
