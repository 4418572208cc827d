#pragma once
// KyFinder: the block library browser, a row of the main pane. The folder
// tree (KyFinderExplorer0) on the left, the tile strip (KyFinderView) on the
// right. One instance exists; instance() reaches it.
//
// The first filling waits until the strip is visible (delayFirstFolder):
// the stored roots, then the stock library "kinBlocks/Trelvo/" as a root,
// and the strip shows "kinBlocks/Trelvo/dance".

#include <QWidget>

class KyFinderExplorer0;
class KyFinderView;
class KyMaster;
class KyMixerCore;
class KyTimeline;

class KyFinder : public QWidget
{
    Q_OBJECT
public:
    // core: the main pane's logic (preview velocity, the timeline); may be
    // null (no preview, no inserts).
    explicit KyFinder(KyMixerCore *core, QWidget *parent = nullptr);
    ~KyFinder() override;

    static KyFinder *instance();

    KyMixerCore *core() const { return m_core; }
    KyTimeline *timelineModel() const;
    // The timeline pane that double-clicked tiles are placed on (may be null).
    KyMaster *master() const { return m_master; }
    void setMaster(KyMaster *master) { m_master = master; }
    KyFinderExplorer0 *explorer() const { return m_explorer; }
    KyFinderView *view() const { return m_view; }
    bool isFilled() const { return m_filled; }

    // Tall enough for three rows of tiles under the filter box.
    QSize sizeHint() const override { return QSize(QWidget::sizeHint().width(), 185); }

    // The stock folders, absolute (empty when the content folder lacks them).
    static QString contentRoot();
    static QString contentStartFolder();

public slots:
    void delayFirstFolder();

private:
    KyMixerCore *m_core;
    KyMaster *m_master = nullptr;
    KyFinderExplorer0 *m_explorer;
    KyFinderView *m_view;
    bool m_filled = false;
};
