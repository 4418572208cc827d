// Editing a track in the timeline pane with mouse and keyboard: the pixel
// arithmetic (at the default zoom and zoomed), the ruler, tiles, handles,
// drops, the Delete key, and one undo step per edit that restores the
// placements and the host's keys exactly.
#include "panetestsupport.h"

#include "kymasterhandles.h"
#include "kytrackgeometry.h"

#include <QAction>
#include <QMainWindow>
#include <QUrl>

namespace {

// The placements and hip keys of a track, compared as a whole.
using TrackState = std::pair<std::vector<std::tuple<QString, int, int, int, int, float, bool>>,
    std::vector<std::pair<DzTime, float>>>;

TrackState stateOf(const KyTrack &track, DzNode *hip)
{
    TrackState s;
    for (KyBlock *b : track.blocks())
        s.first.emplace_back(b->name, b->inPoint, b->outPoint, b->gap, b->blendIn, b->speed, b->mirror);
    DzFloatProperty *x = hip->getXRotControl();
    for (int i = 0; i < x->getNumKeys(); ++i)
        s.second.emplace_back(x->getKeyTime(i), x->getValue(x->getKeyTime(i)));
    return s;
}

} // namespace

TEST(TrackGeometry, DefaultZoomKeepsTheClassicArithmeticZoomScalesItAndHandlesAreHeld)
{
    KyBlock *b = KyBlock::create();
    b->clipLength = 1000; // one pass of 1000 ms at speed 1
    b->outPoint = 2500;
    struct Row {
        int pps;
        int ms, px; // msToPx(ms) == px
        int seekLimitPx; // seekX far right with a 3 s track, 5 s play range
        int slideGapMs; // slideGap(200, 10, 120)
        std::set<int> marks;
    };
    const Row rows[] = {
        { 40, 1999, 79, 200, 1750, { 0, 40, 80 } },
        { 80, 1999, 159, 400, 875, { 0, 80, 160 } },
        { 10, 1999, 19, 50, 7000, { 0, 10, 20 } },
    };
    for (const Row &r : rows) {
        const KyTrackGeometry g(r.pps);
        EXPECT_EQ(g.msToPx(r.ms), r.px) << r.pps;
        EXPECT_EQ(g.seekX(100000, 3000, 5000), r.seekLimitPx) << r.pps;
        EXPECT_EQ(g.seekX(-30, 3000, 5000), 0) << r.pps;
        EXPECT_EQ(g.slideGap(200, 10, 120), r.slideGapMs) << r.pps;
        EXPECT_EQ(g.slideGap(100, 10, 120), 0) << r.pps;
        EXPECT_EQ(g.loopMarks(*b), r.marks) << r.pps;
    }
    EXPECT_EQ(KyTrackGeometry(1).pixelsPerSecond(), 10);
    // The handles, at the default zoom.
    b->outPoint = 1000;
    const KyTrackGeometry g;
    // Left adjuster: 8 px (200 ms) before the end and before one pass.
    EXPECT_EQ(g.leftAdjusterInPoint(*b, 0, 100), 800);
    EXPECT_EQ(g.leftAdjusterInPoint(*b, 0, -50), 0);
    b->outPoint = 600;
    EXPECT_EQ(g.leftAdjusterInPoint(*b, 0, 100), 400);
    // Right adjuster: 8 … 30000 px; within 300 ms past a loop boundary the
    // end snaps onto it, 310 ms past it follows the pointer.
    b->outPoint = 1000;
    EXPECT_EQ(g.rightAdjusterX(*b, 2), 8);
    EXPECT_EQ(g.rightAdjusterX(*b, 90000), 30000);
    EXPECT_EQ(g.rightAdjusterX(*b, g.msToPx(1250)), 40);
    EXPECT_EQ(g.rightAdjusterX(*b, g.msToPx(1325)), g.msToPx(1325));
    EXPECT_EQ(KyTrackGeometry(200).rightAdjusterX(*b, 250), 200); // 1250 ms at 200 px/s
    // Blend handle: within the tile and one clip pass.
    EXPECT_EQ(g.blendInAt(*b, 80, 100), 1000);
    EXPECT_EQ(g.blendInAt(*b, 20, 100), 500);
    EXPECT_EQ(g.blendInAt(*b, 40, -4), 0);
}

class TrackEditing : public MasterTest {
protected:
    void SetUp() override
    {
        MasterTest::SetUp();
        m_hip = boneOf(m_figure, "hip");
        m_master->activateNode(m_figure);
        m_track = m_master->timeline()->currentTrack();
        m_page = m_master->currentTrack();
        m_undo->clear();
    }
    void TearDown() override
    {
        if (m_master)
            m_master->setPixelsPerSecond(KyTrackGeometry::kDefaultPixelsPerSecond);
        m_undo->clear();
        MasterTest::TearDown();
    }
    // n 1000 ms blocks placed through the pane (one undo step each).
    std::vector<KyBlock *> place(int n = 3)
    {
        for (int i = 0; i < n; ++i)
            m_page->insertBlockAt(100000, *m_walk);
        return m_track->blocks();
    }
    KyMasterBlock *tile(int i) { return m_page->tileFor(m_track->blockAt(i)); }
    QWidget *contents() { return m_page->contents(); }
    int now() { return m_master->timeline()->currentTime(); }
    void drop(const QString &text, int x, const QList<QUrl> &urls = {})
    {
        QMimeData data;
        data.setText(text);
        data.setUrls(urls);
        const QPoint at(KyMasterLayout::kOriginX + x, 50);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(contents(), &enter);
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(contents(), &event);
    }
    // Clicks the first tile (undo and redo leave no tile current), then
    // drags one of its handles from `from` to tile-local x.
    void dragHandle(
        KyMasterAdjuster *(KyMasterLayout::*which)() const, QPoint from, const std::vector<int> &tileXs)
    {
        QTest::mouseClick(tile(0), Qt::LeftButton);
        QWidget *handle = (m_page->*which)();
        ASSERT_NE(handle, nullptr);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        for (int x : tileXs)
            QTest::mouseMove(handle, handle->mapFromGlobal(tile(0)->mapToGlobal(QPoint(x, from.y()))));
        QTest::mouseRelease(handle, Qt::LeftButton);
    }
    // Runs an edit that must be one undo step; undoes and redoes it,
    // checking both states exactly.
    void step(const QString &caption, const std::function<void()> &edit)
    {
        const TrackState before = stateOf(*m_track, m_hip);
        const int steps = m_undo->getNumUndoSteps();
        edit();
        const TrackState after = stateOf(*m_track, m_hip);
        EXPECT_EQ(m_undo->getNumUndoSteps(), steps + 1) << caption.toStdString();
        EXPECT_EQ(m_undo->getUndoCaption(), caption);
        ASSERT_TRUE(m_undo->undo());
        EXPECT_TRUE(stateOf(*m_track, m_hip) == before) << caption.toStdString();
        ASSERT_TRUE(m_undo->redo());
        EXPECT_TRUE(stateOf(*m_track, m_hip) == after) << caption.toStdString();
        EXPECT_EQ(m_track->checkConsistency().toStdString(), "");
    }

    DzUndoStack *m_undo = DzUndoStack::instance();
    DzNode *m_hip = nullptr;
    KyTrack *m_track = nullptr;
    KyMasterLayout *m_page = nullptr;
};

TEST_F(TrackEditing, AddKinBlockGoesInAtThePlayheadAndTheRulerSeeksWithinTheTrackAndPlayRangeAtAnyZoom)
{
    m_prompts.openFiles = { { m_walk->path }, { m_walk->path, m_walk->path } };
    m_master->addBlock();
    m_master->addBlock();
    EXPECT_EQ(std::tuple(m_track->count(), now()), std::tuple(3, snappedMs(3000)));
    EXPECT_EQ(m_prompts.statuses.last().toStdString(), "Added 2 kinBlocks");
    // On the middle tile's centre the playhead widget (4 px left of the
    // time) is left of the centre: the block goes in before that tile.
    const auto b = m_track->blocks();
    m_track->setPlayhead(1500, true);
    m_page->insertAtPlayhead(*m_walk);
    EXPECT_EQ(m_track->indexOf(b[1]), 2);
    dzScene->setPlayRange(DzTimeRange(0, 4800 * 5));
    // Past the end of track (4 s) and play range (5 s): the larger limit.
    QTest::mouseClick(contents(), Qt::LeftButton, {}, QPoint(400, 20));
    EXPECT_EQ(now(), 5000);
    EXPECT_EQ(m_page->playhead()->x(), KyMasterLayout::kOriginX + 200 - 4);
    // Inside: a frame boundary of the host.
    QTest::mouseClick(contents(), Qt::LeftButton, {}, QPoint(KyMasterLayout::kOriginX + 41, 20));
    EXPECT_EQ(now(), 1033);
    // Dragging the playhead far right stops at the same limit.
    KyMasterPlayhead *playhead = m_page->playhead();
    QTest::mousePress(playhead, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(playhead, QPoint(900, 4));
    QTest::mouseRelease(playhead, Qt::LeftButton, {}, QPoint(900, 4));
    EXPECT_EQ(now(), 5000);
    // Below the ruler a click clears the selection instead of seeking.
    m_track->addToSelection(m_track->blockAt(0));
    QTest::mouseClick(contents(), Qt::LeftButton, {}, QPoint(300, 88));
    EXPECT_TRUE(m_track->selection().empty());
    EXPECT_EQ(now(), 5000);
    // Zoomed, tiles and the ruler scale.
    m_master->zoomBox()->setValue(80);
    EXPECT_EQ(tile(1)->geometry(),
        QRect(KyMasterLayout::kOriginX + 80, KyMasterLayout::kTileY, 80, KyMasterBlock::kHeight));
    QTest::mouseClick(contents(), Qt::LeftButton, {}, QPoint(KyMasterLayout::kOriginX + 80, 20));
    EXPECT_EQ(now(), snappedMs(1000));
    // Ctrl+wheel zooms in by a quarter, within the limits.
    QWheelEvent wheel(QPointF(10, 40), m_page->mapToGlobal(QPointF(10, 40)), QPoint(), QPoint(0, 120),
        Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_page->viewport(), &wheel);
    EXPECT_EQ(m_master->pixelsPerSecond(), 100);
    m_master->setPixelsPerSecond(5000); // held at the limit
    EXPECT_EQ(m_master->zoomBox()->value(), 400);
    EXPECT_EQ(KyMaster().pixelsPerSecond(), 400); // the next pane starts where this one was left
}

TEST_F(TrackEditing, DropsMoveTilesInOrderAndInsertFiles)
{
    const auto b = place(4); // a b c d, 40 px each
    // A tile dropped on its own centre stays; on the right half of the next
    // tile it goes after it.
    m_track->setCurrentBlock(b[0]);
    drop("KyMasterBlock", 20);
    EXPECT_EQ(m_track->blocks(), b);
    drop("KyMasterBlock", 70);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *> { b[1], b[0], b[2], b[3] }));
    // Three selected tiles dropped at the start keep their relative order.
    m_track->clearSelection();
    for (KyBlock *k : { b[3], b[0], b[2] })
        m_track->addToSelection(k);
    drop("KyMasterBlock", 0);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *> { b[0], b[2], b[3], b[1] }));
    EXPECT_EQ(m_undo->getUndoCaption().toStdString(), "Move kinBlocks");
    // A .kba file from the desktop lands at the drop point; other files and
    // unreadable blocks are not placed.
    const QString junk = writeTemp("junk.kba", "not a block");
    drop(QString(), 1,
        { QUrl::fromLocalFile(m_walk->path), QUrl::fromLocalFile(tempPath("x.txt")),
            QUrl::fromLocalFile(junk) });
    ASSERT_EQ(m_track->count(), 5);
    EXPECT_EQ(std::tuple(m_track->blockAt(0)->name, m_track->blockAt(0)->flags),
        std::tuple(m_walk->name, m_master->timeline()->defaultFlags()));
    EXPECT_TRUE(m_prompts.messages.last().contains("junk.kba"));
    // The track of no figure refuses drops.
    m_master->activateNode(nullptr);
    m_master->currentTrack()->insertBlockAt(0, *m_walk);
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "No skeleton selected");
    EXPECT_EQ(m_master->timeline()->currentTrack()->count(), 0);
    EXPECT_EQ(m_master->currentTrack()->insertAtPlayhead(*m_walk), nullptr);
}

TEST_F(TrackEditing, DeleteRemovesOnlyTheSelectedTiles)
{
    // A window with the studio's own Delete shortcut around the pane.
    QMainWindow window;
    int figureDeletes = 0;
    auto *deleteFigure = new QAction("Delete Selected Figure", &window);
    deleteFigure->setShortcut(QKeySequence::Delete);
    QObject::connect(deleteFigure, &QAction::triggered, [&] { ++figureDeletes; });
    window.addAction(deleteFigure);
    window.setCentralWidget(m_master.release()); // the window deletes it
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const auto b = place();
    QTest::mouseClick(tile(0), Qt::LeftButton);
    QTest::mouseClick(tile(2), Qt::LeftButton, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), tile(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(std::tuple(m_track->blocks(), figureDeletes), std::tuple(std::vector<KyBlock *> { b[1] }, 0));
    EXPECT_EQ(m_undo->getUndoCaption().toStdString(), "Delete kinBlocks");
    // Without a tile holding the keyboard the shortcut is the studio's.
    contents()->setFocus();
    QTest::keyClick(contents(), Qt::Key_Delete);
    EXPECT_EQ(std::tuple(figureDeletes, m_track->count()), std::tuple(1, 1));
}

TEST_F(TrackEditing, EveryEditIsOneUndoStepRestoringPlacementsAndKeys)
{
    // Keys the user set before the timeline came: insert clears them.
    m_hip->getXRotControl()->setValue(2400, 5.0f);
    m_hip->getXRotControl()->setValue(9600, 7.0f);
    const TrackState before = stateOf(*m_track, m_hip);
    step("Add kinBlock", [&] { m_page->insertBlockAt(0, *m_walk); });
    EXPECT_EQ(m_hip->getXRotControl()->findKeyIndex(2400), -1);
    EXPECT_NE(m_hip->getXRotControl()->findKeyIndex(9600), -1);
    place();
    // Handles of the first tile, each checked after its undo and redo.
    // The end to 1.25 s snaps onto the loop boundary at 1 s; to 1.4 s it loops on.
    step("Set kinBlock End", [&] { dragHandle(&KyMasterLayout::rightAdjuster, { 7, 8 }, { 50, 56 }); });
    EXPECT_EQ(std::tuple(m_track->blockAt(0)->outPoint, m_track->startOf(1)), std::tuple(1400, 1400));
    // The start far right stops 200 ms before one pass ends.
    step("Trim kinBlock Start", [&] { dragHandle(&KyMasterLayout::leftAdjuster, { 7, 8 }, { 300 }); });
    EXPECT_EQ(m_track->blockAt(0)->inPoint, 800);
    // The blend handle past the tile's end: the tile's length; dragged, the
    // track knows a handle is held.
    step("Set kinBlock Blend", [&] {
        QTest::mouseClick(tile(0), Qt::LeftButton);
        QWidget *blend = m_page->blendHandle();
        QTest::mousePress(blend, Qt::LeftButton, {}, QPoint(4, 6));
        EXPECT_TRUE(m_track->handleDrag());
        QTest::mouseMove(blend, blend->mapFromGlobal(tile(0)->mapToGlobal(QPoint(500, 6))));
        QTest::mouseRelease(blend, Qt::LeftButton);
        EXPECT_FALSE(m_track->handleDrag());
    });
    EXPECT_EQ(m_track->blockAt(0)->blendIn, 600);
    m_master->slideButton()->click();
    step("Slide kinBlock", [&] {
        QTest::mousePress(tile(1), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(tile(1), QPoint(25, 5));
        QTest::mouseRelease(tile(1), Qt::LeftButton, {}, QPoint(25, 5));
    });
    EXPECT_EQ(m_track->blockAt(1)->gap, 500); // 20 px
    m_master->slideButton()->click();
    step("Change kinBlock Parameters", [&] {
        kySetDialogRunner([](QDialog &dialog) {
            auto &d = static_cast<KyMasterBlockDialog &>(dialog);
            d.speedBox()->setValue(50);
            d.mirrorBox()->setChecked(true);
        });
        tile(1)->properties();
    });
    ASSERT_EQ(m_track->endOf(1) - m_track->startOf(1), 2000); // the half-speed block
    m_track->setCurrentBlock(m_track->blockAt(1));
    m_track->setPlayhead(
        (m_track->startOf(1) + m_track->endOf(1)) / 2, true); // posing: not part of the split
    step("Split kinBlock", [&] { m_master->splitButton()->click(); });
    EXPECT_EQ(m_track->count(), 5);
    step("Delete kinBlock", [&] { // the looping first block: crop and join refuse those
        QTest::mouseClick(tile(0), Qt::LeftButton);
        QTest::keyClick(tile(0), Qt::Key_Backspace);
    });
    // A crop whose file cannot be written changes nothing.
    m_prompts.files = { tempPath("no/such/folder/cropped"), tempPath("cropped"), tempPath("joined") };
    QTest::mouseClick(tile(0), Qt::LeftButton);
    const auto uncropped
        = std::tuple(stateOf(*m_track, m_hip), KyBlock::registry().size(), m_undo->getNumUndoSteps());
    m_master->cropButton()->click();
    EXPECT_TRUE(m_prompts.messages.last().startsWith("The kinBlock could not be saved"));
    EXPECT_TRUE(std::tuple(stateOf(*m_track, m_hip), KyBlock::registry().size(), m_undo->getNumUndoSteps())
        == uncropped);
    step("Crop kinBlock", [&] {
        QTest::mouseClick(tile(0), Qt::LeftButton);
        m_master->cropButton()->click();
    });
    step("Join kinBlocks", [&] {
        QTest::mouseClick(tile(0), Qt::LeftButton);
        m_master->joinButton()->click();
    });
    // Undo all of it, step by step, down to the empty track with the user's
    // keys; redo brings the last state back.
    const TrackState last = stateOf(*m_track, m_hip);
    while (m_undo->undo()) { }
    EXPECT_TRUE(stateOf(*m_track, m_hip) == before);
    while (m_undo->redo()) { }
    EXPECT_TRUE(stateOf(*m_track, m_hip) == last);
}

TEST_F(TrackEditing, RendersThreeBlocksToAPicture)
{
    // Blocks of the stock library's lengths: labels fit at the default zoom.
    m_page->insertBlockAt(0, *makeBlock("s_walk", walkZ(100.0f, 2000)));
    m_page->insertBlockAt(1000, *makeBlock("s_turn_left", turnY(90.0f, 2500)));
    m_page->insertBlockAt(1000, *m_walk);
    m_track->setInOut(m_track->blockAt(2), 0, 2500); // loops: marks after each pass
    m_master->timeline()->goSeek(1500);
    dzScene->setAnimRange(DzTimeRange(0, msToTicks(m_track->endTime())));
    m_master->resize(900, 130);
    QTest::mouseClick(tile(2), Qt::LeftButton); // its handles show
    const QImage image = m_master->grab().toImage();
    // Tiles in their colour, the band white, the playhead at 1.5 s.
    const QPoint origin = contents()->mapTo(m_master.get(), QPoint(KyMasterLayout::kOriginX, 0));
    EXPECT_EQ(image.pixelColor(origin + QPoint(20, KyMasterLayout::kTileY + 6)), QColor(83, 137, 231));
    EXPECT_EQ(image.pixelColor(origin + QPoint(300, 75)), QColor(Qt::white).darker(125));
    EXPECT_EQ(image.pixelColor(origin + QPoint(60, KyMasterLayout::kPlayheadY + 2)), QColor(84, 118, 173));
}
