#include "kymixerpane.h"

#include "kyhelp.h"
#include "kymaster.h"
#include "kymasterblock.h"
#include "kymasterlayout.h"
#include "kyfinder.h"
#include "kymixercore.h"
#include "kymixerserial.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "engine.h"
#include "kyblock.h"
#include "nodetable.h"

#include "dzaction.h"
#include "dzactionmenu.h"
#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzlog.h"
#include "dzmainwindow.h"
#include "dzpanesettings.h"
#include "dzscene.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

namespace {

KyMixerPane *g_instance = nullptr;

} // namespace

KyMixerPane::KyMixerPane()
    : DzPane(QStringLiteral("kinTimeline"))
{
    g_instance = this;
    // The bone-name table must be filled before any block is read; it is
    // left alone when something filled it already.
    if (nodeTable().count < 2)
        registerStandardNodes();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *timelineRow = new QHBoxLayout;
    column->addLayout(timelineRow);
    m_master = new KyMaster(this);
    timelineRow->addWidget(m_master);

    m_core = new KyMixerCore(m_master->timeline(), this);
    m_core->connectHost();

    auto *browserRow = new QHBoxLayout;
    column->addLayout(browserRow);
    m_finder = new KyFinder(m_core, this);
    browserRow->addWidget(m_finder);
    m_finder->setMaster(m_master);

    // The timelines are saved with the scene: changing one changes the
    // scene, so that closing asks to save it.
    for (KyTrack *track : timeline()->allTracks())
        watchTrack(track);
    connect(timeline(), &KyTimeline::trackAdded, this, &KyMixerPane::watchTrack);

    // The scene data item saves and restores this pane's timelines; a fresh
    // one joins the scene after every load or clear.
    KyMixerSerial::setTimelineProvider([] {
        KyMixerPane *pane = KyMixerPane::instance();
        return pane ? pane->timeline() : nullptr;
    });
    connect(m_core, &KyMixerCore::sceneDataNeeded, this, &KyMixerPane::addSceneData);
    if (dzScene)
        connect(dzScene, &DzScene::sceneClearStarting, this, [] { KyMixerSerial::forgetNewerSection(); });
    addSceneData();

    setMinimumSize(200, 150);
    setAcceptDrops(true);
    setMouseTracking(true);
    kySetOnlineHelp(this, QStringLiteral("kinTimeline: compose figure animation from kinBlocks"));
    refresh();
}

KyMixerPane::~KyMixerPane()
{
    if (g_instance == this)
        g_instance = nullptr;
    delete m_finder;
    m_finder = nullptr;
    // The core follows the timeline the pane below owns.
    delete m_core;
    m_core = nullptr;
    delete m_master;
    m_master = nullptr;
}

KyMixerPane *KyMixerPane::instance()
{
    return g_instance;
}

KyTimeline *KyMixerPane::timeline() const
{
    return m_master->timeline();
}

void KyMixerPane::watchTrack(KyTrack *track)
{
    const auto changed = [this] {
        // Loading and clearing rebuild the tracks; that is no user change.
        if (dzScene && !isRefreshBlocked())
            dzScene->setModified(true);
    };
    connect(track, &KyTrack::layoutChanged, this, changed);
    connect(track, &KyTrack::blockChanged, this, changed);
}

void KyMixerPane::addSceneData()
{
    if (dzScene)
        dzScene->addDataItem(new KyMixerSerial);
}

bool KyMixerPane::isRefreshBlocked() const
{
    return m_core->isRefreshBlocked();
}

float KyMixerPane::dragVelocity() const
{
    return m_core->dragVelocity();
}

void KyMixerPane::buildOptionsMenu(DzActionMenu *menu) const
{
    if (!menu)
        return;
    for (const char *name : {"KyMasterSkimming", "KyMasterTrimTimeline", "KyMasterMaskFingers"})
        menu->insertAction(QString::fromLatin1(name));
    menu->insertSeparator();
    for (const char *name : {"KyMasterFootOffset", "KyMasterBoneOffsetClear", "KyMasterKeysToBlock",
                             "KyMasterBake", "KyMasterClearKeys"})
        menu->insertAction(QString::fromLatin1(name));
    menu->insertSeparator();
    for (const char *name : {"KyMasterHor", "KyMasterFacing", "KyMasterIntHor"})
        menu->insertAction(QString::fromLatin1(name));
}

void KyMixerPane::saveSettings(DzPaneSettings &settings)
{
    m_core->saveSettings(settings);
}

void KyMixerPane::restoreSettings(const DzPaneSettings &settings)
{
    m_core->restoreSettings(settings);
    const KyTimeline *t = timeline();
    setActionState("KyMasterSkimming", t->skimmingEnabled());
    setActionState("KyMasterTrimTimeline", t->autoTrim());
    setActionState("KyMasterMaskFingers", t->maskFingers());
    setActionState("KyMasterHor", t->defaultFlags() & KyBlock::ReorientHorizontalPosition);
    setActionState("KyMasterFacing", t->defaultFlags() & KyBlock::ReorientFacing);
    setActionState("KyMasterIntHor", t->defaultFlags() & KyBlock::ReorientInternalHorizontalPosition);
}

void KyMixerPane::setActionState(const char *className, bool on) const
{
    DzMainWindow *window = dzApp ? dzApp->getInterface() : nullptr;
    if (!window || !window->getActionMgr())
        return;
    if (DzAction *action = window->getActionMgr()->findAction(QString::fromLatin1(className)))
        action->setOn(on);
}

bool KyMixerPane::addMixerPoint(const QPoint &pos, const KyBlock &block)
{
    if (!m_points.add(pos, block)) {
        dzWarning(QStringLiteral("KyMixerPane: all %1 mixer points are in use; the drop is ignored")
                      .arg(KyMixerPoints::kMaxPoints));
        return false;
    }
    update();
    return true;
}

void KyMixerPane::mixerMove(const QPoint &pos, int elapsedMs)
{
    if (m_points.count() == 0)
        return;
    const int winner = m_points.pick(pos);
    KyBlock *block = m_points.block(winner);
    if (block && !block->isCurrent()) {
        m_points.setCurrent(winner);
        block->startOn(0, -1);
    }
    if (m_hasPreviousMove) {
        const int distance = (pos - m_previousMove).manhattanLength();
        m_core->setDragVelocity(
            KyMixerPoints::nextVelocity(m_core->dragVelocity(), distance, msBetween(m_previousMoveTime, elapsedMs)));
    }
    m_hasPreviousMove = true;
    m_previousMove = pos;
    m_previousMoveTime = elapsedMs;
}

void KyMixerPane::mixerRelease()
{
    m_core->setDragVelocity(0.0f);
}

void KyMixerPane::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText() && event->mimeData()->text() == QLatin1String("KyMasterBlock"))
        event->acceptProposedAction();
}

void KyMixerPane::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasText() || event->mimeData()->text() != QLatin1String("KyMasterBlock"))
        return;
    const auto *tile = qobject_cast<const KyMasterBlock *>(event->source());
    if (!tile || !tile->block())
        return;
    addMixerPoint(event->position().toPoint(), *tile->block());
    event->acceptProposedAction();
}

void KyMixerPane::mouseMoveEvent(QMouseEvent *event)
{
    mixerMove(event->position().toPoint(), elapsedMs());
    DzPane::mouseMoveEvent(event);
}

void KyMixerPane::mouseReleaseEvent(QMouseEvent *event)
{
    mixerRelease();
    DzPane::mouseReleaseEvent(event);
}

void KyMixerPane::paintEvent(QPaintEvent *event)
{
    DzPane::paintEvent(event);
    if (m_points.count() == 0)
        return;
    QPainter painter(this);
    for (int i = 0; i < m_points.count(); ++i)
        painter.drawText(m_points.position(i), QStringLiteral("%1").arg(i + 1));
}

void KyMixerPane::enterEvent(QEnterEvent *event)
{
    DzPane::enterEvent(event);
    KyMasterLayout *layout = m_master->currentTrack();
    if (!layout)
        return;
    if (KyMasterBlock *tile = layout->tileFor(layout->track()->currentBlock()))
        tile->setFocus(Qt::OtherFocusReason);
}

void KyMixerPane::leaveEvent(QEvent *event)
{
    DzPane::leaveEvent(event);
    if (QWidget *focused = focusWidget(); qobject_cast<KyMasterBlock *>(focused))
        focused->clearFocus();
}

void KyMixerPane::refresh()
{
    m_core->refresh();
}

void KyMixerPane::createKinBlockFromScene()
{
    m_core->createKinBlockFromScene();
}

void KyMixerPane::createKinBlockFromScene(DzTimeRange *range)
{
    m_core->createKinBlockFromScene(range);
}

void KyMixerPane::trimTimeline()
{
    m_core->trimTimeline();
}

void KyMixerPane::delayTrimTimeline()
{
    m_core->delayTrimTimeline();
}

void KyMixerPane::clearDSKeys()
{
    m_core->clearDSKeys();
}

void KyMixerPane::clearDSKeys(DzTimeRange *range)
{
    m_core->clearDSKeys(range);
}

void KyMixerPane::renderStarting()
{
    m_core->renderStarting();
}

void KyMixerPane::renderFinished(bool succeeded)
{
    m_core->renderFinished(succeeded);
}

void KyMixerPane::timerDone()
{
    m_core->timerDone();
}

void KyMixerPane::timeChanged1(DzTime time)
{
    m_core->timeChanged1(time);
}

void KyMixerPane::animUpdate()
{
    m_core->animUpdate();
}

void KyMixerPane::nodeRemoved(DzNode *node)
{
    m_core->nodeRemoved(node);
}

void KyMixerPane::refreshSelected0(DzNode *node)
{
    m_core->refreshSelected0(node);
}

void KyMixerPane::blockRefresh()
{
    m_core->blockRefresh();
}

void KyMixerPane::unblockRefresh()
{
    m_core->unblockRefresh();
}

void KyMixerPane::sceneClearStarting()
{
    m_core->sceneClearStarting();
}

void KyMixerPane::renderFinished1(DzRenderer *)
{
}
