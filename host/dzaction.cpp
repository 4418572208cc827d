#include "dzaction.h"

DzAction::DzAction(const QString &text, const QString &description, QObject *parent)
    : QAction(text, parent)
{
    setDescription(description);
    connect(this, &QAction::triggered, this, [this] {
        if (!isCheckable())
            executeAction();
    });
    connect(this, &QAction::toggled, this, [this](bool on) { toggleAction(on); });
}

void DzAction::setDescription(const QString &description)
{
    m_description = description;
    setStatusTip(description);
    setWhatsThis(description);
}

void DzAction::init()
{
    m_initialized = true;
}

void DzAction::executeAction()
{
}

void DzAction::toggleAction(bool)
{
}
