#include "dzapp.h"

#include "dzclassfactory.h"
#include "dzcontentmgr.h"
#include "dzhelpmgr.h"
#include "dzlog.h"
#include "dzplugin.h"
#include "dzrendermgr.h"
#include "dzscene.h"
#include "dzundostack.h"

#include <QLibrary>

DzApp *dzApp = nullptr;

DzApp::DzApp(QObject *parent)
    : QObject(parent)
    , m_helpMgr(new DzHelpMgr(this))
    , m_contentMgr(new DzContentMgr(this))
    , m_renderMgr(new DzRenderMgr(this))
{
    setObjectName(QStringLiteral("DzApp"));
    if (!dzScene)
        m_ownedScene = new DzScene();
    dzApp = this;
}

DzApp::~DzApp()
{
    if (dzApp == this)
        dzApp = nullptr;
    delete m_ownedScene;
    // Plug-in libraries stay loaded: objects of theirs may outlive us.
    qDeleteAll(m_libraries);
}

DzScene *DzApp::getScene() const
{
    return dzScene;
}

DzUndoStack *DzApp::getUndoStack() const
{
    return dzUndoStack;
}

void DzApp::log(const QString &message) const
{
    dzLog(message);
}

void DzApp::warning(const QString &message) const
{
    dzWarning(message);
}

bool DzApp::registerClassFactory(DzClassFactory *factory)
{
    if (!factory) {
        dzWarning(QStringLiteral("DzApp::registerClassFactory: null factory refused"));
        return false;
    }
    if (factory->getClassID().isNull() || !factory->getMetaObject()) {
        dzWarning(QStringLiteral("DzApp::registerClassFactory: factory for %1 has no class identifier")
                      .arg(factory->getClassName()));
        return false;
    }
    if (m_factories.contains(factory))
        return false;
    if (findClassFactory(factory->getClassID())) {
        dzWarning(
            QStringLiteral("DzApp::registerClassFactory: class identifier %1 of %2 is already registered")
                .arg(factory->getClassID().toString(), factory->getClassName()));
        return false;
    }
    if (findClassFactory(factory->getClassName())) {
        dzWarning(QStringLiteral("DzApp::registerClassFactory: class %1 is already registered")
                      .arg(factory->getClassName()));
        return false;
    }
    m_factories.append(factory);
    return true;
}

bool DzApp::unregisterClassFactory(DzClassFactory *factory)
{
    return m_factories.removeOne(factory);
}

DzClassFactory *DzApp::findClassFactory(const DzGUID &classId) const
{
    if (classId.isNull())
        return nullptr;
    for (DzClassFactory *f : m_factories) {
        if (f->getClassID() == classId)
            return f;
    }
    return nullptr;
}

DzClassFactory *DzApp::findClassFactory(const QString &className) const
{
    if (className.isEmpty())
        return nullptr;
    for (DzClassFactory *f : m_factories) {
        if (f->getClassName() == className)
            return f;
    }
    return nullptr;
}

DzClassFactory *DzApp::getClassFactory(int i) const
{
    return (i >= 0 && i < m_factories.size()) ? m_factories.at(i) : nullptr;
}

namespace {

QObject *createThrough(const DzClassFactory *factory)
{
    if (!factory)
        return nullptr;
    QObject *object = factory->createInstance();
    if (object && object->objectName().isEmpty())
        object->setObjectName(factory->getClassName());
    return object;
}

} // namespace

QObject *DzApp::createInstance(const DzGUID &classId) const
{
    return createThrough(findClassFactory(classId));
}

QObject *DzApp::createInstance(const QString &className) const
{
    return createThrough(findClassFactory(className));
}

DzPlugin *DzApp::loadPlugin(const QString &libraryPath, QString *error)
{
    auto fail = [error](const QString &message) -> DzPlugin * {
        if (error)
            *error = message;
        return nullptr;
    };

    auto *library = new QLibrary(libraryPath);
    if (!library->load()) {
        const QString why = library->errorString();
        delete library;
        return fail(tr("Cannot load the plug-in %1: %2").arg(libraryPath, why));
    }
    auto unload = [library] {
        library->unload();
        delete library;
    };

    auto sdkVersion = reinterpret_cast<DzGetSDKVersionFunc>(library->resolve("getSDKVersion"));
    auto definition = reinterpret_cast<DzGetPluginDefinitionFunc>(library->resolve("getPluginDefinition"));
    if (!sdkVersion || !definition) {
        unload();
        return fail(tr("%1 is not a plug-in: it does not export getSDKVersion and getPluginDefinition")
                        .arg(libraryPath));
    }
    const unsigned int version = sdkVersion();
    if ((version >> 24) != (DZ_SDK_VERSION >> 24) || version > DZ_SDK_VERSION) {
        unload();
        return fail(tr("The plug-in %1 was built for SDK version 0x%2; this host implements 0x%3")
                        .arg(libraryPath, QString::number(version, 16).rightJustified(8, u'0'),
                            QString::number(DZ_SDK_VERSION, 16).rightJustified(8, u'0')));
    }
    DzPlugin *plugin = definition();
    if (!plugin) {
        unload();
        return fail(tr("The plug-in %1 returned no definition").arg(libraryPath));
    }
    if (m_plugins.contains(plugin) || findPlugin(plugin->getName())) {
        unload();
        return fail(tr("The plug-in %1 (%2) is already loaded").arg(plugin->getName(), libraryPath));
    }

    QList<DzClassFactory *> registered;
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory *factory = plugin->getClassFactory(i);
        if (!registerClassFactory(factory)) {
            for (DzClassFactory *f : std::as_const(registered))
                unregisterClassFactory(f);
            const QString name = factory ? factory->getClassName() : QStringLiteral("(null)");
            unload();
            return fail(tr("The plug-in %1 cannot register its class %2: its class name or identifier is "
                           "already in use")
                            .arg(libraryPath, name));
        }
        registered.append(factory);
    }
    m_plugins.append(plugin);
    m_libraries.append(library);
    dzLog(tr("Loaded plug-in %1 %2 from %3").arg(plugin->getName(), plugin->getVersionString(), libraryPath));
    return plugin;
}

DzPlugin *DzApp::getPlugin(int i) const
{
    return (i >= 0 && i < m_plugins.size()) ? m_plugins.at(i) : nullptr;
}

DzPlugin *DzApp::findPlugin(const QString &name) const
{
    for (DzPlugin *p : m_plugins) {
        if (p->getName() == name)
            return p;
    }
    return nullptr;
}

void DzApp::buildStateScript(DzScript &script)
{
    emit saveStateScript(script);
}
