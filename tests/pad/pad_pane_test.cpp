// The pad's widgets offscreen: drops, dragging between dots, context menus,
// layer commands through the actions, and a picture of the pane.
#include "padtestsupport.h"

#include "kypadactions.h"
#include "kypadlayergroup.h"
#include "kypadlayerview.h"
#include "kypadpane.h"

#include "kymixerpane.h"

#include "dzactionmgr.h"
#include "dzmainwindow.h"
#include "dznodemenu.h"
#include "dzpanemgr.h"
#include "dzscenefile.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>

class PadPane : public PadTest {
protected:
    void SetUp() override
    {
        setUpHost();
        m_window = new DzMainWindow;
        m_figure = addFigure();
        m_pad = new KyPadPane;
        ASSERT_TRUE(m_window->getPaneMgr()->addPane(m_pad));
        for (DzAction *a : std::initializer_list<DzAction *> { new KyPadFillFramesAction,
                 new KyPadExtendFramesAction, new KyPadZoomToFitAction, new KyPadResetViewAction,
                 new KyPadCenterViewAction, new KyPadAddLayerAction, new KyPadDeleteLayerAction,
                 new KyPadRenameLayerAction, new KyPadClearLayerAction, new KyPadClearLayerAnimationAction,
                 new KyPadDeletePoseAction, new KyPadUpdatePoseAction })
            ASSERT_TRUE(m_window->getActionMgr()->addAction(a));
        makeCore(m_figure);
        // The pane looks for the main pane's core; this one stands in for it.
        kyPadSetMixerCoreProvider([this] { return m_core.get(); });
        m_pad->resize(420, 560);
        m_window->getPaneMgr()->showPane(m_pad);
        m_pad->show();
    }
    // Menus from now on are recorded (their entries' texts) and closed without a choice.
    void recordMenus()
    {
        m_shown.clear();
        KyPadLayerView::setMenuRunner([this](QMenu *menu, const QPoint &) {
            for (QAction *action : menu->actions())
                if (!action->isSeparator())
                    m_shown << action->text();
            return static_cast<QAction *>(nullptr);
        });
    }
    void TearDown() override
    {
        KyPadLayerView::setMenuRunner(nullptr);
        KyPadPane::setNamePrompt(nullptr);
        PadTest::TearDown();
    }

    KyPadLayerGroup *group() const { return m_pad->getLayerGroupByNode(m_figure); }
    KyPadLayerView *view() const { return m_pad->getActiveLayerView(); }
    KyPadLayer *layer() const { return m_pad->getActiveLayer(); }
    DzAction *action(const char *name) { return m_window->getActionMgr()->findAction(QLatin1String(name)); }
    // The group's tab names, joined by commas.
    QString tabs(const KyPadLayerGroup *g = nullptr) const
    {
        QStringList names;
        for (int i = 0; i < (g ? g : group())->count(); ++i)
            names << (g ? g : group())->tabText(i);
        return names.join(',');
    }
    // A left-button drag in the active view from one pixel to another.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(view(), Qt::LeftButton, modifiers, from);
        QTest::mouseMove(view(), to);
        QTest::mouseRelease(view(), Qt::LeftButton, modifiers, to);
    }
    KyPadPane *m_pad = nullptr;
    DzSkeleton *m_figure = nullptr;
    QStringList m_shown;
};

TEST_F(PadPane, FollowsFiguresAndSelection)
{
    // The figure has its data item once and a group with one layer.
    EXPECT_NE(m_figure->findDataItem(QStringLiteral("kinPadData")), nullptr);
    ASSERT_NE(group(), nullptr);
    EXPECT_EQ(tabs(), "Layer 1");
    EXPECT_EQ(m_pad->currentNode(), m_figure);

    // Selecting a bone keeps the figure shown, with nothing in the picker.
    dzScene->setPrimarySelection(m_figure->findNodeChild(QStringLiteral("hip")));
    EXPECT_EQ(m_pad->getActiveLayerGroup(), group());
    EXPECT_EQ(m_pad->nodeMenu()->getCurrent(), nullptr);

    // A second figure; removing it drops its group.
    DzSkeleton *other = addFigure(QStringLiteral("large"));
    ASSERT_NE(m_pad->getLayerGroupByNode(other), nullptr);
    dzScene->setPrimarySelection(other);
    EXPECT_EQ(m_pad->getActiveLayerGroup(), m_pad->getLayerGroupByNode(other));
    dzScene->removeNode(other);
    EXPECT_EQ(m_pad->getLayerGroupByNode(other), nullptr);
    EXPECT_EQ(m_pad->currentNode(), nullptr);

    // Clearing the scene returns the mode to Edit.
    m_pad->setMode(KyPadPaneInterface::RecordMode);
    dzScene->clear();
    EXPECT_EQ(m_pad->mode(), KyPadPaneInterface::EditMode);
}

TEST_F(PadPane, LayerCommandsThroughTheActions)
{
    QStringList proposals;
    QStringList answers = { QStringLiteral("Walks"), QString(), QStringLiteral("Layer 2") };
    KyPadPane::setNamePrompt([&](const QString &proposal) {
        proposals << proposal;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    });
    action("KyPadRenameLayerAction")->trigger();
    EXPECT_EQ(layer()->name(), QStringLiteral("Walks"));
    action("KyPadAddLayerAction")->trigger(); // cancelled
    action("KyPadAddLayerAction")->trigger();
    EXPECT_EQ(proposals, QStringList(3, QStringLiteral("Layer 1")));
    EXPECT_EQ(tabs(), "Walks,Layer 2");
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Add Layer"));

    // Delete the active layer (Layer 2), undo, redo; then undo every step.
    layer()->addPose(m_walk, 10, 10);
    layer()->cursor()->insertKey(new DzPointKey0(3.0f, 4.0f, 320));
    action("KyPadDeleteLayerAction")->trigger();
    EXPECT_EQ(tabs(), "Walks");
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(tabs(), "Walks,Layer 2");
    ASSERT_EQ(group()->layerAt(1)->poses().size(), 1);
    EXPECT_EQ(group()->layerAt(1)->poses()[0]->block(), m_walk);
    EXPECT_NE(group()->layerAt(1)->cursor()->findKey(320), nullptr);
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(tabs(), "Walks");
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(tabs(), "Layer 1");

    // Only an empty default layer is removed.
    group()->deleteEmptyDefaultLayer();
    EXPECT_EQ(group()->count(), 0);
    group()->addLayer(QString());
    layer()->addPose(m_walk, 1, 1);
    group()->deleteEmptyDefaultLayer();
    EXPECT_EQ(group()->count(), 1);

    // The toggles follow the pane's flags both ways.
    m_pad->setFillFrames(false);
    EXPECT_FALSE(action("KyPadFillFramesAction")->isOn());
    action("KyPadFillFramesAction")->setOn(true);
    EXPECT_TRUE(m_pad->fillFrames());

    // Update and delete the selected dot.
    DzNode *shoulder = m_figure->findNodeChild(QStringLiteral("lShldr"), true);
    shoulder->getZRotControl()->setValue(22.0f);
    action("KyPadUpdatePoseAction")->trigger();
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Update Selected kinBlock"));
    action("KyPadDeletePoseAction")->trigger();
    EXPECT_TRUE(layer()->poses().isEmpty());
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_EQ(layer()->poses().size(), 1);
    shoulder->getZRotControl()->setValue(0.0f);
    layer()->poses()[0]->apply();
    EXPECT_NEAR(shoulder->getZRotControl()->getValue(), 22.0f, 1e-3f);
}

// A scene round trip of two figures with three layers, one block that
// cannot be read and pose values the figure does not show on load.
TEST_F(PadPane, SceneRoundTripRestoresLayersDotsAndValues)
{
    m_figure->setName(QStringLiteral("Ann"));
    DzSkeleton *bob = addFigure(QStringLiteral("large"));
    bob->setName(QStringLiteral("Bob"));
    group()->renameActiveLayer(QStringLiteral("Walks"));
    KyPadLayer *walks = layer();
    DzNode *shoulder = m_figure->findNodeChild(QStringLiteral("lShldr"), true);
    shoulder->getZRotControl()->setValue(35.0f);
    morph(m_figure, "Smile")->setValue(0.6f);
    walks->addPose(m_walk, 10, 20);
    shoulder->getZRotControl()->setValue(-20.0f);
    walks->addPose(m_run, 110, 20);
    walks->addPose(walks->newPose(60, 90), false); // no block
    walks->view().zoomAt(2.0f, 0, 0);
    walks->view().setOrigin(5.0f, -6.0f);
    group()->addLayer(QStringLiteral("Runs"))->addPose(m_run, 1, 2);
    KyBlock *ghost = m_walk->clone(); // a block file that will not be there
    ghost->path = tempPath(QStringLiteral("gone.kba"));
    m_pad->layersOf(bob)[0]->addPose(ghost, 7, 8);
    const QString file = tempPath(QStringLiteral("scene.tsc"));
    QString error;
    ASSERT_TRUE(saveSceneFile(file, &error)) << error.toStdString();

    shoulder->getZRotControl()->setValue(0.0f);
    ASSERT_TRUE(loadSceneFile(file, &error)) << error.toStdString();
    DzNode *ann = dzScene->findNode(QStringLiteral("Ann"));
    const QList<KyPadLayer *> la = m_pad->layersOf(ann);
    QStringList described;
    for (const KyPadLayer *layer : la) {
        described << layer->name();
        for (const KyPadPose *p : layer->poses())
            described
                << QStringLiteral("%1 %2,%3").arg(p->block() ? p->block()->name : "-").arg(p->x).arg(p->y);
    }
    EXPECT_EQ(described.join(' '), "Walks s_walk_01 10,20 s_run_01 110,20 - 60,90 Runs s_run_01 1,2");
    EXPECT_EQ(tabs(m_pad->getLayerGroupByNode(ann)), "Walks,Runs");
    EXPECT_FLOAT_EQ(la[0]->view().zoom(), 2.0f);
    EXPECT_EQ(QPointF(la[0]->view().originX(), la[0]->view().originY()), QPointF(5, -6));
    // Stored values, not converted on load (the figure is not posed).
    DzNode *annShoulder = ann->findNodeChild(QStringLiteral("lShldr"), true);
    EXPECT_FLOAT_EQ(annShoulder->getZRotControl()->getValue(), -20.0f);
    KyPadPose *first = la[0]->poses()[0];
    first->apply();
    EXPECT_NEAR(annShoulder->getZRotControl()->getValue(), 35.0f, 1e-3f);
    double smile = 0.0;
    ASSERT_TRUE(first->findNodeData(QString(), true)->propValue(morph(ann, "Smile"), &smile));
    EXPECT_NEAR(smile, 0.6, 1e-6);
    EXPECT_TRUE(la[0]->transformMask()[kyPadNodeList(ann).indexOf(annShoulder)]);

    // The unreadable block: reported once after the load, path kept and written back.
    EXPECT_EQ(m_pad->layersOf(dzScene->findNode(QStringLiteral("Bob")))[0]->poses()[0]->block(), nullptr);
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_TRUE(m_prompts.messages[0].contains(QStringLiteral("gone.kba")));
    kyPadReportMissingBlocks();
    EXPECT_EQ(m_prompts.messages.size(), 1);
    ASSERT_TRUE(saveSceneFile(file, &error));
    ASSERT_TRUE(loadSceneFile(file, &error));
    EXPECT_EQ(
        m_pad->layersOf(dzScene->findNode(QStringLiteral("Bob")))[0]->poses()[0]->blockPath(), ghost->path);
    delete ghost;
}

TEST_F(PadPane, DropsMakeDotsAtThePixel)
{
    QObject tile; // a browser tile as the pad sees it: something that names its block file
    tile.setProperty("kyBlockPath", m_walk->path);
    ASSERT_TRUE(view()->dropText(QStringLiteral("KyFinderBlock"), &tile, QPoint(100, 50)));
    const KyPadPose *first = layer()->poses().last();
    EXPECT_EQ(first->block(), m_walk);
    EXPECT_EQ(QPointF(first->x, first->y), QPointF(100, 50));

    // At zoom 2 a drop at pixel (100, 50) still makes a dot at pad (100, 50).
    layer()->view().zoomAt(2.0f, 0, 0);
    ASSERT_TRUE(view()->dropText(QStringLiteral("KyFinderBlock"), &tile, QPoint(100, 50)));
    const KyPadPose *second = layer()->poses().last();
    EXPECT_EQ(QPointF(second->x, second->y), QPointF(100, 50));

    // Other texts, and sources that carry no block, add nothing.
    EXPECT_FALSE(view()->dropText(QStringLiteral("Something"), &tile, QPoint(1, 1)));
    QObject nothing;
    EXPECT_FALSE(view()->dropText(QStringLiteral("KyFinderBlock"), &nothing, QPoint(1, 1)));
    EXPECT_FALSE(view()->dropText(QStringLiteral("KyMasterBlock"), &tile, QPoint(1, 1)));
    EXPECT_EQ(layer()->poses().size(), 2);
}

TEST_F(PadPane, EditModeClicksMenusAndMoves)
{
    KyPadPose *a = layer()->addPose(m_walk, 40, 40);
    KyPadPose *b = layer()->addPose(m_run, 150, 40);

    // Right click on a dot: its menu; closed without a choice restores the selection.
    recordMenus();
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, QPoint(42, 41));
    EXPECT_EQ(m_shown.join(','), "Delete Selected kinBlock");
    EXPECT_EQ(layer()->selectedPose(), b);
    // Right click on the empty pad: the pad menu; a left click explains what to do.
    recordMenus();
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, QPoint(250, 250));
    EXPECT_EQ(m_shown.join(','),
        "Zoom to Fit,Center View,Reset View,Add Layer,Delete Layer,Rename Layer,Clear Layer");
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 250));
    EXPECT_EQ(m_prompts.messages, QStringList { QStringLiteral("Drag and Drop kinBlocks to here") });
    EXPECT_EQ(m_prompts.captions, QStringList { QStringLiteral("kinPad") });

    // Press on a dot, drag it, release: one move step.
    drag({ 40, 40 }, { 70, 90 });
    EXPECT_EQ(layer()->selectedPose(), a);
    EXPECT_EQ(QPointF(a->x, a->y), QPointF(70, 90));
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Move kinBlock"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(layer()->poses()[0]->x, 40.0f);

    // Ctrl+drag 100 pixels down doubles the zoom.
    drag({ 100, 100 }, { 100, 200 }, Qt::ControlModifier);
    EXPECT_NEAR(layer()->view().zoom(), 2.0f, 1e-4f);
    action("KyPadResetViewAction")->trigger();
    EXPECT_EQ(layer()->view().zoom(), 1.0f);
}

TEST_F(PadPane, PictureOfThePaneWithThreeDots)
{
    layer()->addPose(m_walk, 70, 60);
    layer()->addPose(m_run, 260, 110);
    layer()->addPose(stockBlock(QStringLiteral("s_jump_forward_01")), 150, 230);
    layer()->setSelectedPose(layer()->poses()[1]);
    m_window->resize(480, 600);
    m_window->show();
    m_window->resizeDocks({ m_window->getPaneMgr()->getDock(m_pad) }, { 440 }, Qt::Horizontal);
    QApplication::processEvents();
    const QImage image = m_pad->grab().toImage();
    ASSERT_TRUE(image.save(QStringLiteral(TRELVO_BINARY_DIR "/pad_pane.png")));
    // The selected dot's centre is red, the others blue.
    const QPoint origin = view()->mapTo(m_pad, QPoint(0, 0));
    const QColor selected = image.pixelColor(origin + QPoint(260 - 4, 110));
    EXPECT_GT(selected.red(), 150);
    EXPECT_LT(selected.blue(), 120);
    EXPECT_GT(image.pixelColor(origin + QPoint(70 - 4, 60)).blue(), 150);
}

// The pad with the real main pane, as in the studio: the performance goes
// through the main pane's core and ends as keys and a block file.
TEST_F(PadPane, RecordsThroughTheMainPane)
{
    m_core.reset();
    m_timeline.reset();
    auto *mixer = new KyMixerPane;
    ASSERT_TRUE(m_window->getPaneMgr()->addPane(mixer));
    // A new pad pane installs the way to the main pane's core.
    delete m_pad;
    m_pad = new KyPadPane;
    ASSERT_TRUE(m_window->getPaneMgr()->addPane(m_pad));
    ASSERT_EQ(kyPadMixerCore(), mixer->core());
    mixer->core()->setClock([this] { return m_now; });
    dzScene->setPrimarySelection(m_figure);

    m_pad->setMode(KyPadPaneInterface::RecordMode);
    m_prompts.files.push_back(tempPath(QStringLiteral("session.kba")));
    // Dots for the walk and the run; a drag from the walk to the run plays
    // the nearer block, with the speed shown.
    layer()->addPose(m_walk, 40, 100);
    layer()->addPose(m_run, 240, 100);
    QTest::mousePress(view(), Qt::LeftButton, Qt::NoModifier, QPoint(45, 100));
    for (int x = 50; x <= 230; x += 10) {
        m_now += 33;
        QTest::mouseMove(view(), QPoint(x, 100));
        layer()->timerUpdate();
        EXPECT_TRUE(x >= 130 || m_walk->isCurrent()) << x;
        mixer->animUpdate();
    }
    EXPECT_TRUE(m_run->isCurrent());
    EXPECT_TRUE(m_pad->speedLabel()->text().endsWith(QLatin1Char('%')));
    EXPECT_TRUE(view()->cursorMoved());
    QTest::mouseRelease(view(), Qt::LeftButton, Qt::NoModifier, QPoint(230, 100));
    EXPECT_GE(m_figure->findNodeChild(QStringLiteral("hip"))->getYRotControl()->getNumKeys(), 17);
    EXPECT_TRUE(QFile::exists(tempPath(QStringLiteral("session.kba"))));

    // The performance menu.
    recordMenus();
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(m_shown.last(), QStringLiteral("Clear Layer Animation"));
}
