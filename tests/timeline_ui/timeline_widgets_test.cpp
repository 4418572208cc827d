// The timeline pane's widgets, created offscreen: the control row, track
// pages, tiles and the two parameter dialogs.
#include "panetestsupport.h"

#include "dznodemenu.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QStackedWidget>

class TimelineWidgets : public MasterTest {
protected:
    // The figure's track with n walks on it.
    KyTrack *figureTrack(int n = 0)
    {
        m_master->activateNode(m_figure);
        KyTrack *track = m_master->timeline()->currentTrack();
        for (int i = 0; i < n; ++i)
            track->appendBlock(*m_walk, true);
        return track;
    }
};

TEST_F(TimelineWidgets, RowHoldsTheControlsConnectedToTheirSlots)
{
    // Captions fit: never narrower than 88, wider when the font needs it.
    EXPECT_GE(m_master->rotateButton()->width(), std::max(88, m_master->rotateButton()->sizeHint().width()));
    m_master->activeBox()->click();
    m_master->slideButton()->click();
    EXPECT_EQ(std::tuple(m_master->timeline()->isActive(), m_master->slideMode()), std::tuple(false, true));
    // Loop starts on without telling the host; the first click turns it off.
    EXPECT_TRUE(m_master->loopButton()->isChecked());
    m_master->loopButton()->click();
    EXPECT_FALSE(m_master->loopButton()->isChecked() || dzScene->isLoopingPlayback());
    for (bool playing : { true, false }) {
        m_master->playButton()->click();
        EXPECT_EQ(std::tuple(dzScene->isPlaying(), m_master->playButton()->isChecked()),
            std::tuple(playing, playing));
    }
    figureTrack(1);
    m_master->forwardButton()->click();
    EXPECT_EQ(m_master->timeline()->currentTime(), snappedMs(999));
    // The offset tool button follows the tool.
    m_master->rotateButton()->click();
    EXPECT_TRUE(m_master->timeline()->offsetToolOn());
    m_master->timeline()->setOffsetTool(false);
    EXPECT_FALSE(m_master->rotateButton()->isChecked());
}

TEST_F(TimelineWidgets, OnePagePerBindingAndThePickerFollows)
{
    KyMasterLayout *nullPage = m_master->currentTrack();
    figureTrack();
    EXPECT_EQ(std::tuple(m_master->trackStack()->count(), m_master->currentTrack()->bindingIndex()),
        std::tuple(2, 1));
    m_master->refresh();
    EXPECT_EQ(m_master->figurePicker()->getNodeList(), QList<DzNode *> { m_figure });
    EXPECT_EQ(m_master->figurePicker()->getCurrent(), m_figure);
    // A node that is not a skeleton shows the null binding.
    DzNode *prop = new DzNode(QStringLiteral("prop"));
    dzScene->addNode(prop);
    m_master->activateNode(prop);
    EXPECT_EQ(m_master->currentTrack(), nullPage);
    // Picking the figure selects it in the scene.
    m_master->selectNode(m_figure);
    EXPECT_EQ(dzScene->getPrimarySelection(), m_figure);
    m_master->timeline()->resetForSceneClear();
    EXPECT_EQ(std::tuple(m_master->trackStack()->count(), m_master->currentTrack()), std::tuple(1, nullPage));
}

TEST_F(TimelineWidgets, TilesFollowTheTrackAndClicksSelectDragAndHoverFlagsThePane)
{
    KyTrack *track = figureTrack(2);
    KyBlock *a = track->blockAt(0), *b = track->blockAt(1);
    QTest::mouseClick(tile(0), Qt::LeftButton);
    QTest::mouseClick(tile(1), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(std::tuple(track->currentBlock(), track->selection()),
        std::tuple(b, std::vector<KyBlock *> { a, b }));
    QTest::mouseClick(tile(0), Qt::LeftButton);
    EXPECT_EQ(
        std::tuple(track->currentBlock(), track->selection()), std::tuple(a, std::vector<KyBlock *> { a }));
    // A press moved short of the drag distance is a click; at it a move
    // drag starts (cancelled here) and the release selects nothing.
    QTimer::singleShot(50, [] { QDrag::cancel(); });
    for (int dx : { QApplication::startDragDistance() - 1, QApplication::startDragDistance() }) {
        track->clearSelection();
        QTest::mousePress(tile(1), Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(5 + dx, 5), QPointF(), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(tile(1), &move);
        QTest::mouseRelease(tile(1), Qt::LeftButton, {}, QPoint(5 + dx, 5));
        EXPECT_EQ(track->selection().size(), dx < QApplication::startDragDistance() ? 1u : 0u) << dx;
    }
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(tile(0), &enter);
    EXPECT_TRUE(m_master->timeline()->pointerOverBlock());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tile(0), &leave);
    EXPECT_FALSE(m_master->timeline()->pointerOverBlock());
    // Hovering skims to the time under the pointer.
    QTest::mouseMove(tile(1), QPoint(20, 10));
    EXPECT_EQ(m_master->timeline()->currentTime(), pixelsToMs(tile(1)->x() - KyMasterLayout::kOriginX + 20));
    // Right-click: the tile's own menu, not the pane's.
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), tile(1)->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(tile(1), &menuEvent);
    EXPECT_TRUE(menuEvent.isAccepted());
    // Tiles follow the track's placements, and go with their blocks.
    KyMasterLayout *page = m_master->currentTrack();
    track->setGap(b, 500);
    track->setInOut(a, 0, 500);
    EXPECT_EQ(std::tuple(page->tileFor(b)->x(), page->tileFor(a)->width()),
        std::tuple(KyMasterLayout::kOriginX + 40, 20));
    QPointer<KyMasterBlock> gone = page->tileFor(a);
    track->removeBlock(a);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(std::tuple(page->tiles().size(), page->tileFor(b)->x()),
        std::tuple(1, KyMasterLayout::kOriginX + 20));
}

TEST_F(TimelineWidgets, ParameterDialogEditsTheWholeSelection)
{
    KyTrack *track = figureTrack(3);
    const std::vector<KyBlock *> blocks = track->blocks();
    KyBlock *a = blocks[0], *b = blocks[1], *c = blocks[2];
    track->setInOut(c, 0, 2500);
    for (KyBlock *block : blocks)
        track->addToSelection(block);
    kySetDialogRunner([&](QDialog &dialog) {
        auto &d = static_cast<KyMasterBlockDialog &>(dialog);
        EXPECT_EQ(d.windowTitle() + "|" + d.nameLabel()->text(), "kinBlock Parameters|Multiple Selected");
        EXPECT_EQ(std::tuple(d.speedBox()->value(), d.horizontalBox()->isChecked(), c->outPoint),
            std::tuple(100, true, 2500)); // opening changed nothing
        d.speedBox()->setValue(50);
        EXPECT_EQ(std::tuple(a->outPoint, c->outPoint), std::tuple(2000, 5000));
        d.speedBox()->setValue(100);
        EXPECT_EQ(std::tuple(a->outPoint, c->outPoint), std::tuple(1000, 2500));
        d.mirrorBox()->setChecked(true);
        d.facingBox()->setChecked(false);
        d.xOffsetBox()->setValue(12);
    });
    tile(0)->properties(); // then every block of the selection has the new values
    for (KyBlock *block : blocks)
        EXPECT_EQ(std::tuple(block->mirror, block->flags & KyBlock::ReorientFacing, block->posOffset.x),
            std::tuple(true, 0, 12.0f));
    // One block at half speed opens with 50 %.
    track->clearSelection();
    track->addToSelection(b);
    b->speed = 0.5f;
    kySetDialogRunner([&](QDialog &dialog) {
        auto &d = static_cast<KyMasterBlockDialog &>(dialog);
        EXPECT_EQ(
            std::tuple(d.speedBox()->value(), d.nameLabel()->text()), std::tuple(50, QString("s_walk_fast")));
    });
    tile(1)->properties();
}

TEST_F(TimelineWidgets, DialogsRestorePendingPreviewsAndReposeAtOnce)
{
    figureTrack(1)->appendBlock(*makeBlock("feet", still(1000).hold("lFoot", 0, { 1, 0, 0 })), true);
    FigureBinding *binding = m_master->timeline()->currentBinding();
    DzFloatProperty *hipZ = boneOf(m_figure, "hip")->getZPosControl();
    m_master->timeline()->goSkim(500);
    m_master->timeline()->updateStep();
    EXPECT_EQ(binding->m_keyHoldTime, 500);
    EXPECT_GT(hipZ->getNumKeys(), 0);
    // The block dialog edits the figure's own state: previews go back first.
    kySetDialogRunner([](QDialog &) {});
    tile(0)->properties();
    EXPECT_EQ(std::tuple(binding->m_keyHoldTime, hipZ->getNumKeys()), std::tuple(0, 0));
    // The heel dialog re-skims, so the next update re-poses the figure.
    m_master->timeline()->goSeek(1500); // in the feet block
    KyMasterFootDialog dialog(m_master.get());
    dialog.offsetBox()->setValue(40);
    m_master->timeline()->updateStep();
    EXPECT_NEAR(boneOf(m_figure, "lFoot")->getXRotControl()->getValue(dzScene->getTime()), -40.0f, 0.01f);
    dialog.offsetBox()->setValue(90);
    EXPECT_EQ(dialog.offsetBox()->value(), 60);
}
