#include "propertyeditsession.h"

#include "dzelement.h"
#include "dzfloatproperty.h"
#include "dzundostackhold.h"
#include "propertyeditor.h"

#include <cmath>

PropertyEditSession::PropertyEditSession() = default;

PropertyEditSession::~PropertyEditSession()
{
    commit();
}

bool PropertyEditSession::begin(DzFloatProperty *property, DzTime time, bool autoKey)
{
    commit();
    if (!property)
        return false;
    m_hold = std::make_unique<DzUndoStackHold>();
    m_property = property;
    m_owner = property->getOwner();
    m_caption = PropertyEditor::editCaption(property);
    m_time = time;
    m_autoKey = autoKey;
    if (m_owner)
        m_owner->beginEdit();
    else
        property->beginEdit();
    return true;
}

bool PropertyEditSession::set(float value)
{
    if (!m_hold || !m_property || !std::isfinite(value))
        return false;
    if (PropertyEditor::writesKey(m_property, m_autoKey))
        m_property->setValue(m_time, value);
    else
        m_property->setValue(value);
    return true;
}

void PropertyEditSession::commit()
{
    if (!m_hold)
        return;
    if (m_owner)
        m_owner->finishEdit();
    else if (m_property)
        m_property->finishEdit();
    m_hold->accept(m_caption);
    m_hold.reset();
    m_property.clear();
    m_owner.clear();
}
