#include "kypadnodedata.h"

#include "kypadnodelist.h"
#include "kypadsections.h"

#include "dzelement.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzoutfile.h"

#include <cmath>

KyPadNodeData::KyPadNodeData() = default;
KyPadNodeData::~KyPadNodeData() = default;

bool KyPadNodeData::propValue(DzFloatProperty *p, double *value) const
{
    auto it = m_propValues.find(p);
    if (!p || it == m_propValues.end() || !it->second.property)
        return false;
    if (value)
        *value = it->second.value;
    return true;
}

void KyPadNodeData::setPropValue(DzFloatProperty *p, double value)
{
    if (p)
        m_propValues[p] = Entry{QPointer<DzFloatProperty>(p), value};
}

int KyPadNodeData::numPropValues() const
{
    return propKeys().size();
}

QList<DzFloatProperty *> KyPadNodeData::propKeys() const
{
    QList<DzFloatProperty *> keys;
    for (const auto &entry : m_propValues) {
        if (entry.second.property)
            keys.append(entry.first);
    }
    return keys;
}

void KyPadNodeData::setPos(DzVec3 p)
{
    pos = p;
}

void KyPadNodeData::setScale(DzVec3 s, double g)
{
    scale = s;
    genScale = g;
}

void KyPadNodeData::setRot(DzQuat r)
{
    rot = r;
}

void KyPadNodeData::addPropVal(DzNode *node, QString name, double value)
{
    for (DzFloatProperty *p : kyPadProperties(node)) {
        const bool ownerNamed = p->getOwner() && p->getOwner()->objectName() == name;
        if (p->objectName() == name || ownerNamed)
            setPropValue(p, value);
    }
}

void KyPadNodeData::save(DzOutFile *file)
{
    file->writeVecSection(kSectionNodePos, pos);
    file->startSection(kSectionNodeScale);
    file->writeVec(scale);
    file->writeDouble(genScale);
    file->endSection();
    file->startSection(kSectionNodeRot);
    file->writeDouble(rot.m_x);
    file->writeDouble(rot.m_y);
    file->writeDouble(rot.m_z);
    file->writeDouble(rot.m_w);
    file->endSection();
    const QList<DzFloatProperty *> keys = propKeys();
    file->startSection(kSectionNodeProps);
    file->writeInt(keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        file->writeDouble(m_propValues.at(keys[i]).value);
        file->writePointer(keys[i], static_cast<short>(i));
    }
    file->endSection();
}

namespace {

bool finite(const DzVec3 &v)
{
    return std::isfinite(v.m_x) && std::isfinite(v.m_y) && std::isfinite(v.m_z);
}

} // namespace

void KyPadNodeData::loadSection(DzInFile *file, short id)
{
    switch (id) {
    case kSectionNodePos: {
        const DzVec3 v = file->readVec();
        if (finite(v))
            pos = v;
        break;
    }
    case kSectionNodeScale: {
        const DzVec3 v = file->readVec();
        const double g = file->readDouble();
        if (finite(v) && std::isfinite(g)) {
            scale = v;
            genScale = g;
        }
        break;
    }
    case kSectionNodeRot: {
        double q[4] = {0.0, 0.0, 0.0, 1.0};
        if (file->readDoubles(q, 4) == 4 && std::isfinite(q[0]) && std::isfinite(q[1])
            && std::isfinite(q[2]) && std::isfinite(q[3]))
            rot.setValue(static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                         static_cast<float>(q[3]), true);
        break;
    }
    case kSectionNodeProps: {
        m_loadBuffer.clear();
        file->readInt(); // the count; the values themselves say how many there are
        // Value, reference, value, reference ...: each reference resolves at once
        // against the value before it.
        while (!file->atSectionEnd()) {
            m_loadBuffer.append(file->readDouble());
            if (file->readPointer() != 0)
                break;
        }
        break;
    }
    default:
        DzBase::loadSection(file, id);
    }
}

void KyPadNodeData::setPointer(const DzInFile *file, short section, short id, DzBase *object)
{
    if (section != kSectionNodeProps) {
        DzBase::setPointer(file, section, id, object);
        return;
    }
    auto *p = qobject_cast<DzFloatProperty *>(DzBase::assertCast(object, "DzFloatProperty"));
    if (!p)
        return;
    if (id < 0 || id >= m_loadBuffer.count()) {
        dzWarning(QStringLiteral("Illegal array index in DzTSimpleArray::at()"));
        return;
    }
    const double value = m_loadBuffer.at(id);
    if (std::isfinite(value))
        setPropValue(p, value);
}
