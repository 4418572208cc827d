#include "dzmorph.h"

#include "dzfloatproperty.h"

DzMorph::DzMorph(const QString &name, const QString &label, QObject *parent)
    : DzModifier(name, parent), m_value(new DzFloatProperty(QStringLiteral("Value"), 0.0f, true))
{
    if (!label.isEmpty())
        setLabel(label);
    m_value->setLabel(getLabel());
    m_value->setMinMax(0.0f, 1.0f);
    m_value->setIsClamped(true);
    addProperty(m_value);
    // The channel is shown under the morph's name, so it follows relabelling.
    connect(this, &DzElement::labelChanged, m_value, &DzProperty::setLabel);
}
