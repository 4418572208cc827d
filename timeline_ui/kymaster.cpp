#include "kymaster.h"

#include "kyblockediting.h"
#include "kyblock.h"
#include "kyhelp.h"
#include "kyiconstrip.h"
#include "kymasterlayout.h"
#include "kytimeline.h"
#include "kyprompt.h"
#include "kytrack.h"
#include "kytrackedit.h"
#include "kytrackgeometry.h"
#include "kywidgetprompts.h"

#include "dzappsettings.h"
#include "dznodemenu.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *iconButton(QWidget *parent, KyIcon icon, bool toggle, const QString &help)
{
    auto *button = new QToolButton(parent);
    button->setIcon(kyIcon(icon));
    button->setIconSize(kyIcon(icon).availableSizes().value(0, QSize(30, 28)));
    button->setCheckable(toggle);
    button->setAutoRaise(true);
    kySetOnlineHelp(button, help);
    return button;
}

} // namespace

KyMaster::KyMaster(QWidget *parent)
    : QWidget(parent)
    , m_timeline(new KyTimeline(this))
{
    setObjectName(QStringLiteral("KyMaster"));
    kyInstallWidgetPrompts();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    column->addLayout(row);
    m_stack = new QStackedWidget(this);
    m_stack->setMinimumHeight(90);
    column->addWidget(m_stack);

    m_picker = new DzNodeMenu(this, QString(), true);
    m_picker->setMinimumWidth(150);
    kySetOnlineHelp(m_picker, QStringLiteral("Skeleton for Current kinTimeline"));
    row->addWidget(m_picker);
    row->addSpacing(10);
    m_activeBox = new QCheckBox(QStringLiteral("Active"), this);
    m_activeBox->setChecked(true);
    kySetOnlineHelp(m_activeBox, QStringLiteral("disable/enable Trelvo"));
    row->addWidget(m_activeBox);
    row->addSpacing(10);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    row->addWidget(line);
    row->addSpacing(6);

    m_rotateButton = new QToolButton(this);
    m_rotateButton->setObjectName(QStringLiteral("rotate"));
    m_rotateButton->setText(QStringLiteral("Offset Rotations"));
    m_rotateButton->setCheckable(true);
    // At least the classic 88 pixels, wider when the font needs it.
    m_rotateButton->setFixedWidth(std::max(88, m_rotateButton->sizeHint().width()));
    kySetOnlineHelp(m_rotateButton, QStringLiteral("Character Rotational Offset Tool"));
    row->addWidget(m_rotateButton);
    m_slideButton = new QToolButton(this);
    m_slideButton->setObjectName(QStringLiteral("slide"));
    m_slideButton->setText(QStringLiteral("Move Blocks"));
    m_slideButton->setCheckable(true);
    m_slideButton->setText(QStringLiteral("Slide Blocks"));
    m_slideButton->setFixedWidth(std::max(80, m_slideButton->sizeHint().width()));
    m_slideButton->setText(QStringLiteral("Move Blocks"));
    kySetOnlineHelp(m_slideButton, QStringLiteral("Move or Slide Blocks"));
    row->addWidget(m_slideButton);
    row->addSpacing(6);
    m_zoomBox = new QSpinBox(this);
    m_zoomBox->setObjectName(QStringLiteral("zoom"));
    m_zoomBox->setRange(KyTrackGeometry::kMinPixelsPerSecond, KyTrackGeometry::kMaxPixelsPerSecond);
    m_zoomBox->setSingleStep(10);
    m_zoomBox->setSuffix(QStringLiteral(" px/s"));
    m_pixelsPerSecond = KyTrackGeometry(DzAppSettings(QStringLiteral("Trelvo"))
                                            .getIntValue(QStringLiteral("timelineZoom"),
                                                         KyTrackGeometry::kDefaultPixelsPerSecond))
                            .pixelsPerSecond();
    m_zoomBox->setValue(m_pixelsPerSecond);
    kySetOnlineHelp(m_zoomBox, QStringLiteral("Timeline zoom (Ctrl+wheel over the track)"));
    row->addWidget(m_zoomBox);
    row->addStretch();

    m_loopButton = iconButton(this, KyIcon::Loop, true, QStringLiteral("Loop Playback"));
    m_loopButton->setChecked(true);
    m_backButton = iconButton(this, KyIcon::GotoStart, false, QStringLiteral("Goto Start"));
    m_playButton = iconButton(this, KyIcon::PlayStop, true, QStringLiteral("Play/Stop"));
    m_forwardButton = iconButton(this, KyIcon::GotoEnd, false, QStringLiteral("Goto End"));
    for (QToolButton *button : {m_loopButton, m_backButton, m_playButton, m_forwardButton})
        row->addWidget(button);
    const auto addSeparator = [this, row] {
        auto *separator = new QFrame(this);
        separator->setFrameShape(QFrame::VLine);
        separator->setFrameShadow(QFrame::Sunken);
        row->addWidget(separator);
    };
    addSeparator();
    m_splitButton = iconButton(this, KyIcon::Split, false, QStringLiteral("Split kinBlock"));
    m_joinButton = iconButton(this, KyIcon::Join, false, QStringLiteral("Joing Two kinBlocks"));
    m_cropButton = iconButton(this, KyIcon::Crop, false, QStringLiteral("Crop kinBlock"));
    for (QToolButton *button : {m_splitButton, m_joinButton, m_cropButton})
        row->addWidget(button);
    addSeparator();

    connect(m_picker, &DzNodeMenu::selectionChanged, this, &KyMaster::selectNode);
    connect(m_picker, &DzNodeMenu::aboutToShowMenu, this, &KyMaster::refresh);
    connect(m_zoomBox, &QSpinBox::valueChanged, this, &KyMaster::setPixelsPerSecond);
    connect(m_activeBox, &QCheckBox::toggled, this, &KyMaster::goActive);
    connect(m_rotateButton, &QToolButton::clicked, this, &KyMaster::rotOffsetToolClicked);
    connect(m_slideButton, &QToolButton::clicked, this, &KyMaster::slideClicked);
    connect(m_loopButton, &QToolButton::clicked, this, &KyMaster::goLoop);
    connect(m_backButton, &QToolButton::clicked, this, &KyMaster::goBack);
    connect(m_playButton, &QToolButton::clicked, this, &KyMaster::goPlay);
    connect(m_forwardButton, &QToolButton::clicked, this, &KyMaster::goForward);
    connect(m_splitButton, &QToolButton::clicked, this, &KyMaster::handleSplit);
    connect(m_joinButton, &QToolButton::clicked, this, &KyMaster::handleJoin);
    connect(m_cropButton, &QToolButton::clicked, this, &KyMaster::handleCrop);

    connect(m_timeline, &KyTimeline::trackAdded, this, &KyMaster::addPage);
    connect(m_timeline, &KyTimeline::trackRemoved, this, &KyMaster::removePage);
    connect(m_timeline, &KyTimeline::currentTrackChanged, this, &KyMaster::raisePage);
    connect(m_timeline, &KyTimeline::pickerNodeChanged, m_picker, &DzNodeMenu::selectNode);
    connect(m_timeline, &KyTimeline::pickerListChanged, m_picker, &DzNodeMenu::setNodeList);
    connect(m_timeline, &KyTimeline::offsetToolChanged, m_rotateButton, &QToolButton::setChecked);
    connect(m_timeline, &KyTimeline::playStopped, this, [this] { m_playButton->setChecked(false); });

    // The timeline made its null binding's track before the pages existed.
    for (KyTrack *track : m_timeline->allTracks())
        addPage(track);
    activateNode(nullptr);
    raisePage(m_timeline->currentTrack());
}

KyMaster::~KyMaster()
{
    // Pages refer to tracks the timeline owns: they go first.
    disconnect(m_timeline, nullptr, this, nullptr);
    qDeleteAll(m_pages);
    m_pages.clear();
}

KyMasterLayout *KyMaster::currentTrack() const
{
    return layoutFor(m_timeline->currentTrack());
}

KyMasterLayout *KyMaster::layoutFor(const KyTrack *track) const
{
    return m_pages.value(track, nullptr);
}

bool KyMaster::slideMode() const
{
    return m_slideButton->isChecked();
}

void KyMaster::setPixelsPerSecond(int pixelsPerSecond)
{
    const int pps = KyTrackGeometry(pixelsPerSecond).pixelsPerSecond();
    if (pps == m_pixelsPerSecond)
        return;
    m_pixelsPerSecond = pps;
    m_zoomBox->setValue(pps);
    DzAppSettings(QStringLiteral("Trelvo")).setIntValue(QStringLiteral("timelineZoom"), pps);
    for (KyMasterLayout *page : std::as_const(m_pages))
        page->relayoutView();
}

void KyMaster::addBlock()
{
    if (KyMasterLayout *page = currentTrack())
        page->addBlocksFromDialog();
}

void KyMaster::addPage(KyTrack *track)
{
    if (!track || m_pages.contains(track))
        return;
    auto *page = new KyMasterLayout(track, this, m_stack);
    m_pages.insert(track, page);
    m_stack->addWidget(page);
}

void KyMaster::removePage(KyTrack *track)
{
    KyMasterLayout *page = m_pages.take(track);
    if (!page)
        return;
    m_stack->removeWidget(page);
    delete page;
}

void KyMaster::raisePage(KyTrack *track)
{
    if (KyMasterLayout *page = layoutFor(track))
        m_stack->setCurrentWidget(page);
}

void KyMaster::goActive(bool on)
{
    m_timeline->goActive(on);
}

void KyMaster::goLoop()
{
    m_timeline->goLoop();
    m_loopButton->setChecked(m_timeline->isLooping());
}

void KyMaster::goBack()
{
    m_timeline->goBack();
}

void KyMaster::goPlay()
{
    m_timeline->goPlay();
    m_playButton->setChecked(m_timeline->isPlaying());
}

void KyMaster::goStop()
{
    m_timeline->goStop();
}

void KyMaster::goForward()
{
    m_timeline->goForward();
}

void KyMaster::goSeek(int ms)
{
    m_timeline->goSeek(ms);
}

void KyMaster::goSeek(int ms, bool updatePlayhead)
{
    m_timeline->goSeek(ms, updatePlayhead);
}

void KyMaster::goSeek(int ms, bool updatePlayhead, bool doUpdateScene)
{
    m_timeline->goSeek(ms, updatePlayhead, doUpdateScene);
}

void KyMaster::goSkim(int ms)
{
    m_timeline->goSkim(ms);
}

void KyMaster::reSkim()
{
    m_timeline->reSkim();
}

void KyMaster::handleSplit()
{
    KyTrack *track = m_timeline->currentTrack();
    if (!track)
        return;
    KyTrackEdit edit(track);
    if (!splitBlock(*track, KyTrackGeometry(m_pixelsPerSecond)))
        return;
    edit.commit(QStringLiteral("Split kinBlock"));
    kyStatus(QStringLiteral("Split the kinBlock at the playhead"));
}

void KyMaster::handleJoin()
{
    KyTrack *track = m_timeline->currentTrack();
    if (!track)
        return;
    KyTrackEdit edit(track);
    if (!joinBlocks(*track, m_timeline->blockFolder()))
        return;
    edit.commit(QStringLiteral("Join kinBlocks"));
    const KyBlock *joined = track->currentBlock();
    kyStatus(joined && !joined->path.isEmpty()
                 ? QStringLiteral("Joined into %1 (the file stays when the join is undone)").arg(joined->path)
                 : QStringLiteral("Joined the two pieces"));
}

void KyMaster::handleCrop()
{
    KyTrack *track = m_timeline->currentTrack();
    if (!track)
        return;
    KyTrackEdit edit(track);
    if (!cropBlock(*track, m_timeline->blockFolder()))
        return;
    edit.commit(QStringLiteral("Crop kinBlock"));
    if (const KyBlock *cropped = track->currentBlock())
        kyStatus(QStringLiteral("Cropped into %1 (the file stays when the crop is undone)").arg(cropped->path));
}

void KyMaster::activateNode(DzNode *node)
{
    m_timeline->activateNode(node);
}

void KyMaster::selectNode(DzNode *node)
{
    m_timeline->selectNode(node);
}

void KyMaster::refresh()
{
    m_timeline->refresh();
}

void KyMaster::nodeRemoved(DzNode *node)
{
    m_timeline->nodeRemoved(node);
}

void KyMaster::rotOffsetToolClicked()
{
    const bool wanted = m_rotateButton->isChecked();
    m_timeline->setOffsetTool(wanted);
    m_rotateButton->setChecked(m_timeline->offsetToolOn());
}

void KyMaster::slideClicked()
{
    m_slideButton->setText(m_slideButton->isChecked() ? QStringLiteral("Slide Blocks")
                                                       : QStringLiteral("Move Blocks"));
}
