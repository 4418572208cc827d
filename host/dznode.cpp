#include "dznode.h"

#include "dzfloatproperty.h"
#include "dzobject.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kDegToRad = M_PI / 180.0;
constexpr double kRadToDeg = 180.0 / M_PI;

struct ControlInfo {
    const char *name;
    const char *label;
    float value;
    bool xyz;
};

const ControlInfo kControls[10] = {
    {"XTranslate", "X Translate", 0.0f, true}, {"YTranslate", "Y Translate", 0.0f, true},
    {"ZTranslate", "Z Translate", 0.0f, true}, {"XRotate", "X Rotate", 0.0f, true},
    {"YRotate", "Y Rotate", 0.0f, true},       {"ZRotate", "Z Rotate", 0.0f, true},
    {"XScale", "X Scale", 1.0f, true},         {"YScale", "Y Scale", 1.0f, true},
    {"ZScale", "Z Scale", 1.0f, true},         {"Scale", "Scale", 1.0f, false},
};

} // namespace

quint64 DzNode::s_structureRevision = 0;

DzNode::DzNode(const QString &name, QObject *parent) : DzElement(name, parent)
{
    for (int i = 0; i < 10; ++i) {
        auto *p = new DzFloatProperty(QString::fromLatin1(kControls[i].name), kControls[i].value, true);
        p->setLabel(QString::fromLatin1(kControls[i].label));
        p->setXYZInterest(kControls[i].xyz);
        addProperty(p);
        m_controls[i] = p;
    }
    ++s_structureRevision;
    connect(this, &QObject::objectNameChanged, this, [] { ++s_structureRevision; });
}

void DzNode::propertyChanged(DzProperty *property)
{
    if (m_scene)
        m_scene->markModified();
    // A control's value or keys changed: transformChanged(), once per node
    // when a batch is open.
    if (std::find(m_controls, m_controls + 10, property) == m_controls + 10)
        return;
    if (DzChangeBatch::isOpen()) {
        if (!m_transformPending) {
            m_transformPending = true;
            DzChangeBatch::defer(this, &DzNode::flushTransform);
        }
        return;
    }
    signalTransform();
}

void DzNode::signalTransform()
{
    emit transformChanged();
    // The scene relays it to the views; a call, not a connection per node.
    if (m_scene)
        emit m_scene->nodeTransformChanged(this);
}

void DzNode::flushTransform(DzBase *object)
{
    auto *node = static_cast<DzNode *>(object);
    node->m_transformPending = false;
    node->signalTransform();
}

void DzNode::setKeys(int first, DzTime time, const DzVec3 &values)
{
    DzFloatProperty **controls = m_controls + first;
    if (!controls[0]->isAnimatable() || !controls[1]->isAnimatable() || !controls[2]->isAnimatable()) {
        controls[0]->setValue(time, values.m_x);
        controls[1]->setValue(time, values.m_y);
        controls[2]->setValue(time, values.m_z);
        return;
    }
    const bool changed[3] = {controls[0]->storeKey(time, values.m_x), controls[1]->storeKey(time, values.m_y),
                             controls[2]->storeKey(time, values.m_z)};
    if (!changed[0] && !changed[1] && !changed[2])
        return;
    // One transformChanged() for the three controls.
    DzChangeBatch batch;
    for (int axis = 0; axis < 3; ++axis)
        if (changed[axis])
            controls[axis]->notifyChanged(true);
}

DzNode::~DzNode()
{
    ++s_structureRevision;
    if (m_transformPending)
        DzChangeBatch::forget(this);
    // Children are deleted by QObject after this body; make sure none of them
    // reaches back into this half-destroyed node or its parent.
    for (DzNode *child : m_children)
        child->m_parent = nullptr;
    m_children.clear();
    if (m_parent) {
        m_parent->m_children.removeOne(this);
        m_parent = nullptr;
    }
    if (m_scene)
        m_scene->nodeDestroyed(this);
}

// --- hierarchy ---------------------------------------------------------------

DzNode *DzNode::getNodeChild(int i) const
{
    if (i < 0 || i >= m_children.size())
        return nullptr;
    return m_children.at(i);
}

DzNode *DzNode::findNodeChild(const QString &name, bool recurse) const
{
    for (DzNode *child : m_children)
        if (child->getName() == name)
            return child;
    if (!recurse)
        return nullptr;
    for (DzNode *child : m_children)
        if (DzNode *found = child->findNodeChild(name, true))
            return found;
    return nullptr;
}

bool DzNode::addNodeChild(DzNode *child)
{
    if (!child || isAncestorOrSelf(child))
        return false;
    if (child->m_parent == this)
        return true;
    if (child->m_parent)
        child->m_parent->removeNodeChild(child);
    child->m_parent = this;
    child->setParent(this);
    m_children.append(child);
    ++s_structureRevision;
    emit childListChanged();
    return true;
}

bool DzNode::removeNodeChild(DzNode *child)
{
    if (!child || child->m_parent != this)
        return false;
    m_children.removeOne(child);
    child->m_parent = nullptr;
    // A node in a scene stays owned by the scene; otherwise the caller owns it.
    child->setParent(child->m_scene);
    ++s_structureRevision;
    emit childListChanged();
    return true;
}

QList<DzNode *> DzNode::getNodesInHierarchy()
{
    // Depth first, parent before children, in child order; an explicit
    // stack keeps it linear and safe for deep chains.
    QList<DzNode *> out;
    QList<DzNode *> stack { this };
    while (!stack.isEmpty()) {
        DzNode *n = stack.takeLast();
        out.append(n);
        for (qsizetype c = n->m_children.size() - 1; c >= 0; --c)
            stack.append(n->m_children.at(c));
    }
    return out;
}

bool DzNode::isAncestorOrSelf(const DzNode *node) const
{
    for (const DzNode *n = this; n; n = n->m_parent)
        if (n == node)
            return true;
    return false;
}

DzSkeleton *DzNode::getSkeleton() const
{
    for (const DzNode *n = this; n; n = n->m_parent)
        if (auto *skel = qobject_cast<DzSkeleton *>(const_cast<DzNode *>(n)))
            return skel;
    return nullptr;
}

// --- flags -------------------------------------------------------------------

void DzNode::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    emit hiddenChanged(hidden);
}

void DzNode::setOrigin(const DzVec3 &origin)
{
    if (origin == m_origin)
        return;
    m_origin = origin;
    signalTransform();
}

void DzNode::setEndPoint(const DzVec3 &endPoint)
{
    if (endPoint == m_endPoint)
        return;
    m_endPoint = endPoint;
    signalTransform();
}

// --- local transform ---------------------------------------------------------

static DzTime sceneTime()
{
    return dzScene ? dzScene->getTime() : 0;
}

DzVec3 DzNode::getLocalPos() const
{
    return getLocalPos(sceneTime());
}

DzVec3 DzNode::getLocalPos(DzTime time) const
{
    return DzVec3(m_controls[0]->getValue(time), m_controls[1]->getValue(time), m_controls[2]->getValue(time));
}

DzQuat DzNode::getLocalRot() const
{
    return getLocalRot(sceneTime());
}

DzQuat DzNode::getLocalRot(DzTime time) const
{
    return DzQuat(m_rotationOrder, DzVec3(float(m_controls[3]->getValue(time) * kDegToRad),
                                          float(m_controls[4]->getValue(time) * kDegToRad),
                                          float(m_controls[5]->getValue(time) * kDegToRad)));
}

DzVec3 DzNode::getLocalScale() const
{
    return getLocalScale(sceneTime());
}

DzVec3 DzNode::getLocalScale(DzTime time) const
{
    const float g = m_controls[9]->getValue(time);
    return DzVec3(m_controls[6]->getValue(time) * g, m_controls[7]->getValue(time) * g,
                  m_controls[8]->getValue(time) * g);
}

void DzNode::setLocalPos(const DzVec3 &pos)
{
    m_controls[0]->setValue(pos.m_x);
    m_controls[1]->setValue(pos.m_y);
    m_controls[2]->setValue(pos.m_z);
}

void DzNode::setLocalPos(DzTime time, const DzVec3 &pos)
{
    setKeys(0, time, pos);
}

DzVec3 DzNode::eulerDegrees(const DzQuat &rot)
{
    // Bones that hold still are written the same rotation again and again;
    // the conversion is reused then. Compared bit for bit: -0 and 0 may give
    // angles a half turn apart.
    if (m_eulerCacheValid && m_eulerCacheOrder == m_rotationOrder
        && std::memcmp(&m_eulerCacheRot, &rot, sizeof rot) == 0)
        return m_eulerCache;
    DzVec3 e;
    rot.getValue(m_rotationOrder, e);
    m_eulerCache = DzVec3(float(e.m_x * kRadToDeg), float(e.m_y * kRadToDeg), float(e.m_z * kRadToDeg));
    m_eulerCacheRot = rot;
    m_eulerCacheOrder = m_rotationOrder;
    m_eulerCacheValid = true;
    return m_eulerCache;
}

void DzNode::setLocalRot(const DzQuat &rot)
{
    const DzVec3 e = eulerDegrees(rot);
    m_controls[3]->setValue(e.m_x);
    m_controls[4]->setValue(e.m_y);
    m_controls[5]->setValue(e.m_z);
}

void DzNode::setLocalRot(DzTime time, const DzQuat &rot)
{
    setKeys(3, time, eulerDegrees(rot));
}

void DzNode::setLocalScale(const DzVec3 &scale, double generalScale)
{
    m_controls[6]->setValue(scale.m_x);
    m_controls[7]->setValue(scale.m_y);
    m_controls[8]->setValue(scale.m_z);
    m_controls[9]->setValue(float(generalScale));
}

void DzNode::setLocalScale(DzTime time, const DzVec3 &scale, double generalScale)
{
    m_controls[6]->setValue(time, scale.m_x);
    m_controls[7]->setValue(time, scale.m_y);
    m_controls[8]->setValue(time, scale.m_z);
    m_controls[9]->setValue(time, float(generalScale));
}

static DzVec3 axisScales(const DzMatrix3 &scale)
{
    return DzVec3(scale.column(0).length(), scale.column(1).length(), scale.column(2).length());
}

void DzNode::setLocalTransform(const DzVec3 &pos, const DzQuat &rot, const DzMatrix3 &scale,
                               double generalScale)
{
    setLocalTransform(pos, rot, axisScales(scale), generalScale);
}

void DzNode::setLocalTransform(DzTime time, const DzVec3 &pos, const DzQuat &rot,
                               const DzMatrix3 &scale, double generalScale)
{
    setLocalPos(time, pos);
    setLocalRot(time, rot);
    setLocalScale(time, axisScales(scale), generalScale);
}

void DzNode::setLocalTransform(const DzVec3 &pos, const DzQuat &rot, const DzVec3 &scale,
                               double generalScale)
{
    setLocalPos(pos);
    setLocalRot(rot);
    setLocalScale(scale, generalScale);
}

// --- world transform ---------------------------------------------------------

DzMatrix4 DzNode::getWSTransform() const
{
    return getWSTransform(sceneTime());
}

DzMatrix4 DzNode::getWSTransform(DzTime time) const
{
    // Local = T(origin + pos) * R * S * T(-origin): linear part R*S, and a
    // translation that keeps the joint at origin + pos.
    const DzMatrix3 rs = DzMatrix3(getLocalRot(time)) * DzMatrix3::scale(getLocalScale(time));
    const DzVec3 t = m_origin + getLocalPos(time) - rs.multVec(m_origin);
    const DzMatrix4 local(rs, t);
    return m_parent ? m_parent->getWSTransform(time) * local : local;
}

DzVec3 DzNode::getWSPos() const
{
    return getWSPos(sceneTime());
}

DzVec3 DzNode::getWSPos(DzTime time) const
{
    const DzVec3 joint = m_origin + getLocalPos(time);
    return m_parent ? m_parent->getWSTransform(time).multVecMatrix(joint) : joint;
}

DzQuat DzNode::getWSRot(DzTime time) const
{
    const DzQuat local = getLocalRot(time);
    return m_parent ? m_parent->getWSRot(time) * local : local;
}

DzVec3 DzNode::getWSEndPoint(DzTime time) const
{
    return getWSTransform(time).multVecMatrix(m_endPoint);
}

// --- object, scene -----------------------------------------------------------

void DzNode::setObject(DzObject *object)
{
    if (object == m_object)
        return;
    delete m_object;
    m_object = object;
    if (m_object)
        m_object->setParent(this);
    emit objectChanged();
}

void DzNode::setSelected(bool onOff)
{
    if (m_scene)
        m_scene->selectNode(this, onOff);
    else
        setSelectedFlag(onOff);
}

void DzNode::setSelectedFlag(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    emit selectionStateChanged(this, selected);
}

void DzNode::clearAnimData(const DzTimeRange &range)
{
    DzElement::clearAnimData(range);
}
