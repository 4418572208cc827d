// The built plug-in library: its exports, its definition, its factories in
// table order, and loading it into the host.
#include "dzaction.h"
#include "dzclassfactory.h"
#include "dzpaneaction.h"
#include "dzplugin.h"
#include "kyplugin.h"
#include "servicestestsupport.h"

#include <QLibrary>
#include <QSet>

namespace {

const QString kPluginPath = QStringLiteral(TRELVO_BINARY_DIR "/lib/libtrelvo.so");

// (class, identifier) of the plug-in's classes that exist so far, in the
// order the definition must list them.
const QList<QPair<QString, QString>> kPresent = {
    { "KyMixerPaneAction", "CD7C729A-63DC-4ba5-A36A-1B7377754AAE" },
    { "KyPadPaneAction", "CD7940FD-AB55-47cb-97A5-E252D55C6B98" },
};

} // namespace

TEST(PluginLibrary, ExportsVersionAndDefinition)
{
    QLibrary lib(kPluginPath);
    ASSERT_TRUE(lib.load()) << lib.errorString().toStdString();
    auto sdkVersion = reinterpret_cast<DzGetSDKVersionFunc>(lib.resolve("getSDKVersion"));
    auto definition = reinterpret_cast<DzGetPluginDefinitionFunc>(lib.resolve("getPluginDefinition"));
    ASSERT_TRUE(sdkVersion);
    ASSERT_TRUE(definition);
    EXPECT_EQ(sdkVersion(), 0x02000200u);

    DzPlugin *plugin = definition();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(definition(), plugin);
    EXPECT_EQ(plugin->getName(), QStringLiteral("Trelvo"));
    EXPECT_EQ(plugin->getAuthor(), QStringLiteral("Trelvo developers"));
    EXPECT_EQ(plugin->getVersion(), 0x0100001Eu);
    EXPECT_EQ(plugin->getDescription(),
        QStringLiteral("Trelvo allows you to compose animations from animation building blocks. <br>"));

    ASSERT_EQ(plugin->getNumClassFactories(), kPresent.size());
    for (int i = 0; i < kPresent.size(); ++i) {
        DzClassFactory *f = plugin->getClassFactory(i);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->getClassName(), kPresent[i].first);
        EXPECT_EQ(f->getClassID(), DzGUID::fromString(kPresent[i].second));
        EXPECT_EQ(f->createInstance(QVariant(QStringLiteral("anything"))), nullptr);
    }
}

TEST(PluginLibrary, PaneActionsNameTheirPanes)
{
    QLibrary lib(kPluginPath);
    ASSERT_TRUE(lib.load());
    auto definition = reinterpret_cast<DzGetPluginDefinitionFunc>(lib.resolve("getPluginDefinition"));
    DzPlugin *plugin = definition();
    const QStringList panes = { QStringLiteral("KyMixerPane"), QStringLiteral("KyPadPane") };
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<QObject> made(plugin->getClassFactory(i)->createInstance());
        auto *action = qobject_cast<DzPaneAction *>(made.get());
        ASSERT_TRUE(action) << i;
        EXPECT_EQ(action->getPaneClass(), panes[i]);
        EXPECT_TRUE(action->isToggleAction());
        EXPECT_EQ(action->objectName(), kPresent[i].first);
        EXPECT_TRUE(action->inherits("DzAction"));
    }
}

TEST(PluginLibrary, FactoryTableHoldsEveryClassWithAUniqueIdentifier)
{
    QSet<DzGUID> ids;
    QSet<QString> classes;
    for (const KyFactoryRow &row : kFactoryTable) {
        const DzGUID id = row.classId();
        EXPECT_FALSE(id.isNull()) << row.className;
        ids.insert(id);
        classes.insert(QString::fromLatin1(row.className));
        EXPECT_EQ(QString::fromLatin1(row.factoryName),
            QString::fromLatin1(row.className) + QStringLiteral("Factory"));
    }
    EXPECT_EQ(ids.size(), 36);
    EXPECT_EQ(classes.size(), 36);
    EXPECT_STREQ(kFactoryTable[0].className, "KyMixerPane");
    EXPECT_STREQ(kFactoryTable[35].className, "KyMixerSerial");
    for (int i = 31; i < 35; ++i) {
        EXPECT_TRUE(kFactoryTable[i].classId().isLegacyClassID()) << kFactoryTable[i].className;
        EXPECT_EQ(kFactoryTable[i].classId().getLegacyClassID(), 0x13370014u + quint32(i - 31));
    }
}

using PluginLoading = ServicesTest;

TEST_F(PluginLoading, RegistersTheFactoriesWithTheHost)
{
    QString error;
    DzPlugin *plugin = m_app->loadPlugin(kPluginPath, &error);
    ASSERT_TRUE(plugin) << error.toStdString();
    EXPECT_EQ(m_app->findPlugin(QStringLiteral("Trelvo")), plugin);
    for (const auto &row : kPresent) {
        DzClassFactory *f = m_app->findClassFactory(DzGUID::fromString(row.second));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->getClassName(), row.first);
    }
    std::unique_ptr<QObject> action(m_app->createInstance(QStringLiteral("KyPadPaneAction")));
    ASSERT_TRUE(qobject_cast<DzPaneAction *>(action.get()));

    // Loading it again is refused and registers nothing twice.
    const int factories = m_app->getNumClassFactories();
    EXPECT_FALSE(m_app->loadPlugin(kPluginPath, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already loaded")));
    EXPECT_EQ(m_app->getNumClassFactories(), factories);
}

TEST_F(PluginLoading, RefusesLibrariesThatAreNotPlugins)
{
    QString error;
    EXPECT_FALSE(m_app->loadPlugin(QStringLiteral(TRELVO_BINARY_DIR "/lib/libdzcore.so"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("is not a plug-in")));
    EXPECT_FALSE(m_app->loadPlugin(scratchPath(QStringLiteral("libmissing.so")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Cannot load the plug-in")));
    EXPECT_EQ(m_app->getNumPlugins(), 0);
    EXPECT_EQ(m_app->getNumClassFactories(), 0);
}
