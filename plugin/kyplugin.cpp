#include "kyplugin.h"

#include "dzplugin.h"
#include "kymasteraddblock.h"
#include "kymasterbake.h"
#include "kymasterboneoffsetclear.h"
#include "kymasterboneoffsetnone.h"
#include "kymasterboneoffsettool.h"
#include "kymasterboneoffsetv4_a3.h"
#include "kymasterboneoffsetv4_v3.h"
#include "kymasterclearkeys.h"
#include "kymasterfacing.h"
#include "kymasterfootoffset.h"
#include "kymasterhor.h"
#include "kymasterinthor.h"
#include "kymasterkeystoblock.h"
#include "kymastermaskfingers.h"
#include "kymasterskimming.h"
#include "kymastertrimtimeline.h"
#include "kymixerpane.h"
#include "kymixerpaneaction.h"
#include "kymixerserial.h"
#include "kypadactions.h"
#include "kypadelementdata.h"
#include "kypadlayer.h"
#include "kypadnodedata.h"
#include "kypadpane.h"
#include "kypadpaneaction.h"
#include "kypadpose.h"

#include <cstring>
#include <memory>
#include <vector>

const KyFactoryRow kFactoryTable[kFactoryTableSize] = {
    { "KyMixerPaneFactory", "KyMixerPane", "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0", 0 },
    { "KyMixerPaneActionFactory", "KyMixerPaneAction", "CD7C729A-63DC-4ba5-A36A-1B7377754AAE", 0 },
    { "KyPadPaneFactory", "KyPadPane", "76AFE721-F21B-4fe8-A16B-06987767DC38", 0 },
    { "KyPadPaneActionFactory", "KyPadPaneAction", "CD7940FD-AB55-47cb-97A5-E252D55C6B98", 0 },
    { "KyPadFillFramesActionFactory", "KyPadFillFramesAction", "87868843-1577-4a74-84F7-15F00B86702C", 0 },
    { "KyPadExtendFramesActionFactory", "KyPadExtendFramesAction", "17EF0530-7F8E-4408-BDDD-1FF86D593E71",
        0 },
    { "KyPadZoomToFitActionFactory", "KyPadZoomToFitAction", "90B69E42-E0CB-44e7-8ADE-6F1A3E1879D4", 0 },
    { "KyPadResetViewActionFactory", "KyPadResetViewAction", "6B98EC8E-C1D8-41d5-9EF0-3DFD61F3CCFD", 0 },
    { "KyPadCenterViewActionFactory", "KyPadCenterViewAction", "84511261-B6E7-468a-9DB5-7A09B1C0D0E5", 0 },
    { "KyPadAddLayerActionFactory", "KyPadAddLayerAction", "EFDCF745-014F-42eb-A22F-387151682EAB", 0 },
    { "KyPadDeleteLayerActionFactory", "KyPadDeleteLayerAction", "D9C4C6D5-E0ED-4249-ADF7-78009F9A404E", 0 },
    { "KyPadRenameLayerActionFactory", "KyPadRenameLayerAction", "8ABBCE23-2308-4a3f-B472-482B33D388C9", 0 },
    { "KyPadClearLayerActionFactory", "KyPadClearLayerAction", "312A01FC-FAAE-4fa5-9159-8385871048EF", 0 },
    { "KyPadClearLayerAnimationActionFactory", "KyPadClearLayerAnimationAction",
        "3677ADF1-20E9-40ec-816C-00DF7AFC4D2C", 0 },
    { "KyPadDeletePoseActionFactory", "KyPadDeletePoseAction", "6A748F46-5761-466e-AC3E-D66E5ADE2B4B", 0 },
    { "KyPadUpdatePoseActionFactory", "KyPadUpdatePoseAction", "2A0D22EE-E763-4d15-81B8-772ED76FA25E", 0 },
    { "KyMasterKeysToBlockFactory", "KyMasterKeysToBlock", "74A3CC63-B3C8-411a-89CC-486FC7D7C747", 0 },
    { "KyMasterClearKeysFactory", "KyMasterClearKeys", "00D0D980-8488-48b0-B3B9-5B7A30F561C1", 0 },
    { "KyMasterTrimTimelineFactory", "KyMasterTrimTimeline", "F59BD3FF-1303-4e09-888C-302EAD6F796E", 0 },
    { "KyMasterSkimmingFactory", "KyMasterSkimming", "587B62E2-0F88-4341-A5FC-C05A805204EC", 0 },
    { "KyMasterHorFactory", "KyMasterHor", "21A1F716-73CC-4e4c-AC84-12D77AD9E0CC", 0 },
    { "KyMasterFacingFactory", "KyMasterFacing", "86E02E52-01CD-44a0-A04C-9600DAD4C9D8", 0 },
    { "KyMasterIntHorFactory", "KyMasterIntHor", "DC19799A-6ADA-4d67-BA05-16A566315559", 0 },
    { "KyMasterMaskFingersFactory", "KyMasterMaskFingers", "BD8E3646-DD27-481b-BB14-16E943417A77", 0 },
    { "KyMasterFootOffsetFactory", "KyMasterFootOffset", "CD04BFB6-59D6-4182-B0AF-67FED53FCA04", 0 },
    { "KyMasterBoneOffsetToolFactory", "KyMasterBoneOffsetTool", "504BE6A7-0BBC-49e7-8C9F-FC16E71974AA", 0 },
    { "KyMasterBoneOffsetClearFactory", "KyMasterBoneOffsetClear", "0FB0D313-BA85-40f4-A030-BCE95C66FC79",
        0 },
    { "KyMasterBoneOffsetNoneFactory", "KyMasterBoneOffsetNone", "DC213B60-90EF-4478-9E49-A85CF44A9F2B", 0 },
    { "KyMasterBoneOffsetV4_V3Factory", "KyMasterBoneOffsetV4_V3", "D797BC13-E3F0-4f68-BBCA-FEDB7B786528",
        0 },
    { "KyMasterBoneOffsetV4_A3Factory", "KyMasterBoneOffsetV4_A3", "DE61CEFB-AB6D-475b-A704-B195868593FA",
        0 },
    { "KyMasterBakeFactory", "KyMasterBake", "41EBE1D0-2CA3-4d10-824A-2C8034ABAFB3", 0 },
    { "KyPadElementDataFactory", "KyPadElementData", nullptr, 0x13370014 },
    { "KyPadLayerFactory", "KyPadLayer", nullptr, 0x13370015 },
    { "KyPadPoseFactory", "KyPadPose", nullptr, 0x13370016 },
    { "KyPadNodeDataFactory", "KyPadNodeData", nullptr, 0x13370017 },
    { "KyMixerSerialFactory", "KyMixerSerial", "05973E34-9976-455c-AA13-7A33335D4113", 0 },
    // Added after the classic 36, so their order and identifiers stay.
    { "KyMasterAddBlockFactory", "KyMasterAddBlock", "6E0C2B5A-41D7-4f3e-9A8B-2C5D7E1F9034", 0 },
};

namespace {

// The classes built so far. A class joins with one line here; its factory
// then takes the place of its row in the table.
std::vector<KyFactoryMaker> presentClasses()
{
    return {
        kyFactoryMaker<KyMixerPane>(),
        kyFactoryMaker<KyMixerPaneAction>(),
        kyFactoryMaker<KyPadPane>(),
        kyFactoryMaker<KyPadPaneAction>(),
        kyFactoryMaker<KyPadFillFramesAction>(),
        kyFactoryMaker<KyPadExtendFramesAction>(),
        kyFactoryMaker<KyPadZoomToFitAction>(),
        kyFactoryMaker<KyPadResetViewAction>(),
        kyFactoryMaker<KyPadCenterViewAction>(),
        kyFactoryMaker<KyPadAddLayerAction>(),
        kyFactoryMaker<KyPadDeleteLayerAction>(),
        kyFactoryMaker<KyPadRenameLayerAction>(),
        kyFactoryMaker<KyPadClearLayerAction>(),
        kyFactoryMaker<KyPadClearLayerAnimationAction>(),
        kyFactoryMaker<KyPadDeletePoseAction>(),
        kyFactoryMaker<KyPadUpdatePoseAction>(),
        kyFactoryMaker<KyMasterKeysToBlock>(),
        kyFactoryMaker<KyMasterClearKeys>(),
        kyFactoryMaker<KyMasterTrimTimeline>(),
        kyFactoryMaker<KyMasterSkimming>(),
        kyFactoryMaker<KyMasterHor>(),
        kyFactoryMaker<KyMasterFacing>(),
        kyFactoryMaker<KyMasterIntHor>(),
        kyFactoryMaker<KyMasterMaskFingers>(),
        kyFactoryMaker<KyMasterFootOffset>(),
        kyFactoryMaker<KyMasterBoneOffsetTool>(),
        kyFactoryMaker<KyMasterBoneOffsetClear>(),
        kyFactoryMaker<KyMasterBoneOffsetNone>(),
        kyFactoryMaker<KyMasterBoneOffsetV4_V3>(),
        kyFactoryMaker<KyMasterBoneOffsetV4_A3>(),
        kyFactoryMaker<KyMasterBake>(),
        kyFactoryMaker<KyPadElementData>(),
        kyFactoryMaker<KyPadLayer>(),
        kyFactoryMaker<KyPadPose>(),
        kyFactoryMaker<KyPadNodeData>(),
        kyFactoryMaker<KyMixerSerial>(),
        kyFactoryMaker<KyMasterAddBlock>(),
    };
}

// The definition and its factories, made when the library is loaded and
// destroyed in reverse order (last factory first, then the definition) when
// it is unloaded.
class PluginDefinition {
public:
    PluginDefinition()
        : m_plugin(QStringLiteral("Trelvo"), QString(), QString(), 0)
    {
        m_plugin.setAuthor(QStringLiteral("Trelvo developers"));
        m_plugin.setVersion(0x0100001E);
        m_plugin.setDescription(
            QStringLiteral("Trelvo allows you to compose animations from animation building blocks. <br>"));
        const std::vector<KyFactoryMaker> present = presentClasses();
        for (const KyFactoryRow &row : kFactoryTable) {
            for (const KyFactoryMaker &maker : present) {
                if (std::strcmp(maker.className, row.className) == 0) {
                    m_factories.push_back(maker.make(row.classId()));
                    m_plugin.addClassFactory(m_factories.back().get());
                }
            }
        }
    }

    ~PluginDefinition()
    {
        while (!m_factories.empty())
            m_factories.pop_back();
    }

    DzPlugin *plugin() { return &m_plugin; }

private:
    DzPlugin m_plugin;
    std::vector<std::unique_ptr<DzClassFactory>> m_factories;
};

PluginDefinition g_definition;

} // namespace

unsigned int getSDKVersion()
{
    return DZ_SDK_VERSION;
}

DzPlugin *getPluginDefinition()
{
    return g_definition.plugin();
}
