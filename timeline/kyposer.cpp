#include "kyposer.h"

#include "figurebinding.h"
#include "kyrecordingbuffers.h"
#include "kytime.h"

#include "nodetable.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzmatrix3.h"
#include "dznode.h"
#include "dzproperty.h"
#include "dzskeleton.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kDegreesPerRadian = 57.29578f;

bool isFoot(const QString &name)
{
    return name == QLatin1String("lFoot") || name == QLatin1String("rFoot");
}

bool isToe(const QString &name)
{
    return name == QLatin1String("lToe") || name == QLatin1String("rToe");
}

DzQuat aboutX(double degrees)
{
    return DzQuat(DzVec3(1.0f, 0.0f, 0.0f), degrees * kPi / 180.0);
}

DzQuat heelOffset(bool foot, bool toe, float heelDegrees, const DzQuat &q)
{
    if (heelDegrees != 0.0f && foot)
        return aboutX(-heelDegrees) * q;
    if (heelDegrees > 0.0f && toe) {
        const DzQuat offset = aboutX(heelDegrees);
        return heelDegrees <= kHeelToeLimit ? offset * q : offset;
    }
    return q;
}

// The engine's translation of a node table entry; true only when this
// evaluation set it.
bool engineTranslationAt(int tableIndex, float *x, float *y, float *z)
{
    const NodeTable &table = nodeTable();
    if (tableIndex < 0 || tableIndex >= table.count)
        return false;
    const NodeEntry &entry = table.entries[tableIndex];
    *x = toFloat(entry.pos[0]);
    *y = toFloat(entry.pos[1]);
    *z = toFloat(entry.pos[2]);
    const uint32_t need = kNodeWritten | kNodeTranslationSet;
    return (entry.nodeFlags & need) == need;
}

// One pose application: where and how the values are written.
class PoseWriter
{
public:
    PoseWriter(FigureBinding &binding, DzTime ticks, int keyHold, const PoseOptions &options)
        : m_binding(binding)
        , m_ticks(ticks)
        , m_keyHold(keyHold)
        , m_options(options)
    {
    }

    void writeRoot(DzNode *root, int tableIndex)
    {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        const bool hasPosition = engineTranslationAt(tableIndex, &x, &y, &z);
        DzQuat q;
        const bool hasRotation = engineRotationAt(tableIndex, &q);
        DzVec3 position = root->getLocalPos(m_ticks);
        if (hasPosition) {
            position = DzVec3(x, y - kReferenceHipHeight, z) * m_binding.m_figureScale;
            backup(root, false);
            root->setLocalPos(m_ticks, position);
        }
        if (hasRotation) {
            const auto offset = m_binding.m_rotationalOffsets.find(root);
            if (offset != m_binding.m_rotationalOffsets.end()) {
                DzQuat withOffset = offset->second;
                withOffset *= q;
                q = withOffset;
            }
            backup(root, true);
            root->setLocalRot(m_ticks, q);
            keepEulerContinuous(root, q);
        }
        if (m_options.recording && (hasPosition || hasRotation))
            m_options.recording->addRoot(root, position, hasRotation ? q : root->getLocalRot(m_ticks));
    }

    void writeBone(const FigureBinding::PosedBone &posed)
    {
        DzQuat q;
        if (!engineRotationAt(posed.tableIndex, &q))
            return;
        DzBone *bone = posed.bone;
        if (!m_binding.m_rotationalOffsets.empty()) {
            const auto offset = m_binding.m_rotationalOffsets.find(bone);
            if (offset != m_binding.m_rotationalOffsets.end())
                q = DzQuat(DzMatrix3(offset->second) * DzMatrix3(q));
        }
        // Blocks may turn a bone beyond the figure's posing limits.
        bone->getXRotControl()->setIsClamped(false);
        bone->getYRotControl()->setIsClamped(false);
        bone->getZRotControl()->setIsClamped(false);
        q = heelOffset(posed.kind == FigureBinding::kFoot, posed.kind == FigureBinding::kToe,
                       m_binding.m_heelOffset, q);
        backup(bone, true);
        bone->setLocalRot(m_ticks, q);
        if (m_options.recording)
            m_options.recording->addRotation(bone, q);
    }

private:
    // A preview (hold > 0) backs the host's state up once per node before
    // writing; a seek (hold 0) writes keys that stay, so a backup pending at
    // the same time must not take them away later.
    void backup(DzNode *node, bool rotation)
    {
        auto &backups = rotation ? m_binding.m_rotationBackups : m_binding.m_positionBackups;
        if (m_keyHold <= 0 && backups.empty())
            return;
        if (m_keyHold > 0) {
            if (backups.find(node) == backups.end())
                backups.emplace(node, HostBackup::capture(node, m_ticks, rotation));
        } else {
            const auto it = backups.find(node);
            if (it != backups.end() && it->second.time == m_ticks)
                backups.erase(it);
        }
    }

    void keepEulerContinuous(DzNode *root, const DzQuat &q)
    {
        DzVec3 euler;
        q.getValue(root->getRotationOrder(), euler);
        for (int axis = 0; axis < 3; ++axis) {
            DzFloatProperty *control = transformControl(root, true, axis);
            float reference = 0.0f;
            if (control->getNumKeys() > 1) {
                const int key = control->getKeyIndex(m_ticks);
                if (key > 0)
                    reference = control->getKeyValue(key - 1);
            }
            control->setValue(m_ticks, continuousAngle(euler[axis] * kDegreesPerRadian, reference));
        }
    }

    FigureBinding &m_binding;
    DzTime m_ticks;
    int m_keyHold;
    const PoseOptions &m_options;
};

} // namespace

DzNode *poseRoot(DzNode *skeleton)
{
    if (!skeleton)
        return nullptr;
    DzNode *hip = skeleton->findNodeChild(QStringLiteral("hip"), false);
    return hip ? hip : skeleton;
}

float figureScaleOf(DzNode *skeleton)
{
    return figureScaleOfRoot(poseRoot(skeleton));
}

float figureScaleOfRoot(DzNode *root)
{
    if (!root)
        return 1.0f;
    const float scale = root->getOrigin().m_y / kReferenceHipHeight;
    // A root at height 0 (or a broken origin) would flatten every position
    // here and divide by zero when sampling.
    if (!std::isfinite(scale) || scale <= 1e-6f)
        return 1.0f;
    return scale;
}

bool engineRotation(const QString &name, DzQuat *q)
{
    return engineRotationAt(nodeIndexByHash(nameHash(name)), q);
}

bool engineRotationAt(int tableIndex, DzQuat *q)
{
    float angle = 0.0f, ax = 0.0f, ay = 0.0f, az = 0.0f;
    if (!nodeRotationAt(tableIndex, &angle, &ax, &ay, &az))
        return false;
    *q = DzQuat(DzVec3(-ax, -ay, -az), angle * kPi / 180.0);
    return true;
}

DzQuat applyHeelOffset(const QString &boneName, float heelDegrees, const DzQuat &q)
{
    return heelOffset(isFoot(boneName), isToe(boneName), heelDegrees, q);
}

DzQuat removeHeelOffset(const QString &boneName, float heelDegrees, const DzQuat &q)
{
    if (heelDegrees != 0.0f && isFoot(boneName))
        return aboutX(heelDegrees) * q;
    // Above the limit the toe was replaced by the offset alone; taking the
    // offset out again gives back a neutral toe, not a toe bent the other way.
    if (heelDegrees > 0.0f && isToe(boneName))
        return aboutX(-heelDegrees) * q;
    return q;
}

float continuousAngle(float angle, float reference)
{
    angle += 360.0f * std::trunc(reference / 360.0f);
    if (std::fabs(reference - (angle + 360.0f)) < std::fabs(reference - angle))
        angle += 360.0f;
    if (std::fabs(reference - (angle - 360.0f)) < std::fabs(reference - angle))
        angle -= 360.0f;
    return angle;
}

void applyPose(FigureBinding &binding, int tMs, int keyHoldMs, const PoseOptions &options)
{
    DzSkeleton *skeleton = binding.skeleton();
    if (!skeleton || skeleton->getFollowTarget())
        return;
    const FigureBinding::PosePlan &plan = binding.posePlan();
    DzNode *root = plan.root;
    binding.m_figureScale = figureScaleOfRoot(root);

    if (keyHoldMs > 0)
        binding.m_keyHoldTime = keyHoldMs;

    // Observers hear of the pose once, when it is complete.
    DzChangeBatch batch;
    PoseWriter writer(binding, snappedTicks(tMs), keyHoldMs, options);
    writer.writeRoot(root, plan.rootTableIndex);
    const std::vector<FigureBinding::PosedBone> &bones = plan.bones;
    for (size_t i = 0; i < bones.size();) {
        writer.writeBone(bones[i]);
        // Masked fingers: the hand is posed, the bones below it are not.
        i = options.maskFingers && bones[i].kind == FigureBinding::kHand ? static_cast<size_t>(bones[i].subtreeEnd)
                                                                         : i + 1;
    }
}

void restoreBackups(FigureBinding &binding)
{
    for (const auto &entry : binding.m_rotationBackups)
        entry.second.restore(true);
    for (const auto &entry : binding.m_positionBackups)
        entry.second.restore(false);
    binding.m_rotationBackups.clear();
    binding.m_positionBackups.clear();
    binding.m_keyHoldTime = 0;
}

void releaseKeyHold(FigureBinding &binding, int elapsedMs)
{
    if (binding.m_keyHoldTime <= 0)
        return;
    binding.m_keyHoldTime -= elapsedMs;
    if (binding.m_keyHoldTime > 0)
        return;
    binding.m_keyHoldTime = -1;
    restoreBackups(binding);
}
