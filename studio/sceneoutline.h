#pragma once

#include <QHash>
#include <QTreeWidget>

class DzNode;
class DzScene;

// The scene's node hierarchy (figures with their bones, other nodes) as a
// tree. It follows the scene's node list and primary selection; clicking an
// item selects that node alone, as a click in the viewport does.
class SceneOutline : public QTreeWidget {
    Q_OBJECT
public:
    explicit SceneOutline(DzScene *scene, QWidget *parent = nullptr);

    QTreeWidgetItem *itemFor(const DzNode *node) const { return m_items.value(node); }
    DzNode *nodeFor(const QTreeWidgetItem *item) const;

private:
    void scheduleRebuild();
    void rebuild();
    void addNode(DzNode *node, QTreeWidgetItem *parentItem);
    void followSelection(DzNode *node);
    void onItemClicked(QTreeWidgetItem *item);

    DzScene *m_scene;
    QHash<const DzNode *, QTreeWidgetItem *> m_items;
    bool m_rebuildPending = false;
    bool m_following = false;
};
