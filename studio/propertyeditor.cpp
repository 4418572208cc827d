#include "propertyeditor.h"

#include "dzfloatproperty.h"
#include "dzmodifier.h"
#include "dzmorph.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzundostackhold.h"

#include <QSet>

#include <cmath>

namespace {

// Opens the edits of every owner of `properties` (once each) for the life of
// the bracket, inside one undo hold accepted with `caption`.
class EditBracket {
public:
    EditBracket(const QList<DzFloatProperty *> &properties, const QString &caption)
        : m_caption(caption)
    {
        QSet<DzElement *> seen;
        for (DzFloatProperty *p : properties) {
            DzElement *owner = p ? p->getOwner() : nullptr;
            if (owner && !seen.contains(owner)) {
                seen.insert(owner);
                m_owners.append(owner);
                owner->beginEdit();
            }
            // A property without owner records its own edit.
            if (p && !owner) {
                m_loose.append(p);
                p->beginEdit();
            }
        }
    }
    ~EditBracket()
    {
        for (const QPointer<DzElement> &owner : m_owners)
            if (owner)
                owner->finishEdit();
        for (const QPointer<DzFloatProperty> &p : m_loose)
            if (p)
                p->finishEdit();
        m_hold.accept(m_caption);
    }

private:
    DzUndoStackHold m_hold; // opened first, accepted last
    QString m_caption;
    QList<QPointer<DzElement>> m_owners;
    QList<QPointer<DzFloatProperty>> m_loose;
};

void write(DzFloatProperty *property, DzTime time, float value, bool autoKey)
{
    if (PropertyEditor::writesKey(property, autoKey))
        property->setValue(time, value);
    else
        property->setValue(value);
}

} // namespace

QList<PropertyEditor::Group> PropertyEditor::groupsFor(DzNode *node)
{
    QList<Group> groups;
    if (!node)
        return groups;
    Group translation { QStringLiteral("Translation"), {} };
    Group rotation { QStringLiteral("Rotation"), {} };
    Group scale { QStringLiteral("Scale"), {} };
    Group other { QStringLiteral("Properties"), {} };
    Group morphs { QStringLiteral("Morphs"), {} };

    auto visible = [](DzFloatProperty *p) { return p && !p->isHidden(); };
    for (DzFloatProperty *p : { node->getXPosControl(), node->getYPosControl(), node->getZPosControl() })
        if (visible(p))
            translation.properties.append(p);
    for (DzFloatProperty *p : { node->getXRotControl(), node->getYRotControl(), node->getZRotControl() })
        if (visible(p))
            rotation.properties.append(p);
    for (DzFloatProperty *p : { node->getXScaleControl(), node->getYScaleControl(), node->getZScaleControl(),
             node->getScaleControl() })
        if (visible(p))
            scale.properties.append(p);

    QSet<const DzProperty *> transform;
    for (const Group *g : { &translation, &rotation, &scale })
        for (DzFloatProperty *p : g->properties)
            transform.insert(p);
    // Hidden transform controls must not reappear among the other properties.
    for (DzFloatProperty *p : { node->getXPosControl(), node->getYPosControl(), node->getZPosControl(),
             node->getXRotControl(), node->getYRotControl(), node->getZRotControl(), node->getXScaleControl(),
             node->getYScaleControl(), node->getZScaleControl(), node->getScaleControl() })
        transform.insert(p);
    for (DzProperty *p : node->getProperties()) {
        auto *fp = qobject_cast<DzFloatProperty *>(p);
        if (visible(fp) && !transform.contains(fp))
            other.properties.append(fp);
    }
    if (DzObject *object = node->getObject()) {
        for (int i = 0; i < object->getNumModifiers(); ++i) {
            if (auto *morph = qobject_cast<DzMorph *>(object->getModifier(i))) {
                DzFloatProperty *channel = morph->getValueChannel();
                if (visible(channel))
                    morphs.properties.append(channel);
            }
        }
    }
    for (const Group &g : { translation, rotation, scale, other, morphs })
        if (!g.properties.isEmpty())
            groups.append(g);
    return groups;
}

QList<DzFloatProperty *> PropertyEditor::propertiesOf(DzNode *node)
{
    QList<DzFloatProperty *> all;
    for (const Group &g : groupsFor(node))
        all += g.properties;
    return all;
}

PropertyEditor::KeyState PropertyEditor::keyState(const DzFloatProperty *property, DzTime time)
{
    if (!property || property->getNumKeys() == 0)
        return KeyState::None;
    return property->findKeyIndex(time) >= 0 ? KeyState::KeyHere : KeyState::Animated;
}

bool PropertyEditor::writesKey(const DzFloatProperty *property, bool autoKey)
{
    return property && property->isAnimatable() && (property->isKeyed() || autoKey);
}

bool PropertyEditor::setValue(DzFloatProperty *property, DzTime time, float value, bool autoKey)
{
    if (!property || !std::isfinite(value))
        return false;
    EditBracket bracket({ property }, editCaption(property));
    write(property, time, value, autoKey);
    return true;
}

int PropertyEditor::setKeys(DzNode *node, DzTime time)
{
    QList<DzFloatProperty *> targets;
    for (DzFloatProperty *p : propertiesOf(node))
        if (p->isAnimatable())
            targets.append(p);
    if (targets.isEmpty())
        return 0;
    EditBracket bracket(targets, QStringLiteral("Set Key"));
    for (DzFloatProperty *p : targets)
        p->setValue(time, p->getValue(time));
    return targets.size();
}

int PropertyEditor::deleteKeys(DzNode *node, DzTime time)
{
    QList<DzFloatProperty *> targets;
    for (DzFloatProperty *p : propertiesOf(node))
        if (p->findKeyIndex(time) >= 0)
            targets.append(p);
    if (targets.isEmpty())
        return 0;
    EditBracket bracket(targets, QStringLiteral("Delete Key"));
    int removed = 0;
    for (DzFloatProperty *p : targets)
        removed += p->removeKey(time) ? 1 : 0;
    return removed;
}

bool PropertyEditor::toggleKey(DzFloatProperty *property, DzTime time)
{
    if (!property || !property->isAnimatable())
        return false;
    const bool has = property->findKeyIndex(time) >= 0;
    EditBracket bracket({ property }, has ? QStringLiteral("Delete Key") : QStringLiteral("Set Key"));
    if (has)
        return property->removeKey(time);
    property->setValue(time, property->getValue(time));
    return true;
}

int PropertyEditor::deleteAllKeys(DzFloatProperty *property)
{
    if (!property || property->getNumKeys() == 0)
        return 0;
    const int n = property->getNumKeys();
    // The static value takes over once the keys are gone; keep what the user
    // sees at the moment instead of an unrelated old static value.
    const float shown = property->getValue();
    EditBracket bracket({ property }, QStringLiteral("Delete All Keys"));
    property->deleteAllKeys();
    property->setValue(shown);
    return n;
}

bool PropertyEditor::resetToDefault(DzFloatProperty *property, DzTime time, bool autoKey)
{
    if (!property)
        return false;
    return setValue(property, time, property->getDefaultValue(), autoKey);
}

int PropertyEditor::resetNode(DzNode *node, DzTime time, bool autoKey)
{
    const QList<DzFloatProperty *> targets = propertiesOf(node);
    if (targets.isEmpty())
        return 0;
    EditBracket bracket(targets, QStringLiteral("Reset Pose"));
    for (DzFloatProperty *p : targets)
        write(p, time, p->getDefaultValue(), autoKey);
    return targets.size();
}

DzNode *PropertyEditor::nodeOf(const DzFloatProperty *property)
{
    if (!property)
        return nullptr;
    DzElement *owner = property->getOwner();
    if (auto *node = qobject_cast<DzNode *>(owner))
        return node;
    // A morph's channel: morph -> object -> node, through the QObject parents
    // the object and its node set.
    for (QObject *o = owner ? owner->parent() : nullptr; o; o = o->parent())
        if (auto *node = qobject_cast<DzNode *>(o))
            return node;
    return nullptr;
}

QString PropertyEditor::editCaption(const DzFloatProperty *property)
{
    if (!property)
        return QString();
    if (auto *node = qobject_cast<DzNode *>(property->getOwner()))
        return QStringLiteral("Change %1 %2").arg(node->getLabel(), property->getLabel());
    return QStringLiteral("Change %1").arg(property->getLabel());
}
