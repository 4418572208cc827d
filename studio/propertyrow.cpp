#include "propertyrow.h"

#include "dzfloatproperty.h"
#include "dznode.h"
#include "propertyeditor.h"

#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

enum class Kind { Translate, Rotate, Scale, Other };

Kind kindOf(const DzFloatProperty *p)
{
    auto *node = p ? qobject_cast<DzNode *>(p->getOwner()) : nullptr;
    if (!node)
        return Kind::Other;
    if (p == node->getXPosControl() || p == node->getYPosControl() || p == node->getZPosControl())
        return Kind::Translate;
    if (p == node->getXRotControl() || p == node->getYRotControl() || p == node->getZRotControl())
        return Kind::Rotate;
    if (p == node->getXScaleControl() || p == node->getYScaleControl() || p == node->getZScaleControl()
        || p == node->getScaleControl())
        return Kind::Scale;
    return Kind::Other;
}

bool hasLimits(const DzFloatProperty *p)
{
    return p->isClamped() && p->getMin() > -FLT_MAX && p->getMax() < FLT_MAX && p->getMin() < p->getMax();
}

} // namespace

void PropertyRow::sliderRange(const DzFloatProperty *property, double *lo, double *hi)
{
    double l = -1.0, h = 1.0;
    if (property && hasLimits(property)) {
        l = property->getMin();
        h = property->getMax();
    } else {
        switch (kindOf(property)) {
        case Kind::Translate:
            l = -100.0;
            h = 100.0;
            break;
        case Kind::Rotate:
            l = -180.0;
            h = 180.0;
            break;
        case Kind::Scale:
            l = 0.0;
            h = 2.0;
            break;
        case Kind::Other:
            l = -1.0;
            h = 1.0;
            break;
        }
    }
    if (lo)
        *lo = l;
    if (hi)
        *hi = h;
}

PropertyRow::PropertyRow(DzFloatProperty *property, QWidget *parent)
    : QWidget(parent)
    , m_property(property)
    , m_key(new QToolButton(this))
    , m_label(new QLabel(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
    , m_spin(new QDoubleSpinBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(6);

    m_key->setAutoRaise(true);
    m_key->setFixedSize(18, 18);
    m_key->setToolTip(QStringLiteral("Set or delete a key at the current frame"));
    layout->addWidget(m_key);

    m_label->setText(property ? property->getLabel() : QString());
    m_label->setToolTip(property ? property->getName() : QString());
    m_label->setMinimumWidth(84);
    m_label->setMaximumWidth(120);
    layout->addWidget(m_label);

    sliderRange(property, &m_lo, &m_hi);
    m_slider->setRange(0, kSliderSteps);
    m_slider->setPageStep(kSliderSteps / 10);
    m_slider->setMinimumWidth(60);
    layout->addWidget(m_slider, 1);

    const Kind kind = kindOf(property);
    if (property && hasLimits(property)) {
        m_spin->setRange(property->getMin(), property->getMax());
    } else {
        switch (kind) {
        case Kind::Translate:
            m_spin->setRange(-100000.0, 100000.0);
            break;
        case Kind::Rotate:
            m_spin->setRange(-3600.0, 3600.0);
            break;
        case Kind::Scale:
            m_spin->setRange(-100.0, 100.0);
            break;
        case Kind::Other:
            m_spin->setRange(-1.0e6, 1.0e6);
            break;
        }
    }
    m_spin->setDecimals(kind == Kind::Translate || kind == Kind::Rotate ? 2 : 3);
    m_spin->setSingleStep(kind == Kind::Rotate ? 1.0 : (kind == Kind::Translate ? 0.5 : 0.01));
    if (kind == Kind::Translate)
        m_spin->setSuffix(QStringLiteral(" cm"));
    else if (kind == Kind::Rotate)
        m_spin->setSuffix(QStringLiteral("\u00b0"));
    m_spin->setKeyboardTracking(false);
    m_spin->setAccelerated(true);
    m_spin->setFixedWidth(92);
    m_spin->setAlignment(Qt::AlignRight);
    layout->addWidget(m_spin);

    connect(m_spin, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!m_updating && m_property)
            emit valueEdited(m_property, v);
    });
    connect(m_slider, &QSlider::sliderPressed, this, [this] {
        if (m_property)
            emit dragStarted(m_property);
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        if (m_property)
            emit dragFinished(m_property);
    });
    connect(m_slider, &QSlider::valueChanged, this, &PropertyRow::onSliderValue);
    connect(m_key, &QToolButton::clicked, this, [this] {
        if (m_property)
            emit keyToggleRequested(m_property);
    });

    if (property && !property->isAnimatable())
        m_key->setEnabled(false);
}

double PropertyRow::sliderToValue(int position) const
{
    return m_lo + (m_hi - m_lo) * double(position) / kSliderSteps;
}

int PropertyRow::valueToSlider(double value) const
{
    if (m_hi <= m_lo || !std::isfinite(value))
        return 0;
    const double t = std::clamp((value - m_lo) / (m_hi - m_lo), 0.0, 1.0);
    return int(std::lround(t * kSliderSteps));
}

void PropertyRow::onSliderValue(int position)
{
    if (m_updating || !m_property)
        return;
    const double value = sliderToValue(position);
    {
        // Keep the spin box in step without it reporting an edit of its own.
        const bool was = m_updating;
        m_updating = true;
        m_spin->setValue(value);
        m_updating = was;
    }
    if (m_slider->isSliderDown())
        emit dragMoved(m_property, value);
    else
        emit valueEdited(m_property, value);
}

void PropertyRow::showAt(DzTime time)
{
    if (!m_property)
        return;
    m_shownTime = time;
    const bool was = m_updating;
    m_updating = true;
    const double value = m_property->getValue(time);
    m_spin->setValue(value);
    // While dragging, the slider is where the mouse put it.
    if (!m_slider->isSliderDown())
        m_slider->setValue(valueToSlider(value));
    m_updating = was;

    switch (PropertyEditor::keyState(m_property, time)) {
    case PropertyEditor::KeyState::KeyHere:
        m_key->setText(QStringLiteral("\u25c6"));
        m_key->setStyleSheet(QStringLiteral("QToolButton { color: #f0a030; font-weight: bold; }"));
        m_key->setToolTip(QStringLiteral("Keyed at this frame: click to delete the key"));
        break;
    case PropertyEditor::KeyState::Animated:
        m_key->setText(QStringLiteral("\u25c7"));
        m_key->setStyleSheet(QStringLiteral("QToolButton { color: #d0a060; }"));
        m_key->setToolTip(QStringLiteral("Animated: click to set a key at this frame"));
        break;
    case PropertyEditor::KeyState::None:
        m_key->setText(QStringLiteral("\u00b7"));
        m_key->setStyleSheet(QStringLiteral("QToolButton { color: #808890; }"));
        m_key->setToolTip(QStringLiteral("Not animated: click to set a key at this frame"));
        break;
    }
    // Animated properties stand out in the list.
    QFont f = m_label->font();
    f.setItalic(m_property->isKeyed());
    m_label->setFont(f);
}

void PropertyRow::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_property)
        return;
    QMenu menu(this);
    const bool keyHere = m_property->findKeyIndex(m_shownTime) >= 0;
    QAction *toggle = menu.addAction(
        keyHere ? QStringLiteral("Delete Key at This Frame") : QStringLiteral("Set Key at This Frame"));
    toggle->setEnabled(m_property->isAnimatable());
    QAction *deleteAll = menu.addAction(QStringLiteral("Delete All Keys"));
    deleteAll->setEnabled(m_property->isKeyed());
    menu.addSeparator();
    QAction *reset
        = menu.addAction(QStringLiteral("Reset to Default (%1)").arg(m_property->getDefaultValue()));
    QAction *chosen = menu.exec(event->globalPos());
    if (!m_property)
        return;
    if (chosen == toggle)
        emit keyToggleRequested(m_property);
    else if (chosen == deleteAll)
        emit deleteAllKeysRequested(m_property);
    else if (chosen == reset)
        emit resetRequested(m_property);
}
