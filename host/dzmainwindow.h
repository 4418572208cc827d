#pragma once

#include <QMainWindow>

class DzActionMgr;
class DzPaneMgr;
class DzViewportMgr;

// The host's main window: the holder of the pane, action and viewport
// managers. Constructing one makes it the application's interface
// (DzApp::getInterface) while dzApp exists; destroying it withdraws it.
//
// On destruction the panes go first (while the managers and the interface
// still exist, since pane destructors may look things up), then the
// actions, then the managers.
class DzMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DzMainWindow(QWidget *parent = nullptr);
    ~DzMainWindow() override;

    DzPaneMgr *getPaneMgr() const { return m_paneMgr; }
    DzActionMgr *getActionMgr() const { return m_actionMgr; }
    DzViewportMgr *getViewportMgr() const { return m_viewportMgr; }

protected:
    // Saves every pane's settings before the window closes.
    void closeEvent(QCloseEvent *event) override;

private:
    DzPaneMgr *m_paneMgr;
    DzActionMgr *m_actionMgr;
    DzViewportMgr *m_viewportMgr;
};
