#include "kymasterblockdialog.h"

#include "kymasterblock.h"
#include "kymasterlayout.h"
#include "kytrack.h"

#include "kyblock.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *spinBox(QWidget *parent, int min, int max, int step, const QString &suffix, int value)
{
    auto *box = new QSpinBox(parent);
    box->setRange(min, max);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    box->setValue(value);
    return box;
}

QCheckBox *checkBox(QWidget *parent, bool on)
{
    auto *box = new QCheckBox(parent);
    box->setChecked(on);
    return box;
}

} // namespace

KyMasterBlockDialog::KyMasterBlockDialog(KyMasterBlock *tile)
    : QDialog(nullptr)
    , m_tile(tile)
{
    setWindowTitle(QStringLiteral("kinBlock Parameters"));
    const KyBlock &block = *tile->block();
    KyMasterLayout *layout = tile->trackLayout();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(15, 15, 15, 15);
    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(1, 25);
    column->addLayout(grid);

    const bool several = layout->track()->selection().size() > 1;
    m_name = new QLabel(several ? QStringLiteral("Multiple Selected") : block.name, this);
    m_speed = spinBox(this, 10, 1000, 10, QStringLiteral("%"), static_cast<int>(block.speed * 100.0f));
    m_hor = checkBox(this, block.flags & KyBlock::ReorientHorizontalPosition);
    m_facing = checkBox(this, block.flags & KyBlock::ReorientFacing);
    m_internal = checkBox(this, block.flags & KyBlock::ReorientInternalHorizontalPosition);
    m_facingOffset = spinBox(this, -360, 360, 1, QStringLiteral("deg"), static_cast<int>(block.facingOffset));
    m_x = spinBox(this, -500, 500, 1, QString(), static_cast<int>(block.posOffset.x));
    m_y = spinBox(this, -5000, 5000, 10, QString(), static_cast<int>(block.posOffset.y));
    m_z = spinBox(this, -500, 500, 1, QString(), static_cast<int>(block.posOffset.z));
    m_internalBlend = spinBox(this, 0, 500, 50, QStringLiteral("ms"), block.internalBlend);
    m_mirror = checkBox(this, block.mirror);

    const QList<QPair<QString, QWidget *>> rows = {
        {QStringLiteral("Name:"), m_name},
        {QStringLiteral("Speed:"), m_speed},
        {QStringLiteral("Reorient Horizontal Position:"), m_hor},
        {QStringLiteral("Reorient Facing Direction:"), m_facing},
        {QStringLiteral("Reorient Internal Horizontal Position:"), m_internal},
        {QStringLiteral("Facing Direction Offset:"), m_facingOffset},
        {QStringLiteral("Position X Offset:"), m_x},
        {QStringLiteral("Position Y Offset:"), m_y},
        {QStringLiteral("Position Z Offset:"), m_z},
        {QStringLiteral("Internal Blend Time:"), m_internalBlend},
        {QStringLiteral("Mirror:"), m_mirror},
    };
    for (int row = 0; row < rows.size(); ++row) {
        grid->addWidget(new QLabel(rows[row].first, this), row, 0, Qt::AlignRight);
        grid->addWidget(rows[row].second, row, 2);
    }

    auto *buttons = new QHBoxLayout;
    auto *done = new QPushButton(QStringLiteral("Done"), this);
    buttons->addStretch();
    buttons->addWidget(done);
    buttons->addStretch();
    column->addLayout(buttons);
    column->addStretch();

    connect(m_speed, &QSpinBox::valueChanged, layout, &KyMasterLayout::speedChanged);
    connect(m_hor, &QCheckBox::toggled, layout, &KyMasterLayout::flagsHor);
    connect(m_facing, &QCheckBox::toggled, layout, &KyMasterLayout::flagsFacing);
    connect(m_internal, &QCheckBox::toggled, layout, &KyMasterLayout::flagsIHor);
    connect(m_facingOffset, &QSpinBox::valueChanged, layout, &KyMasterLayout::rotyOffsetChanged);
    connect(m_x, &QSpinBox::valueChanged, layout, &KyMasterLayout::posxOffsetChanged);
    connect(m_y, &QSpinBox::valueChanged, layout, &KyMasterLayout::posyOffsetChanged);
    connect(m_z, &QSpinBox::valueChanged, layout, &KyMasterLayout::poszOffsetChanged);
    connect(m_internalBlend, &QSpinBox::valueChanged, layout, &KyMasterLayout::iblend_vChanged);
    connect(m_mirror, &QCheckBox::toggled, layout, &KyMasterLayout::mirrorChanged);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}
