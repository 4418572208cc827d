#include "kymasterfootdialog.h"

#include "figurebinding.h"
#include "kymaster.h"
#include "kytime.h"
#include "kytimeline.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

KyMasterFootDialog::KyMasterFootDialog(KyMaster *master)
    : QDialog(nullptr)
    , m_master(master)
{
    setWindowTitle(QStringLiteral("High Heel Rotational Offset"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(15, 15, 15, 15);
    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(1, 25);
    column->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("High Heel Rotational Offset:"), this), 0, 0, Qt::AlignRight);
    m_offset = new QSpinBox(this);
    m_offset->setRange(-60, 60);
    m_offset->setSingleStep(1);
    m_offset->setSuffix(QStringLiteral("deg"));
    const FigureBinding *binding = master->timeline()->currentBinding();
    m_offset->setValue(binding ? static_cast<int>(binding->m_heelOffset) : 0);
    grid->addWidget(m_offset, 0, 2);

    auto *buttons = new QHBoxLayout;
    auto *done = new QPushButton(QStringLiteral("Done"), this);
    buttons->addStretch();
    buttons->addWidget(done);
    buttons->addStretch();
    column->addLayout(buttons);
    column->addStretch();

    connect(m_offset, &QSpinBox::valueChanged, this, &KyMasterFootDialog::offsetChanged);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

void KyMasterFootDialog::offsetChanged(int value)
{
    KyTimeline *timeline = m_master->timeline();
    FigureBinding *binding = timeline->currentBinding();
    if (!binding)
        return;
    binding->m_heelOffset = static_cast<float>(value);
    timeline->goSeek(hostSnappedMs(), true, true);
    timeline->reSkim();
}
