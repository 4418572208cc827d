#include "dzbone.h"

DzBone::DzBone(const QString &name, QObject *parent) : DzNode(name, parent)
{
}

void DzBone::setFollowBone(DzBone *bone)
{
    if (bone == this)
        return;
    m_followBone = bone;
}
