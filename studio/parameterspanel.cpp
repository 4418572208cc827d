#include "parameterspanel.h"

#include "dzfloatproperty.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "framemath.h"
#include "propertyeditor.h"
#include "propertyrow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

ParametersPanel::ParametersPanel(DzScene *scene, QWidget *parent)
    : QWidget(parent)
    , m_scene(scene)
    , m_title(new QLabel(this))
    , m_subtitle(new QLabel(this))
    , m_setKey(new QPushButton(QStringLiteral("Set Key"), this))
    , m_deleteKey(new QPushButton(QStringLiteral("Delete Key"), this))
    , m_reset(new QPushButton(QStringLiteral("Reset Pose"), this))
    , m_autoKey(new QCheckBox(QStringLiteral("Auto Key"), this))
    , m_scroll(new QScrollArea(this))
    , m_empty(new QLabel(this))
{
    setObjectName(QStringLiteral("ParametersPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_title->setFont(titleFont);
    layout->addWidget(m_title);
    m_subtitle->setStyleSheet(QStringLiteral("color: palette(mid);"));
    layout->addWidget(m_subtitle);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    m_setKey->setToolTip(QStringLiteral("Key every property of the selection at the current frame"));
    m_deleteKey->setToolTip(QStringLiteral("Delete the selection's keys at the current frame"));
    m_reset->setToolTip(QStringLiteral("Put every property of the selection back to its default"));
    m_autoKey->setToolTip(
        QStringLiteral("Key every edit at the current frame (animated properties are always keyed)"));
    buttons->addWidget(m_setKey);
    buttons->addWidget(m_deleteKey);
    buttons->addWidget(m_reset);
    buttons->addStretch(1);
    buttons->addWidget(m_autoKey);
    layout->addLayout(buttons);

    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(m_scroll, 1);

    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setText(QStringLiteral("Select a figure or a bone in the viewport to pose it."));
    m_empty->setStyleSheet(QStringLiteral("color: palette(mid); padding: 24px;"));
    layout->addWidget(m_empty, 1);

    connect(m_setKey, &QPushButton::clicked, this, &ParametersPanel::setKeys);
    connect(m_deleteKey, &QPushButton::clicked, this, &ParametersPanel::deleteKeys);
    connect(m_reset, &QPushButton::clicked, this, &ParametersPanel::resetPose);
    connect(m_autoKey, &QCheckBox::toggled, this, &ParametersPanel::autoKeyChanged);

    if (m_scene) {
        connect(m_scene, &DzScene::primarySelectionChanged, this, &ParametersPanel::setNode);
        connect(m_scene, &DzScene::timeChanged, this, &ParametersPanel::refreshValues);
        setNode(m_scene->getPrimarySelection());
    } else {
        setNode(nullptr);
    }
}

bool ParametersPanel::autoKey() const
{
    return m_autoKey->isChecked();
}

void ParametersPanel::setAutoKey(bool on)
{
    m_autoKey->setChecked(on);
}

DzTime ParametersPanel::now() const
{
    return m_scene ? m_scene->getTime() : 0;
}

PropertyRow *ParametersPanel::rowFor(const DzFloatProperty *property) const
{
    for (PropertyRow *row : m_rows)
        if (row->property() == property)
            return row;
    return nullptr;
}

void ParametersPanel::setNode(DzNode *node)
{
    m_drag.commit();
    for (const QMetaObject::Connection &c : std::as_const(m_nodeConnections))
        disconnect(c);
    m_nodeConnections.clear();
    m_node = node;
    if (node) {
        // The list of properties or morphs may change under us (a plug-in
        // adding a control); rebuild then.
        m_nodeConnections << connect(node, &DzElement::propertyListChanged, this, &ParametersPanel::rebuild);
        m_nodeConnections << connect(node, &DzNode::objectChanged, this, &ParametersPanel::rebuild);
        m_nodeConnections << connect(node, &DzElement::labelChanged, this, &ParametersPanel::rebuild);
        if (DzObject *object = node->getObject())
            m_nodeConnections << connect(
                object, &DzObject::modifierListChanged, this, &ParametersPanel::rebuild);
        m_nodeConnections << connect(node, &QObject::destroyed, this, [this] { setNode(nullptr); });
    }
    rebuild();
}

void ParametersPanel::rebuild()
{
    m_drag.commit();
    m_rows.clear();
    if (QWidget *old = m_scroll->takeWidget())
        old->deleteLater();

    DzNode *node = m_node.data();
    const bool has = node != nullptr;
    m_setKey->setEnabled(has);
    m_deleteKey->setEnabled(has);
    m_reset->setEnabled(has);
    m_scroll->setVisible(has);
    m_empty->setVisible(!has);
    if (!has) {
        m_title->setText(QStringLiteral("No Selection"));
        m_subtitle->setText(QString());
        return;
    }
    m_title->setText(node->getLabel());
    DzSkeleton *figure = node->getSkeleton();
    if (figure && figure != node)
        m_subtitle->setText(QStringLiteral("Bone of %1 \u00b7 rotation order %2")
                                .arg(figure->getLabel(), node->getRotationOrder().toString()));
    else if (figure)
        m_subtitle->setText(QStringLiteral("Figure \u00b7 %1 bones").arg(figure->getNumBones()));
    else
        m_subtitle->setText(QStringLiteral("Node"));

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const PropertyEditor::Group &group : PropertyEditor::groupsFor(node)) {
        auto *header = new QLabel(group.title, content);
        header->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; padding: 6px 6px 3px 6px;"
                                             " background: palette(alternate-base); }"));
        layout->addWidget(header);
        for (DzFloatProperty *property : group.properties) {
            auto *row = new PropertyRow(property, content);
            m_rows.append(row);
            layout->addWidget(row);
            // The row is the context: the connections end with it.
            connect(property, &DzProperty::currentValueChanged, row,
                [this, property] { refreshProperty(property); });
            connect(property, &DzProperty::keysChanged, row, [this, property] { refreshProperty(property); });
            connect(row, &PropertyRow::valueEdited, this, [this](DzFloatProperty *p, double v) {
                PropertyEditor::setValue(p, now(), float(v), autoKey());
            });
            connect(row, &PropertyRow::dragStarted, this,
                [this](DzFloatProperty *p) { m_drag.begin(p, now(), autoKey()); });
            connect(row, &PropertyRow::dragMoved, this, [this](DzFloatProperty *p, double v) {
                if (m_drag.property() != p)
                    m_drag.begin(p, now(), autoKey());
                m_drag.set(float(v));
            });
            connect(row, &PropertyRow::dragFinished, this, [this](DzFloatProperty *) { m_drag.commit(); });
            connect(row, &PropertyRow::keyToggleRequested, this,
                [this](DzFloatProperty *p) { PropertyEditor::toggleKey(p, now()); });
            connect(row, &PropertyRow::deleteAllKeysRequested, this, [this](DzFloatProperty *p) {
                const int n = PropertyEditor::deleteAllKeys(p);
                emit statusMessage(QStringLiteral("Deleted %1 key(s) of %2").arg(n).arg(p->getLabel()));
            });
            connect(row, &PropertyRow::resetRequested, this,
                [this](DzFloatProperty *p) { PropertyEditor::resetToDefault(p, now(), autoKey()); });
        }
    }
    layout->addStretch(1);
    m_scroll->setWidget(content);
    refreshValues();
}

void ParametersPanel::refreshValues()
{
    const DzTime t = now();
    for (PropertyRow *row : std::as_const(m_rows))
        row->showAt(t);
}

void ParametersPanel::refreshProperty(DzFloatProperty *property)
{
    if (PropertyRow *row = rowFor(property))
        row->showAt(now());
}

namespace {

int frameOf(const DzScene *scene)
{
    return scene ? FrameMath::frameForTime(scene->getTime(), scene->getTimeStep()) : 0;
}

} // namespace

void ParametersPanel::setKeys()
{
    if (!m_node)
        return;
    const int n = PropertyEditor::setKeys(m_node, now());
    emit statusMessage(QStringLiteral("Keyed %1 properties of %2 at frame %3")
                           .arg(n)
                           .arg(m_node->getLabel())
                           .arg(frameOf(m_scene)));
}

void ParametersPanel::deleteKeys()
{
    if (!m_node)
        return;
    const int n = PropertyEditor::deleteKeys(m_node, now());
    emit statusMessage(n > 0
            ? QStringLiteral("Deleted %1 key(s) of %2 at frame %3")
                  .arg(n)
                  .arg(m_node->getLabel())
                  .arg(frameOf(m_scene))
            : QStringLiteral("%1 has no keys at frame %2").arg(m_node->getLabel()).arg(frameOf(m_scene)));
}

void ParametersPanel::resetPose()
{
    if (!m_node)
        return;
    PropertyEditor::resetNode(m_node, now(), autoKey());
    emit statusMessage(QStringLiteral("Reset %1").arg(m_node->getLabel()));
}
