// The scene: node list, selection, time, playback, data items, whole-scene
// events, audio, and the small helpers (log, simple array, script).
#include "dzaudioclip.h"
#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzlog.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzscript.h"
#include "dzskeleton.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

// Records the scene's signals in the order they arrive.
class Recorder
{
public:
    explicit Recorder(DzScene &scene)
    {
        QObject::connect(&scene, &DzScene::nodeAdded, &m_ctx, [this](DzNode *n) { add("added " + n->getName()); });
        QObject::connect(&scene, &DzScene::nodeRemoved, &m_ctx, [this](DzNode *n) { add("removed " + n->getName()); });
        QObject::connect(&scene, &DzScene::nodeListChanged, &m_ctx, [this] { add("list"); });
        QObject::connect(&scene, &DzScene::primarySelectionChanged, &m_ctx,
                         [this](DzNode *n) { add("primary " + (n ? n->getName() : QString("none"))); });
        QObject::connect(&scene, &DzScene::timeChanged, &m_ctx, [this](DzTime t) { add(QString("time %1").arg(t)); });
        QObject::connect(&scene, &DzScene::sceneClearStarting, &m_ctx, [this] { add("clearStarting"); });
        QObject::connect(&scene, &DzScene::sceneCleared, &m_ctx, [this] { add("cleared"); });
        QObject::connect(&scene, &DzScene::sceneLoadStarting, &m_ctx, [this] { add("loadStarting"); });
        QObject::connect(&scene, &DzScene::sceneLoaded, &m_ctx, [this] { add("loaded"); });
    }
    QStringList take()
    {
        QStringList out = m_events;
        m_events.clear();
        return out;
    }

private:
    void add(const QString &e) { m_events.append(e); }
    QObject m_ctx;
    QStringList m_events;
};

DzSkeleton *smallFigure(const QString &name)
{
    auto *fig = new DzSkeleton(name);
    auto *hip = new DzBone("hip");
    auto *leg = new DzBone("leg");
    fig->addNodeChild(hip);
    hip->addNodeChild(leg);
    return fig;
}

bool waitFor(const std::function<bool()> &cond, int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!cond() && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return cond();
}

} // namespace

TEST(Scene, GlobalPointerFollowsTheNewestScene)
{
    {
        DzScene scene;
        EXPECT_EQ(dzScene, &scene);
    }
    EXPECT_EQ(dzScene, nullptr);
}

TEST(Scene, AddNodeAddsTheHierarchyParentsFirst)
{
    DzScene scene;
    Recorder rec(scene);
    DzSkeleton *fig = smallFigure("fig");
    ASSERT_TRUE(scene.addNode(fig));
    EXPECT_EQ(rec.take(), QStringList({"added fig", "added hip", "added leg", "list"}));
    EXPECT_EQ(scene.getNumNodes(), 3);
    EXPECT_EQ(scene.findNode("leg")->getScene(), &scene);
    EXPECT_FALSE(scene.addNode(fig)); // already in
    EXPECT_FALSE(scene.addNode(nullptr));
    EXPECT_TRUE(rec.take().isEmpty());

    QStringList names;
    for (DzNode *n : scene.nodeListIterator())
        names << n->getName();
    EXPECT_EQ(names, QStringList({"fig", "hip", "leg"}));
    DzNodeListIterator it = scene.nodeListIterator();
    int count = 0;
    while (it.hasNext()) {
        ASSERT_TRUE(it.next());
        ++count;
    }
    EXPECT_EQ(count, 3);
    EXPECT_EQ(it.next(), nullptr);
    EXPECT_EQ(scene.getNode(3), nullptr);
}

TEST(Scene, RemoveNodeSignalsThenDeletesLater)
{
    DzScene scene;
    DzSkeleton *fig = smallFigure("fig");
    scene.addNode(fig);
    scene.setPrimarySelection(scene.findNode("leg"));
    Recorder rec(scene);
    QPointer<DzNode> watch(fig);
    ASSERT_TRUE(scene.removeNode(fig));
    EXPECT_EQ(rec.take(), QStringList({"primary none", "removed leg", "removed hip", "removed fig", "list"}));
    EXPECT_EQ(scene.getNumNodes(), 0);
    EXPECT_EQ(scene.getNumSelectedNodes(), 0);
    EXPECT_FALSE(watch.isNull()); // receivers may still use it
    EXPECT_FALSE(scene.removeNode(fig));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST(Scene, RemovingABoneDetachesItFromItsFigure)
{
    DzScene scene;
    DzSkeleton *fig = smallFigure("fig");
    scene.addNode(fig);
    DzNode *hip = fig->findNodeChild("hip");
    scene.removeNode(hip);
    EXPECT_EQ(fig->getNumNodeChildren(), 0);
    EXPECT_EQ(scene.getNumNodes(), 1);
    EXPECT_EQ(scene.findNode("leg"), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Scene, DeletingANodeDirectlyIsForgotten)
{
    DzScene scene;
    DzSkeleton *fig = smallFigure("fig");
    scene.addNode(fig);
    scene.selectNode(fig->findNodeChild("leg", true));
    QSignalSpy primary(&scene, &DzScene::primarySelectionChanged);
    delete fig;
    EXPECT_EQ(scene.getNumNodes(), 0);
    EXPECT_EQ(scene.getPrimarySelection(), nullptr);
    EXPECT_EQ(primary.count(), 1);
}

TEST(Scene, SelectionKeepsTheMostRecentAsPrimary)
{
    DzScene scene;
    DzSkeleton *a = smallFigure("a");
    DzSkeleton *b = smallFigure("b");
    scene.addNode(a);
    scene.addNode(b);
    Recorder rec(scene);
    scene.selectNode(a);
    scene.selectNode(b);
    EXPECT_EQ(scene.getNumSelectedNodes(), 2);
    EXPECT_EQ(scene.getPrimarySelection(), b);
    EXPECT_TRUE(b->isSelected());
    scene.selectNode(b, false);
    EXPECT_EQ(scene.getPrimarySelection(), a);
    EXPECT_EQ(rec.take(), QStringList({"primary a", "primary b", "primary a"}));
    // Selecting again the same node changes nothing.
    scene.selectNode(a);
    EXPECT_TRUE(rec.take().isEmpty());
    // setPrimarySelection keeps others selected and makes the node primary.
    b->setSelected(true);
    scene.setPrimarySelection(a);
    EXPECT_EQ(scene.getPrimarySelection(), a);
    EXPECT_EQ(scene.getNumSelectedNodes(), 2);
    scene.setPrimarySelection(nullptr);
    EXPECT_EQ(scene.getNumSelectedNodes(), 0);
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(rec.take(), QStringList({"primary b", "primary a", "primary none"}));
    // Nodes of no scene are ignored.
    DzNode stray("stray");
    scene.selectNode(&stray);
    EXPECT_EQ(scene.getNumSelectedNodes(), 0);
    EXPECT_EQ(scene.getSelectedNode(0), nullptr);
}

TEST(Scene, TimeAndRanges)
{
    DzScene scene;
    QSignalSpy time(&scene, &DzScene::timeChanged);
    scene.setTime(0);
    EXPECT_EQ(time.count(), 0);
    scene.setTime(320);
    ASSERT_EQ(time.count(), 1);
    EXPECT_EQ(time.at(0).at(0).toInt(), 320);
    EXPECT_EQ(scene.getTimeStep(), 160);
    scene.setTimeStep(0);
    EXPECT_EQ(scene.getTimeStep(), 160);
    EXPECT_EQ(scene.getPlayRange(), DzTimeRange(0, 4800));
    EXPECT_EQ(scene.getAnimRange(), DzTimeRange(0, 4800));
    QSignalSpy range(&scene, &DzScene::animRangeChanged);
    scene.setAnimRange(DzTimeRange(9600, 0)); // reversed: put in order
    EXPECT_EQ(scene.getAnimRange(), DzTimeRange(0, 9600));
    scene.setAnimRange(DzTimeRange(0, 9600));
    EXPECT_EQ(range.count(), 1);
}

TEST(Playback, TimerAdvancesFrameByFrameAndLoops)
{
    DzScene scene;
    scene.setPlayRange(DzTimeRange(0, 480));
    QList<DzTime> seen;
    QObject::connect(&scene, &DzScene::timeChanged, &scene, [&](DzTime t) { seen.append(t); });
    QSignalSpy started(&scene, &DzScene::playbackStarted);
    scene.play();
    EXPECT_TRUE(scene.isPlaying());
    EXPECT_EQ(started.count(), 1);
    ASSERT_TRUE(waitFor([&] { return seen.count(DzTime(0)) >= 1 && seen.size() >= 5; }));
    scene.pause();
    EXPECT_FALSE(scene.isPlaying());
    // Every step is one frame, and the end wraps to the start.
    ASSERT_GE(seen.size(), 5);
    EXPECT_EQ(seen.mid(0, 4), QList<DzTime>({160, 320, 480, 0}));
    for (DzTime t : seen)
        EXPECT_EQ(t % 160, 0);
}

TEST(Playback, StopsAtTheEndWithoutLooping)
{
    DzScene scene;
    scene.loopPlayback(false);
    scene.setPlayRange(DzTimeRange(160, 480));
    scene.setTime(1000); // outside the range: playback starts at its start
    QSignalSpy stopped(&scene, &DzScene::playbackStopped);
    scene.play();
    EXPECT_EQ(scene.getTime(), 160);
    ASSERT_TRUE(waitFor([&] { return !scene.isPlaying(); }));
    EXPECT_EQ(scene.getTime(), 480);
    EXPECT_EQ(stopped.count(), 1);
    scene.pause(); // not playing: no second signal
    EXPECT_EQ(stopped.count(), 1);
}

TEST(Playback, PlayFromCurrentOrFromStart)
{
    DzScene scene;
    scene.setTime(320);
    scene.play(true);
    EXPECT_EQ(scene.getTime(), 320);
    scene.play(false); // already playing: no-op
    EXPECT_EQ(scene.getTime(), 320);
    scene.pause();
    scene.play(false);
    EXPECT_EQ(scene.getTime(), 0);
    scene.pause();
}

TEST(Scene, DataItemsAreOwnedAndUniqueByName)
{
    DzScene scene;
    auto *first = new DzSceneData("KyMixer-data", true);
    ASSERT_TRUE(scene.addDataItem(first));
    QPointer<DzSceneData> watch(first);
    auto *second = new DzSceneData("KyMixer-data", true);
    ASSERT_TRUE(scene.addDataItem(second));
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(scene.getNumDataItems(), 1);
    EXPECT_EQ(scene.findDataItem("KyMixer-data"), second);
    EXPECT_FALSE(scene.addDataItem(second));
    scene.addDataItem(new DzSceneData("other", false));
    scene.addDataItem(new DzSceneData("other", false));
    EXPECT_EQ(scene.getNumDataItems(), 3);
    EXPECT_TRUE(scene.removeDataItem(second));
    EXPECT_EQ(scene.findDataItem("KyMixer-data"), nullptr);
    EXPECT_EQ(scene.getDataItem(7), nullptr);
}

TEST(Scene, ClearEmptiesEverythingBetweenItsSignals)
{
    DzScene scene;
    scene.addNode(smallFigure("fig"));
    scene.addDataItem(new DzSceneData("KyMixer-data"));
    scene.setTime(960);
    scene.setPlayRange(DzTimeRange(160, 320));
    scene.setTimeStep(80);
    scene.setAudio(new DzAudioClip);
    Recorder rec(scene);
    int nodesAtStart = -1, itemsAtEnd = -1;
    QObject::connect(&scene, &DzScene::sceneClearStarting, &scene, [&] { nodesAtStart = scene.getNumNodes(); });
    QObject::connect(&scene, &DzScene::sceneCleared, &scene, [&] { itemsAtEnd = scene.getNumDataItems(); });
    scene.clear();
    const QStringList events = rec.take();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.first(), "clearStarting");
    EXPECT_EQ(events.last(), "cleared");
    EXPECT_TRUE(events.contains("removed fig"));
    EXPECT_TRUE(events.contains("time 0"));
    EXPECT_EQ(events.count("list"), 1);
    EXPECT_EQ(nodesAtStart, 3);
    EXPECT_EQ(itemsAtEnd, 0);
    EXPECT_EQ(scene.getNumNodes(), 0);
    EXPECT_EQ(scene.getTime(), 0);
    EXPECT_EQ(scene.getTimeStep(), 160);
    EXPECT_EQ(scene.getPlayRange(), DzTimeRange(0, 4800));
    EXPECT_EQ(scene.getAudio(), nullptr);
    EXPECT_FALSE(scene.isModified());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Scene, LoadNotificationsAndModifiedFlag)
{
    DzScene scene;
    Recorder rec(scene);
    scene.notifyLoadStarting();
    EXPECT_TRUE(scene.isLoading());
    DzSkeleton *fig = smallFigure("fig");
    scene.addNode(fig);
    EXPECT_TRUE(scene.isModified());
    scene.notifyLoaded();
    EXPECT_FALSE(scene.isLoading());
    EXPECT_FALSE(scene.isModified());
    QStringList events = rec.take();
    EXPECT_EQ(events.first(), "loadStarting");
    EXPECT_EQ(events.last(), "loaded");

    QSignalSpy modified(&scene, &DzScene::modifiedChanged);
    scene.setTime(480); // time is not an edit
    EXPECT_FALSE(scene.isModified());
    fig->findNodeChild("leg", true)->getXRotControl()->setValue(480, 10.f);
    EXPECT_TRUE(scene.isModified());
    EXPECT_EQ(modified.count(), 1);
}

TEST(Scene, ForwardsTransformChangesUpdatesAndScripts)
{
    DzScene scene;
    DzSkeleton *fig = smallFigure("fig");
    scene.addNode(fig);
    QSignalSpy moved(&scene, &DzScene::nodeTransformChanged);
    DzNode *leg = fig->findNodeChild("leg", true);
    leg->setLocalPos(DzVec3(1, 0, 0));
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last().at(0).value<DzNode *>(), leg);

    QSignalSpy update(&scene, &DzScene::updateRequested);
    scene.update();
    EXPECT_EQ(update.count(), 1);

    QObject ctx;
    QObject::connect(&scene, &DzScene::saveStateScript, &ctx, [](DzScript &s) { s.addLine("a();"); });
    QObject::connect(&scene, &DzScene::saveStateScript, &ctx, [](DzScript &s) { s.addLine("b();"); });
    DzScript script;
    scene.buildStateScript(script);
    EXPECT_EQ(script.getCode(), QString("a();\nb();"));
}

TEST(AudioClip, ModelsLengthPositionAndPlayingState)
{
    DzAudioClip clip;
    qint64 now = 1000; // ms
    clip.setClock([&now] { return now; });
    // 1 second of 16-bit stereo at 8000 Hz.
    EXPECT_TRUE(clip.setPcmData(QByteArray(8000 * 4, '\0'), 8000, 2, 2));
    EXPECT_EQ(clip.getLength(), 4800);
    EXPECT_FALSE(clip.setPcmData(QByteArray(5, '\0'), 8000, 2, 2)); // partial frame
    EXPECT_FALSE(clip.setPcmData(QByteArray(4, '\0'), 0, 2, 2));
    EXPECT_EQ(clip.getLength(), 4800); // refused data leaves the clip as it was
    clip.setPosition(99999);
    EXPECT_EQ(clip.getPosition(), 4800);
    clip.start(); // at the end: nothing to play
    EXPECT_FALSE(clip.isPlaying());
    clip.setPosition(0);
    clip.setValue(1.0);
    QSignalSpy started(&clip, &DzAudioClip::started);
    clip.start();
    EXPECT_TRUE(clip.isPlaying());
    EXPECT_EQ(started.count(), 1);
    // Read every millisecond: no tick may get lost to rounding.
    for (int i = 0; i < 100; ++i) {
        ++now;
        clip.getPosition();
    }
    EXPECT_EQ(clip.getPosition(), 480); // 100 ms
    clip.setValue(0.5);
    now += 100;
    EXPECT_EQ(clip.getPosition(), 720);
    clip.stop();
    now += 500;
    EXPECT_EQ(clip.getPosition(), 720) << "a stopped clip stays put";
    clip.start();
    now += 10000;
    EXPECT_EQ(clip.getPosition(), 4800);
    EXPECT_FALSE(clip.isPlaying()) << "stops by itself at the end";
    clip.setValue(-2.0);
    EXPECT_EQ(clip.getValue(), 0.0);
}

TEST(AudioClip, ScenePlaybackStartsAndStopsTheClip)
{
    DzScene scene;
    auto *clip = new DzAudioClip;
    clip->setPcmData(QByteArray(8000 * 2, '\0'), 8000, 1, 2);
    scene.setAudio(clip);
    EXPECT_EQ(clip->parent(), &scene);
    scene.setAudioStartFrame(3);
    EXPECT_EQ(scene.getAudioStartFrame(), 3);
    scene.play();
    EXPECT_TRUE(clip->isPlaying());
    scene.pause();
    EXPECT_FALSE(clip->isPlaying());
    QPointer<DzAudioClip> watch(clip);
    scene.setAudio(nullptr);
    EXPECT_TRUE(watch.isNull());
}

