#include "dzpanemgr.h"

#include "dzappsettings.h"
#include "dzpane.h"
#include "dzpanesettings.h"

#include <QDockWidget>
#include <QEvent>
#include <QMainWindow>

namespace {

QString className(const QObject *object)
{
    return QString::fromLatin1(object->metaObject()->className());
}

QString settingsPath(const DzPane *pane)
{
    return QStringLiteral("PaneSettings/") + className(pane);
}

} // namespace

DzPaneMgr::DzPaneMgr(QMainWindow *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
}

DzPaneMgr::~DzPaneMgr()
{
    deleteAllPanes();
}

int DzPaneMgr::indexOf(const DzPane *pane) const
{
    for (int i = 0; i < m_panes.size(); ++i) {
        if (m_panes[i].pane == pane)
            return i;
    }
    return -1;
}

int DzPaneMgr::indexOfHolder(const QObject *holder) const
{
    for (int i = 0; i < m_panes.size(); ++i) {
        if (m_panes[i].holder == holder)
            return i;
    }
    return -1;
}

bool DzPaneMgr::addPane(DzPane *pane)
{
    if (!pane || indexOf(pane) >= 0)
        return false;
    const QString name = className(pane);
    for (const Entry &e : std::as_const(m_panes)) {
        if (className(e.pane) == name)
            return false;
    }
    if (pane->objectName().isEmpty())
        pane->setObjectName(name);

    QWidget *holder = pane;
    if (m_window) {
        auto *dock = new QDockWidget(pane->getLabel(), m_window);
        dock->setObjectName(name + QStringLiteral("Dock"));
        dock->setWidget(pane);
        m_window->addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->hide();
        connect(pane, &DzPane::labelChanged, dock, &QDockWidget::setWindowTitle);
        holder = dock;
        // Inside its dock the pane stays visible; the dock decides.
        pane->show();
    } else {
        pane->setParent(nullptr); // a closed window of its own
    }
    holder->installEventFilter(this);
    m_panes.append(Entry { pane, holder, false });
    connect(pane, &QObject::destroyed, this, &DzPaneMgr::forget);
    emit paneAdded(pane);
    return true;
}

void DzPaneMgr::forget(QObject *pane)
{
    for (int i = 0; i < m_panes.size(); ++i) {
        if (m_panes[i].pane == pane) {
            // The pane is past its own destructor: hand on the pointer we
            // kept, never a downcast of the dying object.
            DzPane *gone = m_panes[i].pane;
            QWidget *holder = m_panes[i].holder;
            m_panes.removeAt(i);
            if (holder != pane) {
                holder->removeEventFilter(this);
                holder->deleteLater();
            }
            emit paneRemoved(gone);
            return;
        }
    }
}

void DzPaneMgr::deleteAllPanes()
{
    while (!m_panes.isEmpty()) {
        const Entry e = m_panes.takeLast();
        disconnect(e.pane, &QObject::destroyed, this, &DzPaneMgr::forget);
        e.holder->removeEventFilter(this);
        emit paneRemoved(e.pane);
        delete e.pane;
        if (e.holder != e.pane)
            delete e.holder;
    }
}

DzPane *DzPaneMgr::findPane(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const Entry &e : m_panes) {
        if (className(e.pane) == name)
            return e.pane;
    }
    for (const Entry &e : m_panes) {
        if (e.pane->objectName() == name)
            return e.pane;
    }
    return nullptr;
}

DzPane *DzPaneMgr::getPane(int i) const
{
    return (i >= 0 && i < m_panes.size()) ? m_panes.at(i).pane : nullptr;
}

QDockWidget *DzPaneMgr::getDock(const DzPane *pane) const
{
    const int i = indexOf(pane);
    return i < 0 ? nullptr : qobject_cast<QDockWidget *>(m_panes.at(i).holder);
}

bool DzPaneMgr::showPane(DzPane *pane)
{
    const int i = indexOf(pane);
    if (i < 0)
        return false;
    QWidget *holder = m_panes[i].holder;
    holder->show();
    holder->raise();
    return true;
}

bool DzPaneMgr::hidePane(DzPane *pane)
{
    const int i = indexOf(pane);
    if (i < 0)
        return false;
    m_panes[i].holder->hide();
    return true;
}

bool DzPaneMgr::showPane(const QString &name)
{
    return showPane(findPane(name));
}

bool DzPaneMgr::hidePane(const QString &name)
{
    return hidePane(findPane(name));
}

bool DzPaneMgr::togglePane(const QString &name)
{
    DzPane *pane = findPane(name);
    if (!pane)
        return false;
    return isPaneShown(pane) ? hidePane(pane) : showPane(pane);
}

bool DzPaneMgr::isPaneShown(const DzPane *pane) const
{
    const int i = indexOf(pane);
    return i >= 0 && m_panes.at(i).shown;
}

bool DzPaneMgr::isPaneShown(const QString &name) const
{
    return isPaneShown(findPane(name));
}

bool DzPaneMgr::eventFilter(QObject *watched, QEvent *event)
{
    // ShowToParent/HideToParent follow explicit show()/hide() (and the dock's
    // close button) even while the window itself is not on screen.
    const QEvent::Type type = event->type();
    if (type == QEvent::ShowToParent || type == QEvent::HideToParent) {
        const int i = indexOfHolder(watched);
        if (i >= 0) {
            const bool shown = type == QEvent::ShowToParent;
            if (m_panes[i].shown != shown) {
                m_panes[i].shown = shown;
                emit paneVisibilityChanged(m_panes[i].pane, shown);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void DzPaneMgr::savePaneSettings(DzPane *pane) const
{
    if (!pane)
        return;
    DzPaneSettings settings;
    pane->saveSettings(settings);
    DzAppSettings app(settingsPath(pane));
    // Keys the pane no longer writes must not come back on restore.
    app.removeAllValues();
    for (const QString &key : settings.getKeys())
        app.setStringValue(key, settings.getValueText(key));
    app.sync();
}

void DzPaneMgr::restorePaneSettings(DzPane *pane) const
{
    if (!pane)
        return;
    DzPaneSettings settings;
    const DzAppSettings app(settingsPath(pane));
    for (const QString &key : app.getKeys())
        settings.setStringValue(key, app.getStringValue(key));
    pane->restoreSettings(settings);
}

void DzPaneMgr::saveAllPaneSettings() const
{
    for (const Entry &e : m_panes)
        savePaneSettings(e.pane);
}

void DzPaneMgr::restoreAllPaneSettings() const
{
    for (const Entry &e : m_panes)
        restorePaneSettings(e.pane);
}
