// Actions and their manager, action menus, panes and the pane manager, pane
// actions, help texts, the node menu, and the viewport and render managers.
#include "dzaction.h"
#include "dzactionmenu.h"
#include "dzactionmgr.h"
#include "dzhelpmgr.h"
#include "dzmainwindow.h"
#include "dznode.h"
#include "dznodemenu.h"
#include "dzpane.h"
#include "dzpaneaction.h"
#include "dzpanemgr.h"
#include "dzrenderer.h"
#include "dzrendermgr.h"
#include "dzviewportmgr.h"
#include "servicestestsupport.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {

class CountingAction : public DzAction {
    Q_OBJECT
public:
    CountingAction()
        : DzAction(QStringLiteral("Count"), QStringLiteral("Counts"))
    {
    }
    int m_executed = 0;
    QList<bool> m_toggles;

protected slots:
    void executeAction() override { ++m_executed; }
    void toggleAction(bool onOff) override { m_toggles.append(onOff); }
};

class ToggleAction : public CountingAction {
    Q_OBJECT
public:
    ToggleAction() { setToggleAction(true); }
};

class MenuPane : public DzPane {
    Q_OBJECT
public:
    MenuPane()
        : DzPane(QStringLiteral("Menu Pane"))
    {
    }
    bool m_contextMenu = false;
    bool useOptionsAsContextMenu() const override { return m_contextMenu; }
    void buildOptionsMenu(DzActionMenu *menu) const override
    {
        menu->insertAction(QStringLiteral("ToggleAction"));
        menu->insertSeparator();
        menu->insertAction(QStringLiteral("MissingAction"));
        menu->insertAction(QStringLiteral("CountingAction"), 0);
        menu->insertSeparator(1);
    }
};

class FakeRenderer : public DzRenderer {
    Q_OBJECT
public:
    bool m_succeed = true;
    QStringList m_paths;
    std::function<void()> m_during;
    bool render(const QString &path, QString *error) override
    {
        m_paths << path;
        if (m_during)
            m_during();
        if (!m_succeed)
            *error = QStringLiteral("disk full");
        return m_succeed;
    }
};

} // namespace

using Actions = ServicesTest;

TEST_F(Actions, ManagerFindsByClassNameRefusesClashesAndBuildsMenus)
{
    DzActionMgr mgr;
    auto *counting = new CountingAction;
    auto *toggle = new ToggleAction;
    ASSERT_TRUE(mgr.addAction(counting));
    ASSERT_TRUE(mgr.addAction(toggle));
    EXPECT_EQ(mgr.findAction(QStringLiteral("CountingAction")), counting);

    // A second action of a class is refused.
    CountingAction second;
    EXPECT_FALSE(mgr.addAction(&second));
    // Plain actions execute; toggles toggle, on changes only.
    counting->trigger();
    EXPECT_EQ(counting->m_executed, 1);
    toggle->trigger(); // the user clicks
    toggle->setOn(true); // already on: no change
    toggle->setOn(false);
    EXPECT_EQ(toggle->m_toggles, (QList<bool> { true, false }));
    EXPECT_EQ(toggle->m_executed, 0);

    // Plain actions are told apart by object name.
    auto *restore = new DzAction(QStringLiteral("Restore Figure"));
    restore->setObjectName(QStringLiteral("DzRestoreFigureAction"));
    ASSERT_TRUE(mgr.addAction(restore));
    EXPECT_EQ(mgr.findAction(QStringLiteral("DzRestoreFigureAction")), restore);
    DzAction clash;
    clash.setObjectName(QStringLiteral("DzRestoreFigureAction"));
    EXPECT_FALSE(mgr.addAction(&clash));

    EXPECT_TRUE(mgr.removeAction(counting));
    QMenu menu;
    EXPECT_FALSE(mgr.addActionToMenu(&menu, QStringLiteral("CountingAction")));
    delete toggle; // deleting an action elsewhere removes it from the manager
    EXPECT_EQ(mgr.getNumActions(), 1);
}

using Panes = ServicesTest;

TEST_F(Panes, ManagerPaneActionsAndOptionsMenus)
{
    DzMainWindow window;
    DzPaneMgr *mgr = window.getPaneMgr();
    auto *action = new DzPaneAction(QStringLiteral("MenuPane"));
    // The action may be made before its pane exists.
    ASSERT_TRUE(window.getActionMgr()->addAction(action));
    auto *pane = new MenuPane;
    ASSERT_TRUE(mgr->addPane(pane));
    MenuPane second;
    EXPECT_FALSE(mgr->addPane(&second));
    EXPECT_TRUE(mgr->showPane(QStringLiteral("MenuPane")));
    EXPECT_TRUE(mgr->isPaneShown(QStringLiteral("MenuPane")));
    EXPECT_TRUE(mgr->togglePane(QStringLiteral("MenuPane")));
    EXPECT_FALSE(mgr->showPane(QStringLiteral("Nope")));
    EXPECT_FALSE(mgr->isPaneShown(pane));
    EXPECT_EQ(action->text(), QStringLiteral("Menu Pane"));

    // The pane action follows and drives its pane, also when the dock's
    // own close button hides it.
    action->trigger();
    EXPECT_TRUE(mgr->isPaneShown(pane));
    EXPECT_TRUE(action->isOn());
    mgr->getDock(pane)->close();
    EXPECT_FALSE(mgr->isPaneShown(pane));
    EXPECT_FALSE(action->isOn());
    pane->setLabel(QStringLiteral("Renamed"));
    EXPECT_EQ(mgr->getDock(pane)->windowTitle(), QStringLiteral("Renamed"));

    // The options menu is built through the action manager, skipping what it
    // lacks; a pane that asks for it offers its options on a right click.
    window.getActionMgr()->addAction(new CountingAction);
    window.getActionMgr()->addAction(new ToggleAction);
    EXPECT_EQ(DzPane().createOptionsMenu(nullptr), nullptr); // no options, no menu
    MenuPane context;
    context.m_contextMenu = true;
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(pane, &click);
    EXPECT_EQ(pane->findChild<QMenu *>(), nullptr);
    QCoreApplication::sendEvent(&context, &click);
    ASSERT_TRUE(context.findChild<QMenu *>());
    QStringList texts;
    for (QAction *a : context.findChild<QMenu *>()->actions())
        texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(texts, (QStringList { "Count", "|", "Count", "|" }));
    delete pane;
    EXPECT_EQ(mgr->findPane(QStringLiteral("MenuPane")), nullptr);

    // An action for a pane that does not exist stays off and says so.
    auto *orphan = new DzPaneAction(QStringLiteral("AbsentPane"));
    ASSERT_TRUE(window.getActionMgr()->addAction(orphan));
    orphan->trigger();
    EXPECT_FALSE(orphan->isOn());
    EXPECT_TRUE(dzLogContains(QStringLiteral("No AbsentPane instance found")));
}

TEST_F(Panes, WindowWithdrawsItselfAndItsPanesFirst)
{
    QPointer<MenuPane> pane = new MenuPane;
    bool interfaceSeenByPane = false;
    {
        DzMainWindow window;
        window.getPaneMgr()->addPane(pane);
        QObject::connect(pane, &QObject::destroyed,
            [&] { interfaceSeenByPane = m_app->getInterface() && m_app->getInterface()->getPaneMgr(); });
    }
    EXPECT_TRUE(pane.isNull());
    EXPECT_TRUE(interfaceSeenByPane);
    EXPECT_EQ(m_app->getInterface(), nullptr);
}

using Help = ServicesTest;

TEST_F(Help, WidgetsTakeTheirTextFromTheTableEvenLaterAndAreForgottenWhenDeleted)
{
    DzHelpMgr *help = m_app->getHelpMgr();
    help->setHelpText("QLabel", "any label");
    QLabel named, anonymous;
    named.setObjectName("kinPadNodeMenu");
    help->setOnlineHelp(&named);
    help->setOnlineHelp(&anonymous);
    help->setHelpText("kinPadNodeMenu", "Choose the figure");
    EXPECT_EQ(named.whatsThis(), QStringLiteral("Choose the figure"));
    EXPECT_EQ(anonymous.toolTip(), QStringLiteral("any label"));
    auto *temp = new QLabel;
    help->setOnlineHelp(temp, "gone soon");
    const QObject *address = temp;
    delete temp;
    EXPECT_FALSE(help->isRegistered(address));
}

using NodeMenu = ServicesTest;

TEST_F(NodeMenu, ListsSelectsQuietlyForgetsDeletedNodesAndSignalsUserPicks)
{
    DzNode hero("Hero"), other("Other");
    DzNodeMenu menu(nullptr, "kinPadNodeMenu", true);
    QSignalSpy picked(&menu, &DzNodeMenu::selectionChanged);
    menu.setNodeList({ &hero, nullptr, &other, &hero });
    EXPECT_EQ(menu.getNodeList(), (QList<DzNode *> { &hero, &other }));
    QComboBox *combo = menu.getComboBox();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("None"));
    hero.setLabel("Renamed");
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Renamed"));
    menu.selectNode(&other);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(picked.count(), 0) << "only the user's picks signal";
    DzNode newcomer("Newcomer"); // selected, so added
    menu.selectNode(&newcomer);
    EXPECT_EQ(combo->count(), 4);
    menu.setNodeList({ &hero }); // without the current node: nothing current
    EXPECT_EQ(menu.getCurrent(), nullptr);

    // The list is asked for before the popup opens; deleted nodes are forgotten.
    auto *gone = new DzNode("Gone");
    QObject::connect(&menu, &DzNodeMenu::aboutToShowMenu, &menu, [&] { menu.setNodeList({ gone, &other }); });
    combo->showPopup();
    combo->hidePopup();
    menu.selectNode(gone);
    delete gone;
    EXPECT_EQ(menu.getCurrent(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(menu.getNodeList(), QList<DzNode *> { &other });
    EXPECT_EQ(combo->count(), 2);

    // Picks by key signal; "None" is a choice only when offered.
    for (bool withNone : { true, false }) {
        DzNodeMenu m(nullptr, QString(), withNone);
        m.setNodeList({ &hero, &other });
        QSignalSpy picks(&m, &DzNodeMenu::selectionChanged);
        QTest::keyClick(m.getComboBox(), Qt::Key_Down);
        ASSERT_EQ(picks.count(), 1);
        EXPECT_EQ(picks.at(0).at(0).value<DzNode *>(), &hero);
        EXPECT_EQ(m.getComboBox()->count(), withNone ? 3 : 2) << "without None the placeholder goes";
        QTest::keyClick(m.getComboBox(), Qt::Key_Up);
        EXPECT_EQ(m.getCurrent(), withNone ? nullptr : &hero);
    }
}

TEST(ViewportManipulation, NestsAndSignalsOnlyTheOutermostBracket)
{
    DzViewportMgr mgr;
    QSignalSpy started(&mgr, &DzViewportMgr::manipulationStarted);
    QSignalSpy ended(&mgr, &DzViewportMgr::manipulationEnded);
    mgr.startManipulation();
    mgr.startManipulation();
    mgr.endManipulation();
    EXPECT_TRUE(mgr.isManipulating());
    mgr.endManipulation();
    mgr.endManipulation(); // unbalanced: ignored
    EXPECT_FALSE(mgr.isManipulating());
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(dzLogContains(QStringLiteral("without a matching startManipulation")));
}

TEST(Rendering, BracketsEveryRenderWithSignalsAndRefusesNestedRenders)
{
    DzRenderMgr mgr;
    QStringList events;
    QObject::connect(&mgr, &DzRenderMgr::renderStarting, [&] { events << "starting"; });
    QObject::connect(&mgr, &DzRenderMgr::renderFinished, [&](bool ok) { events << (ok ? "ok" : "failed"); });
    EXPECT_FALSE(mgr.doRender("/tmp/x.png"));
    EXPECT_TRUE(mgr.getLastError().contains(QStringLiteral("No renderer")));
    auto *renderer = new FakeRenderer;
    mgr.setRenderer(renderer);
    EXPECT_FALSE(mgr.doRender(QString()));
    bool nested = true;
    renderer->m_during = [&] { nested = mgr.doRender("c.png"); };
    EXPECT_TRUE(mgr.doRender("a.png"));
    EXPECT_FALSE(nested);
    renderer->m_succeed = false;
    renderer->m_during = nullptr;
    EXPECT_FALSE(mgr.doRender("b.png"));
    EXPECT_EQ(mgr.getLastError(), QStringLiteral("disk full"));
    EXPECT_EQ(events, (QStringList { "starting", "ok", "starting", "failed" }));
    EXPECT_EQ(renderer->m_paths, (QStringList { "a.png", "b.png" }));
}

#include "test_ui.moc"
