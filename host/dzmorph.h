#pragma once

#include "dzmodifier.h"

class DzFloatProperty;

// A morph. This host draws skeletons only and has no geometry to deform, so a
// morph is its value channel: an animatable float property named "Value",
// labelled like the morph, range 0..1 with clamping on, default 0. The morph
// owns the channel (it is the channel's owner and its first property), so a
// morph can be addressed by the morph's name through the channel's owner.
class DzMorph : public DzModifier
{
    Q_OBJECT
public:
    explicit DzMorph(const QString &name = QString(), const QString &label = QString(),
                     QObject *parent = nullptr);

    DzFloatProperty *getValueChannel() const { return m_value; }

private:
    DzFloatProperty *m_value;
};
