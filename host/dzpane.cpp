#include "dzpane.h"

#include "dzactionmenu.h"
#include "dzapp.h"
#include "dzmainwindow.h"
#include "dzpanesettings.h"

#include <QContextMenuEvent>
#include <QMenu>

DzPane::DzPane(const QString &label, QWidget *parent)
    : QWidget(parent)
    , m_label(label)
{
    setWindowTitle(label);
}

DzPane::~DzPane() = default;

void DzPane::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    setWindowTitle(label);
    emit labelChanged(label);
}

void DzPane::buildOptionsMenu(DzActionMenu *) const
{
}

bool DzPane::useOptionsAsContextMenu() const
{
    return false;
}

QMenu *DzPane::createOptionsMenu(QWidget *parent) const
{
    DzActionMenu options;
    buildOptionsMenu(&options);
    DzMainWindow *window = dzApp ? dzApp->getInterface() : nullptr;
    if (options.getNumItems() == 0 || !window)
        return nullptr;
    auto *menu = new QMenu(parent);
    if (options.buildMenu(menu, window->getActionMgr()) == 0) {
        delete menu;
        return nullptr;
    }
    return menu;
}

void DzPane::saveSettings(DzPaneSettings &)
{
}

void DzPane::restoreSettings(const DzPaneSettings &)
{
}

void DzPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Mapping a window sends a second, spontaneous show event.
    if (!m_onScreen) {
        m_onScreen = true;
        emit shown();
    }
}

void DzPane::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_onScreen) {
        m_onScreen = false;
        emit hidden();
    }
}

void DzPane::contextMenuEvent(QContextMenuEvent *event)
{
    if (!useOptionsAsContextMenu()) {
        QWidget::contextMenuEvent(event);
        return;
    }
    QMenu *menu = createOptionsMenu(this);
    if (!menu) {
        event->ignore();
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}
