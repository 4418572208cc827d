#include "dzpaneaction.h"

#include "dzapp.h"
#include "dzlog.h"
#include "dzmainwindow.h"
#include "dzpane.h"
#include "dzpanemgr.h"

namespace {

DzPaneMgr *paneMgr()
{
    DzMainWindow *window = dzApp ? dzApp->getInterface() : nullptr;
    return window ? window->getPaneMgr() : nullptr;
}

} // namespace

DzPaneAction::DzPaneAction(const QString &paneClassName, QObject *parent)
    : DzAction(paneClassName, QString(), parent)
    , m_paneClass(paneClassName)
{
    // "KyPadPane" -> "KyPadPaneAction", the usual name of a pane's action.
    setObjectName(paneClassName + QStringLiteral("Action"));
    setToggleAction(true);
}

void DzPaneAction::init()
{
    if (DzPaneMgr *mgr = paneMgr()) {
        connect(mgr, &DzPaneMgr::paneVisibilityChanged, this, &DzPaneAction::follow);
        connect(mgr, &DzPaneMgr::paneAdded, this, &DzPaneAction::adoptPane);
        if (DzPane *pane = mgr->findPane(m_paneClass)) {
            adoptPane(pane);
            follow(pane, mgr->isPaneShown(pane));
        }
    }
    DzAction::init();
}

void DzPaneAction::adoptPane(DzPane *pane)
{
    if (!pane || QLatin1String(pane->metaObject()->className()) != m_paneClass)
        return;
    if (!pane->getLabel().isEmpty())
        setText(pane->getLabel());
    connect(pane, &DzPane::labelChanged, this, &QAction::setText, Qt::UniqueConnection);
}

void DzPaneAction::follow(DzPane *pane, bool shown)
{
    if (!pane || QLatin1String(pane->metaObject()->className()) != m_paneClass)
        return;
    // Setting the state from the pane must not bounce back into the pane.
    m_following = true;
    setChecked(shown);
    m_following = false;
}

void DzPaneAction::toggleAction(bool onOff)
{
    if (m_following)
        return;
    DzPaneMgr *mgr = paneMgr();
    const bool done = mgr && (onOff ? mgr->showPane(m_paneClass) : mgr->hidePane(m_paneClass));
    if (!done) {
        dzWarning(
            QStringLiteral("No %1 instance found in DzPaneAction::toggleAction(bool)").arg(m_paneClass));
        m_following = true;
        setChecked(mgr && mgr->isPaneShown(m_paneClass));
        m_following = false;
    }
}
