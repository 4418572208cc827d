#pragma once

#include "dznode.h"

#include <QPointer>

// A bone of a figure. A bone may follow another bone (held weakly: null once
// that bone is deleted).
class DzBone : public DzNode
{
    Q_OBJECT
public:
    explicit DzBone(const QString &name = QString(), QObject *parent = nullptr);

    DzBone *getFollowBone() const { return m_followBone.data(); }
    // Refuses (ignores) following itself.
    void setFollowBone(DzBone *bone);

private:
    QPointer<DzBone> m_followBone;
};
