// The pad in scene files written by hand: a data item that waits for its
// figure's group, older data, and hostile pad sections.
#include "padtestsupport.h"

#include "kypadelementdata.h"
#include "kypadsections.h"

#include "dzelementdata.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzoutfile.h"

#include <optional>

namespace {

// A section of references to objects of the file being written, as (object
// index, reference id), after a count when given.
void refs(DzOutFile *f, short section, std::initializer_list<std::pair<int, short>> items,
    std::optional<int> count = {})
{
    f->startSection(section);
    if (count)
        f->writeInt(*count);
    for (const auto &[index, id] : items)
        f->writePointer(f->getObject(index), id);
    f->endSection();
}

void floats(DzOutFile *f, short section, std::initializer_list<float> values)
{
    f->startSection(section);
    for (float v : values)
        f->writeFloat(v);
    f->endSection();
}

} // namespace

class PadPersistence : public PadTest {
protected:
    void SetUp() override
    {
        PadTest::SetUp();
        m_a = addFigure();
        auto *item = new KyPadElementData;
        item->setFigure(m_a);
        m_a->addDataItem(item);
    }

    // Objects written by hand and read back: a bound object is given to the
    // reader, the others are made by the factories from their class.
    using Writer = std::function<void(DzOutFile *)>;
    struct Written {
        quint32 classId;
        Writer write;
        DzBase *bound = nullptr;
    };
    // The figure (object 0) and its "Smile" channel (1) come first, bound;
    // returns the objects read back after them, bound or made.
    QList<DzBase *> roundTrip(QList<Written> objects)
    {
        objects.prepend({ 0, [](DzOutFile *) {}, morph(m_a, "Smile") });
        objects.prepend({ 0, [](DzOutFile *) {}, m_a });
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
        for (int i = 2; i < m_in->getNumObjects(); ++i)
            read.append(m_in->getObject(i));
        return read;
    }
    DzSkeleton *m_a = nullptr;
    std::unique_ptr<DzInFile> m_in;
};

TEST_F(PadPersistence, DataItemHandsOverOrKeepsItsLayers)
{
    auto *item = static_cast<KyPadElementData *>(m_a->findDataItem(QStringLiteral("kinPadData")));
    // An older item is removed when the pad data finishes loading.
    m_a->addDataItem(new DzElementData(QStringLiteral("kinPad Spatial Data")));
    item->postLoad();
    EXPECT_EQ(m_a->findDataItem(QStringLiteral("kinPad Spatial Data")), nullptr);

    // Without a group the loaded layers wait in the item.
    auto *layer = new KyPadLayer(nullptr, nullptr, QStringLiteral("Waiting"));
    layer->setFigure(m_a);
    qDeleteAll(m_pane->groups.take(m_a));
    auto *loaded = new KyPadElementData;
    const Writer write = [layer](DzOutFile *f) {
        f->writePointerSection(kSectionDataFigure, f->getObject(0));
        f->writePointerSection(kSectionDataLayers, layer);
    };
    roundTrip({ { 0x13370014, write, loaded } });
    delete layer;
    ASSERT_EQ(loaded->pendingLayers().size(), 1);
    m_pane->addGroup(m_a);
    ASSERT_TRUE(m_pane->adoptLayers(m_a, loaded->takePendingLayers()));
    EXPECT_EQ(m_pane->layersOf(m_a)[0]->name(), QStringLiteral("Waiting"));
    delete loaded;
}

TEST_F(PadPersistence, HostileSectionsAreRefused)
{
    const QList<DzBase *> made = roundTrip({
        // 2: node data shared by two poses and listed twice
        { 0x13370017, [](DzOutFile *f) { f->writeVecSection(kSectionNodePos, DzVec3(1, 2, 3)); } },
        // 3: a pose with a huge count, a negative index, an index past the
        // count and no section 521 (older data: converted once)
        { 0x13370016,
            [](DzOutFile *f) {
                f->writePointerSection(kSectionPoseFigure, f->getObject(0));
                floats(f, kSectionPosePosition, { NAN, 4.0f });
                refs(f, kSectionPoseNodeData, { { 2, -3 }, { 2, 5000 }, { 2, 0 }, { 2, 1 } }, 1 << 30);
            } },
        // 4: a pose with a negative count, the same node data and an empty path
        { 0x13370016,
            [](DzOutFile *f) {
                f->writeBoolSection(kSectionPoseBackward, false);
                f->writeStringSection(kSectionPoseBlock, QString());
                refs(f, kSectionPoseNodeData, { { 2, 0 } }, -5);
            } },
        // 5: a layer listing pose 3 twice, a node data as a dot, a property as figure, a zero zoom
        { 0x13370015,
            [](DzOutFile *f) {
                f->writeStringSection(kSectionLayerName, QStringLiteral("Hostile"));
                floats(f, kSectionLayerView, { 0.0f, 3.0f });
                f->writePointerSection(kSectionLayerFigure, f->getObject(1));
                refs(f, kSectionLayerPoses, { { 3, 0 }, { 3, 1 }, { 2, 2 }, { 4, 3 } });
            } },
        // 6: a data item listing the layer twice and a pose
        { 0x13370014,
            [](DzOutFile *f) {
                f->writePointerSection(kSectionDataFigure, f->getObject(0));
                refs(f, kSectionDataLayers, { { 5, 0 }, { 5, 1 }, { 3, 2 } });
            } },
        // 7: node data with sections of the wrong kind or length and bad property references
        { 0x13370017,
            [](DzOutFile *f) {
                f->writeStringSection(kSectionNodePos, QStringLiteral("not a vector"));
                f->startSection(kSectionNodeRot); // two doubles of four
                f->writeDouble(0.0);
                f->writeDouble(1.0);
                f->endSection();
                f->startSection(kSectionNodeScale);
                f->writeVec(DzVec3(NAN, 1, 1));
                f->writeDouble(2.0);
                f->endSection();
                // An index past the values read, a node instead of a property, the good one.
                f->startSection(kSectionNodeProps);
                f->writeInt(1000);
                for (const auto &[value, object, id] :
                    { std::tuple { 0.25, 1, 7 }, { 0.5, 0, 1 }, { 0.75, 1, 2 } }) {
                    f->writeDouble(value);
                    f->writePointer(f->getObject(object), static_cast<short>(id));
                }
                f->endSection();
            } },
    });
    ASSERT_EQ(made.size(), 6);
    auto *pose = qobject_cast<KyPadPose *>(made[1]);
    auto *other = qobject_cast<KyPadPose *>(made[2]);
    auto *layer = qobject_cast<KyPadLayer *>(made[3]);
    auto *item = qobject_cast<KyPadElementData *>(made[4]);
    auto *d = qobject_cast<KyPadNodeData *>(made[5]);
    ASSERT_TRUE(pose && other && layer && item && d);
    EXPECT_LE(pose->numNodeData(), 4096);
    EXPECT_EQ(pose->nodeData(0), made[0]);
    EXPECT_EQ(pose->nodeData(1), nullptr);
    EXPECT_EQ(pose->x, 0.0f);
    EXPECT_EQ(other->numNodeData(), 0);
    EXPECT_EQ(other->block(), nullptr);
    // Converted: the figure's hip took the stored translation.
    EXPECT_FLOAT_EQ(m_a->findNodeChild(QStringLiteral("hip"))->getXPosControl()->getValue(), 1.0f);
    EXPECT_EQ(layer->name(), QStringLiteral("Hostile"));
    EXPECT_FLOAT_EQ(layer->view().zoom(), 1.0f);
    EXPECT_EQ(layer->figure(), nullptr);
    EXPECT_EQ(layer->poses(), (QList<KyPadPose *> { pose, other }));
    EXPECT_EQ(item->figure(), m_a);
    // The figure's group took the layer (once).
    EXPECT_EQ(m_pane->layersOf(m_a), QList<KyPadLayer *> { layer });
    EXPECT_TRUE(d->rot.isIdentity());
    EXPECT_EQ(std::tuple(d->pos, d->scale, d->genScale), std::tuple(DzVec3(), DzVec3(1, 1, 1), 1.0));
    EXPECT_TRUE(dzLogContains(QStringLiteral("Illegal array index in DzTSimpleArray::at()")));
    double v = 0.0;
    ASSERT_TRUE(d->propValue(morph(m_a, "Smile"), &v));
    EXPECT_DOUBLE_EQ(v, 0.75);
    EXPECT_EQ(d->numPropValues(), 1);
    m_in.reset(); // the file deletes what nobody took, and nothing twice
}
