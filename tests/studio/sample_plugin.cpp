// A small plug-in with one of each kind of class the studio installs: a
// pane, the pane action that shows it, a plain action in an action group,
// an action in no group, and a scene data class.
#include "dzaction.h"
#include "dzclassfactory.h"
#include "dzpane.h"
#include "dzpaneaction.h"
#include "dzplugin.h"
#include "dzscenedata.h"

// Each made with the text its factory gives.
class SamplePane : public DzPane {
    Q_OBJECT
public:
    using DzPane::DzPane;
};

class SamplePaneAction : public DzPaneAction {
    Q_OBJECT
public:
    using DzPaneAction::DzPaneAction;
};

class SampleGroupedAction : public DzAction {
    Q_OBJECT
public:
    explicit SampleGroupedAction(const QString &text)
        : DzAction(text)
    {
        setActionGroup(QStringLiteral("Tools"));
    }
};

class SampleAction : public DzAction {
    Q_OBJECT
public:
    using DzAction::DzAction;
};

class SampleData : public DzSceneData {
    Q_OBJECT
public:
    using DzSceneData::DzSceneData;
};

template <class T> struct SampleFactory : DzClassFactory {
    SampleFactory(const char *guid, const char *text)
        : DzClassFactory(&T::staticMetaObject, DzGUID::fromString(QLatin1String(guid)))
        , text(text)
    {
    }
    QObject *createInstance() const override { return new T(QString::fromLatin1(text)); }
    const char *text;
};

namespace {

DzPlugin &definition()
{
    static DzPlugin plugin(QStringLiteral("Sample"), QString(), QString(), 0x01020003);
    static SampleFactory<SamplePane> pane("5A3B1C00-0000-4000-8000-000000000001", "Sample Pane");
    static SampleFactory<SamplePaneAction> paneAction("5A3B1C00-0000-4000-8000-000000000002", "SamplePane");
    static SampleFactory<SampleGroupedAction> grouped(
        "5A3B1C00-0000-4000-8000-000000000003", "Grouped Command");
    static SampleFactory<SampleAction> plain("5A3B1C00-0000-4000-8000-000000000004", "Plain Command");
    static SampleFactory<SampleData> data("5A3B1C00-0000-4000-8000-000000000005", "Sample-data");
    // A factory already listed is not added again.
    for (DzClassFactory *f :
        std::initializer_list<DzClassFactory *> { &pane, &paneAction, &grouped, &plain, &data })
        plugin.addClassFactory(f);
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
