#include "dzskeleton.h"

#include "dzbone.h"

namespace {

void collectBones(const DzNode *node, QList<DzBone *> &out)
{
    for (int i = 0; i < node->getNumNodeChildren(); ++i) {
        // Only bone chains make up the figure; props parented to a bone and
        // nested figures have their own hierarchy.
        if (auto *bone = qobject_cast<DzBone *>(node->getNodeChild(i))) {
            out.append(bone);
            collectBones(bone, out);
        }
    }
}

} // namespace

DzSkeleton::DzSkeleton(const QString &name, QObject *parent) : DzNode(name, parent)
{
}

QList<DzBone *> DzSkeleton::getAllBones() const
{
    QList<DzBone *> bones;
    collectBones(this, bones);
    return bones;
}

DzBone *DzSkeleton::findBone(const QString &name) const
{
    for (DzBone *bone : getAllBones())
        if (bone->getName() == name)
            return bone;
    return nullptr;
}

void DzSkeleton::setFollowTarget(DzSkeleton *target)
{
    if (target == this)
        return;
    m_followTarget = target;
}
