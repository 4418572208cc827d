// The scene: node list, selection, time, playback, data items, whole-scene
// events and audio.
#include "dzaudioclip.h"
#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzscript.h"
#include "dzskeleton.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>

#include <utility>

namespace {

// Records the scene's signals in the order they arrive.
class Recorder {
public:
    explicit Recorder(DzScene &scene)
    {
        const std::pair<void (DzScene::*)(), const char *> plain[] = { { &DzScene::nodeListChanged, "list" },
            { &DzScene::sceneClearStarting, "clearStarting" }, { &DzScene::sceneCleared, "cleared" },
            { &DzScene::sceneLoadStarting, "loadStarting" }, { &DzScene::sceneLoaded, "loaded" } };
        for (const auto &signal : plain) {
            const QString name = signal.second;
            QObject::connect(&scene, signal.first, &m_ctx, [this, name] { m_events.append(name); });
        }
        const auto node = [this](const QString &what) {
            return [this, what](DzNode *n) { m_events.append(what + (n ? n->getName() : QString("none"))); };
        };
        QObject::connect(&scene, &DzScene::nodeAdded, &m_ctx, node("added "));
        QObject::connect(&scene, &DzScene::nodeRemoved, &m_ctx, node("removed "));
        QObject::connect(&scene, &DzScene::primarySelectionChanged, &m_ctx, node("primary "));
        QObject::connect(&scene, &DzScene::timeChanged, &m_ctx,
            [this](DzTime t) { m_events.append(QString("time %1").arg(t)); });
    }
    QStringList take() { return std::exchange(m_events, {}); }

private:
    QObject m_ctx;
    QStringList m_events;
};

DzSkeleton *smallFigure(const QString &name)
{
    auto *fig = new DzSkeleton(name);
    auto *hip = new DzBone("hip");
    fig->addNodeChild(hip);
    hip->addNodeChild(new DzBone("leg"));
    return fig;
}

void deletePosted()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(Scene, AddsParentsFirstRemovesChildrenFirstAndDeletesLater)
{
    DzScene scene;
    Recorder rec(scene);
    DzSkeleton *fig = smallFigure("fig");
    ASSERT_TRUE(scene.addNode(fig));
    EXPECT_EQ(rec.take(), QStringList({ "added fig", "added hip", "added leg", "list" }));
    EXPECT_EQ(scene.findNode("leg")->getScene(), &scene);
    EXPECT_FALSE(scene.addNode(fig)); // already in
    EXPECT_FALSE(scene.addNode(nullptr));
    DzNodeListIterator it = scene.nodeListIterator();
    for (const char *name : { "fig", "hip", "leg" })
        EXPECT_EQ(it.next()->getName(), QString(name));
    EXPECT_EQ(it.next(), nullptr);

    scene.setPrimarySelection(scene.findNode("leg"));
    rec.take();
    QPointer<DzNode> watch(fig);
    ASSERT_TRUE(scene.removeNode(fig));
    EXPECT_EQ(
        rec.take(), QStringList({ "primary none", "removed leg", "removed hip", "removed fig", "list" }));
    EXPECT_FALSE(watch.isNull()); // receivers may still use it
    EXPECT_FALSE(scene.removeNode(fig));
    deletePosted();
    EXPECT_TRUE(watch.isNull());

    // Removing a bone detaches it (and what hangs from it) from its figure.
    DzSkeleton *other = smallFigure("other");
    scene.addNode(other);
    scene.removeNode(other->findNodeChild("hip"));
    EXPECT_EQ(other->getNumNodeChildren(), 0);
    EXPECT_EQ(scene.getNumNodes(), 1);
    deletePosted();

    // A node deleted directly is forgotten, selection included.
    scene.selectNode(other);
    rec.take();
    delete other;
    EXPECT_EQ(scene.getNumNodes(), 0);
    EXPECT_EQ(rec.take().count("primary none"), 1);
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
    scene.selectNode(b); // again: no change
    EXPECT_EQ(scene.getNumSelectedNodes(), 2);
    scene.selectNode(b, false);
    // setPrimarySelection keeps others selected and makes the node primary.
    b->setSelected(true);
    scene.setPrimarySelection(a);
    EXPECT_EQ(scene.getNumSelectedNodes(), 2);
    scene.setPrimarySelection(nullptr);
    EXPECT_EQ(scene.getNumSelectedNodes(), 0);
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(rec.take(),
        QStringList({ "primary a", "primary b", "primary a", "primary b", "primary a", "primary none" }));
    // Nodes of no scene are ignored.
    DzNode stray("stray");
    scene.selectNode(&stray);
    EXPECT_EQ(scene.getNumSelectedNodes(), 0);
}

TEST(Playback, StepsFrameByFrameThenLoopsOrStopsAndKeepsTimeSane)
{
    DzScene scene;
    scene.setPlayRange(DzTimeRange(0, 480));
    QList<DzTime> seen;
    QObject::connect(&scene, &DzScene::timeChanged, &scene, [&](DzTime t) { seen.append(t); });
    QSignalSpy started(&scene, &DzScene::playbackStarted);
    QSignalSpy stopped(&scene, &DzScene::playbackStopped);
    scene.play();
    EXPECT_EQ(started.count(), 1);
    for (int i = 0; i < 5; ++i)
        scene.advanceFrame();
    // Every step is one frame; the end is shown, then wraps to the start.
    EXPECT_EQ(seen, QList<DzTime>({ 160, 320, 480, 0, 160 }));
    scene.play(false); // already playing: no-op
    EXPECT_EQ(scene.getTime(), 160);
    scene.pause();
    scene.advanceFrame(); // not playing: no step
    EXPECT_EQ(scene.getTime(), 160);
    scene.play(false);
    EXPECT_EQ(scene.getTime(), 0) << "not from the current time: from the start";
    scene.pause();

    scene.loopPlayback(false);
    scene.setPlayRange(DzTimeRange(160, 400));
    scene.setTime(100); // before the range: playback starts at its start
    scene.play();
    EXPECT_EQ(scene.getTime(), 160);
    scene.advanceFrame();
    scene.advanceFrame(); // a step past the end stops at the end
    EXPECT_EQ(scene.getTime(), 400);
    EXPECT_EQ(stopped.count(), 3);
    scene.pause(); // not playing: no second signal
    EXPECT_EQ(stopped.count(), 3);

    // Time signals only on change; the step and ranges are kept sane.
    seen.clear();
    scene.setTime(400);
    EXPECT_TRUE(seen.isEmpty());
    scene.setTimeStep(0);
    EXPECT_EQ(scene.getTimeStep(), 160);
    scene.setAnimRange(DzTimeRange(9600, 0)); // reversed: put in order
    EXPECT_EQ(scene.getAnimRange(), DzTimeRange(0, 9600));
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
    QObject::connect(
        &scene, &DzScene::sceneClearStarting, &scene, [&] { nodesAtStart = scene.getNumNodes(); });
    QObject::connect(&scene, &DzScene::sceneCleared, &scene, [&] { itemsAtEnd = scene.getNumDataItems(); });
    scene.clear();
    const QStringList events = rec.take();
    EXPECT_EQ(events.value(0), "clearStarting");
    EXPECT_EQ(events.value(events.size() - 1), "cleared");
    EXPECT_TRUE(events.contains("removed fig") && events.contains("time 0"));
    EXPECT_EQ(events.count("list"), 1);
    EXPECT_EQ(nodesAtStart, 3);
    EXPECT_EQ(itemsAtEnd, 0);
    EXPECT_EQ(scene.getTimeStep(), 160);
    EXPECT_EQ(scene.getPlayRange(), DzTimeRange(0, 4800));
    EXPECT_EQ(scene.getAudio(), nullptr);
    EXPECT_FALSE(scene.isModified());
    deletePosted();
}

TEST(Scene, LoadNotificationsModifiedFlagTransformSignalsAndScripts)
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
    EXPECT_EQ(
        rec.take(), QStringList({ "loadStarting", "added fig", "added hip", "added leg", "list", "loaded" }));

    QSignalSpy modified(&scene, &DzScene::modifiedChanged);
    scene.setTime(480); // time is not an edit
    EXPECT_FALSE(scene.isModified());
    // Controls and properties added after the node joined are.
    DzNode *leg = fig->findNodeChild("leg", true);
    auto *extra = new DzFloatProperty("extra");
    leg->addProperty(extra);
    for (DzFloatProperty *p : { leg->getXRotControl(), extra }) {
        scene.setModified(false);
        p->setValue(480, 10.f);
        EXPECT_TRUE(scene.isModified()) << p->getName().toStdString();
    }
    EXPECT_EQ(modified.count(), 3);

    // Transform changes of its nodes are forwarded; state scripts gathered.
    QSignalSpy moved(&scene, &DzScene::nodeTransformChanged);
    leg->setLocalPos(DzVec3(1, 0, 0));
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last().at(0).value<DzNode *>(), leg);
    QObject ctx;
    QObject::connect(&scene, &DzScene::saveStateScript, &ctx, [](DzScript &s) { s.addLine("a();"); });
    QObject::connect(&scene, &DzScene::saveStateScript, &ctx, [](DzScript &s) { s.addLine("b();"); });
    DzScript script;
    scene.buildStateScript(script);
    EXPECT_EQ(script.getCode(), QString("a();\nb();"));

    // Nodes removed from the scene no longer mark it.
    scene.removeNode(fig);
    scene.setModified(false);
    leg->getXRotControl()->setValue(10, 3.f);
    EXPECT_FALSE(scene.isModified());
    deletePosted();
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
    QSignalSpy started(&clip, &DzAudioClip::started);
    clip.start();
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

    // Scene playback starts and stops the scene's clip; the scene owns it.
    DzScene scene;
    auto *owned = new DzAudioClip;
    owned->setPcmData(QByteArray(8000 * 2, '\0'), 8000, 1, 2);
    scene.setAudio(owned);
    scene.play();
    EXPECT_TRUE(owned->isPlaying());
    scene.pause();
    EXPECT_FALSE(owned->isPlaying());
    QPointer<DzAudioClip> watch(owned);
    scene.setAudio(nullptr);
    EXPECT_TRUE(watch.isNull());
}
