// The pad's widgets offscreen: drops, dragging between dots, context menus,
// layer commands through the actions, and a picture of the pane.
#include "../timeline/timelinetestsupport.h"

#include "padfactories.h"

#include "kypadactions.h"
#include "kypadhooks.h"
#include "kypadlayer.h"
#include "kypadlayergroup.h"
#include "kypadlayerview.h"
#include "kypadpane.h"
#include "kypadpose.h"

#include "kymixercore.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include "dzactionmgr.h"
#include "dzelementdata.h"
#include "dzfloatproperty.h"
#include "dznodemenu.h"
#include "dzlog.h"
#include "dzmainwindow.h"
#include "dzpanemgr.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzskeleton.h"
#include "dzundostack.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QTest>

// A browser tile as the pad sees it: something that names its block file.
class FakeFinderTile : public QObject
{
public:
    explicit FakeFinderTile(KyBlock *block) { setProperty("kyBlockPath", block->path); }
};

// Menus are recorded (their entries' texts) and closed without a choice.
void recordMenus(QStringList &shown)
{
    KyPadLayerView::setMenuRunner([&shown](QMenu *menu, const QPoint &) {
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                shown << action->text();
        return static_cast<QAction *>(nullptr);
    });
}

class PadPane : public TimelineTest
{
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        ASSERT_TRUE(registerPadDataClasses(m_app.get()));
        dzUndoStack->clear();
        m_window = new DzMainWindow;
        m_figure = addFigure();
        m_pane = new KyPadPane;
        ASSERT_TRUE(m_window->getPaneMgr()->addPane(m_pane));
        DzActionMgr *actions = m_window->getActionMgr();
        for (DzAction *a : std::initializer_list<DzAction *>{
                 new KyPadFillFramesAction, new KyPadExtendFramesAction, new KyPadZoomToFitAction,
                 new KyPadResetViewAction, new KyPadCenterViewAction, new KyPadAddLayerAction,
                 new KyPadDeleteLayerAction, new KyPadRenameLayerAction, new KyPadClearLayerAction,
                 new KyPadClearLayerAnimationAction, new KyPadDeletePoseAction, new KyPadUpdatePoseAction})
            ASSERT_TRUE(actions->addAction(a));
        m_timeline = std::make_unique<KyTimeline>();
        m_core = std::make_unique<KyMixerCore>(m_timeline.get());
        m_timeline->activateNode(m_figure);
        kyPadSetMixerCoreProvider([this] { return m_core.get(); });
        kyPadSetClock([this] { return m_now; });
        dzScene->setPrimarySelection(m_figure);
        m_pane->resize(420, 560);
        m_window->getPaneMgr()->showPane(m_pane);
        m_pane->show();
        m_walk = KyBlock::get(contentDir() + QStringLiteral("/kinBlocks/Trelvo/s_walk_01.kba"));
        m_run = KyBlock::get(contentDir() + QStringLiteral("/kinBlocks/Trelvo/s_run_01.kba"));
        ASSERT_TRUE(m_walk && m_run);
    }
    void TearDown() override
    {
        KyPadLayerView::setMenuRunner(nullptr);
        KyPadPane::setNamePrompt(nullptr);
        kyPadSetMixerCoreProvider(nullptr);
        kyPadSetClock(nullptr);
        delete m_window;
        m_core.reset();
        m_timeline.reset();
        dzUndoStack->clear();
        TimelineTest::TearDown();
    }

    KyPadLayerGroup *group() const { return m_pane->getLayerGroupByNode(m_figure); }
    KyPadLayerView *view() const { return m_pane->getActiveLayerView(); }
    KyPadLayer *layer() const { return m_pane->getActiveLayer(); }
    void trigger(const char *action) { m_window->getActionMgr()->findAction(QString::fromLatin1(action))->trigger(); }
    QStringList tabs() const
    {
        QStringList names;
        for (int i = 0; i < group()->count(); ++i)
            names << group()->tabText(i);
        return names;
    }

    DzMainWindow *m_window = nullptr;
    KyPadPane *m_pane = nullptr;
    DzSkeleton *m_figure = nullptr;
    std::unique_ptr<KyTimeline> m_timeline;
    std::unique_ptr<KyMixerCore> m_core;
    KyBlock *m_walk = nullptr;
    KyBlock *m_run = nullptr;
    int m_now = 1000;
};

TEST_F(PadPane, FollowsFiguresAndSelection)
{
    // The figure has its data item once and a group with one layer.
    EXPECT_NE(m_figure->findDataItem(QStringLiteral("kinPadData")), nullptr);
    ASSERT_NE(group(), nullptr);
    EXPECT_EQ(tabs(), QStringList{QStringLiteral("Layer 1")});
    EXPECT_EQ(m_pane->currentNode(), m_figure);
    const int items = m_figure->getNumDataItems();
    m_pane->nodeAdded(m_figure);
    EXPECT_EQ(m_figure->getNumDataItems(), items);

    // Selecting a bone keeps the figure shown, with nothing in the picker.
    dzScene->setPrimarySelection(m_figure->findNodeChild(QStringLiteral("hip")));
    EXPECT_EQ(m_pane->getActiveLayerGroup(), group());
    EXPECT_EQ(m_pane->nodeMenu()->getCurrent(), nullptr);

    // A second figure; removing it drops its group.
    DzSkeleton *other = addFigure(QStringLiteral("large"));
    ASSERT_NE(m_pane->getLayerGroupByNode(other), nullptr);
    dzScene->setPrimarySelection(other);
    EXPECT_EQ(m_pane->getActiveLayerGroup(), m_pane->getLayerGroupByNode(other));
    dzScene->removeNode(other);
    EXPECT_EQ(m_pane->getLayerGroupByNode(other), nullptr);
    EXPECT_EQ(m_pane->currentNode(), nullptr);

    // Clearing the scene returns the mode to Edit.
    m_pane->setMode(2);
    EXPECT_EQ(m_pane->mode(), 2);
    dzScene->clear();
    EXPECT_EQ(m_pane->mode(), 0);
}

TEST_F(PadPane, LayerCommandsThroughTheActions)
{
    QStringList proposals;
    QStringList answers = {QStringLiteral("Walks"), QString(), QStringLiteral("Layer 2")};
    KyPadPane::setNamePrompt([&](const QString &proposal) {
        proposals << proposal;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    });
    trigger("KyPadRenameLayerAction");
    EXPECT_EQ(tabs(), QStringList{QStringLiteral("Walks")});
    EXPECT_EQ(layer()->name(), QStringLiteral("Walks"));
    trigger("KyPadAddLayerAction"); // cancelled
    EXPECT_EQ(group()->count(), 1);
    trigger("KyPadAddLayerAction");
    EXPECT_EQ(proposals, (QStringList{QStringLiteral("Layer 1"), QStringLiteral("Layer 1"), QStringLiteral("Layer 1")}));
    EXPECT_EQ(tabs(), (QStringList{QStringLiteral("Walks"), QStringLiteral("Layer 2")}));
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Add Layer"));

    // Delete the active layer (Layer 2), undo, redo.
    layer()->addPose(m_walk, 10, 10);
    layer()->cursor()->insertKey(new DzPointKey0(3.0f, 4.0f, 320));
    trigger("KyPadDeleteLayerAction");
    EXPECT_EQ(tabs(), QStringList{QStringLiteral("Walks")});
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(tabs(), (QStringList{QStringLiteral("Walks"), QStringLiteral("Layer 2")}));
    EXPECT_EQ(group()->layerAt(1)->poses().size(), 1);
    EXPECT_EQ(group()->layerAt(1)->poses()[0]->block(), m_walk);
    ASSERT_NE(group()->layerAt(1)->cursor()->findKey(320), nullptr);
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(tabs(), QStringList{QStringLiteral("Walks")});
    // Undo the rename too.
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(tabs(), QStringList{QStringLiteral("Layer 1")});

    // Empty default layer removal.
    group()->deleteEmptyDefaultLayer();
    EXPECT_EQ(group()->count(), 0);
    group()->addLayer(QString());
    layer()->addPose(m_walk, 1, 1);
    group()->deleteEmptyDefaultLayer();
    EXPECT_EQ(group()->count(), 1);

    // The toggles follow the pane's flags both ways.
    DzAction *fill = m_window->getActionMgr()->findAction(QStringLiteral("KyPadFillFramesAction"));
    EXPECT_TRUE(fill->isOn());
    fill->setOn(false);
    EXPECT_FALSE(m_pane->fillFrames());
    m_pane->setFillFrames(true);
    EXPECT_TRUE(fill->isOn());

    // Update and delete the selected dot.
    DzNode *shoulder = m_figure->findNodeChild(QStringLiteral("lShldr"), true);
    shoulder->getZRotControl()->setValue(22.0f);
    trigger("KyPadUpdatePoseAction");
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Update Selected kinBlock"));
    trigger("KyPadDeletePoseAction");
    EXPECT_TRUE(layer()->poses().isEmpty());
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_EQ(layer()->poses().size(), 1);
    shoulder->getZRotControl()->setValue(0.0f);
    layer()->poses()[0]->apply();
    EXPECT_NEAR(shoulder->getZRotControl()->getValue(), 22.0f, 1e-3f);
}

TEST_F(PadPane, DropsMakeDotsAtThePixel)
{
    KyPadLayerView *v = view();
    ASSERT_NE(v, nullptr);
    FakeFinderTile tile(m_walk);
    ASSERT_TRUE(v->dropText(QStringLiteral("KyFinderBlock"), &tile, QPoint(100, 50)));
    KyPadPose *first = layer()->poses().last();
    EXPECT_EQ(first->block(), m_walk);
    EXPECT_EQ(first->x, 100.0f);
    EXPECT_EQ(first->y, 50.0f);
    EXPECT_EQ(layer()->selectedPose(), first);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Add kinBlock"));

    // At zoom 2 a drop at pixel (100, 50) still makes a dot at pad (100, 50),
    // drawn at pixel (200, 100).
    layer()->view().zoomAt(2.0f, 0, 0);
    FakeFinderTile runTile(m_run);
    ASSERT_TRUE(v->dropText(QStringLiteral("KyFinderBlock"), &runTile, QPoint(100, 50)));
    KyPadPose *second = layer()->poses().last();
    EXPECT_EQ(second->x, 100.0f);
    int px = 0, py = 0;
    layer()->view().padToView(second->x, second->y, &px, &py);
    EXPECT_EQ(QPoint(px, py), QPoint(200, 100));

    // Other texts, and sources that carry no block, add nothing.
    EXPECT_FALSE(v->dropText(QStringLiteral("Something"), &tile, QPoint(1, 1)));
    QObject nothing;
    EXPECT_FALSE(v->dropText(QStringLiteral("KyFinderBlock"), &nothing, QPoint(1, 1)));
    EXPECT_FALSE(v->dropText(QStringLiteral("KyMasterBlock"), &tile, QPoint(1, 1)));
    EXPECT_EQ(layer()->poses().size(), 2);
}

TEST_F(PadPane, EditModeClicksMenusAndMoves)
{
    KyPadLayerView *v = view();
    layer()->addPose(m_walk, 40, 40);
    layer()->addPose(m_run, 150, 40);
    KyPadPose *a = layer()->poses()[0];
    KyPadPose *b = layer()->poses()[1];
    ASSERT_EQ(layer()->selectedPose(), b);

    // Right click on a dot: its menu; closed without a choice restores the selection.
    QStringList shown;
    recordMenus(shown);
    QTest::mouseClick(v, Qt::RightButton, Qt::NoModifier, QPoint(42, 41));
    EXPECT_EQ(shown, QStringList{QStringLiteral("Delete Selected kinBlock")});
    EXPECT_EQ(layer()->selectedPose(), b);
    // Choosing the entry deletes the dot.
    KyPadLayerView::setMenuRunner([](QMenu *menu, const QPoint &) {
        menu->actions().first()->trigger();
        return menu->actions().first();
    });
    QTest::mouseClick(v, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
    ASSERT_EQ(layer()->poses().size(), 1);
    ASSERT_TRUE(dzUndoStack->undo());
    a = layer()->poses()[0];

    // Right click on the empty pad: the pad menu.
    shown.clear();
    recordMenus(shown);
    QTest::mouseClick(v, Qt::RightButton, Qt::NoModifier, QPoint(250, 250));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Zoom to Fit"), QStringLiteral("Center View"),
                                  QStringLiteral("Reset View"), QStringLiteral("Add Layer"),
                                  QStringLiteral("Delete Layer"), QStringLiteral("Rename Layer"),
                                  QStringLiteral("Clear Layer")}));
    // A left click there explains what to do.
    QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, QPoint(250, 250));
    ASSERT_FALSE(m_prompts.messages.isEmpty());
    EXPECT_EQ(m_prompts.messages.last(), QStringLiteral("Drag and Drop kinBlocks to here"));
    EXPECT_EQ(m_prompts.captions.last(), QStringLiteral("kinPad"));

    // Press on a dot, drag it, release: one move step.
    dzUndoStack->clear();
    QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(layer()->selectedPose(), a);
    QTest::mouseMove(v, QPoint(70, 90));
    QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, QPoint(70, 90));
    EXPECT_EQ(a->x, 70.0f);
    EXPECT_EQ(a->y, 90.0f);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Move kinBlock"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(layer()->poses()[0]->x, 40.0f);

    // Ctrl+drag 100 pixels down doubles the zoom about the centre.
    QTest::mousePress(v, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 100));
    QTest::mouseMove(v, QPoint(100, 200));
    QTest::mouseRelease(v, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 200));
    EXPECT_NEAR(layer()->view().zoom(), 2.0f, 1e-4f);
    trigger("KyPadResetViewAction");
    EXPECT_EQ(layer()->view().zoom(), 1.0f);
}

TEST_F(PadPane, DraggingBetweenDotsPlaysTheNearerBlock)
{
    KyPadLayerView *v = view();
    layer()->addPose(m_walk, 40, 100);
    layer()->addPose(m_run, 240, 100);
    m_pane->setMode(KyPadPaneInterface::PreviewMode);
    m_pane->mouseSpeedBox()->setChecked(true);

    QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, QPoint(45, 100));
    ASSERT_TRUE(layer()->isDragging());
    for (int x = 50; x <= 230; x += 20) {
        m_now += 16;
        QTest::mouseMove(v, QPoint(x, 100));
        layer()->timerUpdate();
        if (x < 130) {
            EXPECT_TRUE(m_walk->isCurrent()) << x;
        }
        m_core->animUpdate();
    }
    EXPECT_TRUE(m_run->isCurrent());
    EXPECT_GT(m_core->dragVelocity(), 1.0f);
    EXPECT_FALSE(m_core->isRecordingRequested());
    EXPECT_TRUE(m_pane->speedLabel()->text().endsWith(QLatin1Char('%')));
    EXPECT_TRUE(view()->cursorMoved());
    QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, QPoint(230, 100));
    EXPECT_FALSE(layer()->isDragging());
    EXPECT_EQ(m_core->dragVelocity(), 0.0f);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPading"));

    // The performance menu.
    QStringList shown;
    recordMenus(shown);
    QTest::mouseClick(v, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(shown.last(), QStringLiteral("Clear Layer Animation"));
}

TEST_F(PadPane, PictureOfThePaneWithThreeDots)
{
    layer()->addPose(m_walk, 70, 60);
    layer()->addPose(m_run, 260, 110);
    layer()->addPose(KyBlock::get(contentDir() + QStringLiteral("/kinBlocks/Trelvo/s_jump_forward_01.kba")), 150,
                     230);
    layer()->setSelectedPose(layer()->poses()[1]);
    m_pane->setMode(KyPadPaneInterface::EditMode);
    m_window->resize(480, 600);
    m_window->show();
    m_window->resizeDocks({m_window->getPaneMgr()->getDock(m_pane)}, {440}, Qt::Horizontal);
    QApplication::processEvents();
    const QImage image = m_pane->grab().toImage();
    ASSERT_GT(view()->width(), 290);
    ASSERT_GT(view()->height(), 250);
    const QString file = QStringLiteral(TRELVO_BINARY_DIR "/pad_pane.png");
    ASSERT_TRUE(image.save(file));
    // The selected dot's centre is red, the others blue.
    const QPoint origin = view()->mapTo(m_pane, QPoint(0, 0));
    const QColor selected = image.pixelColor(origin + QPoint(260 - 4, 110));
    const QColor plain = image.pixelColor(origin + QPoint(70 - 4, 60));
    EXPECT_GT(selected.red(), 150);
    EXPECT_LT(selected.blue(), 120);
    EXPECT_GT(plain.blue(), 150);
}

TEST_F(PadPane, SceneRoundTripKeepsTheTabs)
{
    group()->renameActiveLayer(QStringLiteral("Walks"));
    layer()->addPose(m_walk, 10, 20);
    group()->addLayer(QStringLiteral("Runs"))->addPose(m_run, 5, 5);
    const QString file = tempPath(QStringLiteral("pad.tsc"));
    QString error;
    ASSERT_TRUE(saveSceneFile(file, &error)) << error.toStdString();
    ASSERT_TRUE(loadSceneFile(file, &error)) << error.toStdString();
    DzNode *figure = dzScene->findNode(m_figure->getName());
    ASSERT_NE(figure, nullptr);
    KyPadLayerGroup *g = m_pane->getLayerGroupByNode(figure);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->count(), 2);
    EXPECT_EQ(g->tabText(0), QStringLiteral("Walks"));
    EXPECT_EQ(g->tabText(1), QStringLiteral("Runs"));
}

// The pad with the real main pane, as in the studio: the performance goes
// through the main pane's core and ends as keys and a block file.
TEST_F(PadPane, RecordsThroughTheMainPane)
{
    kyPadSetMixerCoreProvider(nullptr);
    m_core.reset();
    m_timeline.reset();
    auto *mixer = new KyMixerPane;
    ASSERT_TRUE(m_window->getPaneMgr()->addPane(mixer));
    // A new pad pane installs the way to the main pane's core.
    delete m_pane;
    m_pane = new KyPadPane;
    ASSERT_TRUE(m_window->getPaneMgr()->addPane(m_pane));
    ASSERT_EQ(kyPadMixerCore(), mixer->core());
    mixer->core()->setClock([this] { return m_now; });
    dzScene->setPrimarySelection(m_figure);

    layer()->addPose(m_walk, 40, 100);
    layer()->addPose(m_run, 240, 100);
    m_pane->setMode(KyPadPaneInterface::RecordMode);
    m_prompts.files.push_back(tempPath(QStringLiteral("session.kba")));
    dzUndoStack->clear();
    KyPadLayerView *v = view();
    QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, QPoint(45, 100));
    for (int x = 50; x <= 230; x += 10) {
        m_now += 33;
        QTest::mouseMove(v, QPoint(x, 100));
        layer()->timerUpdate();
        mixer->animUpdate();
    }
    QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, QPoint(230, 100));

    DzNode *hip = m_figure->findNodeChild(QStringLiteral("hip"));
    const int frames = hip->getYRotControl()->getNumKeys();
    EXPECT_GE(frames, 17);
    EXPECT_EQ(layer()->cursor()->keys().count(), frames);
    EXPECT_TRUE(QFile::exists(tempPath(QStringLiteral("session.kba"))));
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPading"));
    EXPECT_FALSE(mixer->core()->isRecording());
}
