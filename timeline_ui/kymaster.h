#pragma once
// KyMaster: the timeline pane. A row of controls (figure picker, "Active",
// the offset-tool and slide toggles, the transport buttons) above a stack
// with one track page (KyMasterLayout) per figure binding.
//
// The pane's state and operations live in its KyTimeline (kytimeline.h);
// the slots here forward to it and the widgets follow its signals. Options,
// time, bindings and tracks are read through timeline().

#include <QList>
#include <QMap>
#include <QWidget>

class DzNode;
class DzNodeMenu;
class KyMasterLayout;
class KyTimeline;
class KyTrack;
class QCheckBox;
class QStackedWidget;
class QSpinBox;
class QToolButton;

class KyMaster : public QWidget
{
    Q_OBJECT
public:
    explicit KyMaster(QWidget *parent = nullptr);
    ~KyMaster() override;

    KyTimeline *timeline() const { return m_timeline; }

    // The page of the current track, and the page of any track.
    KyMasterLayout *currentTrack() const;
    KyMasterLayout *layoutFor(const KyTrack *track) const;
    QStackedWidget *trackStack() const { return m_stack; }
    DzNodeMenu *figurePicker() const { return m_picker; }
    QCheckBox *activeBox() const { return m_activeBox; }
    QToolButton *rotateButton() const { return m_rotateButton; }
    QToolButton *slideButton() const { return m_slideButton; }
    QToolButton *loopButton() const { return m_loopButton; }
    QToolButton *playButton() const { return m_playButton; }
    QToolButton *backButton() const { return m_backButton; }
    QToolButton *forwardButton() const { return m_forwardButton; }
    QToolButton *splitButton() const { return m_splitButton; }
    QToolButton *joinButton() const { return m_joinButton; }
    QToolButton *cropButton() const { return m_cropButton; }
    // The slide mode the tiles read (the "slide" button's on state).
    bool slideMode() const;
    // Zoom of every track: pixels per second of timeline time (40 unless
    // changed; 10 … 400), kept in the application settings ("Trelvo",
    // "timelineZoom"). The "zoom" spin box shows it.
    int pixelsPerSecond() const { return m_pixelsPerSecond; }
    void setPixelsPerSecond(int pixelsPerSecond);
    QSpinBox *zoomBox() const { return m_zoomBox; }

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
    void handleSplit();
    void handleJoin();
    void handleCrop();
    void activateNode(DzNode *node);
    void selectNode(DzNode *node);
    void refresh();
    void nodeRemoved(DzNode *node);
    void rotOffsetToolClicked();
    void slideClicked();
    // "Add kinBlock…" on the current track.
    void addBlock();

private:
    void addPage(KyTrack *track);
    void removePage(KyTrack *track);
    void raisePage(KyTrack *track);

    KyTimeline *m_timeline;
    DzNodeMenu *m_picker = nullptr;
    QCheckBox *m_activeBox = nullptr;
    QToolButton *m_rotateButton = nullptr;
    QToolButton *m_slideButton = nullptr;
    QToolButton *m_loopButton = nullptr;
    QToolButton *m_backButton = nullptr;
    QToolButton *m_playButton = nullptr;
    QToolButton *m_forwardButton = nullptr;
    QToolButton *m_splitButton = nullptr;
    QToolButton *m_joinButton = nullptr;
    QToolButton *m_cropButton = nullptr;
    QSpinBox *m_zoomBox = nullptr;
    int m_pixelsPerSecond = 40;
    QStackedWidget *m_stack = nullptr;
    QMap<const KyTrack *, KyMasterLayout *> m_pages;
};
