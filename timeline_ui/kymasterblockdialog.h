#pragma once
// KyMasterBlockDialog ("kinBlock Parameters"): edits the placement
// parameters of the selected blocks of one track while the figure keeps
// showing the result. Every control is connected to the track's parameter
// slot, so each change applies at once to the whole selection; "Done" only
// closes the dialog. The controls start from the tile's block and are
// filled before they are connected, so opening the dialog changes nothing.

#include <QDialog>

class KyMasterBlock;
class QCheckBox;
class QLabel;
class QSpinBox;

class KyMasterBlockDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KyMasterBlockDialog(KyMasterBlock *tile);

    QLabel *nameLabel() const { return m_name; }
    QSpinBox *speedBox() const { return m_speed; }
    QCheckBox *horizontalBox() const { return m_hor; }
    QCheckBox *facingBox() const { return m_facing; }
    QCheckBox *internalBox() const { return m_internal; }
    QSpinBox *facingOffsetBox() const { return m_facingOffset; }
    QSpinBox *xOffsetBox() const { return m_x; }
    QSpinBox *yOffsetBox() const { return m_y; }
    QSpinBox *zOffsetBox() const { return m_z; }
    QSpinBox *internalBlendBox() const { return m_internalBlend; }
    QCheckBox *mirrorBox() const { return m_mirror; }

private:
    KyMasterBlock *m_tile;
    QLabel *m_name;
    QSpinBox *m_speed;
    QCheckBox *m_hor;
    QCheckBox *m_facing;
    QCheckBox *m_internal;
    QSpinBox *m_facingOffset;
    QSpinBox *m_x;
    QSpinBox *m_y;
    QSpinBox *m_z;
    QSpinBox *m_internalBlend;
    QCheckBox *m_mirror;
};
