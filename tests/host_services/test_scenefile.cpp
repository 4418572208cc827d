// Scene files: a posed, keyed scene with data items survives a save and a
// load; a bad file is refused and leaves the open scene as it was.
#include "dzaudioclip.h"
#include "dzbone.h"
#include "dzcontentmgr.h"
#include "dzelementdata.h"
#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzscenefile.h"
#include "dzscenefileformat.h"
#include "dzskeleton.h"
#include "dzundostack.h"
#include "dzundostackhold.h"
#include "servicestestsupport.h"

#include <QDebug>
#include <QPointer>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// A plug-in object that only data items refer to.
class Note : public DzBase {
    Q_OBJECT
public:
    QString m_text;
    void save(DzOutFile *f) override { f->writeStringSection(1, m_text); }
    void loadSection(DzInFile *f, short id) override
    {
        if (id == 1)
            m_text = f->readString();
    }
};

// A data item as the plug-in keeps them: a text and references to objects
// in the scene, in one section; Base is DzSceneData or DzElementData.
template <typename Base> class RefItem : public Base {
public:
    explicit RefItem(const char *name)
        : Base(QLatin1String(name), true)
    {
    }
    QString m_text;
    QList<QPointer<DzBase>> m_refs;
    DzTime m_timeWhileLoading = -1;
    int m_postLoads = 0;
    bool m_leaveSectionOpen = false;

    void save(DzOutFile *f) override
    {
        f->startSection(1);
        f->writeString(m_text);
        for (int i = 0; i < m_refs.size(); ++i)
            f->writePointer(m_refs[i], short(1000 * i)); // the index is the reader's own
        if (!m_leaveSectionOpen)
            f->endSection();
    }
    void loadSection(DzInFile *f, short id) override
    {
        if (id != 1)
            return Base::loadSection(f, id);
        m_timeWhileLoading = dzScene->getTime();
        m_text = f->readString();
        while (f->readPointer() == 0) { }
    }
    void setPointer(const DzInFile *, short, short id, DzBase *object) override
    {
        m_refs.resize(std::max(m_refs.size(), qsizetype(id / 1000 + 1)));
        m_refs[id / 1000] = object;
        if (qobject_cast<Note *>(object))
            object->setParent(this); // a note belongs to the item that refers to it
    }
    void postLoad() override { ++m_postLoads; }
};

// Scene data like the timeline's, and element data like the pad's.
class TimelineData : public RefItem<DzSceneData> {
    Q_OBJECT
public:
    TimelineData()
        : RefItem("Test-timelines")
    {
    }
};
class PadData : public RefItem<DzElementData> {
    Q_OBJECT
public:
    PadData()
        : RefItem("Test-pad")
    {
    }
};

// The identities of what an item refers to, to compare in one go.
std::vector<const QObject *> refs(const QList<QPointer<DzBase>> &list)
{
    return std::vector<const QObject *>(list.cbegin(), list.cend());
}

// Values joined by spaces, as QDebug prints them.
template <typename... T> QString join(const T &...values)
{
    QString s;
    QDebug d(&s);
    d.noquote();
    ((d << values), ...);
    return s.trimmed();
}

QString describeProperty(const DzProperty *p)
{
    QString s = join(p->getName(), p->getLabel(), p->isHidden(), p->isAnimatable());
    if (auto *fp = qobject_cast<const DzFloatProperty *>(p)) {
        s += ' '
            + join(fp->getXYZInterest(), fp->getStaticValue(), fp->getDefaultValue(), fp->getMin(),
                fp->getMax(), fp->isClamped(), "keys:");
        for (const auto &k : fp->getKeys())
            s += ' ' + join(k.time, k.value);
    }
    return s;
}

// Everything a scene file keeps, as text, so two scenes compare in one go.
QStringList dumpScene()
{
    DzScene *s = dzScene;
    QStringList out { join("time", s->getTime(), s->getTimeStep(), s->getPlayRange().getStart(),
        s->getPlayRange().getEnd(), s->getAnimRange().getStart(), s->getAnimRange().getEnd(),
        s->isLoopingPlayback()) };
    for (int i = 0; i < s->getNumSelectedNodes(); ++i)
        out << "selected " + s->getSelectedNode(i)->getName();
    if (s->getPrimarySelection())
        out << "primary " + s->getPrimarySelection()->getName();
    if (DzAudioClip *a = s->getAudio())
        out << join("audio", a->getSampleRate(), a->getNumChannels(), a->getBytesPerSample(),
            a->getPcmData().size(), s->getAudioStartFrame());
    for (int i = 0; i < s->getNumDataItems(); ++i)
        out << "scene data " + s->getDataItem(i)->getName();
    for (DzNode *n : s->getNodeList()) {
        QString follow;
        if (auto *sk = qobject_cast<DzSkeleton *>(n); sk && sk->getFollowTarget())
            follow = sk->getFollowTarget()->getName();
        if (auto *b = qobject_cast<DzBone *>(n); b && b->getFollowBone())
            follow = b->getFollowBone()->getName();
        out << join(n->metaObject()->className(), n->getName(), n->getLabel(),
            n->getNodeParent() ? n->getNodeParent()->getName() : QString(), n->isHidden(),
            n->getRotationOrder().toString(), n->getOrigin().m_x, n->getOrigin().m_y, n->getOrigin().m_z,
            n->getEndPoint().m_x, n->getEndPoint().m_y, n->getEndPoint().m_z, "follow", follow);
        for (DzProperty *p : n->getProperties())
            out << "  prop " + describeProperty(p);
        if (DzObject *o = n->getObject()) {
            for (int i = 0; i < o->getNumModifiers(); ++i) {
                auto *m = qobject_cast<DzMorph *>(o->getModifier(i));
                out << "  morph " + m->getName() + " " + m->getLabel() + " "
                        + describeProperty(m->getValueChannel());
            }
        }
        for (int i = 0; i < n->getNumDataItems(); ++i)
            out << "  data " + n->getDataItem(i)->getName();
    }
    return out;
}

class SceneFile : public ServicesTest {
protected:
    void SetUp() override
    {
        ServicesTest::SetUp();
        ASSERT_TRUE(m_app->registerClassFactory(&m_noteFactory));
        ASSERT_TRUE(m_app->registerClassFactory(&m_timelineFactory));
        ASSERT_TRUE(m_app->registerClassFactory(&m_padFactory));
        m_path = scratchPath(QStringLiteral("scene.tsc"));
    }

    DzSkeleton *loadFigure(const char *file)
    {
        QString error;
        DzSkeleton *fig = DzFigureLoader::loadFile(
            m_app->getContentMgr()->getAbsolutePath(QLatin1String("figures/") + file), &error);
        EXPECT_TRUE(fig) << error.toStdString();
        return fig;
    }

    // A posed and keyed standard figure, a larger figure following it, time
    // settings, selection, audio, a scene data item and an element data item.
    void buildScene()
    {
        DzScene *s = dzScene;
        m_hero = loadFigure("standard.json");
        ASSERT_TRUE(m_hero);
        m_hero->setLabel(QStringLiteral("Hero"));
        s->addNode(m_hero);
        DzBone *hip = m_hero->findBone(QStringLiteral("hip"));
        DzBone *forearm = m_hero->findBone(QStringLiteral("lForeArm"));
        DzBone *hand = m_hero->findBone(QStringLiteral("lHand"));
        ASSERT_TRUE(hip && forearm && hand);
        hip->setLocalPos(DzVec3(1.5f, -2.0f, 30.25f));
        hip->setLocalRot(960, DzQuat(DzVec3(0, 1, 0), 0.7));
        hip->setLocalRot(1920, DzQuat(DzVec3(0, 1, 0), -0.2));
        forearm->getYRotControl()->setValue(0, 10.0f);
        forearm->getYRotControl()->setValue(480, -35.5f);
        forearm->getYRotControl()->setValue(4800, 80.0f);
        hand->setHidden(true);
        hand->setLabel(QStringLiteral("Left Paw"));
        DzFloatProperty *breathing
            = qobject_cast<DzFloatProperty *>(m_hero->findProperty(QStringLiteral("Breathing")));
        ASSERT_TRUE(breathing);
        breathing->setMinMax(-0.5f, 2.0f);
        breathing->setValue(0.4f);
        breathing->setValue(160, 1.75f);
        auto *smile = qobject_cast<DzMorph *>(m_hero->getObject()->findModifier(QStringLiteral("Smile")));
        ASSERT_TRUE(smile);
        smile->getValueChannel()->setValue(320, 0.8f);
        auto *extra = new DzFloatProperty(QStringLiteral("Sway"), 0.25f, false);
        extra->setHidden(true);
        hip->addProperty(extra);

        DzSkeleton *big = loadFigure("large.json");
        ASSERT_TRUE(big);
        big->setName(QStringLiteral("Giant"));
        big->setFollowTarget(m_hero);
        big->findBone(QStringLiteral("head"))->setFollowBone(m_hero->findBone(QStringLiteral("head")));
        s->addNode(big);

        s->setTimeStep(200);
        s->setPlayRange(DzTimeRange(0, 9600));
        s->setAnimRange(DzTimeRange(400, 7200));
        s->loopPlayback(false);
        s->setTime(2400);
        s->setPrimarySelection(forearm);
        s->selectNode(big);
        auto *clip = new DzAudioClip;
        ASSERT_TRUE(clip->setPcmData(QByteArray(4800 * 2, '\x11'), 4800, 1, 2));
        s->setAudio(clip);
        s->setAudioStartFrame(3);

        auto *timelines = new TimelineData;
        timelines->m_text = QStringLiteral("two figures");
        auto *note = new Note;
        note->m_text = QStringLiteral("note text");
        note->setParent(timelines);
        timelines->m_refs = { m_hero.data(), breathing, note };
        s->addDataItem(timelines);

        auto *pad = new PadData;
        pad->m_text = QStringLiteral("pad");
        pad->m_refs = { hand, smile->getValueChannel() };
        m_hero->addDataItem(pad);
    }

    QString m_path;
    QPointer<DzSkeleton> m_hero;
    Factory<Note> m_noteFactory { "11111111-2222-3333-4444-555555555555" };
    Factory<TimelineData> m_timelineFactory { "11111111-2222-3333-4444-666666666666" };
    Factory<PadData> m_padFactory { "11111111-2222-3333-4444-777777777777" };
};

} // namespace

TEST_F(SceneFile, RoundTripsFiguresPoseKeysAndDataItemsLeavingOutUnregisteredOnes)
{
    buildScene();
    const QStringList before = dumpScene();
    QString error;
    ASSERT_TRUE(saveSceneFile(m_path, &error)) << error.toStdString();
    EXPECT_FALSE(dzScene->isModified());
    {
        DzUndoStackHold hold; // loading drops the undo history
        auto *breathing = qobject_cast<DzFloatProperty *>(m_hero->findProperty(QStringLiteral("Breathing")));
        breathing->beginEdit();
        breathing->setValue(1.0f);
        breathing->finishEdit();
        hold.accept(QStringLiteral("Breathe"));
    }
    ASSERT_TRUE(dzUndoStack->canUndo());

    // Listeners of nodeAdded already see the figure's element data.
    QStringList events;
    QObject ctx;
    QObject::connect(dzScene, &DzScene::sceneLoadStarting, &ctx, [&] { events << "loadStarting"; });
    QObject::connect(dzScene, &DzScene::sceneCleared, &ctx, [&] { events << "cleared"; });
    QObject::connect(dzScene, &DzScene::nodeAdded, &ctx, [&](DzNode *n) {
        if (n->inherits("DzSkeleton"))
            events << join("added", n->getName(), n->findDataItem("Test-pad") != nullptr);
    });
    QObject::connect(dzScene, &DzScene::sceneLoaded, &ctx, [&] { events << "loaded"; });

    ASSERT_TRUE(loadSceneFile(m_path, &error)) << error.toStdString();
    flushDeletes();
    EXPECT_TRUE(m_hero.isNull()); // the old figure was replaced
    EXPECT_FALSE(dzUndoStack->canUndo());
    EXPECT_EQ(dumpScene(), before);
    EXPECT_EQ(events,
        (QStringList {
            "loadStarting", "cleared", "added StandardFigure true", "added Giant false", "loaded" }));

    auto *hero = qobject_cast<DzSkeleton *>(dzScene->findNode(QStringLiteral("StandardFigure")));
    ASSERT_TRUE(hero);
    auto *timelines = qobject_cast<TimelineData *>(dzScene->findDataItem(QStringLiteral("Test-timelines")));
    ASSERT_TRUE(timelines);
    EXPECT_EQ(timelines->m_text, QStringLiteral("two figures"));
    ASSERT_EQ(timelines->m_refs.size(), 3);
    auto *note = qobject_cast<Note *>(timelines->m_refs[2]);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->m_text, QStringLiteral("note text"));
    EXPECT_EQ(note->parent(), timelines);
    EXPECT_EQ(refs(timelines->m_refs), refs({ hero, hero->findProperty(QStringLiteral("Breathing")), note }));
    EXPECT_EQ(timelines->m_postLoads, 1);
    EXPECT_EQ(timelines->m_timeWhileLoading, 2400);

    auto *pad = qobject_cast<PadData *>(hero->findDataItem(QStringLiteral("Test-pad")));
    ASSERT_TRUE(pad);
    EXPECT_EQ(pad->m_text, QStringLiteral("pad"));
    auto *smile = qobject_cast<DzMorph *>(hero->getObject()->findModifier(QStringLiteral("Smile")));
    EXPECT_EQ(refs(pad->m_refs), refs({ hero->findBone(QStringLiteral("lHand")), smile->getValueChannel() }));

    // Items whose class has no factory are left out, with a warning.
    m_app->unregisterClassFactory(&m_padFactory);
    DzSceneFile file;
    ASSERT_TRUE(file.save(m_path));
    EXPECT_TRUE(file.getWarnings().join(' ').contains(QStringLiteral("\"Test-pad\"")));
    ASSERT_TRUE(m_app->registerClassFactory(&m_padFactory));
    m_app->unregisterClassFactory(&m_timelineFactory);
    ASSERT_TRUE(file.load(m_path)) << file.getErrorString().toStdString();
    ASSERT_TRUE(m_app->registerClassFactory(&m_timelineFactory));
    EXPECT_EQ(dzScene->findDataItem(QStringLiteral("Test-timelines")), nullptr);
    EXPECT_TRUE(file.getWarnings().join(' ').contains(QStringLiteral("no factory is registered")));
    hero = qobject_cast<DzSkeleton *>(dzScene->findNode(QStringLiteral("StandardFigure")));
    ASSERT_TRUE(hero);
    EXPECT_EQ(hero->findDataItem(QStringLiteral("Test-pad")), nullptr);

    // Items renamed here come back under their constructor's name, so adding
    // the second deletes the first before it is fed its sections.
    for (const char *text : { "first", "second" }) {
        auto *item = new TimelineData;
        item->m_text = QLatin1String(text);
        item->setName(QStringLiteral("Test-timelines-") + QLatin1String(text));
        dzScene->addDataItem(item);
    }
    ASSERT_TRUE(saveSceneFile(m_path));
    ASSERT_TRUE(file.load(m_path)) << file.getErrorString().toStdString();
    ASSERT_EQ(dzScene->getNumDataItems(), 1);
    auto *kept = qobject_cast<TimelineData *>(dzScene->getDataItem(0));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->m_text, QStringLiteral("second"));
    EXPECT_EQ(kept->m_postLoads, 1);
    EXPECT_FALSE(loadSceneFile(m_dir.path())); // a folder is no scene
}

TEST_F(SceneFile, RefusesBadScenesLeavingTheSceneAloneAndFailedSavesKeepTheFile)
{
    buildScene();
    ASSERT_TRUE(saveSceneFile(m_path));
    const QByteArray good = readFile(m_path);
    dzScene->setTime(480); // the open scene differs from the file
    const QStringList before = dumpScene();

    int loadStarts = 0;
    QObject ctx;
    QObject::connect(dzScene, &DzScene::sceneLoadStarting, &ctx, [&] { ++loadStarts; });

    auto tryLoad = [&](const QByteArray &data, const char *expected) {
        QString error;
        EXPECT_FALSE(loadSceneFile(writeScratch("bad.tsc", data), &error));
        EXPECT_TRUE(error.contains(QLatin1String(expected))) << expected << ": " << error.toStdString();
        flushDeletes();
        EXPECT_EQ(dumpScene(), before);
    };
    for (int cut : { 0, 7, 31, 32, 100, int(good.size() / 2), int(good.size() - 1) })
        tryLoad(good.left(cut), "truncated");
    QByteArray flipped = good;
    flipped[good.size() / 3] = char(flipped[good.size() / 3] ^ 0x10);
    tryLoad(flipped, "checksum");
    EXPECT_EQ(loadStarts, 0);

    // Well-formed object files with bad scenes in them: a scene record with
    // the given int sections, then `count` nodes with the given int sections;
    // next(i) is the child of node i (-1: none), `roots` are listed as figures.
    using Ints = QList<std::pair<short, int>>;
    auto sceneFile = [&](const Ints &scene, int count, const std::function<int(int)> &next,
                         const QList<int> &roots, const Ints &node = {}) {
        std::vector<std::unique_ptr<DzBase>> keys(size_t(count) + 1);
        for (auto &k : keys)
            k = std::make_unique<DzBase>();
        DzOutFile out;
        out.addObject(keys[0].get(), DzSceneFormat::kSceneClass, [&](DzOutFile *f) {
            for (const auto &[id, value] : scene)
                f->writeIntSection(id, value);
            f->startSection(DzSceneFormat::SceneFigures);
            for (int r : roots)
                f->writePointer(keys[size_t(r) + 1].get());
            f->endSection();
        });
        for (int i = 0; i < count; ++i) {
            out.addObject(keys[size_t(i) + 1].get(), DzSceneFormat::kBoneClass, [&, i](DzOutFile *f) {
                f->writeStringSection(DzSceneFormat::NodeName, QStringLiteral("n%1").arg(i));
                for (const auto &[id, value] : node)
                    f->writeIntSection(id, value);
                f->startSection(DzSceneFormat::NodeChildren);
                if (next(i) >= 0)
                    f->writePointer(keys[size_t(next(i)) + 1].get());
                f->endSection();
            });
        }
        return out.getData();
    };
    const Ints v1 { { DzSceneFormat::SceneVersion, DzSceneFormat::kSceneVersion } };
    const auto none = [](int) { return -1; };
    const auto chain = [](int n) { return [n](int i) { return i + 1 < n ? i + 1 : -1; }; };
    const auto cycle = [](int i) { return i == 0 ? -1 : (i == 3 ? 1 : i + 1); }; // 1 -> 2 -> 3 -> 1
    const int depth = DzSceneFormat::kMaxDepth;
    tryLoad(sceneFile({ { 1, 2 } }, 0, none, {}), "newer version");
    tryLoad(sceneFile({ { 2, 0 } }, 0, none, {}), "no version");
    tryLoad(sceneFile({ { 1, 1 }, { 3, 0 } }, 0, none, {}), "time step 0");
    tryLoad(sceneFile(v1, 1, none, { 0 }, { { DzSceneFormat::NodeRotationOrder, 9 } }),
        "unknown rotation order 9");
    tryLoad(sceneFile(v1, 1, none, {}), "belongs to no figure");
    tryLoad(sceneFile(v1, 1, none, { 0 }, { { DzSceneFormat::NodeHidden, 5 } }), "the scene is corrupt");
    tryLoad(sceneFile(v1, depth + 1, chain(depth + 1), { 0 }), "at most 4096");
    tryLoad(sceneFile(v1, 4, cycle, { 0 }), "its own ancestor");
    tryLoad(sceneFile(v1, DzSceneFormat::kMaxNodes + 1, none, {}), "at most 100000");
    QString error;
    EXPECT_FALSE(loadSceneFile(scratchPath(QStringLiteral("nowhere.tsc")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot open")));

    // A failed save keeps the previous file.
    auto *timelines = qobject_cast<TimelineData *>(dzScene->findDataItem(QStringLiteral("Test-timelines")));
    ASSERT_TRUE(timelines);
    timelines->m_leaveSectionOpen = true;
    EXPECT_FALSE(saveSceneFile(m_path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("left open"))) << error.toStdString();
    EXPECT_EQ(readFile(m_path), good);
    timelines->m_leaveSectionOpen = false;
    EXPECT_FALSE(saveSceneFile(scratchPath(QStringLiteral("no/such/folder/scene.tsc")), &error));
    EXPECT_TRUE(error.contains("Cannot write") && error.contains(std::strerror(ENOENT)))
        << error.toStdString();

    // A chain at the depth limit loads (last: it replaces the scene).
    ASSERT_TRUE(loadSceneFile(writeScratch("bad.tsc", sceneFile(v1, depth, chain(depth), { 0 })), &error))
        << error.toStdString();
    EXPECT_EQ(dzScene->getNodeList().size(), depth);
}

#include "test_scenefile.moc"
