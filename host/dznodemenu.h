#pragma once

#include "dznode.h"
#include "dznodeselectioninterface.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QComboBox;

// The figure picker: a drop-down list of node labels.
//
// The owner fills it with setNodeList(), typically in a slot connected to
// aboutToShowMenu(), which is emitted just before the list opens so that the
// list is current when the user sees it. Picking an entry emits
// selectionChanged(node) (null for the "None" entry); selectNode() changes
// the shown node without emitting anything.
//
// Nodes are held weakly: a node that is deleted disappears from the list,
// and when it was the current one the picker shows nothing.
class DzNodeMenu : public QWidget, public DzNodeSelectionInterface {
    Q_OBJECT
public:
    // allowNone: the list starts with a "None" entry through which the user
    // can pick no node at all. Without it, "None" is shown only while no node
    // is current and cannot be picked.
    explicit DzNodeMenu(QWidget *parent = nullptr, const QString &name = QString(), bool allowNone = false);

    void setNodeList(const QList<DzNode *> &nodes) override;
    QList<DzNode *> getNodeList() const override;

    // The node shown, or null. A node that is not in the list is added to
    // its end. A node not in the list any more after setNodeList is no
    // longer current.
    DzNode *getCurrent() const { return m_current.data(); }
    void selectNode(DzNode *node);
    bool allowsNone() const { return m_allowNone; }

    // The combo box the user works with.
    QComboBox *getComboBox() const { return m_combo; }

signals:
    void selectionChanged(DzNode *node);
    void aboutToShowMenu();

private:
    void rebuild();
    void userPicked(int index);
    void popupRequested();
    void nodeGone();
    DzNode *nodeAt(int index) const;

    QComboBox *m_combo;
    QList<QPointer<DzNode>> m_nodes;
    QPointer<DzNode> m_current;
    bool m_allowNone;
    bool m_rebuilding = false;
};
