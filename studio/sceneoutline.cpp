#include "sceneoutline.h"

#include "dzbone.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "studioviewport.h"

#include <QHeaderView>
#include <QTimer>

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

} // namespace

SceneOutline::SceneOutline(DzScene *scene, QWidget *parent)
    : QTreeWidget(parent)
    , m_scene(scene)
{
    setObjectName(QStringLiteral("SceneOutline"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAnimated(false);
    // Deep bone chains scroll sideways instead of being cut off.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (m_scene) {
        // Node additions come one per node (53 for a figure); rebuild once
        // after the batch.
        connect(m_scene, &DzScene::nodeListChanged, this, &SceneOutline::scheduleRebuild);
        connect(m_scene, &DzScene::sceneCleared, this, &SceneOutline::scheduleRebuild);
        connect(m_scene, &DzScene::sceneLoaded, this, &SceneOutline::scheduleRebuild);
        connect(m_scene, &DzScene::nodeRemoved, this, [this](DzNode *node) {
            // The item may outlive the node until the rebuild: forget it now.
            if (QTreeWidgetItem *item = m_items.take(node))
                item->setData(0, kNodeRole, QVariant());
            scheduleRebuild();
        });
        connect(m_scene, &DzScene::primarySelectionChanged, this, &SceneOutline::followSelection);
    }
    connect(this, &QTreeWidget::itemClicked, this, &SceneOutline::onItemClicked);
    rebuild();
}

DzNode *SceneOutline::nodeFor(const QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    auto *node = static_cast<DzNode *>(item->data(0, kNodeRole).value<void *>());
    // Only nodes still listed count; a stale item gives null.
    return node && m_items.value(node) == item ? node : nullptr;
}

void SceneOutline::scheduleRebuild()
{
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, &SceneOutline::rebuild);
}

void SceneOutline::rebuild()
{
    m_rebuildPending = false;
    clear();
    m_items.clear();
    if (!m_scene)
        return;
    for (DzNode *node : m_scene->getNodeList())
        if (!node->getNodeParent() || !node->getNodeParent()->getScene())
            addNode(node, nullptr);
    // Figures open two levels so that the hip's children show.
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *top = topLevelItem(i);
        top->setExpanded(true);
        for (int c = 0; c < top->childCount(); ++c)
            top->child(c)->setExpanded(true);
    }
    followSelection(m_scene->getPrimarySelection());
}

void SceneOutline::addNode(DzNode *node, QTreeWidgetItem *parentItem)
{
    auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
    item->setText(0, node->getLabel());
    item->setToolTip(0, node->getName());
    item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void *>(node)));
    if (qobject_cast<DzSkeleton *>(node)) {
        QFont f = item->font(0);
        f.setBold(true);
        item->setFont(0, f);
    }
    if (node->isHidden())
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    m_items.insert(node, item);
    for (int i = 0; i < node->getNumNodeChildren(); ++i) {
        DzNode *child = node->getNodeChild(i);
        if (child && child->getScene() == m_scene)
            addNode(child, item);
    }
}

void SceneOutline::followSelection(DzNode *node)
{
    m_following = true;
    QTreeWidgetItem *item = m_items.value(node);
    if (item) {
        setCurrentItem(item);
        scrollToItem(item);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
    m_following = false;
}

void SceneOutline::onItemClicked(QTreeWidgetItem *item)
{
    if (m_following)
        return;
    if (DzNode *node = nodeFor(item))
        StudioViewport::selectOnly(m_scene, node);
}
