#pragma once

#include "dzcustomdata.h"

class DzElement;

// A data item carried by an element (a node, a figure). The element owns it
// once added (DzElement::addDataItem) and tells it who its element is.
class DzElementData : public DzCustomData
{
    Q_OBJECT
public:
    explicit DzElementData(const QString &name = QString(), bool unique = true,
                           QObject *parent = nullptr);

    DzElement *getElement() const { return m_element; }
    // Set by DzElement when the item is added or removed.
    void setElement(DzElement *element) { m_element = element; }

private:
    DzElement *m_element = nullptr;
};
