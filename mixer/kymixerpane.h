#pragma once
// KyMixerPane ("kinTimeline"): the plug-in's main pane. It hosts the
// timeline pane (KyMaster) and, below it, the block library browser
// (KyFinder), owns the main pane's logic (KyMixerCore: the
// 33 ms evaluation timer, the refresh block, recording, the animation
// update), persists the options, offers the options menu, and carries the
// mouse-driven block mixer on its own surface (points of blocks dropped
// from a track).
//
// Exactly one instance is expected; it registers itself as instance() so
// that actions and other panes reach it.

#include "kymixerpoints.h"

#include "dzpane.h"
#include "dztime.h"


class DzNode;
class DzRenderer;
class KyBlock;
class KyFinder;
class KyMaster;
class KyMixerCore;
class KyTimeline;
class KyTrack;

class KyMixerPane : public DzPane
{
    Q_OBJECT
public:
    KyMixerPane();
    ~KyMixerPane() override;

    // The pane, or null when there is none.
    static KyMixerPane *instance();

    KyMaster *master() const { return m_master; }
    KyFinder *finder() const { return m_finder; }
    KyTimeline *timeline() const;
    KyMixerCore *core() const { return m_core; }
    const KyMixerPoints &mixerPoints() const { return m_points; }
    bool isRefreshBlocked() const;
    float dragVelocity() const;

    void buildOptionsMenu(DzActionMenu *menu) const override;
    bool useOptionsAsContextMenu() const override { return true; }
    void saveSettings(DzPaneSettings &settings) override;

    // Mixer surface: a point with a copy of block at pos (false when all
    // 100 are in use); a mouse move to pos at elapsed ms; the release.
    bool addMixerPoint(const QPoint &pos, const KyBlock &block);
    void mixerMove(const QPoint &pos, int elapsedMs);
    void mixerRelease();

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
    void restoreSettings(const DzPaneSettings &settings) override;
    void timerDone();
    void timeChanged1(DzTime time);
    void animUpdate();

private slots:
    void nodeRemoved(DzNode *node);
    void refreshSelected0(DzNode *node);
    void blockRefresh();
    void unblockRefresh();
    void sceneClearStarting();
    void renderFinished1(DzRenderer *renderer);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setActionState(const char *className, bool on) const;
    // Adds a fresh KyMixerSerial to the scene (it replaces the older one).
    void addSceneData();
    void watchTrack(KyTrack *track);

    KyMaster *m_master;
    KyFinder *m_finder = nullptr;
    KyMixerCore *m_core;
    KyMixerPoints m_points;
    bool m_hasPreviousMove = false;
    QPoint m_previousMove;
    int m_previousMoveTime = 0;
};
