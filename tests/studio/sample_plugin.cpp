// A small plug-in with one of each kind of class the studio installs: a
// pane, the pane action that shows it, a plain action in an action group,
// an action in no group, and a scene data class.
#include "dzaction.h"
#include "dzclassfactory.h"
#include "dzpane.h"
#include "dzpaneaction.h"
#include "dzplugin.h"
#include "dzscenedata.h"

class SamplePane : public DzPane {
    Q_OBJECT
public:
    SamplePane()
        : DzPane(QStringLiteral("Sample Pane"))
    {
    }
};

class SamplePaneAction : public DzPaneAction {
    Q_OBJECT
public:
    SamplePaneAction()
        : DzPaneAction(QStringLiteral("SamplePane"))
    {
    }
};

class SampleGroupedAction : public DzAction {
    Q_OBJECT
public:
    SampleGroupedAction()
        : DzAction(QStringLiteral("Grouped Command"))
    {
        setActionGroup(QStringLiteral("Tools"));
    }
};

class SampleAction : public DzAction {
    Q_OBJECT
public:
    SampleAction()
        : DzAction(QStringLiteral("Plain Command"))
    {
    }
};

class SampleData : public DzSceneData {
    Q_OBJECT
public:
    SampleData()
        : DzSceneData(QStringLiteral("Sample-data"))
    {
    }
};

template <class T> class SampleFactory : public DzClassFactory {
public:
    explicit SampleFactory(const char *guid)
        : DzClassFactory(&T::staticMetaObject, DzGUID::fromString(QLatin1String(guid)))
    {
    }
    QObject *createInstance() const override { return new T; }
};

namespace {

DzPlugin &definition()
{
    static DzPlugin plugin(QStringLiteral("Sample"));
    static SampleFactory<SamplePane> pane("5A3B1C00-0000-4000-8000-000000000001");
    static SampleFactory<SamplePaneAction> paneAction("5A3B1C00-0000-4000-8000-000000000002");
    static SampleFactory<SampleGroupedAction> grouped("5A3B1C00-0000-4000-8000-000000000003");
    static SampleFactory<SampleAction> plain("5A3B1C00-0000-4000-8000-000000000004");
    static SampleFactory<SampleData> data("5A3B1C00-0000-4000-8000-000000000005");
    static bool filled = false;
    if (!filled) {
        filled = true;
        plugin.setVersion(0x01020003);
        for (DzClassFactory *f :
            std::initializer_list<DzClassFactory *> { &pane, &paneAction, &grouped, &plain, &data })
            plugin.addClassFactory(f);
    }
    return plugin;
}

} // namespace

extern "C" {
Q_DECL_EXPORT unsigned int getSDKVersion()
{
    return DZ_SDK_VERSION;
}

Q_DECL_EXPORT DzPlugin *getPluginDefinition()
{
    return &definition();
}
}

#include "sample_plugin.moc"
