#pragma once

// A node's animated values read frame after frame, exactly as
// DzNode::getLocalPos and getLocalRot give them. Baked motion keys every
// frame, so each control's keys are stepped through instead of searched;
// a time between keys is left to the control itself. Reading is fastest at
// rising times; an earlier time starts the stepping over. The controls' keys
// must not change while a reader is in use.

#include <dzquat.h>
#include <dzrotationorder.h>
#include <dztime.h>
#include <dzvec3.h>

#include <cstddef>

class DzFloatProperty;
class DzNode;

namespace trelvo::motion {

class KeyStepper
{
public:
    explicit KeyStepper(const DzFloatProperty *control = nullptr)
        : m_control(control)
    {
    }
    // DzFloatProperty::getValue(time).
    float valueAt(DzTime time);

private:
    const DzFloatProperty *m_control;
    std::size_t m_next = 0; // the first key after the last time read
};

class NodeKeyReader
{
public:
    // node must outlive the reader and keep its controls.
    explicit NodeKeyReader(const DzNode *node);

    DzVec3 localPos(DzTime time);        // DzNode::getLocalPos(time)
    DzVec3 localRotDegrees(DzTime time); // the X, Y and Z rotation values
    DzQuat localRot(DzTime time) { return rotationOf(localRotDegrees(time)); }
    // The rotation DzNode::getLocalRot makes of rotation values (degrees).
    DzQuat rotationOf(const DzVec3 &degrees) const;

private:
    DzRotationOrder m_order;
    KeyStepper m_pos[3];
    KeyStepper m_rot[3];
};

} // namespace trelvo::motion
