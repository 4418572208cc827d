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

void DzMainWindow::closeEvent(QCloseEvent *event)
{
    m_paneMgr->saveAllPaneSettings();
    QMainWindow::closeEvent(event);
}
