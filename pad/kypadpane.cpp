#include "kypadpane.h"

#include "kypadelementdata.h"
#include "kypadhooks.h"
#include "kypadlayer.h"
#include "kypadlayergroup.h"
#include "kypadlayerview.h"
#include "kypadpose.h"

#include "kymixerpane.h"

#include "dzaction.h"
#include "dzactionmenu.h"
#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzhelpmgr.h"
#include "dzmainwindow.h"
#include "dznodemenu.h"
#include "dzpanemgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dzbone.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

KyPadPane::NamePrompt &namePrompt()
{
    static KyPadPane::NamePrompt prompt;
    return prompt;
}

// Help shown as tool tip and what's-this of the pane's parts.
void addHelpTexts()
{
    DzHelpMgr *help = dzApp ? dzApp->getHelpMgr() : nullptr;
    if (!help || !help->getHelpText(QStringLiteral("kinPadNodeMenu")).isEmpty())
        return;
    help->setHelpText(QStringLiteral("kinPadNodeMenu"), QStringLiteral("The figure whose pad layers are shown."));
    help->setHelpText(QStringLiteral("kinPadModeGroupBox"),
                      QStringLiteral("Edit: arrange the dots and pose the figure from them. Preview: drag "
                                     "between the dots to play their kinBlocks. Record kinBlock: the same, "
                                     "recorded as keys and as a new kinBlock."));
    help->setHelpText(QStringLiteral("kinPadEditModeButton"),
                      QStringLiteral("Click a dot to pose the figure from it, Shift+click to store the "
                                     "figure's pose in it, drag to move it."));
    help->setHelpText(QStringLiteral("kinPadPreviewModeButton"),
                      QStringLiteral("Drag over the pad: the nearest dot's kinBlock plays on the figure."));
    help->setHelpText(QStringLiteral("kinPadRecordModeButton"),
                      QStringLiteral("Drag over the pad to record the performance as keys and a new kinBlock."));
    help->setHelpText(QStringLiteral("kinPadLayerGroupWidgetStack"),
                      QStringLiteral("The selected figure's pad layers."));
    help->setHelpText(QStringLiteral("KyPadLayerLayerView"),
                      QStringLiteral("Drop kinBlocks here to make dots. Ctrl+drag zooms, Alt+drag or the "
                                     "middle button pans, the wheel zooms."));
}

void registerHelp(QWidget *widget)
{
    if (dzApp && dzApp->getHelpMgr())
        dzApp->getHelpMgr()->setOnlineHelp(widget);
}

} // namespace

KyPadPane::KyPadPane()
    : DzPane(QStringLiteral("kinPad"))
{
    setObjectName(QStringLiteral("kinPad"));
    addHelpTexts();
    // The pad plays through the main pane's animation update.
    kyPadSetMixerCoreProvider([] {
        KyMixerPane *mixer = KyMixerPane::instance();
        return mixer ? mixer->core() : nullptr;
    });
    // The pad's data and layers reach the pane through the host's pane
    // manager, whichever instance it holds.
    kyPadSetPaneLookup([]() -> KyPadPaneInterface * {
        if (!dzApp || !dzApp->getInterface() || !dzApp->getInterface()->getPaneMgr())
            return nullptr;
        return dynamic_cast<KyPadPaneInterface *>(
            dzApp->getInterface()->getPaneMgr()->findPane(QStringLiteral("KyPadPane")));
    });

    m_mainBox = new QWidget(this);
    auto *box = new QVBoxLayout(m_mainBox);
    box->setContentsMargins(0, 0, 0, 0);

    m_nodeMenu = new DzNodeMenu(m_mainBox, QStringLiteral("kinPadNodeMenu"), true);
    box->addWidget(m_nodeMenu);

    auto *modeBox = new QGroupBox(QStringLiteral("Mode"), m_mainBox);
    modeBox->setObjectName(QStringLiteral("kinPadModeGroupBox"));
    auto *modeLayout = new QHBoxLayout(modeBox);
    modeLayout->setContentsMargins(5, 5, 5, 5);
    modeLayout->setSpacing(0);
    m_modeGroup = new QButtonGroup(this);
    const char *labels[] = {"Edit", "Preview", "Record kinBlock"};
    const char *names[] = {"kinPadEditModeButton", "kinPadPreviewModeButton", "kinPadRecordModeButton"};
    for (int id = 0; id < 3; ++id) {
        auto *button = new QRadioButton(QString::fromLatin1(labels[id]), modeBox);
        button->setObjectName(QString::fromLatin1(names[id]));
        m_modeGroup->addButton(button, id);
        modeLayout->addWidget(button);
        registerHelp(button);
    }
    m_modeGroup->button(0)->setChecked(true);
    box->addWidget(modeBox);

    auto *speedRow = new QWidget(m_mainBox);
    auto *speedLayout = new QHBoxLayout(speedRow);
    speedLayout->setContentsMargins(5, 5, 5, 5);
    m_speedCaption = new QLabel(QStringLiteral("Playback Speed: "), speedRow);
    m_speedValue = new QLabel(QStringLiteral("100%"), speedRow);
    m_speedValue->setObjectName(QStringLiteral("kinPadSpeedValue"));
    m_mouseSpeed = new QCheckBox(QStringLiteral("Mouse Controls Speed"), speedRow);
    m_mouseSpeed->setObjectName(QStringLiteral("kinPadMouseSpeedBox"));
    speedLayout->addWidget(m_speedCaption);
    speedLayout->addWidget(m_speedValue);
    speedLayout->addWidget(m_mouseSpeed);
    speedLayout->addStretch(1);
    m_speedCaption->hide();
    m_speedValue->hide();
    box->addWidget(speedRow);

    m_stack = new QStackedWidget(m_mainBox);
    m_stack->setObjectName(QStringLiteral("kinPadLayerGroupWidgetStack"));
    box->addWidget(m_stack, 100);

    registerHelp(m_nodeMenu);
    registerHelp(modeBox);
    registerHelp(m_stack);

    auto *defaultGroup = new KyPadLayerGroup(this, nullptr, m_stack, QStringLiteral("kinPadLayerGroup"));
    m_groups.insert(nullptr, defaultGroup);
    m_stack->addWidget(defaultGroup);
    if (dzScene) {
        for (DzNode *node : dzScene->getNodeList())
            nodeAdded(node);
    }
    m_nodeMenu->selectNode(nullptr);
    selectNode(nullptr);
    // A pane made after the figures shows the selected one straight away.
    if (dzScene)
        primarySelectionChanged(dzScene->getPrimarySelection());
    setMouseTracking(true);
    setPlayAudio(true);
    setFillFrames(true);
    setExtendFrames(true);
    setMinimumSize(235, 335);

    connect(m_modeGroup, &QButtonGroup::idClicked, this, &KyPadPane::setMode);
    connect(m_nodeMenu, &DzNodeMenu::selectionChanged, this, &KyPadPane::selectNode);
    connect(m_nodeMenu, &DzNodeMenu::aboutToShowMenu, this, &KyPadPane::buildNodeList);
    if (dzScene) {
        connect(dzScene, &DzScene::primarySelectionChanged, this, &KyPadPane::primarySelectionChanged);
        connect(dzScene, &DzScene::nodeAdded, this, &KyPadPane::nodeAdded);
        connect(dzScene, &DzScene::nodeRemoved, this, &KyPadPane::nodeRemoved);
        connect(dzScene, &DzScene::timeChanged, this, &KyPadPane::timeChanged);
        connect(dzScene, &DzScene::sceneCleared, this, &KyPadPane::sceneCleared);
        connect(dzScene, &DzScene::sceneLoaded, this, &KyPadPane::sceneLoaded);
    }
    if (dzApp)
        connect(dzApp, &DzApp::saveStateScript, this, &KyPadPane::saveStateScript);
}

KyPadPane::~KyPadPane()
{
    // Groups delete their layers; the stack would delete them too, but
    // layers must go while the pane (their interface) still exists.
    for (const QPointer<KyPadLayerGroup> &group : std::as_const(m_groups))
        delete group.data();
    m_groups.clear();
}

void KyPadPane::setNamePrompt(NamePrompt prompt)
{
    namePrompt() = std::move(prompt);
}

void KyPadPane::resizeEvent(QResizeEvent *event)
{
    DzPane::resizeEvent(event);
    m_mainBox->setGeometry(5, 5, width() - 10, height() - 10);
}

void KyPadPane::buildOptionsMenu(DzActionMenu *menu) const
{
    menu->insertAction(QStringLiteral("KyPadFillFramesAction"), -1);
    menu->insertAction(QStringLiteral("KyPadExtendFramesAction"), -1);
    menu->insertSeparator(-1);
    menu->insertAction(QStringLiteral("KyPadZoomToFitAction"), -1);
    menu->insertAction(QStringLiteral("KyPadCenterViewAction"), -1);
    menu->insertAction(QStringLiteral("KyPadResetViewAction"), -1);
    menu->insertSeparator(-1);
    menu->insertAction(QStringLiteral("KyPadAddLayerAction"), -1);
    menu->insertAction(QStringLiteral("KyPadDeleteLayerAction"), -1);
    menu->insertAction(QStringLiteral("KyPadRenameLayerAction"), -1);
    menu->insertAction(QStringLiteral("KyPadClearLayerAction"), -1);
    menu->insertSeparator(-1);
    menu->insertAction(QStringLiteral("KyPadClearLayerAnimationAction"), -1);
    menu->insertSeparator(-1);
    menu->insertAction(QStringLiteral("KyPadDeletePoseAction"), -1);
}

int KyPadPane::mode() const
{
    const int id = m_modeGroup->checkedId();
    return id < 0 ? 0 : id;
}

int KyPadPane::mode()
{
    return static_cast<const KyPadPane *>(this)->mode();
}

bool KyPadPane::mouseControlsSpeed() const
{
    return m_mouseSpeed->isChecked();
}

void KyPadPane::showSpeed(const QString &text)
{
    m_speedValue->setText(text);
}

bool KyPadPane::hasLayerGroup(DzNode *figure) const
{
    return figure && m_groups.value(figure);
}

QList<KyPadLayer *> KyPadPane::layersOf(DzNode *figure) const
{
    KyPadLayerGroup *group = getLayerGroupByNode(figure);
    return group ? group->layers() : QList<KyPadLayer *>();
}

bool KyPadPane::adoptLayers(DzNode *figure, const QList<KyPadLayer *> &layers)
{
    KyPadLayerGroup *group = figure ? getLayerGroupByNode(figure) : nullptr;
    if (!group)
        return false;
    group->deleteAllLayers();
    group->adoptLayers(layers);
    if (group->count() == 0)
        group->addLayer(QString());
    return true;
}

void KyPadPane::buildNodeList()
{
    QList<DzNode *> nodes;
    if (dzScene) {
        for (DzNode *node : dzScene->getNodeList()) {
            if (node->inherits("DzSkeleton") && !node->isHidden())
                nodes.append(node);
        }
    }
    m_nodeMenu->setNodeList(nodes);
}

void KyPadPane::nodeAdded(DzNode *node)
{
    if (!node || !node->inherits("DzSkeleton") || !m_stack || m_groups.value(node))
        return;
    auto *item = qobject_cast<KyPadElementData *>(node->findDataItem(QStringLiteral("kinPadData")));
    if (!node->findDataItem(QStringLiteral("kinPadData"))) {
        item = new KyPadElementData;
        item->setFigure(node);
        node->addDataItem(item);
    }
    auto *group = new KyPadLayerGroup(this, node, m_stack);
    m_stack->addWidget(group);
    m_groups.insert(node, group);
    // Layers a loaded item could not hand over before the figure arrived.
    if (item && !item->pendingLayers().isEmpty())
        adoptLayers(node, item->takePendingLayers());
    if (!m_nodeMenu->getCurrent()) {
        m_nodeMenu->selectNode(node);
        selectNode(node);
    }
}

void KyPadPane::nodeRemoved(DzNode *node)
{
    if (!node || !node->inherits("DzSkeleton") || !m_stack)
        return;
    if (node == m_currentNode) {
        m_nodeMenu->selectNode(nullptr);
        selectNode(nullptr);
    }
    QPointer<KyPadLayerGroup> group = m_groups.take(node);
    if (group) {
        m_stack->removeWidget(group);
        delete group.data();
    }
}

void KyPadPane::primarySelectionChanged(DzNode *node)
{
    // A bone or a prop: the pad keeps showing the figure it showed.
    if (!node || !node->inherits("DzSkeleton")) {
        m_nodeMenu->selectNode(nullptr);
        return;
    }
    if (node != m_currentNode) {
        m_nodeMenu->selectNode(node);
        selectNode(node);
    }
}

void KyPadPane::timeChanged(DzTime t)
{
    if (mode() == EditMode)
        return;
    KyPadLayerView *view = getActiveLayerView();
    KyPadLayer *layer = getActiveLayer();
    if (layer && view && !view->cursorMoved() && !layer->isDragging())
        layer->followTime(t);
}

KyPadLayerGroup *KyPadPane::getLayerGroupByNode(DzNode *node) const
{
    return m_groups.value(node).data();
}

KyPadLayerGroup *KyPadPane::getActiveLayerGroup() const
{
    return m_stack ? qobject_cast<KyPadLayerGroup *>(m_stack->currentWidget()) : nullptr;
}

KyPadLayer *KyPadPane::getActiveLayer() const
{
    KyPadLayerGroup *group = getActiveLayerGroup();
    return group ? group->activeLayer() : nullptr;
}

KyPadLayerView *KyPadPane::getActiveLayerView() const
{
    KyPadLayerGroup *group = getActiveLayerGroup();
    return group ? group->viewAt(group->currentIndex()) : nullptr;
}

KyPadLayer *KyPadPane::addLayer(DzNode *node, QString name)
{
    KyPadLayerGroup *group = getLayerGroupByNode(node);
    if (!group || name.isEmpty())
        return nullptr;
    return group->addLayer(name);
}

QString KyPadPane::askName(const QString &proposal) const
{
    if (namePrompt())
        return namePrompt()(proposal);
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeModalWidget(), QStringLiteral("kinPad"),
                                               QStringLiteral("Enter a name for the layer:"), QLineEdit::Normal,
                                               proposal, &ok);
    return ok ? text : QString();
}

void KyPadPane::addLayer()
{
    KyPadLayerGroup *group = getActiveLayerGroup();
    if (!group)
        return;
    const QString name = askName(group->nextLayerName());
    if (!name.isEmpty())
        group->addLayerStep(name);
}

void KyPadPane::renameLayer()
{
    KyPadLayerGroup *group = getActiveLayerGroup();
    if (!group || group->count() == 0)
        return;
    const QString name = askName(group->tabText(group->currentIndex()));
    if (!name.isEmpty())
        group->renameActiveLayerStep(name);
}

void KyPadPane::deleteLayer()
{
    if (KyPadLayerGroup *group = getActiveLayerGroup())
        group->deleteActiveLayerStep();
}

void KyPadPane::deleteAllLayers(DzNode *node)
{
    if (KyPadLayerGroup *group = getLayerGroupByNode(node))
        group->deleteAllLayers();
}

void KyPadPane::deleteEmptyDefaultLayer(DzNode *node)
{
    if (KyPadLayerGroup *group = getLayerGroupByNode(node))
        group->deleteEmptyDefaultLayer();
}

void KyPadPane::clearLayer()
{
    if (KyPadLayer *layer = getActiveLayer())
        layer->clearPoses();
}

void KyPadPane::clearLayerAnimation()
{
    if (KyPadLayer *layer = getActiveLayer())
        layer->clearAnimation(dzScene ? dzScene->getPlayRange() : DzTimeRange(0, 0));
}

bool KyPadPane::playAudio()
{
    return m_playAudio;
}

void KyPadPane::setPlayAudio(bool on)
{
    m_playAudio = on;
    emit playAudioChanged(on);
}

bool KyPadPane::fillFrames()
{
    return m_fillFrames;
}

void KyPadPane::setFillFrames(bool on)
{
    m_fillFrames = on;
    emit fillFramesChanged(on);
}

bool KyPadPane::extendFrames()
{
    return m_extendFrames;
}

void KyPadPane::setExtendFrames(bool on)
{
    m_extendFrames = on;
    emit extendFramesChanged(on);
}

void KyPadPane::setMode(int m)
{
    if (m < 0 || m > 2)
        return;
    if (m != m_modeGroup->checkedId())
        m_modeGroup->button(m)->setChecked(true);
    if (KyPadLayerView *view = getActiveLayerView())
        view->update();
}

void KyPadPane::saveStateScript(DzScript &)
{
}

void KyPadPane::sceneCleared()
{
    if (!m_modeGroup->button(0)->isChecked())
        m_modeGroup->button(0)->setChecked(true);
}

void KyPadPane::selectNode(DzNode *node)
{
    m_currentNode = node;
    if (KyPadLayerGroup *group = getLayerGroupByNode(node))
        m_stack->setCurrentWidget(group);
    else if (KyPadLayerGroup *fallback = getLayerGroupByNode(nullptr))
        m_stack->setCurrentWidget(fallback);
}

void KyPadPane::restoreFigure()
{
    DzActionMgr *mgr = dzApp && dzApp->getInterface() ? dzApp->getInterface()->getActionMgr() : nullptr;
    if (DzAction *action = mgr ? mgr->findAction(QStringLiteral("DzRestoreFigureAction")) : nullptr)
        action->trigger();
}

void KyPadPane::sceneLoaded()
{
    kyPadReportMissingBlocks();
}
