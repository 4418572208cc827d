#include "padtestsupport.h"

#include "kyfactory.h"
#include "kypadelementdata.h"
#include "kypadlayer.h"

#include "dzmainwindow.h"
#include "dzmorph.h"
#include "dzobject.h"

namespace {

// The pad's data classes registered with the host, as the plug-in does.
bool registerPadDataClasses(DzApp *app)
{
    static KyFactory<KyPadElementData> data(DzGUID::fromLegacyClassID(0x13370014));
    static KyFactory<KyPadLayer> layer(DzGUID::fromLegacyClassID(0x13370015));
    static KyFactory<KyPadPose> pose(DzGUID::fromLegacyClassID(0x13370016));
    static KyFactory<KyPadNodeData> node(DzGUID::fromLegacyClassID(0x13370017));
    return app->registerClassFactory(&data) && app->registerClassFactory(&layer)
        && app->registerClassFactory(&pose) && app->registerClassFactory(&node);
}

} // namespace

FakePadPane::FakePadPane()
    : DzPane(QStringLiteral("kinPad"))
{
    setObjectName(QStringLiteral("KyPadPane"));
    // Like the pad pane: every figure gets a group with "Layer 1", and the
    // layers that a loaded data item could not hand over yet.
    connect(dzScene, &DzScene::nodeAdded, this, [this](DzNode *node) {
        if (node->inherits("DzSkeleton") && !groups.contains(node))
            addGroup(node);
    });
    connect(dzScene, &DzScene::nodeRemoved, this, [this](DzNode *node) {
        if (groups.contains(node))
            qDeleteAll(groups.take(node));
    });
}

FakePadPane::~FakePadPane()
{
    for (const QList<KyPadLayer *> &layers : std::as_const(groups))
        qDeleteAll(layers);
}

bool FakePadPane::adoptLayers(DzNode *figure, const QList<KyPadLayer *> &layers)
{
    if (!groups.contains(figure))
        return false;
    qDeleteAll(groups[figure]);
    groups[figure] = layers;
    for (KyPadLayer *layer : layers)
        layer->setPane(this);
    return true;
}

void FakePadPane::addGroup(DzNode *figure)
{
    qDeleteAll(groups.take(figure));
    auto *layer = new KyPadLayer(this, nullptr, QStringLiteral("Layer 1"));
    layer->setFigure(figure);
    groups[figure] = { layer };
}

void PadTest::SetUp()
{
    setUpHost();
    m_pane = new FakePadPane;
    kyPadSetPaneLookup([this] { return m_pane; });
}

void PadTest::setUpHost()
{
    TimelineTest::SetUp();
    ASSERT_TRUE(registerPadDataClasses(m_app.get()));
    dzUndoStack->clear();
    kyPadSetClock([this] { return m_now; });
    kyPadSetMixerCoreProvider([this] { return m_core.get(); });
    m_walk = stockBlock(QStringLiteral("s_walk_01"));
    m_run = stockBlock(QStringLiteral("s_run_01"));
    ASSERT_TRUE(m_walk && m_run);
}

void PadTest::TearDown()
{
    kyPadSetMixerCoreProvider(nullptr);
    kyPadSetClock(nullptr);
    kyPadSetPaneLookup(nullptr);
    m_core.reset();
    m_timeline.reset();
    delete m_pane;
    delete m_window;
    dzUndoStack->clear();
    TimelineTest::TearDown();
}

void PadTest::makeCore(DzNode *figure)
{
    m_timeline = std::make_unique<KyTimeline>();
    m_core = std::make_unique<KyMixerCore>(m_timeline.get());
    m_timeline->setClock([this] { return m_now; });
    m_core->setClock([this] { return m_now; });
    m_core->setStartFolderProvider([this] { return m_temp.path(); });
    m_timeline->activateNode(figure ? figure->getSkeleton() : nullptr);
    dzScene->setPrimarySelection(figure);
}

DzFloatProperty *PadTest::morph(DzNode *figure, const char *name)
{
    return static_cast<DzMorph *>(figure->getObject()->findModifier(QString::fromLatin1(name)))
        ->getValueChannel();
}

KyBlock *PadTest::stockBlock(const QString &name)
{
    QString error;
    KyBlock *block
        = KyBlock::get(contentDir() + QStringLiteral("/kinBlocks/Trelvo/") + name + ".kba", &error);
    EXPECT_NE(block, nullptr) << error.toStdString();
    return block;
}
