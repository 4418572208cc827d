#include "figurebinding.h"

#include "kyposer.h"

#include "nodetable.h"

#include "dzbone.h"
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
    m_posePlan.skeleton = nullptr;
    if (m_skeleton.data() == node)
        m_skeleton = nullptr;
}

namespace {

uint8_t boneKind(const QString &name)
{
    if (name == QLatin1String("lFoot") || name == QLatin1String("rFoot"))
        return FigureBinding::kFoot;
    if (name == QLatin1String("lToe") || name == QLatin1String("rToe"))
        return FigureBinding::kToe;
    if (name == QLatin1String("lHand") || name == QLatin1String("rHand"))
        return FigureBinding::kHand;
    return FigureBinding::kOtherBone;
}

// Bones below node in writing order: a bone, then its children; the walk
// stops at a child that is not a bone.
void collectPosedBones(DzNode *node, std::vector<FigureBinding::PosedBone> &out)
{
    for (int i = 0; i < node->getNumNodeChildren(); ++i) {
        auto *bone = qobject_cast<DzBone *>(node->getNodeChild(i));
        if (!bone)
            continue;
        const QString name = bone->getName();
        const size_t at = out.size();
        out.push_back({bone, nodeIndexByHash(nameHash(name)), 0, boneKind(name)});
        collectPosedBones(bone, out);
        out[at].subtreeEnd = static_cast<int>(out.size());
    }
}

} // namespace

const FigureBinding::PosePlan &FigureBinding::posePlan()
{
    DzSkeleton *figure = skeleton();
    if (m_posePlan.skeleton == figure && m_posePlan.structureRevision == DzNode::structureRevision()
        && m_posePlan.tableRevision == nodeTable().revision)
        return m_posePlan;
    m_posePlan.skeleton = figure;
    m_posePlan.structureRevision = DzNode::structureRevision();
    m_posePlan.tableRevision = nodeTable().revision;
    m_posePlan.root = poseRoot(figure);
    m_posePlan.rootTableIndex = nodeIndexByHash(nameHash("hip"));
    m_posePlan.bones.clear();
    if (m_posePlan.root)
        collectPosedBones(m_posePlan.root, m_posePlan.bones);
    return m_posePlan;
}
