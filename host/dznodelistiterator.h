#pragma once

#include <QList>

class DzNode;

// A snapshot of the scene's node list in insertion order. Iterate either
// Java style (hasNext/next) or with a range-for. Changing the scene while
// iterating does not disturb the snapshot (but a removed node is deleted
// once control returns to the event loop).
class DzNodeListIterator
{
public:
    explicit DzNodeListIterator(const QList<DzNode *> &nodes) : m_nodes(nodes) {}

    bool hasNext() const { return m_pos < m_nodes.size(); }
    // The next node; null past the end.
    DzNode *next() { return hasNext() ? m_nodes.at(m_pos++) : nullptr; }
    DzNode *peekNext() const { return hasNext() ? m_nodes.at(m_pos) : nullptr; }
    void toFront() { m_pos = 0; }
    int count() const { return m_nodes.size(); }

    QList<DzNode *>::const_iterator begin() const { return m_nodes.cbegin(); }
    QList<DzNode *>::const_iterator end() const { return m_nodes.cend(); }

private:
    QList<DzNode *> m_nodes;
    int m_pos = 0;
};
