#pragma once

#include "dzfloatproperty.h"
#include "dztime.h"

#include <QPointer>
#include <QWidget>

class DzFloatProperty;
class QDoubleSpinBox;
class QLabel;
class QSlider;
class QToolButton;

// One property of the parameters panel: a key marker, the label, a slider
// and a spin box. The row only shows the property at a time and reports what
// the user does; the panel decides what an edit means.
//
// Key marker: a filled diamond when the property has a key at the shown
// time, a hollow one when it is animated elsewhere, a faint dot otherwise.
class PropertyRow : public QWidget {
    Q_OBJECT
public:
    explicit PropertyRow(DzFloatProperty *property, QWidget *parent = nullptr);

    DzFloatProperty *property() const { return m_property.data(); }
    QDoubleSpinBox *spinBox() const { return m_spin; }
    QSlider *slider() const { return m_slider; }
    QToolButton *keyButton() const { return m_key; }

    // Shows the value and key state at `time` without reporting edits.
    void showAt(DzTime time);

    // The slider's range for a property (the spin box accepts more): its
    // limits when it clamps, else a range that suits translations (cm),
    // rotations (degrees), scales and other factors.
    static void sliderRange(const DzFloatProperty *property, double *lo, double *hi);
    static constexpr int kSliderSteps = 1000;

signals:
    // A single edit (spin box, a slider step or page click).
    void valueEdited(DzFloatProperty *property, double value);
    // A slider drag: started, moved (any number of times), finished.
    void dragStarted(DzFloatProperty *property);
    void dragMoved(DzFloatProperty *property, double value);
    void dragFinished(DzFloatProperty *property);
    void keyToggleRequested(DzFloatProperty *property);
    void deleteAllKeysRequested(DzFloatProperty *property);
    void resetRequested(DzFloatProperty *property);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    double sliderToValue(int position) const;
    int valueToSlider(double value) const;
    void onSliderValue(int position);

    QPointer<DzFloatProperty> m_property;
    QToolButton *m_key;
    QLabel *m_label;
    QSlider *m_slider;
    QDoubleSpinBox *m_spin;
    double m_lo = 0.0;
    double m_hi = 1.0;
    DzTime m_shownTime = 0;
    bool m_updating = false;
};
