#pragma once

#include "dzproperty.h"

// A property holding a number. "XYZ interest" marks the nine transform
// controls of a node (X/Y/Z translate, rotate and scale); the general scale
// control and all other numeric properties have it false.
class DzNumericProperty : public DzProperty
{
    Q_OBJECT
public:
    explicit DzNumericProperty(const QString &name = QString(), QObject *parent = nullptr);

    bool getXYZInterest() const { return m_xyzInterest; }
    void setXYZInterest(bool interest) { m_xyzInterest = interest; }

private:
    bool m_xyzInterest = false;
};
