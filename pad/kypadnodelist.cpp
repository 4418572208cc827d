#include "kypadnodelist.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzskeleton.h"

QList<DzNode *> kyPadNodeList(DzNode *figure)
{
    QList<DzNode *> list;
    if (!figure)
        return list;
    if (auto *skeleton = qobject_cast<DzSkeleton *>(figure)) {
        for (DzBone *bone : skeleton->getAllBones()) {
            if (!bone->getFollowBone())
                list.append(bone);
        }
    }
    auto *asBone = qobject_cast<DzBone *>(figure);
    if (!asBone || !asBone->getFollowBone())
        list.append(figure);
    return list;
}

QList<DzFloatProperty *> kyPadProperties(DzNode *node)
{
    QList<DzFloatProperty *> props;
    if (!node)
        return props;
    if (DzObject *object = node->getObject()) {
        for (int i = 0; i < object->getNumModifiers(); ++i) {
            if (auto *morph = qobject_cast<DzMorph *>(object->getModifier(i))) {
                if (morph->getValueChannel())
                    props.append(morph->getValueChannel());
            }
        }
    }
    for (int i = 0; i < node->getNumProperties(); ++i) {
        auto *p = qobject_cast<DzFloatProperty *>(node->getProperty(i));
        if (!p || p->getXYZInterest() || p->isHidden() || !p->isAnimatable())
            continue;
        if (p->getLabel().contains(QLatin1String("scale"), Qt::CaseInsensitive))
            continue;
        props.append(p);
    }
    return props;
}
