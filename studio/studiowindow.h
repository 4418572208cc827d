#pragma once

#include "dzmainwindow.h"
#include "pluginhost.h"

#include <QDockWidget>
#include <QPointer>
#include <QStringList>

class DzSkeleton;
class ParametersPanel;
class QDockWidget;
class QLabel;
class QMenu;
class SceneCommands;
class SceneOutline;
class StudioDocument;
class StudioViewport;
class TimeBar;
class ViewportRenderer;

// The studio's main window: the viewport with the time bar under it, the
// scene outline and the parameters panel docked beside it, the plug-in's
// panes, and the menus File, Edit, View, Figures, Animation, Render, the
// plug-ins' own menus, Window and Help.
//
// Every question and message goes through StudioPrompt, so tests and
// --screenshot runs never block on a dialog.
class StudioWindow : public DzMainWindow {
    Q_OBJECT
public:
    explicit StudioWindow(QWidget *parent = nullptr);
    ~StudioWindow() override;

    StudioDocument *document() const { return m_document; }
    StudioViewport *viewport() const { return m_viewport; }
    ParametersPanel *parameters() const { return m_parameters; }
    TimeBar *timeBar() const { return m_timeBar; }
    SceneOutline *outline() const { return m_outline; }
    // Figures, Render and motion commands.
    SceneCommands *commands() const { return m_commands; }
    const PluginHost &plugins() const { return m_plugins; }

    // A top-level menu by its title without '&' ("File", "Trelvo", ...), or
    // null.
    QMenu *menuNamed(const QString &title) const;
    // A studio action by object name ("actionUndo", ...), or null.
    QAction *studioAction(const QString &objectName) const;

    // Loads and installs the plug-ins (see PluginHost), then lays out the
    // docks: the saved layout when there is one, else the first plug-in
    // pane under the viewport and any others beside the parameters.
    void loadPlugins(const QString &explicitLocation, const QString &applicationDir);
    // Plug-in and content problems met during start-up, for the user.
    QStringList startupProblems() const { return m_problems; }
    void addStartupProblem(const QString &problem) { m_problems << problem; }

    // Whether the layout and settings are written back on close (off for
    // --screenshot runs, which must not disturb the user's settings).
    void setPersistSettings(bool on) { m_persist = on; }

public slots:
    // Each asks about unsaved changes first; false when the user cancelled or
    // the operation failed (the user was told why).
    bool newScene();
    bool openScene(const QString &path = QString());
    bool saveScene();
    bool saveSceneAs(const QString &path = QString());
    // Asks whether to save unsaved changes: true to go on (saved or
    // discarded), false when the user cancelled or saving failed.
    bool maybeSave();

    void resetLayout();
    // Adds a file to the recent files and remembers its folder.
    void rememberFile(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildDocks();
    void buildMenus();
    void buildStatusBar();
    QAction *addStudioAction(
        QMenu *menu, const QString &name, const QString &text, const QKeySequence &shortcut = {});
    void refreshUndoActions();
    void refreshRecentMenu();
    void refreshTitle();
    void refreshStatus();
    void placePluginPanes();
    void applyDefaultDockSizes();
    void restoreSettings();
    void saveSettings();

    StudioDocument *m_document;
    StudioViewport *m_viewport;
    TimeBar *m_timeBar;
    ParametersPanel *m_parameters;
    SceneOutline *m_outline;
    SceneCommands *m_commands;
    QDockWidget *m_parametersDock = nullptr;
    QDockWidget *m_outlineDock = nullptr;
    ViewportRenderer *m_renderer = nullptr;
    QMenu *m_windowMenu = nullptr;
    QMenu *m_recentMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QLabel *m_statusScene = nullptr;
    PluginHost m_plugins;
    QStringList m_problems;
    QByteArray m_defaultState;
    QPointer<QDockWidget> m_bottomDock;
    bool m_sizeDocksOnShow = true;
    bool m_persist = true;
};
