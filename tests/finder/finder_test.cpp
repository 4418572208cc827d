// The block library browser: root folders kept in the settings, the tile
// strip (labels, tooltips, filter, refused files), and what the tiles do to
// the engine and the timeline (hover, drag, double-click, drops back).
#include "panetestsupport.h"

#include "kyfinder.h"
#include "kyfinderblock.h"
#include "kyfinderexplorer0.h"
#include "kyfinderlibrary.h"
#include "kyfindertimeline.h"
#include "kyfinderview.h"

#include "dzappsettings.h"

#include <QLineEdit>
#include <QScrollArea>

class Finder : public MixerPaneTest {
protected:
    void SetUp() override
    {
        MixerPaneTest::SetUp();
        DzAppSettings(kyFinderSettingsPath()).removeAllValues();
        m_pane->resize(900, 400);
        m_pane->show();
        dzUndoStack->clear();
    }
    KyFinderView *view() { return m_pane->finder()->view(); }
    KyFinderExplorer0 *explorer() { return m_pane->finder()->explorer(); }
    QString folder(const QString &name)
    {
        QDir().mkpath(tempPath(name));
        return QDir(tempPath(name)).absolutePath();
    }
    static QStringList paths(const std::vector<QDir> &dirs)
    {
        QStringList out;
        for (const QDir &d : dirs)
            out << d.absolutePath();
        return out;
    }
    // Shows a folder of the test's blocks and returns the tile of name.
    KyFinderBlock *tileOf(const QString &name)
    {
        view()->showFolder(m_temp.path());
        for (KyFinderBlock *tile : view()->tiles()) {
            if (tile->block()->name == name)
                return tile;
        }
        ADD_FAILURE() << "no tile " << name.toStdString();
        return nullptr;
    }
};

TEST_F(Finder, RootsComeFromTheSettingsThenTheStockLibraryAndTheMenuEditsThem)
{
    const QString a = folder("a");
    const QString stock = QDir(KyFinder::contentRoot()).absolutePath();
    const std::vector<std::pair<QStringList, QStringList>> cases = {
        { { a }, { a, stock } }, { { tempPath("nowhere"), a }, { a, stock } }, // a missing folder is skipped
        { { QString(), a }, { stock } }, // the list ends at an empty key
        { { stock, a }, { stock, a } }, // the stock root is not added twice
    };
    for (const auto &[stored, expected] : cases) {
        SCOPED_TRACE(stored.join(',').toStdString());
        DzAppSettings settings(kyFinderSettingsPath());
        settings.removeAllValues();
        for (int i = 0; i < stored.size(); ++i)
            settings.setStringValue(kyFinderRootKey(i), stored[i]);
        KyMixerCore core(m_pane->timeline());
        KyFinder browser(&core);
        browser.show();
        browser.delayFirstFolder();
        EXPECT_EQ(paths(browser.explorer()->roots()), expected);
        // The strip opens on the stock dance folder.
        EXPECT_EQ(browser.view()->folder(), KyFinder::contentStartFolder());
        EXPECT_FALSE(browser.view()->tiles().empty());
    }
    // The explorer's menu edits the roots and keeps them in the settings.
    DzAppSettings(kyFinderSettingsPath()).removeAllValues();
    const QString b = folder("b"), c = folder("c");
    folder("c/sub/deeper");
    static QString chosen;
    explorer()->setFolderChooser([](QWidget *) { return chosen; });
    // The second a changes nothing, and nor does a cancelled dialog.
    for (const QString &path : { a, b, c, a, QString() }) {
        chosen = path;
        explorer()->handleAddRootFolder();
    }
    EXPECT_EQ(kyFinderReadRoots(), (QStringList { a, b, c }));
    ASSERT_EQ(explorer()->rootItems().size(), 3u);
    EXPECT_EQ(explorer()->folderOf(explorer()->rootItems()[2]->child(0)->child(0)), c + "/sub/deeper");
    // Removing a subfolder does nothing; removing the first root rewrites
    // root0 and root1 and removes root2.
    explorer()->rootItems()[2]->child(0)->setSelected(true);
    explorer()->handleRemoveRootFolder();
    EXPECT_EQ(explorer()->roots().size(), 3u);
    explorer()->clearSelection();
    explorer()->rootItems()[0]->setSelected(true);
    explorer()->handleRemoveRootFolder();
    DzAppSettings settings(kyFinderSettingsPath());
    EXPECT_EQ(std::tuple(settings.getStringValue(kyFinderRootKey(0)),
                  settings.getStringValue(kyFinderRootKey(1)), settings.hasValue(kyFinderRootKey(2))),
        std::tuple(b, c, false));
    explorer()->handleRefreshRootFolders(); // rebuilds from the settings
    EXPECT_EQ(paths(explorer()->roots()).mid(0, 2), (QStringList { b, c }));
    // Selecting a folder shows its tiles.
    makeBlock("walk", walkZ(100.0f));
    chosen = m_temp.path();
    explorer()->handleAddRootFolder();
    explorer()->clearSelection();
    explorer()->rootItems().back()->setSelected(true);
    EXPECT_EQ(view()->folder(), QDir(m_temp.path()).absolutePath());
    EXPECT_EQ(view()->tiles().size(), 1u);
}

TEST_F(Finder, StripListsLabelledTilesFiltersAndNamesRefusedFiles)
{
    for (auto [name, label] : { std::pair { "s_walk_slow_loop_a", "walk slow loop ..." }, { "s_run", "run" },
             { "fifteen_chars_x", "fifteen chars x" }, { "sixteen_chars_xy", "sixteen chars x..." },
             { "xs_a", "xs a" } })
        EXPECT_EQ(kyFinderLabel(name), label) << name;
    EXPECT_EQ(
        kyFinderToolTip(*makeBlock("walk_fast", walkZ(100.0f, 1250))), QStringLiteral("walk fast (1.25 s)"));
    makeBlock("turn", turnY(90.0f));
    writeTemp("broken.kba", "not a block");
    view()->showFolder(m_temp.path());
    ASSERT_EQ(view()->tiles().size(), 2u);
    EXPECT_EQ(std::tuple(view()->tiles()[0]->block()->name, view()->tiles()[0]->pos()),
        std::tuple(QStringLiteral("turn"), QPoint(10, 7)));
    ASSERT_EQ(view()->refused().size(), 1u);
    EXPECT_TRUE(view()->refused()[0].path.endsWith("broken.kba") && !view()->refused()[0].reason.isEmpty());
    EXPECT_TRUE(view()->scrollView()->viewport()->toolTip().contains("broken.kba"));
    // Showing the folder again lists it again without another read (each
    // failed read takes a slot of the fixed store).
    const size_t registered = KyBlock::registry().size();
    view()->showFolder(m_temp.path());
    EXPECT_EQ(std::tuple(view()->refused().size(), KyBlock::registry().size()), std::tuple(1u, registered));

    QTest::keyClicks(view()->filterBox(), "FAST");
    ASSERT_EQ(view()->shownTiles().size(), 1u);
    // The shown tiles close up.
    EXPECT_EQ(std::tuple(view()->shownTiles()[0]->block()->name, view()->shownTiles()[0]->pos()),
        std::tuple(QStringLiteral("walk_fast"), QPoint(10, 7)));
    EXPECT_FALSE(view()->tiles()[0]->isVisible());
    view()->setFilter(QString());
    EXPECT_EQ(view()->shownTiles().size(), 2u);
    // Columns: a strip too low for two tiles puts the second beside the first.
    EXPECT_EQ(kyFinderNextTilePosition(QPoint(10, 7), QSize(100, 28), 200), QPoint(10, 42));
    EXPECT_EQ(kyFinderNextTilePosition(QPoint(10, 7), QSize(100, 28), 77), QPoint(120, 7));
}

TEST_F(Finder, HoverPreviewsAndAPressDragsFromTheStartDistance)
{
    makeBlock("walk", walkZ(100.0f));
    makeBlock("turn", turnY(90.0f));
    KyFinderBlock *walk = tileOf("walk");
    KyFinderBlock *turn = tileOf("turn");
    ASSERT_TRUE(walk && turn);
    // Hovering previews at normal speed until the pointer leaves.
    KyMixerCore *core = m_pane->core();
    core->setRecordingRequested(true);
    QMouseEvent hover(
        QEvent::MouseMove, QPointF(10, 10), QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(walk, &hover);
    EXPECT_TRUE(walk->block()->isCurrent() && !core->isRecordingRequested());
    EXPECT_FLOAT_EQ(core->dragVelocity(), 1.0f);
    QApplication::sendEvent(turn, &hover);
    EXPECT_TRUE(turn->block()->isCurrent() && !walk->block()->isCurrent());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(turn, &leave);
    EXPECT_FLOAT_EQ(core->dragVelocity(), 0.0f);
    // One pixel short of the start distance is still a press; at it the drag runs.
    QTest::mousePress(walk, Qt::LeftButton, {}, QPoint(5, 5));
    QTimer::singleShot(50, [] { QDrag::cancel(); });
    for (int dx : { QApplication::startDragDistance() - 1, QApplication::startDragDistance() }) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5 + dx, 5), QPointF(), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(walk, &move);
        EXPECT_EQ(walk->isPressed(), dx < QApplication::startDragDistance());
    }
    EXPECT_EQ(std::unique_ptr<QMimeData>(walk->dragPayload())->text(), QStringLiteral("KyFinderBlock"));
    EXPECT_EQ(std::tuple(kyFinderBlockOf(walk), kyFinderBlockOf(m_pane)), std::tuple(walk->block(), nullptr));
}

TEST_F(Finder, TilesGoOntoTheTrackAtThePlayheadOrTheDropPointAndPlacedOnesBack)
{
    KyBlock *walk = makeBlock("walk", walkZ(100.0f, 1000));
    KyBlock *turn = makeBlock("turn", turnY(90.0f, 1000));
    KyFinderBlock *walkTile = tileOf("walk");
    KyFinderBlock *turnTile = tileOf("turn");
    ASSERT_TRUE(walkTile && turnTile);
    KyTrack *track = trackOf(addFigure());
    m_pane->timeline()->setDefaultFlags(5);
    dzScene->setModified(false);
    QTest::mouseDClick(walkTile, Qt::LeftButton);
    EXPECT_TRUE(dzScene->isModified()); // closing the studio now asks to save
    QTest::mouseDClick(walkTile, Qt::LeftButton);
    ASSERT_EQ(track->count(), 2);
    // The second lines up behind the first and the playhead behind it.
    EXPECT_EQ(
        std::tuple(track->startOf(1), track->playheadMs()), std::tuple(track->endOf(0), track->endOf(1)));
    EXPECT_EQ(
        std::tuple(track->blockAt(1)->flags, track->blockAt(0)->clipHandle), std::tuple(5, walk->clipHandle));
    // Dropped left of the second tile's centre (x 40 … 80): between the walks.
    KyMasterLayout *layout = m_pane->master()->currentTrack();
    EXPECT_FALSE(kyFinderDropOnTrack(layout, m_pane, QPoint(55, 40)));
    ASSERT_TRUE(kyFinderDropOnTrack(layout, turnTile, QPoint(55, 40)));
    ASSERT_EQ(track->count(), 3);
    KyBlock *placedTurn = track->blockAt(1);
    EXPECT_EQ(std::tuple(placedTurn->clipHandle, dzUndoStack->getUndoCaption()),
        std::tuple(turn->clipHandle, QStringLiteral("Add kinBlock")));
    // A placed tile dropped back on the strip leaves its track in one step.
    track->setGap(placedTurn, 300);
    EXPECT_FALSE(view()->dropPlaced(m_pane)); // not a placed tile
    ASSERT_TRUE(view()->dropPlaced(layout->tileFor(placedTurn)));
    EXPECT_EQ(std::tuple(track->count(), dzUndoStack->getUndoCaption()),
        std::tuple(2, QStringLiteral("Remove kinBlock")));
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_EQ(track->count(), 3);
    EXPECT_EQ(
        std::tuple(track->blockAt(1)->clipHandle, track->blockAt(1)->gap), std::tuple(turn->clipHandle, 300));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(track->count(), 2);
}
