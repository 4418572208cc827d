#include "pluginhost.h"

#include "dzaction.h"
#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzlog.h"
#include "dzmainwindow.h"
#include "dzpane.h"
#include "dzpaneaction.h"
#include "dzpanemgr.h"
#include "dzplugin.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QMenu>
#include <QSet>

#ifndef TRELVO_INSTALL_LIBDIR
#define TRELVO_INSTALL_LIBDIR "lib"
#endif

QStringList PluginHost::defaultFolders(const QString &applicationDir)
{
    QStringList folders;
    const QDir app(applicationDir);
    for (const QString &rel : { QStringLiteral("."), QStringLiteral("../lib"),
             QStringLiteral("../") + QStringLiteral(TRELVO_INSTALL_LIBDIR) }) {
        const QString folder = QDir::cleanPath(app.absoluteFilePath(rel));
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

QStringList PluginHost::candidateLibraries(
    const QString &explicitLocation, const QString &applicationDir, QString *error)
{
    QStringList found;
    if (!explicitLocation.isEmpty()) {
        const QFileInfo info(explicitLocation);
        if (info.isFile())
            return { info.absoluteFilePath() };
        if (!info.isDir()) {
            if (error)
                *error = QStringLiteral("The plug-in folder \"%1\" does not exist.")
                             .arg(QDir::toNativeSeparators(explicitLocation));
            return found;
        }
        // Every shared library of the folder once, the product's plug-in
        // first so that its panes come first.
        QSet<QString> seen;
        const QDir dir(info.absoluteFilePath());
        const QFileInfoList entries = dir.entryInfoList(
            { QStringLiteral("*.so"), QStringLiteral("*.so.*") }, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString canonical = entry.canonicalFilePath();
            if (canonical.isEmpty() || seen.contains(canonical))
                continue;
            seen.insert(canonical);
            if (entry.fileName() == pluginFileName())
                found.prepend(entry.absoluteFilePath());
            else
                found.append(entry.absoluteFilePath());
        }
        if (found.isEmpty() && error)
            *error = QStringLiteral("No plug-in library was found in \"%1\".")
                         .arg(QDir::toNativeSeparators(dir.path()));
        return found;
    }
    const QStringList folders = defaultFolders(applicationDir);
    for (const QString &folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(pluginFileName()));
        if (candidate.isFile())
            return { candidate.absoluteFilePath() };
    }
    if (error) {
        QStringList shown;
        for (const QString &f : folders)
            shown << QDir::toNativeSeparators(f);
        *error = QStringLiteral("The Trelvo plug-in (%1) was not found in %2.\n"
                                "Name its folder with --plugin-dir DIR or the environment variable "
                                "TRELVO_PLUGIN_DIR.")
                     .arg(pluginFileName(), shown.join(QStringLiteral(", ")));
    }
    return found;
}

void PluginHost::loadAll(const QString &explicitLocation, const QString &applicationDir)
{
    QString error;
    const QStringList libraries = candidateLibraries(explicitLocation, applicationDir, &error);
    if (!error.isEmpty())
        m_errors << error;
    // In a scanned folder, other shared libraries are expected; only a file
    // named explicitly must be a plug-in.
    const bool scanning
        = libraries.size() > 1 || (!explicitLocation.isEmpty() && !QFileInfo(explicitLocation).isFile());
    for (const QString &path : libraries) {
        if (scanning && QFileInfo(path).fileName() != pluginFileName()) {
            QLibrary probe(path);
            if (!probe.load()) {
                m_errors << QStringLiteral("Cannot load the library %1: %2").arg(path, probe.errorString());
                continue;
            }
            const bool isPlugin = probe.resolve("getSDKVersion") && probe.resolve("getPluginDefinition");
            probe.unload();
            if (!isPlugin) {
                m_notes << QStringLiteral("%1 is not a plug-in; skipped").arg(path);
                continue;
            }
        }
        load(path);
    }
}

DzPlugin *PluginHost::load(const QString &libraryPath)
{
    if (!dzApp) {
        m_errors << QStringLiteral("Cannot load %1: the host application is not running.").arg(libraryPath);
        return nullptr;
    }
    // The same library loaded before (another window of this process, or a
    // second run of loadAll) is reused rather than refused as a duplicate.
    static QHash<QString, DzPlugin *> loadedFrom;
    const QString canonical = QFileInfo(libraryPath).canonicalFilePath();
    if (DzPlugin *known = loadedFrom.value(canonical)) {
        for (int i = 0; i < dzApp->getNumPlugins(); ++i) {
            if (dzApp->getPlugin(i) == known) {
                for (const auto &entry : std::as_const(m_loaded))
                    if (entry.first == known)
                        return known;
                m_loaded.append({ known, libraryPath });
                return known;
            }
        }
    }
    QString error;
    DzPlugin *plugin = dzApp->loadPlugin(libraryPath, &error);
    if (!plugin) {
        m_errors << error;
        return nullptr;
    }
    if (!canonical.isEmpty())
        loadedFrom.insert(canonical, plugin);
    m_loaded.append({ plugin, libraryPath });
    return plugin;
}

void PluginHost::installAll(
    DzMainWindow *window, QMenu *windowMenu, const std::function<QMenu *(const QString &)> &menuFor)
{
    for (const auto &entry : std::as_const(m_loaded)) {
        QMenu *menu = menuFor ? menuFor(entry.first->getName()) : nullptr;
        m_installed.append(install(entry.first, entry.second, window, windowMenu, menu));
    }
}

PluginHost::Installed PluginHost::install(
    DzPlugin *plugin, const QString &libraryPath, DzMainWindow *window, QMenu *windowMenu, QMenu *pluginMenu)
{
    Installed result;
    result.plugin = plugin;
    result.libraryPath = libraryPath;
    if (!plugin || !window)
        return result;
    DzPaneMgr *panes = window->getPaneMgr();
    DzActionMgr *actions = window->getActionMgr();
    const QString who = plugin->getName();

    auto create = [&](DzClassFactory *factory, const char *base) -> QObject * {
        QObject *object = factory->createInstance();
        if (!object) {
            m_errors << QStringLiteral("The plug-in %1 could not create its %2 %3.")
                            .arg(who, QLatin1String(base), factory->getClassName());
            return nullptr;
        }
        if (!object->inherits(base)) {
            m_errors << QStringLiteral(
                "The plug-in %1 made a %2 where its factory promised a %3; it was discarded.")
                            .arg(who, QLatin1String(object->metaObject()->className()),
                                factory->getClassName());
            delete object;
            return nullptr;
        }
        if (object->objectName().isEmpty())
            object->setObjectName(factory->getClassName());
        return object;
    };

    // Panes first: actions look their panes up when they are initialised.
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory *factory = plugin->getClassFactory(i);
        if (!factory || !factory->inherits("DzPane"))
            continue;
        if (panes->findPane(factory->getClassName()))
            continue;
        auto *pane = qobject_cast<DzPane *>(create(factory, "DzPane"));
        if (!pane)
            continue;
        if (!panes->addPane(pane)) {
            m_errors << QStringLiteral("The pane %1 of the plug-in %2 could not be docked.")
                            .arg(factory->getClassName(), who);
            delete pane;
            continue;
        }
        panes->restorePaneSettings(pane);
        result.panes.append(pane);
    }

    QHash<QString, QMenu *> groups;
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory *factory = plugin->getClassFactory(i);
        if (!factory || !factory->inherits("DzAction"))
            continue;
        if (actions->findAction(factory->getClassName()))
            continue;
        auto *action = qobject_cast<DzAction *>(create(factory, "DzAction"));
        if (!action)
            continue;
        if (!actions->addAction(action)) {
            m_errors << QStringLiteral("The action %1 of the plug-in %2 could not be added.")
                            .arg(factory->getClassName(), who);
            delete action;
            continue;
        }
        result.actions.append(action);
        if (qobject_cast<DzPaneAction *>(action)) {
            if (windowMenu)
                windowMenu->addAction(action);
            continue;
        }
        if (!pluginMenu)
            continue;
        const QString group = action->getActionGroup();
        QMenu *target = pluginMenu;
        if (!group.isEmpty()) {
            target = groups.value(group);
            if (!target) {
                target = pluginMenu->addMenu(group);
                target->setObjectName(group + QStringLiteral("Menu"));
                groups.insert(group, target);
            }
        }
        target->addAction(action);
    }
    dzLog(QStringLiteral("Installed plug-in %1: %2 pane(s), %3 action(s)")
              .arg(who)
              .arg(result.panes.size())
              .arg(result.actions.size()));
    return result;
}
