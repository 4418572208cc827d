// The built plug-in library: its exports, its definition, its factories in
// table order, and loading it into the host.
#include "dzclassfactory.h"
#include "dzpaneaction.h"
#include "dzplugin.h"
#include "servicestestsupport.h"

#include <QLibrary>

namespace {

const QString kPluginPath = QStringLiteral(TRELVO_BINARY_DIR "/lib/libtrelvo.so");

// (class, identifier) of the plug-in's classes that exist so far, in the
// order the definition must list them.
const QList<QPair<QString, QString>> kPresent = {
    { "KyMixerPane", "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0" }, { "KyMixerPaneAction", "CD7C729A-63DC-4ba5-A36A-1B7377754AAE" },
    { "KyPadPane", "76AFE721-F21B-4fe8-A16B-06987767DC38" }, { "KyPadPaneAction", "CD7940FD-AB55-47cb-97A5-E252D55C6B98" },
    { "KyPadFillFramesAction", "87868843-1577-4a74-84F7-15F00B86702C" }, { "KyPadExtendFramesAction", "17EF0530-7F8E-4408-BDDD-1FF86D593E71" },
    { "KyPadZoomToFitAction", "90B69E42-E0CB-44e7-8ADE-6F1A3E1879D4" }, { "KyPadResetViewAction", "6B98EC8E-C1D8-41d5-9EF0-3DFD61F3CCFD" },
    { "KyPadCenterViewAction", "84511261-B6E7-468a-9DB5-7A09B1C0D0E5" }, { "KyPadAddLayerAction", "EFDCF745-014F-42eb-A22F-387151682EAB" },
    { "KyPadDeleteLayerAction", "D9C4C6D5-E0ED-4249-ADF7-78009F9A404E" }, { "KyPadRenameLayerAction", "8ABBCE23-2308-4a3f-B472-482B33D388C9" },
    { "KyPadClearLayerAction", "312A01FC-FAAE-4fa5-9159-8385871048EF" }, { "KyPadClearLayerAnimationAction", "3677ADF1-20E9-40ec-816C-00DF7AFC4D2C" },
    { "KyPadDeletePoseAction", "6A748F46-5761-466e-AC3E-D66E5ADE2B4B" }, { "KyPadUpdatePoseAction", "2A0D22EE-E763-4d15-81B8-772ED76FA25E" },
    { "KyMasterKeysToBlock", "74A3CC63-B3C8-411a-89CC-486FC7D7C747" }, { "KyMasterClearKeys", "00D0D980-8488-48b0-B3B9-5B7A30F561C1" },
    { "KyMasterTrimTimeline", "F59BD3FF-1303-4e09-888C-302EAD6F796E" }, { "KyMasterSkimming", "587B62E2-0F88-4341-A5FC-C05A805204EC" },
    { "KyMasterHor", "21A1F716-73CC-4e4c-AC84-12D77AD9E0CC" }, { "KyMasterFacing", "86E02E52-01CD-44a0-A04C-9600DAD4C9D8" },
    { "KyMasterIntHor", "DC19799A-6ADA-4d67-BA05-16A566315559" }, { "KyMasterMaskFingers", "BD8E3646-DD27-481b-BB14-16E943417A77" },
    { "KyMasterFootOffset", "CD04BFB6-59D6-4182-B0AF-67FED53FCA04" }, { "KyMasterBoneOffsetTool", "504BE6A7-0BBC-49e7-8C9F-FC16E71974AA" },
    { "KyMasterBoneOffsetClear", "0FB0D313-BA85-40f4-A030-BCE95C66FC79" }, { "KyMasterBoneOffsetNone", "DC213B60-90EF-4478-9E49-A85CF44A9F2B" },
    { "KyMasterBoneOffsetV4_V3", "D797BC13-E3F0-4f68-BBCA-FEDB7B786528" }, { "KyMasterBoneOffsetV4_A3", "DE61CEFB-AB6D-475b-A704-B195868593FA" },
    { "KyMasterBake", "41EBE1D0-2CA3-4d10-824A-2C8034ABAFB3" }, { "KyPadElementData", "0x13370014" },
    { "KyPadLayer", "0x13370015" }, { "KyPadPose", "0x13370016" },
    { "KyPadNodeData", "0x13370017" }, { "KyMixerSerial", "05973E34-9976-455c-AA13-7A33335D4113" },
    { "KyMasterAddBlock", "6E0C2B5A-41D7-4f3e-9A8B-2C5D7E1F9034" },
};

// A textual GUID, or "0x..." for a legacy class identifier.
DzGUID classIdOf(const QString &text)
{
    if (text.startsWith(QLatin1String("0x")))
        return DzGUID::fromLegacyClassID(text.mid(2).toUInt(nullptr, 16));
    return DzGUID::fromString(text);
}

} // namespace

TEST(PluginLibrary, ExportsVersionAndDefinition)
{
    QLibrary lib(kPluginPath);
    ASSERT_TRUE(lib.load()) << lib.errorString().toStdString();
    auto sdkVersion = reinterpret_cast<DzGetSDKVersionFunc>(lib.resolve("getSDKVersion"));
    auto definition = reinterpret_cast<DzGetPluginDefinitionFunc>(lib.resolve("getPluginDefinition"));
    ASSERT_TRUE(sdkVersion && definition);
    EXPECT_EQ(sdkVersion(), 0x02000200u);

    DzPlugin *plugin = definition();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(definition(), plugin);
    EXPECT_EQ(plugin->getName(), QStringLiteral("Trelvo"));
    EXPECT_EQ(plugin->getVersion(), 0x0100001Eu);
    EXPECT_EQ(plugin->getDescription(),
        QStringLiteral("Trelvo allows you to compose animations from animation building blocks. <br>"));

    ASSERT_EQ(plugin->getNumClassFactories(), kPresent.size());
    for (int i = 0; i < kPresent.size(); ++i) {
        DzClassFactory *f = plugin->getClassFactory(i);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->getClassName(), kPresent[i].first);
        EXPECT_EQ(f->getClassID(), classIdOf(kPresent[i].second));
        EXPECT_EQ(f->createInstance(QVariant(QStringLiteral("anything"))), nullptr);
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
        DzClassFactory *f = m_app->findClassFactory(classIdOf(row.second));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->getClassName(), row.first);
    }
    // The pane actions name their panes.
    for (const char *pane : { "KyMixerPane", "KyPadPane" }) {
        std::unique_ptr<QObject> made(m_app->createInstance(QLatin1String(pane) + QStringLiteral("Action")));
        auto *action = qobject_cast<DzPaneAction *>(made.get());
        ASSERT_TRUE(action) << pane;
        EXPECT_EQ(action->getPaneClass(), QLatin1String(pane));
    }

    // Loading it again is refused and registers nothing twice.
    const int factories = m_app->getNumClassFactories();
    EXPECT_FALSE(m_app->loadPlugin(kPluginPath, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already loaded")));
    EXPECT_EQ(m_app->getNumClassFactories(), factories);
}
