// The built plug-in library loaded into the host: its definition, the
// identifiers scene files depend on, and its pane actions.
#include "dzclassfactory.h"
#include "dzpaneaction.h"
#include "dzplugin.h"
#include "servicestestsupport.h"

namespace {

const QString kPluginPath = QStringLiteral(TRELVO_BINARY_DIR "/lib/libtrelvo.so");

} // namespace

using PluginLoading = ServicesTest;

TEST_F(PluginLoading, RegistersEveryFactoryUnderTheIdentifiersScenesStore)
{
    QString error;
    DzPlugin *plugin = m_app->loadPlugin(kPluginPath, &error);
    ASSERT_TRUE(plugin) << error.toStdString();
    EXPECT_EQ(m_app->findPlugin(QStringLiteral("Trelvo")), plugin);
    EXPECT_EQ(plugin->getNumClassFactories(), 37);
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory *f = plugin->getClassFactory(i);
        ASSERT_TRUE(f);
        EXPECT_EQ(m_app->findClassFactory(f->getClassID()), f) << f->getClassName().toStdString();
        EXPECT_EQ(f->createInstance(QVariant(QStringLiteral("anything"))), nullptr);
    }

    // Saved scenes name these classes by identifier: they never change.
    const std::pair<const char *, DzGUID> stored[] = {
        { "KyPadElementData", DzGUID::fromLegacyClassID(0x13370014) },
        { "KyPadLayer", DzGUID::fromLegacyClassID(0x13370015) },
        { "KyPadPose", DzGUID::fromLegacyClassID(0x13370016) },
        { "KyPadNodeData", DzGUID::fromLegacyClassID(0x13370017) },
        { "KyMixerSerial", DzGUID::fromString(QStringLiteral("05973E34-9976-455c-AA13-7A33335D4113")) },
    };
    for (const auto &[name, id] : stored) {
        DzClassFactory *f = m_app->findClassFactory(id);
        ASSERT_TRUE(f) << name;
        EXPECT_EQ(f->getClassName(), QLatin1String(name));
    }
    // The pane actions name their panes.
    for (const char *pane : { "KyMixerPane", "KyPadPane" }) {
        std::unique_ptr<QObject> made(m_app->createInstance(QLatin1String(pane) + QStringLiteral("Action")));
        auto *action = qobject_cast<DzPaneAction *>(made.get());
        ASSERT_TRUE(action) << pane;
        EXPECT_EQ(action->getPaneClass(), QLatin1String(pane));
    }

    // Loading it again is refused and registers nothing twice.
    EXPECT_FALSE(m_app->loadPlugin(kPluginPath, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already loaded")));
    EXPECT_EQ(m_app->getNumClassFactories(), plugin->getNumClassFactories());
}
