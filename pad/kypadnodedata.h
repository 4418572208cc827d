#pragma once
// KyPadNodeData: one node's values in a pose - translation, axis scales,
// general scale, rotation and the values of its pad properties.
//
// Property values are keyed by property and held weakly: a property that is
// deleted (a morph removed from the figure) drops out of the values instead
// of leaving a dangling key.

#include "dzbase.h"
#include "dzquat.h"
#include "dztsimplearray.h"
#include "dzvec3.h"

#include <QPointer>

#include <map>

class DzFloatProperty;
class DzNode;

class KyPadNodeData : public DzBase
{
    Q_OBJECT
public:
    KyPadNodeData();
    ~KyPadNodeData() override;

    DzVec3 pos;                      // X, Y, Z translation controls, cm
    DzVec3 scale{1.0f, 1.0f, 1.0f};  // X, Y, Z scale controls
    double genScale = 1.0;           // general scale control
    DzQuat rot;                      // from the rotate controls in the node's order

    // The stored value of p, when there is one.
    bool propValue(DzFloatProperty *p, double *value) const;
    void setPropValue(DzFloatProperty *p, double value);
    int numPropValues() const;
    // The live properties with values, in map order.
    QList<DzFloatProperty *> propKeys() const;
    void clearPropValues() { m_propValues.clear(); }

    void save(DzOutFile *file) override;
    void loadSection(DzInFile *file, short id) override;
    void setPointer(const DzInFile *file, short section, short id, DzBase *object) override;

public slots:
    void setPos(DzVec3 pos);
    void setScale(DzVec3 scale, double genScale);
    void setRot(DzQuat rot);
    // Stores value for every pad property of node named `name`, or whose
    // owner (a morph, for its value channel) is named `name`.
    void addPropVal(DzNode *node, QString name, double value);

private:
    struct Entry {
        QPointer<DzFloatProperty> property;
        double value;
    };
    std::map<DzFloatProperty *, Entry> m_propValues;
    // Values of section 535 until their property references resolve.
    DzTSimpleArray<double> m_loadBuffer{16};
};
