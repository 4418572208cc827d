#pragma once

#include <QList>

class DzNode;

// A widget that offers a choice among nodes it is given (the figure picker).
// The owner supplies the list; the widget never looks into the scene itself.
class DzNodeSelectionInterface {
public:
    virtual ~DzNodeSelectionInterface();

    // Replaces the offered nodes (in the given order; null entries and
    // repeats are dropped).
    virtual void setNodeList(const QList<DzNode *> &nodes) = 0;
    virtual QList<DzNode *> getNodeList() const = 0;
};
