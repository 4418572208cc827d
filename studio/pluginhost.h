#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class DzAction;
class DzMainWindow;
class DzPane;
class DzPlugin;
class QMenu;

// Finds, loads and installs plug-ins.
//
// Where: a folder (or library file) given with --plugin-dir, else the
// folder in $TRELVO_PLUGIN_DIR; without either, the program's own folder,
// its ../lib folder and the installed library folder are searched for the
// product's plug-in, libtrelvo.so, and the first one found is loaded. In a
// folder that was named explicitly every shared library is tried, and
// libraries that are not plug-ins (no getSDKVersion/getPluginDefinition)
// are passed over quietly.
//
// Loading (DzApp::loadPlugin) checks the SDK version and registers every
// class factory of the definition with the host's class registry, so scene
// files can create the plug-in's data objects. Installing then creates, in
// the definition's order, every pane (a class inheriting DzPane) and docks
// it through the pane manager, and every action (inheriting DzAction) and
// adds it to the action manager; pane actions go to the Window menu, other
// actions to the plug-in's own menu (in a submenu per action group).
//
// Nothing here is fatal: every failure is a sentence in errors() and the
// studio runs on without that plug-in, pane or action.
class PluginHost {
public:
    struct Installed {
        DzPlugin *plugin = nullptr;
        QString libraryPath;
        QList<DzPane *> panes;
        QList<DzAction *> actions;
    };

    // explicitLocation: --plugin-dir, else $TRELVO_PLUGIN_DIR (may be empty).
    // applicationDir: the folder of the running program.
    static QStringList candidateLibraries(
        const QString &explicitLocation, const QString &applicationDir, QString *error = nullptr);
    static QStringList defaultFolders(const QString &applicationDir);
    static QString pluginFileName() { return QStringLiteral("libtrelvo.so"); }

    // Loads every candidate. Plug-ins already loaded in this process are not
    // loaded twice.
    void loadAll(const QString &explicitLocation, const QString &applicationDir);
    // Loads one library; null (with the reason in errors()) on failure.
    DzPlugin *load(const QString &libraryPath);

    // Creates and installs the panes and actions of every plug-in loaded
    // by this object (see above). windowMenu receives pane actions;
    // plug-in menus are created with menuFor.
    void installAll(
        DzMainWindow *window, QMenu *windowMenu, const std::function<QMenu *(const QString &)> &menuFor);
    Installed install(DzPlugin *plugin, const QString &libraryPath, DzMainWindow *window, QMenu *windowMenu,
        QMenu *pluginMenu);

    const QList<Installed> &installed() const { return m_installed; }
    const QList<QPair<DzPlugin *, QString>> &loaded() const { return m_loaded; }
    QStringList errors() const { return m_errors; }
    QStringList notes() const { return m_notes; }

private:
    QList<QPair<DzPlugin *, QString>> m_loaded;
    QList<Installed> m_installed;
    QStringList m_errors;
    QStringList m_notes;
};
