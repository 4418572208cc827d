#include "kyposer.h"

#include "figurebinding.h"
#include "kyrecordingbuffers.h"
#include "kytime.h"

#include "nodetable.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzmatrix3.h"
#include "dznode.h"
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

bool isHand(const QString &name)
{
    return name == QLatin1String("lHand") || name == QLatin1String("rHand");
}

DzQuat aboutX(double degrees)
{
    return DzQuat(DzVec3(1.0f, 0.0f, 0.0f), degrees * kPi / 180.0);
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

    void writeRoot(DzNode *root)
    {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        const bool hasPosition = nodeTranslation("hip", &x, &y, &z);
        DzQuat q;
        const bool hasRotation = engineRotation(QStringLiteral("hip"), &q);
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

    void writeBone(DzNode *node)
    {
        DzBone *bone = qobject_cast<DzBone *>(node);
        if (!bone)
            return;
        const QString name = bone->getName();
        DzQuat q;
        if (engineRotationAt(tableIndex(bone, name), &q)) {
            const auto offset = m_binding.m_rotationalOffsets.find(bone);
            if (offset != m_binding.m_rotationalOffsets.end())
                q = DzQuat(DzMatrix3(offset->second) * DzMatrix3(q));
            // Blocks may turn a bone beyond the figure's posing limits.
            bone->getXRotControl()->setIsClamped(false);
            bone->getYRotControl()->setIsClamped(false);
            bone->getZRotControl()->setIsClamped(false);
            q = applyHeelOffset(name, m_binding.m_heelOffset, q);
            backup(bone, true);
            bone->setLocalRot(m_ticks, q);
            if (m_options.recording)
                m_options.recording->addRotation(bone, q);
        }
        if (m_options.maskFingers && isHand(name))
            return;
        for (int i = 0; i < bone->getNumNodeChildren(); ++i)
            writeBone(bone->getNodeChild(i));
    }

private:
    int tableIndex(const DzNode *node, const QString &name)
    {
        const uint32_t revision = nodeTable().revision;
        FigureBinding::TableEntry &entry = m_binding.m_tableEntries[node];
        if (!entry.known || entry.revision != revision || entry.name != name) {
            entry.name = name;
            entry.index = nodeIndexByHash(nameHash(name));
            entry.revision = revision;
            entry.known = true;
        }
        return entry.index;
    }

    // A preview (hold > 0) backs the host's state up once per node before
    // writing; a seek (hold 0) writes keys that stay, so a backup pending at
    // the same time must not take them away later.
    void backup(DzNode *node, bool rotation)
    {
        auto &backups = rotation ? m_binding.m_rotationBackups : m_binding.m_positionBackups;
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
    DzNode *root = poseRoot(skeleton);
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
    if (heelDegrees != 0.0f && isFoot(boneName))
        return aboutX(-heelDegrees) * q;
    if (heelDegrees > 0.0f && isToe(boneName)) {
        const DzQuat toe = aboutX(heelDegrees);
        return heelDegrees <= kHeelToeLimit ? toe * q : toe;
    }
    return q;
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
    DzNode *root = poseRoot(skeleton);
    binding.m_figureScale = figureScaleOf(skeleton);

    if (keyHoldMs > 0)
        binding.m_keyHoldTime = keyHoldMs;

    PoseWriter writer(binding, snappedTicks(tMs), keyHoldMs, options);
    writer.writeRoot(root);
    for (int i = 0; i < root->getNumNodeChildren(); ++i)
        writer.writeBone(root->getNodeChild(i));
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
