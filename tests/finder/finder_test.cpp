// The block library browser: root folders kept in the settings, the tile
// strip (labels, tooltips, filter, refused files), and what the tiles do to
// the engine and the timeline (hover, drag, double-click, drops back).
#include "timelinetestsupport.h"

#include "kyfinder.h"
#include "kyfinderblock.h"
#include "kyfinderexplorer0.h"
#include "kyfinderlibrary.h"
#include "kyfindertimeline.h"
#include "kyfinderview.h"
#include "kymaster.h"
#include "kymasterblock.h"
#include "kymasterlayout.h"
#include "kymixercore.h"
#include "kymixerpane.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "dzappsettings.h"
#include "dzmainwindow.h"
#include "dzpanemgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dzundostack.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

class Finder : public TimelineTest
{
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        DzAppSettings settings(kyFinderSettingsPath());
        settings.removeAllValues();
        m_window = std::make_unique<DzMainWindow>();
        m_pane = new KyMixerPane;
        m_window->getPaneMgr()->addPane(m_pane);
        m_pane->resize(900, 400);
        m_pane->show();
        dzUndoStack->clear();
    }
    void TearDown() override
    {
        m_window.reset();
        TimelineTest::TearDown();
    }
    KyFinder *finder() { return m_pane->finder(); }
    KyFinderView *view() { return finder()->view(); }
    KyFinderExplorer0 *explorer() { return finder()->explorer(); }
    QString folder(const QString &name)
    {
        const QString path = tempPath(name);
        QDir().mkpath(path);
        return QDir(path).absolutePath();
    }
    static void storeRoots(const QStringList &values)
    {
        DzAppSettings settings(kyFinderSettingsPath());
        for (int i = 0; i < values.size(); ++i)
            settings.setStringValue(kyFinderRootKey(i), values[i]);
    }
    QStringList rootPaths()
    {
        QStringList out;
        for (const QDir &d : explorer()->roots())
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
        return nullptr;
    }

    std::unique_ptr<DzMainWindow> m_window;
    KyMixerPane *m_pane = nullptr;
};

TEST_F(Finder, RootsComeFromTheSettingsThenTheStockLibrary)
{
    const QString a = folder(QStringLiteral("a"));
    const QString stock = QDir(KyFinder::contentRoot()).absolutePath();
    ASSERT_FALSE(KyFinder::contentRoot().isEmpty());
    struct Case {
        QStringList stored;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {{a}, {a, stock}},
        {{tempPath(QStringLiteral("nowhere")), a}, {a, stock}}, // a missing folder is skipped
        {{QString(), a}, {stock}},                              // the list ends at an empty key
        {{stock, a}, {stock, a}},                               // the stock root is not added twice
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored.join(QLatin1Char(',')).toStdString());
        DzAppSettings(kyFinderSettingsPath()).removeAllValues();
        storeRoots(c.stored);
        KyMixerCore core(m_pane->timeline());
        KyFinder browser(&core);
        browser.show();
        browser.delayFirstFolder();
        QStringList got;
        for (const QDir &d : browser.explorer()->roots())
            got << d.absolutePath();
        EXPECT_EQ(got, c.expected);
        // The strip opens on the stock dance folder.
        EXPECT_EQ(browser.view()->folder(), KyFinder::contentStartFolder());
        EXPECT_FALSE(browser.view()->tiles().empty());
    }
}

TEST_F(Finder, ContextMenuEditsAndPersistsRoots)
{
    const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b")),
                  c = folder(QStringLiteral("c"));
    folder(QStringLiteral("c/sub/deeper"));
    ASSERT_EQ(explorer()->contextMenu()->actions().size(), 3);
    EXPECT_EQ(explorer()->contextMenu()->actions().at(0)->text(), QStringLiteral("Add Root Folder"));

    static QString chosen;
    explorer()->setFolderChooser([](QWidget *) { return chosen; });
    for (const QString &path : {a, b, c, a}) { // the second a changes nothing
        chosen = path;
        explorer()->handleAddRootFolder();
    }
    chosen.clear(); // a cancelled dialog changes nothing either
    explorer()->handleAddRootFolder();
    EXPECT_EQ(kyFinderReadRoots(), (QStringList{a, b, c}));
    ASSERT_EQ(explorer()->rootItems().size(), 3u);
    EXPECT_EQ(explorer()->rootItems()[2]->child(0)->child(0)->text(0), QStringLiteral("deeper"));
    EXPECT_EQ(explorer()->folderOf(explorer()->rootItems()[2]->child(0)->child(0)), c + QStringLiteral("/sub/deeper"));

    // Removing a subfolder does nothing; removing the first root rewrites
    // root0 and root1 and removes root2.
    explorer()->rootItems()[2]->child(0)->setSelected(true);
    explorer()->handleRemoveRootFolder();
    EXPECT_EQ(explorer()->roots().size(), 3u);
    explorer()->clearSelection();
    explorer()->rootItems()[0]->setSelected(true);
    explorer()->handleRemoveRootFolder();
    DzAppSettings settings(kyFinderSettingsPath());
    EXPECT_EQ(settings.getStringValue(kyFinderRootKey(0)), b);
    EXPECT_EQ(settings.getStringValue(kyFinderRootKey(1)), c);
    EXPECT_FALSE(settings.hasValue(kyFinderRootKey(2)));

    // Refresh rebuilds from the settings.
    explorer()->handleRefreshRootFolders();
    EXPECT_EQ(rootPaths().mid(0, 2), (QStringList{b, c}));

    // Selecting a folder shows its tiles.
    makeBlock(QStringLiteral("walk"), walkZ(100.0f));
    view()->showFolder(b);
    chosen = m_temp.path();
    explorer()->handleAddRootFolder();
    explorer()->clearSelection();
    explorer()->rootItems().back()->setSelected(true);
    EXPECT_EQ(explorer()->currentFolder(), QDir(m_temp.path()).absolutePath());
    EXPECT_EQ(view()->folder(), QDir(m_temp.path()).absolutePath());
    EXPECT_EQ(view()->tiles().size(), 1u);
}

TEST_F(Finder, TileLabelsAndTooltips)
{
    const std::vector<std::pair<QString, QString>> labels = {
        {QStringLiteral("s_walk_slow_loop_a"), QStringLiteral("walk slow loop ...")},
        {QStringLiteral("s_run"), QStringLiteral("run")},
        {QStringLiteral("fifteen_chars_x"), QStringLiteral("fifteen chars x")},
        {QStringLiteral("sixteen_chars_xy"), QStringLiteral("sixteen chars x...")},
        {QStringLiteral("xs_a"), QStringLiteral("xs a")},
    };
    for (const auto &[name, label] : labels)
        EXPECT_EQ(kyFinderLabel(name), label) << name.toStdString();

    KyBlock *walk = makeBlock(QStringLiteral("slow_walk"), walkZ(100.0f, 1250));
    EXPECT_EQ(kyFinderToolTip(*walk), QStringLiteral("slow walk (1.25 s)"));
}

TEST_F(Finder, StripListsTilesFiltersAndNamesRefusedFiles)
{
    makeBlock(QStringLiteral("walk_fast"), walkZ(100.0f));
    makeBlock(QStringLiteral("turn"), turnY(90.0f));
    QFile broken(tempPath(QStringLiteral("broken.kba")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a block");
    broken.close();

    view()->showFolder(m_temp.path());
    ASSERT_EQ(view()->tiles().size(), 2u);
    EXPECT_EQ(view()->tiles()[0]->block()->name, QStringLiteral("turn"));
    EXPECT_EQ(view()->tiles()[0]->pos(), QPoint(10, 7));
    ASSERT_EQ(view()->refused().size(), 1u);
    EXPECT_TRUE(view()->refused()[0].path.endsWith(QStringLiteral("broken.kba")));
    EXPECT_FALSE(view()->refused()[0].reason.isEmpty());
    EXPECT_TRUE(view()->scrollView()->viewport()->toolTip().contains(QStringLiteral("broken.kba")));
    // Showing the folder again lists it again without another read (each
    // failed read takes a slot of the fixed store).
    const size_t registered = KyBlock::registry().size();
    view()->showFolder(m_temp.path());
    EXPECT_EQ(view()->refused().size(), 1u);
    EXPECT_EQ(KyBlock::registry().size(), registered);

    QTest::keyClicks(view()->filterBox(), QStringLiteral("FAST"));
    ASSERT_EQ(view()->shownTiles().size(), 1u);
    EXPECT_EQ(view()->shownTiles()[0]->block()->name, QStringLiteral("walk_fast"));
    EXPECT_EQ(view()->shownTiles()[0]->pos(), QPoint(10, 7)); // the shown tiles close up
    EXPECT_FALSE(view()->tiles()[0]->isVisible());
    view()->setFilter(QStringLiteral("walk fast"));
    EXPECT_EQ(view()->shownTiles().size(), 1u);
    view()->setFilter(QString());
    EXPECT_EQ(view()->shownTiles().size(), 2u);

    // Columns: a strip too low for two tiles puts the second beside the first.
    EXPECT_EQ(kyFinderNextTilePosition(QPoint(10, 7), QSize(100, 28), 200), QPoint(10, 42));
    EXPECT_EQ(kyFinderNextTilePosition(QPoint(10, 7), QSize(100, 28), 77), QPoint(120, 7));
}

TEST_F(Finder, DragStartsAtTheStartDistanceWithTheTilePayload)
{
    makeBlock(QStringLiteral("walk"), walkZ(100.0f));
    KyFinderBlock *tile = tileOf(QStringLiteral("walk"));
    ASSERT_TRUE(tile);
    const int distance = QApplication::startDragDistance();
    QTest::mousePress(tile, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(tile->isPressed());
    QMouseEvent shortMove(QEvent::MouseMove, QPointF(5 + distance - 1, 5), QPointF(), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tile, &shortMove);
    EXPECT_TRUE(tile->isPressed());
    QTimer::singleShot(50, [] { QDrag::cancel(); });
    QMouseEvent longMove(QEvent::MouseMove, QPointF(5 + distance, 5), QPointF(), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(tile, &longMove);
    EXPECT_FALSE(tile->isPressed());

    std::unique_ptr<QMimeData> payload(tile->dragPayload());
    EXPECT_EQ(payload->text(), QStringLiteral("KyFinderBlock"));
    EXPECT_EQ(kyFinderBlockOf(tile), tile->block());
    EXPECT_EQ(kyFinderBlockOf(m_pane), nullptr);
}

TEST_F(Finder, HoverPreviewsAtNormalSpeedUntilLeft)
{
    makeBlock(QStringLiteral("walk"), walkZ(100.0f));
    makeBlock(QStringLiteral("turn"), turnY(90.0f));
    KyFinderBlock *walk = tileOf(QStringLiteral("walk"));
    KyFinderBlock *turn = tileOf(QStringLiteral("turn"));
    ASSERT_TRUE(walk && turn);
    KyMixerCore *core = m_pane->core();
    core->setRecordingRequested(true);
    QMouseEvent hover(QEvent::MouseMove, QPointF(10, 10), QPointF(), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(walk, &hover);
    EXPECT_TRUE(walk->block()->isCurrent());
    EXPECT_FLOAT_EQ(core->dragVelocity(), 1.0f);
    EXPECT_FALSE(core->isRecordingRequested());
    QApplication::sendEvent(turn, &hover);
    EXPECT_TRUE(turn->block()->isCurrent());
    EXPECT_FALSE(walk->block()->isCurrent());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(turn, &leave);
    EXPECT_FLOAT_EQ(core->dragVelocity(), 0.0f);
}

TEST_F(Finder, DoubleClickAppendsAtThePlayheadOfAFigureTrackOnly)
{
    KyBlock *walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
    KyFinderBlock *tile = tileOf(QStringLiteral("walk"));
    ASSERT_TRUE(tile);
    dzScene->setPrimarySelection(nullptr);
    QTest::mouseDClick(tile, Qt::LeftButton);
    EXPECT_EQ(m_pane->timeline()->currentTrack()->count(), 0); // the null figure's track
    EXPECT_FALSE(dzUndoStack->canUndo());

    DzSkeleton *figure = addFigure();
    dzScene->setPrimarySelection(figure);
    KyTrack *track = m_pane->timeline()->currentTrack();
    m_pane->timeline()->setDefaultFlags(5);
    dzScene->setModified(false);
    QTest::mouseDClick(tile, Qt::LeftButton);
    EXPECT_TRUE(dzScene->isModified()); // closing the studio now asks to save
    QTest::mouseDClick(tile, Qt::LeftButton);
    ASSERT_EQ(track->count(), 2);
    EXPECT_EQ(track->startOf(1), track->endOf(0)); // the second lines up behind the first
    EXPECT_EQ(track->blockAt(1)->flags, 5);
    EXPECT_EQ(track->blockAt(0)->clipHandle, walk->clipHandle);
    EXPECT_EQ(track->playheadMs(), track->endOf(1));

    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Add kinBlock"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(track->count(), 1);
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(track->count(), 2);
    EXPECT_TRUE(track->checkConsistency().isEmpty());
}

TEST_F(Finder, PlacedTileDroppedOnTheStripLeavesItsTrackInOneUndoStep)
{
    KyBlock *walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
    KyBlock *turn = makeBlock(QStringLiteral("turn"), turnY(90.0f, 800));
    DzSkeleton *figure = addFigure();
    dzScene->setPrimarySelection(figure);
    KyTrack *track = m_pane->timeline()->currentTrack();
    track->appendBlock(*walk, true);
    KyBlock *placedTurn = track->appendBlock(*turn, true);
    track->blockAt(1)->gap = 300;
    track->relayout();
    track->appendBlock(*walk, true);
    KyMasterBlock *tile = m_pane->master()->layoutFor(track)->tileFor(placedTurn);
    ASSERT_TRUE(tile);

    EXPECT_FALSE(view()->dropPlaced(m_pane)); // not a placed tile
    ASSERT_TRUE(view()->dropPlaced(tile));
    ASSERT_EQ(track->count(), 2);
    EXPECT_EQ(track->blockAt(1)->clipHandle, walk->clipHandle);
    EXPECT_EQ(dzUndoStack->getNumUndoSteps(), 1);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Remove kinBlock"));

    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_EQ(track->count(), 3);
    EXPECT_EQ(track->blockAt(1)->clipHandle, turn->clipHandle);
    EXPECT_EQ(track->blockAt(1)->gap, 300);
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(track->count(), 2);
    EXPECT_TRUE(track->checkConsistency().isEmpty());
}

TEST_F(Finder, TileDroppedOnATrackIsInsertedAtTheDropPoint)
{
    KyBlock *walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
    KyBlock *turn = makeBlock(QStringLiteral("turn"), turnY(90.0f, 1000));
    KyFinderBlock *tile = tileOf(QStringLiteral("turn"));
    ASSERT_TRUE(tile);

    dzScene->setPrimarySelection(nullptr);
    KyMasterLayout *empty = m_pane->master()->currentTrack();
    ASSERT_TRUE(kyFinderDropOnTrack(empty, tile, QPoint(5, 40)));
    EXPECT_EQ(empty->track()->count(), 0);
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_EQ(m_prompts.messages.front(), QStringLiteral("No skeleton selected"));

    dzScene->setPrimarySelection(addFigure());
    KyMasterLayout *layout = m_pane->master()->currentTrack();
    KyTrack *track = layout->track();
    track->appendBlock(*walk, true);
    track->appendBlock(*walk, true);
    // Left of the second tile's centre (x 40 … 80): between the two walks.
    EXPECT_FALSE(kyFinderDropOnTrack(layout, m_pane, QPoint(55, 40)));
    ASSERT_TRUE(kyFinderDropOnTrack(layout, tile, QPoint(55, 40)));
    ASSERT_EQ(track->count(), 3);
    EXPECT_EQ(track->blockAt(1)->clipHandle, turn->clipHandle);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Add kinBlock"));
}
