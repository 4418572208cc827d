// The pad in scene files: a round trip of two figures with three layers,
// blocks that cannot be read, older data, and hostile pad sections.
#include "padtestsupport.h"

#include "kypadelementdata.h"
#include "kypadnodedata.h"
#include "kypadnodelist.h"
#include "kypadpose.h"
#include "kypadsections.h"

#include "dzelementdata.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzskeleton.h"

#include <functional>

namespace {

DzFloatProperty *smileOf(DzNode *figure)
{
    return static_cast<DzMorph *>(figure->getObject()->findModifier(QStringLiteral("Smile")))->getValueChannel();
}

void attachData(DzNode *figure)
{
    auto *item = new KyPadElementData;
    item->setFigure(figure);
    figure->addDataItem(item);
}

} // namespace

class PadPersistence : public PadTest
{
protected:
    void SetUp() override
    {
        PadTest::SetUp();
        m_a = addFigure(QStringLiteral("standard"));
        m_b = addFigure(QStringLiteral("large"));
        m_a->setName(QStringLiteral("Ann"));
        m_b->setName(QStringLiteral("Bob"));
        attachData(m_a);
        attachData(m_b);
        m_walk = stockBlock(QStringLiteral("s_walk_01"));
        m_run = stockBlock(QStringLiteral("s_run_01"));
    }

    QList<KyPadLayer *> layersOf(const char *figure)
    {
        return m_pane->layersOf(dzScene->findNode(QString::fromLatin1(figure)));
    }

    // Objects written by hand and read back: a bound object is given to the
    // reader, the others are made by the factories from their class.
    using Writer = std::function<void(DzOutFile *)>;
    struct Written
    {
        quint32 classId;
        Writer write;
        DzBase *bound = nullptr;
    };
    // Returns every object read back, bound or made.
    QList<DzBase *> roundTrip(const QList<Written> &objects)
    {
        DzOutFile out;
        std::vector<std::unique_ptr<DzBase>> placeholders;
        for (const Written &o : objects) {
            placeholders.push_back(std::make_unique<DzBase>());
            out.addObject(o.bound && !o.classId ? o.bound : placeholders.back().get(),
                          DzGUID::fromLegacyClassID(o.classId ? o.classId : 0x7e570000 + quint32(placeholders.size())),
                          o.write);
        }
        m_in = std::make_unique<DzInFile>();
        if (!m_in->setData(out.getData())) {
            ADD_FAILURE() << m_in->getErrorString().toStdString();
            return {};
        }
        for (int i = 0; i < objects.size(); ++i)
            if (objects[i].bound)
                m_in->setObject(i, objects[i].bound);
        m_in->createObjects();
        m_in->loadObjects();
        m_in->postLoadObjects();
        QList<DzBase *> read;
        for (int i = 0; i < m_in->getNumObjects(); ++i)
            read.append(m_in->getObject(i));
        return read;
    }
    // A section written by body.
    static void section(DzOutFile *f, short id, const std::function<void()> &body)
    {
        f->startSection(id);
        body();
        f->endSection();
    }
    // A reference to object `index` of the file being written.
    static void ref(DzOutFile *f, int index, short id) { f->writePointer(f->getObject(index), id); }

    DzSkeleton *m_a = nullptr;
    DzSkeleton *m_b = nullptr;
    KyBlock *m_walk = nullptr;
    KyBlock *m_run = nullptr;
    std::unique_ptr<DzInFile> m_in;
};

TEST_F(PadPersistence, SceneRoundTripRestoresLayersDotsAndValues)
{
    QList<KyPadLayer *> a = m_pane->addGroup(m_a, {QStringLiteral("Walks"), QStringLiteral("Runs")});
    QList<KyPadLayer *> b = m_pane->addGroup(m_b, {QStringLiteral("Layer 1")});
    DzNode *shoulder = m_a->findNodeChild(QStringLiteral("lShldr"), true);
    shoulder->getZRotControl()->setValue(35.0f);
    smileOf(m_a)->setValue(0.6f);
    a[0]->addPose(m_walk, 10, 20);
    shoulder->getZRotControl()->setValue(-20.0f);
    a[0]->addPose(m_run, 110, 20);
    a[0]->addPose(a[0]->newPose(60, 90), false); // no block
    a[0]->view().zoomAt(2.0f, 0, 0);
    a[0]->view().setOrigin(5.0f, -6.0f);
    a[1]->addPose(m_run, 1, 2);
    KyBlock *ghost = m_walk->clone(); // a block file that will not be there
    ghost->path = tempPath(QStringLiteral("gone.kba"));
    b[0]->addPose(ghost, 7, 8);
    const QString file = tempPath(QStringLiteral("scene.tsc"));
    QString error;
    ASSERT_TRUE(saveSceneFile(file, &error)) << error.toStdString();

    shoulder->getZRotControl()->setValue(0.0f);
    ASSERT_TRUE(loadSceneFile(file, &error)) << error.toStdString();
    QList<KyPadLayer *> la = layersOf("Ann");
    QList<KyPadLayer *> lb = layersOf("Bob");
    const auto describe = [](const QList<KyPadLayer *> &layers) {
        QStringList out;
        for (const KyPadLayer *layer : layers) {
            out << layer->name();
            for (const KyPadPose *p : layer->poses())
                out << QStringLiteral("%1 %2,%3").arg(p->block() ? p->block()->name : QStringLiteral("-"))
                           .arg(p->x)
                           .arg(p->y);
        }
        return out;
    };
    EXPECT_EQ(describe(la),
              (QStringList{"Walks", "s_walk_01 10,20", "s_run_01 110,20", "- 60,90", "Runs", "s_run_01 1,2"}));
    ASSERT_EQ(lb.size(), 1);
    EXPECT_FLOAT_EQ(la[0]->view().zoom(), 2.0f);
    EXPECT_EQ(QPointF(la[0]->view().originX(), la[0]->view().originY()), QPointF(5, -6));
    DzNode *ann = dzScene->findNode(QStringLiteral("Ann"));
    KyPadPose *first = la[0]->poses()[0];
    EXPECT_EQ(first->figure(), ann);
    EXPECT_EQ(first->block(), m_walk);
    EXPECT_FALSE(first->backwardCompatible);
    EXPECT_EQ(la[0]->figure(), ann);
    // Stored values, not converted on load (the figure is not posed).
    DzNode *annShoulder = ann->findNodeChild(QStringLiteral("lShldr"), true);
    EXPECT_FLOAT_EQ(annShoulder->getZRotControl()->getValue(), -20.0f);
    first->apply();
    EXPECT_NEAR(annShoulder->getZRotControl()->getValue(), 35.0f, 1e-3f);
    double smile = 0.0;
    ASSERT_TRUE(first->findNodeData(QString(), true)->propValue(smileOf(ann), &smile));
    EXPECT_NEAR(smile, 0.6, 1e-6);
    EXPECT_TRUE(la[0]->transformMask()[kyPadNodeList(ann).indexOf(annShoulder)]);

    // The unreadable block: reported once, path kept and written back.
    const KyPadPose *lost = lb[0]->poses()[0];
    EXPECT_EQ(lost->block(), nullptr);
    EXPECT_EQ(lost->blockPath(), ghost->path);
    EXPECT_EQ(kyPadMissingBlocks(), QStringList{ghost->path});
    kyPadReportMissingBlocks();
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_TRUE(m_prompts.messages[0].contains(QStringLiteral("gone.kba")));
    kyPadReportMissingBlocks();
    EXPECT_EQ(m_prompts.messages.size(), 1);
    ASSERT_TRUE(saveSceneFile(file, &error));
    ASSERT_TRUE(loadSceneFile(file, &error));
    EXPECT_EQ(layersOf("Bob")[0]->poses()[0]->blockPath(), ghost->path);
    kyPadReportMissingBlocks();
    delete ghost;
}

TEST_F(PadPersistence, DataItemHandsOverOrKeepsItsLayers)
{
    m_pane->addGroup(m_a, {QStringLiteral("Layer 1")});
    auto *item = static_cast<KyPadElementData *>(m_a->findDataItem(QStringLiteral("kinPadData")));
    // An older item is removed when the pad data finishes loading.
    m_a->addDataItem(new DzElementData(QStringLiteral("kinPad Spatial Data")));
    item->postLoad();
    EXPECT_EQ(m_a->findDataItem(QStringLiteral("kinPad Spatial Data")), nullptr);

    // Without a group the loaded layers wait in the item.
    auto *layer = new KyPadLayer(nullptr, nullptr, QStringLiteral("Waiting"));
    layer->setFigure(m_b);
    qDeleteAll(m_pane->groups.take(m_b));
    auto *loaded = new KyPadElementData;
    roundTrip({{0, [](DzOutFile *) {}, m_b}, {0x13370014, [layer, this](DzOutFile *f) {
                                                  f->writePointerSection(kSectionDataFigure, m_b);
                                                  section(f, kSectionDataLayers, [&] { f->writePointer(layer, 0); });
                                              }, loaded}});
    delete layer;
    ASSERT_EQ(loaded->pendingLayers().size(), 1);
    EXPECT_EQ(loaded->pendingLayers()[0]->name(), QStringLiteral("Waiting"));
    m_pane->addGroup(m_b, {QStringLiteral("Layer 1")});
    ASSERT_TRUE(m_pane->adoptLayers(m_b, loaded->takePendingLayers()));
    EXPECT_EQ(m_pane->layersOf(m_b)[0]->name(), QStringLiteral("Waiting"));
    delete loaded;
}

// Hostile pad sections: the figure (object 0) and its "Smile" channel (1)
// bound, then pad objects written by hand.
class PadHostileSections : public PadPersistence
{
protected:
    QList<DzBase *> made(QList<Written> objects)
    {
        objects.prepend({0, [](DzOutFile *) {}, smileOf(m_a)});
        objects.prepend({0, [](DzOutFile *) {}, m_a});
        return roundTrip(objects).mid(2);
    }
};

TEST_F(PadHostileSections, NodeDataTakesOnlyWhatIsSound)
{
    const QList<DzBase *> made = this->made({{0x13370017, [](DzOutFile *f) {
        f->writeStringSection(kSectionNodePos, QStringLiteral("not a vector"));
        section(f, kSectionNodeRot, [&] { f->writeDouble(0.0); f->writeDouble(1.0); });  // two of four
        section(f, kSectionNodeScale, [&] { f->writeVec(DzVec3(NAN, 1, 1)); f->writeDouble(2.0); });
        section(f, kSectionNodeProps, [&] {
            f->writeInt(1000);
            f->writeDouble(0.25); ref(f, 1, 7);  // index past the values read
            f->writeDouble(0.5); ref(f, 0, 1);   // a node, not a property
            f->writeDouble(0.75); ref(f, 1, 2);  // the good one
        });
    }}});
    ASSERT_EQ(made.size(), 1);
    auto *d = qobject_cast<KyPadNodeData *>(made[0]);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->pos, DzVec3());
    EXPECT_TRUE(d->rot.isIdentity());
    EXPECT_EQ(d->scale, DzVec3(1, 1, 1));
    EXPECT_EQ(d->genScale, 1.0);
    EXPECT_TRUE(dzLogContains(QStringLiteral("Illegal array index in DzTSimpleArray::at()")));
    double v = 0.0;
    ASSERT_TRUE(d->propValue(smileOf(m_a), &v));
    EXPECT_DOUBLE_EQ(v, 0.75);
    EXPECT_EQ(d->numPropValues(), 1);
}

TEST_F(PadHostileSections, PosesLayersAndItemsRefuseBadReferences)
{
    const QList<DzBase *> made = this->made({
        // 2: node data shared by two poses and listed twice
        {0x13370017, [](DzOutFile *f) { f->writeVecSection(kSectionNodePos, DzVec3(1, 2, 3)); }},
        // 3: a pose with a huge count, a negative index, an index past the
        // count and no section 521 (older data: converted once)
        {0x13370016, [](DzOutFile *f) {
             f->writePointerSection(kSectionPoseFigure, f->getObject(0));
             section(f, kSectionPosePosition, [&] { f->writeFloat(NAN); f->writeFloat(4.0f); });
             section(f, kSectionPoseNodeData, [&] {
                 f->writeInt(1 << 30);
                 ref(f, 2, -3); ref(f, 2, 5000); ref(f, 2, 0); ref(f, 2, 1);
             });
         }},
        // 4: a pose with a negative count, the same node data and an empty path
        {0x13370016, [](DzOutFile *f) {
             f->writeBoolSection(kSectionPoseBackward, false);
             f->writeStringSection(kSectionPoseBlock, QString());
             section(f, kSectionPoseNodeData, [&] { f->writeInt(-5); ref(f, 2, 0); });
         }},
        // 5: a layer listing pose 3 twice, a node data as a dot, a property as figure, a zero zoom
        {0x13370015, [](DzOutFile *f) {
             f->writeStringSection(kSectionLayerName, QStringLiteral("Hostile"));
             section(f, kSectionLayerView, [&] { f->writeFloat(0.0f); f->writeFloat(3.0f); });
             f->writePointerSection(kSectionLayerFigure, f->getObject(1));
             section(f, kSectionLayerPoses, [&] { ref(f, 3, 0); ref(f, 3, 1); ref(f, 2, 2); ref(f, 4, 3); });
         }},
        // 6: a data item listing the layer twice and a pose
        {0x13370014, [](DzOutFile *f) {
             f->writePointerSection(kSectionDataFigure, f->getObject(0));
             section(f, kSectionDataLayers, [&] { ref(f, 5, 0); ref(f, 5, 1); ref(f, 3, 2); });
         }},
    });
    ASSERT_EQ(made.size(), 5);
    auto *pose = qobject_cast<KyPadPose *>(made[1]);
    auto *other = qobject_cast<KyPadPose *>(made[2]);
    auto *layer = qobject_cast<KyPadLayer *>(made[3]);
    auto *item = qobject_cast<KyPadElementData *>(made[4]);
    ASSERT_TRUE(pose && other && layer && item);
    EXPECT_LE(pose->numNodeData(), 4096);
    EXPECT_EQ(pose->nodeData(0), made[0]);
    EXPECT_EQ(pose->nodeData(1), nullptr);
    EXPECT_EQ(pose->x, 0.0f);
    EXPECT_EQ(other->numNodeData(), 0);
    EXPECT_EQ(other->block(), nullptr);
    EXPECT_TRUE(pose->backwardCompatible);
    // Converted: the figure's hip took the stored translation.
    EXPECT_FLOAT_EQ(m_a->findNodeChild(QStringLiteral("hip"))->getXPosControl()->getValue(), 1.0f);
    EXPECT_EQ(layer->name(), QStringLiteral("Hostile"));
    EXPECT_FLOAT_EQ(layer->view().zoom(), 1.0f);
    EXPECT_EQ(layer->figure(), nullptr);
    EXPECT_EQ(layer->poses(), (QList<KyPadPose *>{pose, other}));
    EXPECT_EQ(item->figure(), m_a);
    // Ann's group took the layer (once).
    ASSERT_EQ(m_pane->layersOf(m_a).size(), 1);
    EXPECT_EQ(m_pane->layersOf(m_a)[0], layer);
    m_in.reset(); // the file deletes what nobody took, and nothing twice
}

TEST_F(PadHostileSections, DamagedFilesAreRefusedWhole)
{
    QList<KyPadLayer *> a = m_pane->addGroup(m_a, {QStringLiteral("Walks")});
    a[0]->addPose(m_walk, 1, 2);
    const QString file = tempPath(QStringLiteral("scene.tsc"));
    ASSERT_TRUE(saveSceneFile(file));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    for (qsizetype cut : {qsizetype(16), qsizetype(100), good.size() / 2, good.size() - 1}) {
        DzInFile in;
        EXPECT_FALSE(in.setData(good.left(cut))) << cut;
    }
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5a);
    const QString bad = tempPath(QStringLiteral("bad.tsc"));
    QFile out(bad);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(flipped) == flipped.size());
    out.close();
    QString error;
    EXPECT_FALSE(loadSceneFile(bad, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(m_pane->layersOf(m_a), a); // the open scene is untouched
}
