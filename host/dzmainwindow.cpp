#include "dzmainwindow.h"

#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzpanemgr.h"
#include "dzviewportmgr.h"

#include <QCloseEvent>

DzMainWindow::DzMainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_paneMgr(new DzPaneMgr(this, this))
    , m_actionMgr(new DzActionMgr(this))
    , m_viewportMgr(new DzViewportMgr(this))
{
    setObjectName(QStringLiteral("DzMainWindow"));
    if (dzApp)
        dzApp->setInterface(this);
}

DzMainWindow::~DzMainWindow()
{
    m_paneMgr->deleteAllPanes();
    delete m_actionMgr;
    m_actionMgr = nullptr;
    if (dzApp && dzApp->getInterface() == this)
        dzApp->setInterface(nullptr);
    delete m_paneMgr;
    m_paneMgr = nullptr;
    delete m_viewportMgr;
    m_viewportMgr = nullptr;
}

// DzApp keeps its window as a plain QObject so that the model library does
// not depend on widgets; the window's type is known here.
DzMainWindow *DzApp::getInterface() const
{
    return static_cast<DzMainWindow *>(m_interface.data());
}

void DzApp::setInterface(DzMainWindow *window)
{
    if (m_interface == window)
        return;
    m_interface = window;
    m_viewportMgr = window ? window->getViewportMgr() : nullptr;
    emit interfaceChanged(window);
}

void DzMainWindow::closeEvent(QCloseEvent *event)
{
    m_paneMgr->saveAllPaneSettings();
    QMainWindow::closeEvent(event);
}
