#include "timebar.h"

#include "dzfloatproperty.h"
#include "dznode.h"
#include "dzscene.h"
#include "framemath.h"
#include "propertyeditor.h"
#include "timescrubber.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

// Frames beyond this would overflow the tick count at 30 fps.
constexpr int kMaxFrame = 1000000;

QToolButton *transportButton(QWidget *parent, QStyle::StandardPixmap icon, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setIconSize(QSize(18, 18));
    return b;
}

QSpinBox *frameSpin(QWidget *parent, const QString &tip)
{
    auto *s = new QSpinBox(parent);
    s->setRange(-kMaxFrame, kMaxFrame);
    s->setKeyboardTracking(false);
    s->setToolTip(tip);
    s->setMinimumWidth(64);
    s->setAlignment(Qt::AlignRight);
    return s;
}

} // namespace

TimeBar::TimeBar(DzScene *scene, QWidget *parent)
    : QWidget(parent)
    , m_scene(scene)
    , m_scrubber(new TimeScrubber(this))
    , m_start(transportButton(
          this, QStyle::SP_MediaSkipBackward, QStringLiteral("Go to the start of the play range (Home)")))
    , m_prev(transportButton(this, QStyle::SP_MediaSeekBackward, QStringLiteral("Previous frame")))
    , m_play(transportButton(this, QStyle::SP_MediaPlay, QStringLiteral("Play / pause (Space)")))
    , m_next(transportButton(this, QStyle::SP_MediaSeekForward, QStringLiteral("Next frame")))
    , m_end(transportButton(
          this, QStyle::SP_MediaSkipForward, QStringLiteral("Go to the end of the play range (End)")))
    , m_loop(new QToolButton(this))
    , m_frame(frameSpin(this, QStringLiteral("Current frame")))
    , m_animFirst(frameSpin(this, QStringLiteral("First frame of the animation")))
    , m_animLast(frameSpin(this, QStringLiteral("Last frame of the animation")))
    , m_playFirst(frameSpin(this, QStringLiteral("First frame played")))
    , m_playLast(frameSpin(this, QStringLiteral("Last frame played")))
    , m_rate(new QLabel(this))
    , m_keyRefresh(new QTimer(this))
{
    setObjectName(QStringLiteral("TimeBar"));
    m_loop->setText(QStringLiteral("Loop"));
    m_loop->setCheckable(true);
    m_loop->setToolTip(QStringLiteral("Loop playback over the play range"));
    m_loop->setAutoRaise(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 4);
    outer->setSpacing(2);

    auto *top = new QHBoxLayout;
    top->setSpacing(2);
    for (QToolButton *b : { m_start, m_prev, m_play, m_next, m_end })
        top->addWidget(b);
    top->addWidget(m_loop);
    top->addSpacing(8);
    top->addWidget(new QLabel(QStringLiteral("Frame"), this));
    top->addWidget(m_frame);
    top->addSpacing(6);
    top->addWidget(m_scrubber, 1);
    outer->addLayout(top);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(new QLabel(QStringLiteral("Animation"), this));
    bottom->addWidget(m_animFirst);
    bottom->addWidget(new QLabel(QStringLiteral("to"), this));
    bottom->addWidget(m_animLast);
    bottom->addSpacing(16);
    bottom->addWidget(new QLabel(QStringLiteral("Play range"), this));
    bottom->addWidget(m_playFirst);
    bottom->addWidget(new QLabel(QStringLiteral("to"), this));
    bottom->addWidget(m_playLast);
    bottom->addStretch(1);
    bottom->addWidget(m_rate);
    outer->addLayout(bottom);

    m_keyRefresh->setSingleShot(true);
    m_keyRefresh->setInterval(0);
    connect(m_keyRefresh, &QTimer::timeout, this, &TimeBar::refreshKeys);

    connect(m_start, &QToolButton::clicked, this, &TimeBar::goToStart);
    connect(m_prev, &QToolButton::clicked, this, &TimeBar::stepBackward);
    connect(m_play, &QToolButton::clicked, this, &TimeBar::togglePlayback);
    connect(m_next, &QToolButton::clicked, this, &TimeBar::stepForward);
    connect(m_end, &QToolButton::clicked, this, &TimeBar::goToEnd);
    connect(m_loop, &QToolButton::toggled, this, &TimeBar::setLooping);
    m_prev->setAutoRepeat(true);
    m_next->setAutoRepeat(true);

    connect(m_frame, &QSpinBox::valueChanged, this, [this](int f) {
        if (!m_updating)
            goToFrame(f);
    });
    connect(m_animFirst, &QSpinBox::valueChanged, this, [this](int f) {
        if (!m_updating)
            setAnimRangeFrames(f, std::max(f, m_animLast->value()));
    });
    connect(m_animLast, &QSpinBox::valueChanged, this, [this](int f) {
        if (!m_updating)
            setAnimRangeFrames(std::min(f, m_animFirst->value()), f);
    });
    connect(m_playFirst, &QSpinBox::valueChanged, this, [this](int f) {
        if (!m_updating)
            setPlayRangeFrames(f, std::max(f, m_playLast->value()));
    });
    connect(m_playLast, &QSpinBox::valueChanged, this, [this](int f) {
        if (!m_updating)
            setPlayRangeFrames(std::min(f, m_playFirst->value()), f);
    });

    connect(m_scrubber, &TimeScrubber::scrubStarted, this, [this] {
        // Scrubbing while playing would fight the playback timer.
        m_resumeAfterScrub = m_scene && m_scene->isPlaying();
        if (m_resumeAfterScrub)
            m_scene->pause();
    });
    connect(m_scrubber, &TimeScrubber::frameRequested, this, &TimeBar::goToFrame);
    connect(m_scrubber, &TimeScrubber::scrubFinished, this, [this] {
        if (m_resumeAfterScrub && m_scene)
            m_scene->play(true);
        m_resumeAfterScrub = false;
    });

    if (m_scene) {
        connect(m_scene, &DzScene::timeChanged, this, &TimeBar::refreshTime);
        connect(m_scene, &DzScene::timeStepChanged, this, &TimeBar::refreshAll);
        connect(m_scene, &DzScene::playRangeChanged, this, &TimeBar::refreshRanges);
        connect(m_scene, &DzScene::animRangeChanged, this, &TimeBar::refreshRanges);
        connect(m_scene, &DzScene::playbackStarted, this, &TimeBar::refreshTransport);
        connect(m_scene, &DzScene::playbackStopped, this, &TimeBar::refreshTransport);
        connect(m_scene, &DzScene::loopPlaybackChanged, this, &TimeBar::refreshTransport);
        connect(m_scene, &DzScene::primarySelectionChanged, this, &TimeBar::watchSelection);
        connect(m_scene, &DzScene::sceneCleared, this, &TimeBar::refreshAll);
        connect(m_scene, &DzScene::sceneLoaded, this, &TimeBar::refreshAll);
        watchSelection(m_scene->getPrimarySelection());
    }
    refreshAll();
}

int TimeBar::step() const
{
    return m_scene ? std::max<DzTime>(1, m_scene->getTimeStep()) : 160;
}

int TimeBar::currentFrame() const
{
    return m_scene ? FrameMath::frameForTime(m_scene->getTime(), step()) : 0;
}

void TimeBar::goToFrame(int frame)
{
    if (!m_scene)
        return;
    const DzTimeRange anim = m_scene->getAnimRange();
    const int first = FrameMath::frameForTime(anim.getStart(), step());
    const int last = FrameMath::frameForTime(anim.getEnd(), step());
    frame = std::clamp(frame, first, std::max(first, last));
    m_scene->setTime(FrameMath::timeForFrame(frame, step()));
    // The time may not have changed (same frame) while the spin box shows
    // something else; put it back in step.
    refreshTime();
}

void TimeBar::goToStart()
{
    if (m_scene)
        goToFrame(FrameMath::frameForTime(m_scene->getPlayRange().getStart(), step()));
}

void TimeBar::goToEnd()
{
    if (m_scene)
        goToFrame(FrameMath::frameForTime(m_scene->getPlayRange().getEnd(), step()));
}

void TimeBar::stepForward()
{
    if (!m_scene)
        return;
    m_scene->pause();
    goToFrame(currentFrame() + 1);
}

void TimeBar::stepBackward()
{
    if (!m_scene)
        return;
    m_scene->pause();
    goToFrame(currentFrame() - 1);
}

void TimeBar::togglePlayback()
{
    if (!m_scene)
        return;
    if (m_scene->isPlaying())
        m_scene->pause();
    else
        m_scene->play(true);
}

void TimeBar::setLooping(bool on)
{
    if (m_scene && !m_updating)
        m_scene->loopPlayback(on);
}

void TimeBar::setAnimRangeFrames(int first, int last)
{
    if (!m_scene)
        return;
    first = std::clamp(first, -kMaxFrame, kMaxFrame);
    last = std::clamp(std::max(first, last), -kMaxFrame, kMaxFrame);
    const int s = step();
    m_scene->setAnimRange(DzTimeRange(FrameMath::timeForFrame(first, s), FrameMath::timeForFrame(last, s)));
    const DzTimeRange play = m_scene->getPlayRange();
    const int pf = std::clamp(FrameMath::frameForTime(play.getStart(), s), first, last);
    const int pl = std::clamp(FrameMath::frameForTime(play.getEnd(), s), first, last);
    m_scene->setPlayRange(DzTimeRange(FrameMath::timeForFrame(pf, s), FrameMath::timeForFrame(pl, s)));
    if (currentFrame() < first || currentFrame() > last)
        goToFrame(currentFrame());
    refreshRanges();
}

void TimeBar::setPlayRangeFrames(int first, int last)
{
    if (!m_scene)
        return;
    const int s = step();
    const DzTimeRange anim = m_scene->getAnimRange();
    const int af = FrameMath::frameForTime(anim.getStart(), s);
    const int al = std::max(af, FrameMath::frameForTime(anim.getEnd(), s));
    first = std::clamp(first, af, al);
    last = std::clamp(std::max(first, last), af, al);
    m_scene->setPlayRange(DzTimeRange(FrameMath::timeForFrame(first, s), FrameMath::timeForFrame(last, s)));
    refreshRanges();
}

void TimeBar::refreshAll()
{
    refreshRanges();
    refreshTime();
    refreshTransport();
    m_keyRefresh->start();
}

void TimeBar::refreshTime()
{
    const bool was = m_updating;
    m_updating = true;
    const int f = currentFrame();
    m_frame->setValue(f);
    m_scrubber->setCurrentFrame(f);
    m_updating = was;
}

void TimeBar::refreshRanges()
{
    if (!m_scene)
        return;
    const bool was = m_updating;
    m_updating = true;
    const int s = step();
    const DzTimeRange anim = m_scene->getAnimRange();
    const DzTimeRange play = m_scene->getPlayRange();
    const int af = FrameMath::frameForTime(anim.getStart(), s);
    const int al = FrameMath::frameForTime(anim.getEnd(), s);
    m_animFirst->setValue(af);
    m_animLast->setValue(al);
    m_playFirst->setRange(af, std::max(af, al));
    m_playLast->setRange(af, std::max(af, al));
    m_playFirst->setValue(FrameMath::frameForTime(play.getStart(), s));
    m_playLast->setValue(FrameMath::frameForTime(play.getEnd(), s));
    m_frame->setRange(af, std::max(af, al));
    m_scrubber->setAnimRange(af, al);
    m_scrubber->setPlayRange(
        FrameMath::frameForTime(play.getStart(), s), FrameMath::frameForTime(play.getEnd(), s));
    const double fps = double(DZ_TICKS_PER_SECOND) / s;
    m_rate->setText(QStringLiteral("%1 fps").arg(fps, 0, 'g', 4));
    m_updating = was;
    refreshTime();
}

void TimeBar::refreshTransport()
{
    const bool playing = m_scene && m_scene->isPlaying();
    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    const bool was = m_updating;
    m_updating = true;
    m_loop->setChecked(m_scene && m_scene->isLoopingPlayback());
    m_updating = was;
}

void TimeBar::watchSelection(DzNode *node)
{
    for (const QMetaObject::Connection &c : std::as_const(m_keyConnections))
        disconnect(c);
    m_keyConnections.clear();
    m_watched = node;
    if (node) {
        for (DzFloatProperty *p : PropertyEditor::propertiesOf(node))
            m_keyConnections << connect(
                p, &DzProperty::keysChanged, m_keyRefresh, qOverload<>(&QTimer::start));
        m_keyConnections << connect(
            node, &DzElement::propertyListChanged, this, [this] { watchSelection(m_watched); });
    }
    m_keyRefresh->start();
}

void TimeBar::refreshKeys()
{
    QList<int> frames;
    if (DzNode *node = m_watched.data()) {
        const int s = step();
        for (DzFloatProperty *p : PropertyEditor::propertiesOf(node))
            for (const DzFloatProperty::Key &k : p->getKeys())
                frames.append(FrameMath::frameForTime(k.time, s));
        std::sort(frames.begin(), frames.end());
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    }
    m_scrubber->setKeyFrames(frames);
}
