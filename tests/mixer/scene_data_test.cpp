// The timelines in the scene file (KyMixerSerial): a round trip through the
// real scene file with the main pane, sections of every older version, and
// what must survive a load: missing block files, damaged values, deleted
// figures, sections from a newer version.
#include "panetestsupport.h"

#include "composer.h"
#include "kymixerserial.h"

#include "dzclassfactory.h"
#include "dzguid.h"
#include "dzinfile.h"
#include "dzoutfile.h"
#include "dzoutfileformat.h"
#include "dzscenefile.h"

#include <QTextStream>
#include <QVariant>

namespace {

// Everything of a placement the scene stores.
using Placement
    = std::tuple<QString, QString, float, int, int, int, int, int, float, bool, float, float, float, int>;

Placement placement(const KyBlock &b)
{
    return { b.name, b.path, b.speed, b.inPoint, b.outPoint, b.blendIn, b.flags, b.internalBlend,
        b.facingOffset, b.mirror, b.posOffset.x, b.posOffset.y, b.posOffset.z, b.gap };
}

std::vector<Placement> placements(const KyTrack *track)
{
    std::vector<Placement> out;
    for (const KyBlock *b : track->blocks())
        out.push_back(placement(*b));
    return out;
}

const DzGUID kNodeClass = DzGUID::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));

// One value of a section as written: pointers as "ptr:<index>:<object>".
QVariantList dumpSection(const QByteArray &data, int object)
{
    DzInFile in;
    EXPECT_TRUE(in.setData(data)) << in.getErrorString().toStdString();
    QVariantList values;
    for (bool open = in.openSection(object, 0); open && !in.atSectionEnd();) {
        const auto type = in.peekType();
        short index = 0;
        int target = -1;
        if (type == DzObjectFileFormat::TagInt)
            values << in.readInt();
        else if (type == DzObjectFileFormat::TagFloat)
            values << in.readFloat();
        else if (type == DzObjectFileFormat::TagDouble)
            values << in.readDouble();
        else if (type == DzObjectFileFormat::TagBool)
            values << in.readBool();
        else if (type == DzObjectFileFormat::TagString)
            values << in.readString();
        else if (type == DzObjectFileFormat::TagPointer && in.readReference(&index, &target))
            values << QStringLiteral("ptr:%1:%2").arg(index).arg(target);
        else {
            ADD_FAILURE() << "unexpected value type";
            return values;
        }
    }
    return values;
}

} // namespace

class SceneData : public MixerPaneTest {
protected:
    void SetUp() override
    {
        MixerPaneTest::SetUp();
        dzApp->registerClassFactory(m_factory.get());
        m_walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
        m_turn = makeBlock(QStringLiteral("turn"), turnY(90.0f, 800));
        m_figure = addFigure();
        m_bone = boneOf(m_figure, "lHand");
    }
    void TearDown() override
    {
        KyMixerSerial::forgetNewerSection();
        dzApp->unregisterClassFactory(m_factory.get());
        MixerPaneTest::TearDown();
    }

    // Writes a section the way the given version did, for binding 1 =
    // m_figure: one block per entry of paths, with distinct field values.
    QByteArray oldSection(int version, const QStringList &paths, int bindings = 2, float speed = 2.0f)
    {
        DzOutFile out;
        m_fixture = std::make_unique<KyMixerSerial>();
        out.addObject(m_fixture.get(), m_factory->getClassID(), [&](DzOutFile *f) {
            f->startSection(1);
            f->writeInt(version);
            f->writeInt(bindings);
            for (int k = 0; k < 2; ++k) {
                f->writePointer(k ? m_figure : nullptr, static_cast<short>(1000 + k));
                if (version >= 6)
                    f->writeFloat(k ? 3.5f : 0.0f);
                if (version >= 8) {
                    f->writeInt(k);
                    if (k) {
                        f->writePointer(m_bone, 10);
                        for (double c : { 0.0, 0.6, 0.0, 0.8 })
                            f->writeDouble(c);
                    }
                }
                f->writeInt(1);
                f->writeInt(k ? static_cast<int>(paths.size()) : 0);
                for (int i = 0; k && i < paths.size(); ++i) {
                    f->writeString(QStringLiteral("shown_%1").arg(i));
                    f->writeString(paths[i]);
                    f->writeFloat(speed);
                    for (int v : { 100, 400, 120, 5 })
                        f->writeInt(v);
                    if (version >= 2)
                        f->writeInt(70);
                    if (version >= 3)
                        f->writeFloat(30.0f);
                    if (version >= 4)
                        f->writeBool(true);
                    for (float v : { 1.0f, 2.0f, 3.0f })
                        if (version >= 5)
                            f->writeFloat(v);
                    if (version >= 7)
                        f->writeInt(250);
                }
            }
            f->endSection();
        });
        out.addObject(m_figure, kNodeClass, [](DzOutFile *) {});
        out.addObject(m_bone, kNodeClass, [](DzOutFile *) {});
        return out.getData();
    }
    // Loads a section into a fresh item, as the scene file does.
    void load(const QByteArray &data)
    {
        DzInFile in;
        ASSERT_TRUE(in.setData(data)) << in.getErrorString().toStdString();
        KyMixerSerial serial;
        in.setObject(0, &serial);
        in.setObject(1, m_figure);
        in.setObject(2, m_bone);
        in.loadObject(0);
        in.postLoadObjects();
    }
    // The section the pane's timeline saves now.
    QVariantList savedSection()
    {
        DzOutFile out;
        KyMixerSerial serial;
        out.addObject(&serial, m_factory->getClassID());
        for (DzNode *node : dzScene->getNodeList())
            out.addObject(node, kNodeClass, [](DzOutFile *) {});
        return dumpSection(out.getData(), 0);
    }

    std::unique_ptr<DzClassFactory> m_factory = kyMixerSerialFactory();
    std::unique_ptr<KyMixerSerial> m_fixture;
    KyBlock *m_walk = nullptr, *m_turn = nullptr;
    DzSkeleton *m_figure = nullptr;
    DzNode *m_bone = nullptr;
};

TEST_F(SceneData, RoundTripThroughTheSceneFileLeavingDeletedFiguresOut)
{
    // The first figure goes before the save: the second is written as
    // binding 1, and the first figure's blocks not at all.
    trackOf(m_figure)->appendBlock(*m_walk, true);
    DzSkeleton *kept = addFigure(QStringLiteral("large"));
    KyTrack *a = trackOf(kept);
    KyBlock *walk = a->appendBlock(*m_walk, true);
    walk->speed = 1.5f;
    walk->outPoint = 600;
    walk->mirror = true;
    walk->gap = 200;
    KyBlock *turn = a->appendBlock(*m_turn, true);
    turn->gap = 500;
    turn->flags = 5;
    turn->blendIn = 120;
    turn->internalBlend = 70;
    turn->facingOffset = 45.0f;
    turn->posOffset = Vec3f { 10.0f, 0.0f, -5.0f };
    a->relayout();
    a->binding()->m_heelOffset = 7.5f;
    a->binding()->m_rotationalOffsets[boneOf(kept, "rFoot")] = DzQuat(0.0, 0.6, 0.0, 0.8);
    const auto saved = placements(a);
    dzScene->removeNode(m_figure);
    dzScene->setTime(1600); // frame 10

    const QString path = tempPath(QStringLiteral("scene.trelvo"));
    QString error;
    ASSERT_TRUE(saveSceneFile(path, &error)) << error.toStdString();
    ASSERT_TRUE(loadSceneFile(path, &error)) << error.toStdString();
    EXPECT_EQ(std::tuple(dzScene->getTime(), dzScene->isModified()), std::tuple(1600, false));
    KyTimeline *t = m_pane->timeline();
    ASSERT_EQ(t->bindingCount(), 2);
    ASSERT_EQ(t->tracks(1).size(), 1u);
    EXPECT_EQ(placements(t->tracks(1).front()), saved);
    EXPECT_EQ(t->tracks(1).front()->startOf(1), 200 + 600 + 500);
    const FigureBinding *binding = t->binding(1);
    EXPECT_FLOAT_EQ(binding->m_heelOffset, 7.5f);
    ASSERT_EQ(binding->m_rotationalOffsets.size(), 1u);
    const auto &[bone, q] = *binding->m_rotationalOffsets.begin();
    EXPECT_EQ(std::tuple(bone->getName(), bone->getSkeleton()),
        std::tuple(QStringLiteral("rFoot"), binding->skeleton()));
    EXPECT_EQ(std::tuple(q.m_x, q.m_y, q.m_z, q.m_w), std::tuple(0.0, 0.6, 0.0, 0.8));
    EXPECT_TRUE(m_prompts.messages.isEmpty()) << m_prompts.messages.join('\n').toStdString();
}

TEST_F(SceneData, ReadsEveryOlderVersion)
{
    for (int version = 1; version <= 8; ++version) {
        SCOPED_TRACE(version);
        load(oldSection(version, { m_walk->path, m_turn->path }));
        KyTimeline *t = m_pane->timeline();
        ASSERT_EQ(t->bindingCount(), 2);
        EXPECT_EQ(std::tuple(t->binding(1)->skeleton(), t->binding(1)->m_heelOffset,
                      t->binding(1)->m_rotationalOffsets.size()),
            std::tuple(m_figure, version >= 6 ? 3.5f : 0.0f, version >= 8 ? 1u : 0u));
        ASSERT_EQ(t->tracks(1).size(), 1u);
        ASSERT_EQ(t->tracks(1).front()->count(), 2);
        for (int i = 0; i < 2; ++i) {
            const KyBlock &b = *t->tracks(1).front()->blockAt(i);
            const KyBlock &library = i ? *m_turn : *m_walk;
            // Fields the version lacks keep the library block's values.
            const float v5 = version >= 5 ? 1.0f : 0.0f;
            const Placement expected { QStringLiteral("shown_%1").arg(i), library.path, 2.0f, 100, 400, 120,
                5, version >= 2 ? 70 : library.internalBlend, version >= 3 ? 30.0f : 0.0f, version >= 4, v5,
                2 * v5, 3 * v5, version >= 7 ? 250 : 0 };
            EXPECT_EQ(placement(b), expected);
            EXPECT_EQ(b.clipHandle, library.clipHandle);
        }
    }
}

TEST_F(SceneData, MissingBlockFileIsKeptAndWrittenBackDamagedValuesAreMadeSafe)
{
    const QString gone = tempPath(QStringLiteral("gone.kba"));
    load(oldSection(8, { m_walk->path, gone, m_turn->path }));
    KyTrack *track = m_pane->timeline()->tracks(1).front();
    ASSERT_EQ(track->count(), 3);
    EXPECT_TRUE(!kyIsMissingPlacement(*track->blockAt(0)) && kyIsMissingPlacement(*track->blockAt(1)));
    EXPECT_EQ(track->blockAt(1)->path, gone);
    EXPECT_EQ(track->startOf(2), track->endOf(1) + 250); // its length still places the block after it
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_TRUE(m_prompts.messages.front().startsWith("1 kinBlock could not be found: " + gone));
    // Evaluating inside the missing block neither crashes nor poses anything of it.
    m_pane->timeline()->evaluateAll(track->startOf(1) + 100);
    dzScene->setPrimarySelection(m_figure);
    const QVariantList values = savedSection();
    const int at = static_cast<int>(values.indexOf(QVariant(gone)));
    ASSERT_GT(at, 0);
    EXPECT_EQ(values.at(at - 1).toString(), QStringLiteral("shown_1"));
    EXPECT_EQ(values.mid(at + 1, 12),
        (QVariantList { 2.0f, 100, 400, 120, 5, 70, 30.0f, true, 1.0f, 2.0f, 3.0f, 250 }));
    load(oldSection(8, { m_walk->path }, 2, 0.0f)); // would divide by zero downstream
    EXPECT_EQ(m_pane->timeline()->tracks(1).front()->blockAt(0)->speed, 1.0f);
    load(oldSection(8, { m_walk->path }, 0)); // the null figure's binding is always there
    EXPECT_EQ(m_pane->timeline()->bindingCount(), 1);
    load(oldSection(8, { m_walk->path }, 100000)); // nor are there that many figures
    EXPECT_LT(m_pane->timeline()->bindingCount(), 100000);
}

TEST_F(SceneData, NewerVersionIsWarnedAndKeptUnlessReplaced)
{
    trackOf(m_figure)->appendBlock(*m_walk, true);
    const QByteArray newer = oldSection(9, { m_turn->path });
    const QVariantList written = dumpSection(newer, 0);
    load(newer);
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_TRUE(m_prompts.messages.front().contains("newer version") && KyMixerSerial::hasNewerSection());
    // No: the newer data goes back unchanged (the pointers to the objects
    // of the new file, by their indexes there).
    m_prompts.answers = { false };
    QVariantList saved = savedSection();
    EXPECT_EQ(std::tuple(m_prompts.questions.size(), saved.size(), saved.at(0).toInt()),
        std::tuple(1, written.size(), 9));
    EXPECT_EQ(saved.mid(3, 4), written.mid(3, 4));
    EXPECT_TRUE(KyMixerSerial::hasNewerSection());
    // Yes: the timelines shown replace it, and later saves ask nothing.
    m_prompts.answers = { true };
    EXPECT_EQ(savedSection().at(0).toInt(), 8);
    EXPECT_FALSE(KyMixerSerial::hasNewerSection());
    savedSection();
    EXPECT_EQ(m_prompts.questions.size(), 2);
}

TEST_F(SceneData, ComposedSceneOpensWithItsTimeline)
{
    // The composer writes the figure in its rest pose; a bent knee from the
    // first frame on shows whether the figure is posed when it opens.
    const BlockRotation knee { 40.0f, { 1.0f, 0.0f, 0.0f } };
    MotionPlan bent = walkZ(100.0f, 1000);
    bent.rotations[QStringLiteral("lShin")] = [knee](int) { return knee; };
    const KyBlock *first = makeBlock(QStringLiteral("bent"), bent);
    const QString recipe = writeTemp("recipe.json",
        QStringLiteral(
            R"({"heelOffset": 4, "blocks": [{"file": "%1"}, {"file": "%2", "gap": 500, "mirror": true}]})")
            .arg(first->path, m_turn->path)
            .toUtf8());
    const QString scene = tempPath(QStringLiteral("composed.trelvo"));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    ASSERT_EQ(runCompose({ recipe, "--scene", scene }, out, err), 0) << errText.toStdString();
    EXPECT_TRUE(dzScene->findDataItem(QStringLiteral("KyMixer-data"))); // the pane's item is back
    QString error;
    ASSERT_TRUE(loadSceneFile(scene, &error)) << error.toStdString();
    KyTimeline *t = m_pane->timeline();
    ASSERT_EQ(t->bindingCount(), 2);
    ASSERT_TRUE(t->binding(1)->skeleton());
    // The figure comes up selected, its track current.
    EXPECT_EQ(std::tuple(t->binding(1)->m_heelOffset, t->currentBindingIndex()), std::tuple(4.0f, 1));
    const KyTrack *track = t->tracks(1).front();
    ASSERT_EQ(track->count(), 2);
    EXPECT_EQ(std::tuple(track->blockAt(0)->path, track->blockAt(1)->gap, track->blockAt(1)->mirror),
        std::tuple(first->path, 500, true));
    const DzNode *shin = t->binding(1)->skeleton()->findNodeChild(QStringLiteral("lShin"), true);
    EXPECT_NEAR(std::abs(shin->getLocalRot().dot(hostRotation(knee))), 1.0, 1e-4);
}
