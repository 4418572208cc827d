#pragma once

#include "dzguid.h"
#include "dzviewportmgr.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class DzClassFactory;
class DzContentMgr;
class DzHelpMgr;
class DzMainWindow;
class DzPlugin;
class DzRenderMgr;
class DzScene;
class DzScript;
class DzUndoStack;
class QLibrary;

// The host application object (global dzApp): the managers that exist with
// or without a window, the class registry, loaded plug-ins and the log.
//
// Construct one after the QApplication (or QCoreApplication for headless
// tools). If no scene exists yet it creates the scene (dzScene) and owns it.
// dzApp points to the most recently constructed DzApp and is reset when that
// one is destroyed.
//
// Class registry: every class the host can create by identifier or class
// name - a plug-in's classes and any host classes registered by the studio.
// Identifiers and class names are unique in it.
class DzApp : public QObject {
    Q_OBJECT
public:
    explicit DzApp(QObject *parent = nullptr);
    ~DzApp() override;

    // The main window, or null when the host runs without one (headless).
    // Both are defined with DzMainWindow in dzcore_widgets, so that this
    // library needs no widgets; a headless host never calls them.
    DzMainWindow *getInterface() const;
    // Called by DzMainWindow; null withdraws the window.
    void setInterface(DzMainWindow *window);
    // The window's viewport manager, or null without a window.
    DzViewportMgr *getViewportMgr() const { return m_viewportMgr.data(); }

    DzScene *getScene() const;
    DzUndoStack *getUndoStack() const;
    DzHelpMgr *getHelpMgr() const { return m_helpMgr; }
    DzContentMgr *getContentMgr() const { return m_contentMgr; }
    DzRenderMgr *getRenderMgr() const { return m_renderMgr; }

    // The host log (dzlog.h).
    void log(const QString &message) const;
    void warning(const QString &message) const;

    // --- class registry -----------------------------------------------------
    // Does not take ownership. Refuses (false, with a warning in the log)
    // null, a null identifier, and a factory whose identifier or class name
    // is already registered.
    bool registerClassFactory(DzClassFactory *factory);
    bool unregisterClassFactory(DzClassFactory *factory);
    DzClassFactory *findClassFactory(const DzGUID &classId) const;
    DzClassFactory *findClassFactory(const QString &className) const;
    int getNumClassFactories() const { return m_factories.size(); }
    DzClassFactory *getClassFactory(int i) const;
    // A new instance through the factory, or null (no such factory, or the
    // factory made nothing). An instance without object name gets its class
    // name as object name. The caller owns it.
    QObject *createInstance(const DzGUID &classId) const;
    QObject *createInstance(const QString &className) const;

    // --- plug-ins -----------------------------------------------------------
    // Loads the library, checks its SDK version (same major version as
    // DZ_SDK_VERSION and not newer) and registers all of its factories in
    // order. On any failure nothing stays registered, the library is
    // unloaded and null is returned with the reason in *error. A library
    // stays loaded for the rest of the process.
    DzPlugin *loadPlugin(const QString &libraryPath, QString *error = nullptr);
    int getNumPlugins() const { return m_plugins.size(); }
    DzPlugin *getPlugin(int i) const;
    DzPlugin *findPlugin(const QString &name) const;

    // Emits saveStateScript(script) so that panes can add their lines.
    void buildStateScript(DzScript &script);

signals:
    void saveStateScript(DzScript &script);
    void interfaceChanged(DzMainWindow *window);

private:
    QPointer<QObject> m_interface; // a DzMainWindow
    QPointer<DzViewportMgr> m_viewportMgr;
    DzScene *m_ownedScene = nullptr;
    DzHelpMgr *m_helpMgr;
    DzContentMgr *m_contentMgr;
    DzRenderMgr *m_renderMgr;
    QList<DzClassFactory *> m_factories;
    QList<DzPlugin *> m_plugins;
    QList<QLibrary *> m_libraries;
};

extern DzApp *dzApp;
