#include "nodekeyreader.h"

#include <dzfloatproperty.h>
#include <dznode.h>

#include <cmath>

namespace trelvo::motion {

namespace {
constexpr double kDegToRad = M_PI / 180.0;
}

float KeyStepper::valueAt(DzTime time)
{
    const std::vector<DzFloatProperty::Key> &keys = m_control->getKeys();
    if (m_next > 0 && (m_next > keys.size() || keys[m_next - 1].time > time))
        m_next = 0; // an earlier time, or keys changed under us
    while (m_next < keys.size() && keys[m_next].time <= time)
        ++m_next;
    // The last key at or before time is the one the control's own search finds.
    if (m_next > 0 && keys[m_next - 1].time == time)
        return keys[m_next - 1].value;
    return m_control->getValue(time);
}

NodeKeyReader::NodeKeyReader(const DzNode *node)
    : m_order(node->getRotationOrder())
    , m_pos{KeyStepper(node->getXPosControl()), KeyStepper(node->getYPosControl()),
            KeyStepper(node->getZPosControl())}
    , m_rot{KeyStepper(node->getXRotControl()), KeyStepper(node->getYRotControl()),
            KeyStepper(node->getZRotControl())}
{
}

DzVec3 NodeKeyReader::localPos(DzTime time)
{
    return DzVec3(m_pos[0].valueAt(time), m_pos[1].valueAt(time), m_pos[2].valueAt(time));
}

DzVec3 NodeKeyReader::localRotDegrees(DzTime time)
{
    return DzVec3(m_rot[0].valueAt(time), m_rot[1].valueAt(time), m_rot[2].valueAt(time));
}

DzQuat NodeKeyReader::rotationOf(const DzVec3 &degrees) const
{
    // The arithmetic of DzNode::getLocalRot, to the bit.
    return DzQuat(m_order, DzVec3(float(degrees.m_x * kDegToRad), float(degrees.m_y * kDegToRad),
                                  float(degrees.m_z * kDegToRad)));
}

} // namespace trelvo::motion
