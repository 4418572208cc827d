#include "kyoffsets.h"

#include "figurebinding.h"

#include "dznode.h"
#include "dzskeleton.h"

const std::vector<OffsetTableEntry> &v4ConversionTable()
{
    static const std::vector<OffsetTableEntry> table = {
        {"rForeArm", 0.047004, -0.070147, -0.021488, 0.996197},
        {"lForeArm", 0.047004, 0.070147, 0.021488, 0.996197},
        {"rShin", -0.00872, 0.000345, 0.000007, 0.999962},
        {"rFoot", -0.203642, 0.0, 0.0, 0.979045},
        {"lShin", -0.00872, -0.000345, -0.000007, 0.999962},
        {"lFoot", -0.203642, 0.0, 0.0, 0.979045},
    };
    return table;
}

bool setRotationalOffset(FigureBinding &binding, const QString &boneName, double x, double y,
                         double z, double w)
{
    DzSkeleton *skeleton = binding.skeleton();
    if (!skeleton)
        return false;
    DzNode *bone = skeleton->findNodeChild(boneName, true);
    if (!bone)
        return false;
    binding.m_rotationalOffsets[bone] = DzQuat(x, y, z, w, true);
    return true;
}

int applyConversionTable(FigureBinding &binding)
{
    binding.m_rotationalOffsets.clear();
    int set = 0;
    for (const OffsetTableEntry &entry : v4ConversionTable()) {
        if (setRotationalOffset(binding, QString::fromLatin1(entry.bone), entry.x, entry.y, entry.z,
                                entry.w))
            ++set;
    }
    return set;
}

void startOffsetTool(FigureBinding &binding)
{
    binding.m_offsetSnapshot.clear();
    DzSkeleton *skeleton = binding.skeleton();
    if (!skeleton)
        return;
    for (DzNode *node : skeleton->getNodesInHierarchy()) {
        const DzQuat local = node->getLocalRot();
        const DzQuat inverse(-local.m_x, -local.m_y, -local.m_z, local.m_w, false);
        const auto offset = binding.m_rotationalOffsets.find(node);
        binding.m_offsetSnapshot[node] =
            offset == binding.m_rotationalOffsets.end() ? inverse : inverse * offset->second;
    }
}

void recomputeOffsets(FigureBinding &binding)
{
    binding.m_rotationalOffsets.clear();
    DzSkeleton *skeleton = binding.skeleton();
    if (!skeleton)
        return;
    for (DzNode *node : skeleton->getNodesInHierarchy()) {
        const auto snapshot = binding.m_offsetSnapshot.find(node);
        // A node added after the tool was switched on has no snapshot.
        if (snapshot == binding.m_offsetSnapshot.end())
            continue;
        const DzQuat r = node->getLocalRot() * snapshot->second;
        if (!r.isIdentity())
            binding.m_rotationalOffsets[node] = r;
    }
}
