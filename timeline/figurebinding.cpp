#include "figurebinding.h"

#include "dzfloatproperty.h"
#include "dznode.h"
#include "dzscene.h"

DzFloatProperty *transformControl(DzNode *node, bool rotation, int axis)
{
    if (!node)
        return nullptr;
    switch (axis) {
    case 0:
        return rotation ? node->getXRotControl() : node->getXPosControl();
    case 1:
        return rotation ? node->getYRotControl() : node->getYPosControl();
    default:
        return rotation ? node->getZRotControl() : node->getZPosControl();
    }
}

HostBackup HostBackup::capture(DzNode *node, DzTime time, bool rotation)
{
    HostBackup backup;
    backup.node = node;
    backup.time = time;
    for (int axis = 0; axis < 3; ++axis) {
        const DzFloatProperty *control = transformControl(node, rotation, axis);
        if (!control)
            continue;
        const int key = control->findKeyIndex(time);
        backup.hadKey[axis] = key >= 0;
        backup.keyValue[axis] = key >= 0 ? control->getKeyValue(key) : 0.0f;
        backup.staticValue[axis] = control->getStaticValue();
    }
    return backup;
}

void HostBackup::restore(bool rotation) const
{
    DzNode *target = node.data();
    if (!target)
        return;
    for (int axis = 0; axis < 3; ++axis) {
        DzFloatProperty *control = transformControl(target, rotation, axis);
        if (!control)
            continue;
        if (hadKey[axis]) {
            control->setValue(time, keyValue[axis]);
        } else {
            if (control->findKeyIndex(time) >= 0)
                control->removeKey(time);
            control->setValue(staticValue[axis]);
        }
    }
}

void FigureBinding::forgetNode(DzNode *node)
{
    m_rotationBackups.erase(node);
    m_positionBackups.erase(node);
    m_rotationalOffsets.erase(node);
    m_offsetSnapshot.erase(node);
    m_tableEntries.erase(node);
    if (m_skeleton.data() == node)
        m_skeleton = nullptr;
}
