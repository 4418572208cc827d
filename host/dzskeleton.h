#pragma once

#include "dznode.h"

#include <QList>
#include <QPointer>

class DzBone;

// A figure: a node whose descendants include its bones. A skeleton may follow
// another skeleton (a conformer such as clothing); the follow target is held
// weakly and reads as null once that skeleton is deleted.
class DzSkeleton : public DzNode
{
    Q_OBJECT
public:
    explicit DzSkeleton(const QString &name = QString(), QObject *parent = nullptr);

    // Every DzBone below this skeleton, depth first, parent before children,
    // children in order. The walk descends through bones only: nodes that are
    // not bones (props parented to a bone, nested figures) and everything
    // below them are not listed.
    QList<DzBone *> getAllBones() const;
    int getNumBones() const { return getAllBones().size(); }
    // A bone of this skeleton with this name, or null.
    DzBone *findBone(const QString &name) const;

    DzSkeleton *getFollowTarget() const { return m_followTarget.data(); }
    // Refuses (ignores) following itself.
    void setFollowTarget(DzSkeleton *target);

private:
    QPointer<DzSkeleton> m_followTarget;
};
