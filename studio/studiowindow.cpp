#include "studiowindow.h"

#include "dzaction.h"
#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzappsettings.h"
#include "dzcontentmgr.h"
#include "dzpane.h"
#include "dzpanemgr.h"
#include "dzplugin.h"
#include "dzrendermgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dzundostack.h"
#include "parameterspanel.h"
#include "recentfiles.h"
#include "scenecommands.h"
#include "sceneoutline.h"
#include "studiodocument.h"
#include "studiohelp.h"
#include "studioprompt.h"
#include "studiosettings.h"
#include "studioviewport.h"
#include "timebar.h"
#include "viewportrenderer.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr int kLayoutVersion = 1;
const QSize kDefaultSize(1280, 800);

QString stripMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

StudioWindow::StudioWindow(QWidget *parent)
    : DzMainWindow(parent)
    , m_document(new StudioDocument(dzScene, this))
    , m_viewport(new StudioViewport(dzScene))
    , m_timeBar(new TimeBar(dzScene))
    , m_parameters(new ParametersPanel(dzScene))
    , m_outline(new SceneOutline(dzScene))
    , m_commands(new SceneCommands(m_document, this))
{
    setObjectName(QStringLiteral("StudioWindow"));
    setDockOptions(
        QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks | QMainWindow::AllowTabbedDocks);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_viewport, 1);
    layout->addWidget(m_timeBar);
    setCentralWidget(central);

    if (dzApp && dzApp->getRenderMgr()) {
        m_renderer = new ViewportRenderer(m_viewport);
        dzApp->getRenderMgr()->setRenderer(m_renderer);
    }

    buildDocks();
    buildMenus();
    buildStatusBar();

    connect(m_document, &StudioDocument::filePathChanged, this, &StudioWindow::refreshTitle);
    connect(m_commands, &SceneCommands::statusMessage, this,
        [this](const QString &m, int timeout) { statusBar()->showMessage(m, timeout); });
    connect(m_parameters, &ParametersPanel::statusMessage, this,
        [this](const QString &m) { statusBar()->showMessage(m, 5000); });
    if (dzScene) {
        connect(dzScene, &DzScene::modifiedChanged, this, &StudioWindow::refreshTitle);
        connect(dzScene, &DzScene::primarySelectionChanged, this, &StudioWindow::refreshStatus);
        connect(dzScene, &DzScene::nodeListChanged, this, &StudioWindow::refreshStatus);
    }
    connect(DzUndoStack::instance(), &DzUndoStack::stackChanged, this, &StudioWindow::refreshUndoActions);

    resize(kDefaultSize);
    m_defaultState = saveState(kLayoutVersion);
    restoreSettings();
    refreshUndoActions();
    refreshRecentMenu();
    refreshTitle();
    refreshStatus();
}

StudioWindow::~StudioWindow()
{
    if (dzApp && dzApp->getRenderMgr() && dzApp->getRenderMgr()->getRenderer() == m_renderer)
        dzApp->getRenderMgr()->setRenderer(nullptr);
}

void StudioWindow::buildDocks()
{
    m_outlineDock = new QDockWidget(QStringLiteral("Scene"), this);
    m_outlineDock->setObjectName(QStringLiteral("SceneDock"));
    m_outlineDock->setWidget(m_outline);
    addDockWidget(Qt::LeftDockWidgetArea, m_outlineDock);

    m_parametersDock = new QDockWidget(QStringLiteral("Parameters"), this);
    m_parametersDock->setObjectName(QStringLiteral("ParametersDock"));
    m_parametersDock->setWidget(m_parameters);
    addDockWidget(Qt::RightDockWidgetArea, m_parametersDock);
}

void StudioWindow::applyDefaultDockSizes()
{
    resizeDocks({ m_outlineDock, m_parametersDock }, { 210, 340 }, Qt::Horizontal);
    if (m_bottomDock)
        // The main pane holds the timeline and, below it, the block browser.
        resizeDocks({ m_bottomDock.data() }, { 360 }, Qt::Vertical);
}

void StudioWindow::showEvent(QShowEvent *event)
{
    DzMainWindow::showEvent(event);
    // Dock sizes only take once the window has its size; a saved layout
    // brings its own.
    if (m_sizeDocksOnShow) {
        m_sizeDocksOnShow = false;
        applyDefaultDockSizes();
    }
}

QAction *StudioWindow::addStudioAction(
    QMenu *menu, const QString &name, const QString &text, const QKeySequence &shortcut)
{
    auto *action = new QAction(text, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    menu->addAction(action);
    return action;
}

QAction *StudioWindow::studioAction(const QString &objectName) const
{
    for (QAction *a : findChildren<QAction *>(objectName, Qt::FindDirectChildrenOnly))
        return a;
    return nullptr;
}

QMenu *StudioWindow::menuNamed(const QString &title) const
{
    for (QAction *a : menuBar()->actions())
        if (a->menu() && stripMnemonic(a->text()) == title)
            return a->menu();
    return nullptr;
}

void StudioWindow::buildMenus()
{
    // File
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    connect(addStudioAction(file, QStringLiteral("actionNew"), QStringLiteral("&New"), QKeySequence::New),
        &QAction::triggered, this, &StudioWindow::newScene);
    connect(
        addStudioAction(file, QStringLiteral("actionOpen"), QStringLiteral("&Open..."), QKeySequence::Open),
        &QAction::triggered, this, [this] { openScene(); });
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("menuRecent"));
    file->addSeparator();
    connect(addStudioAction(file, QStringLiteral("actionSave"), QStringLiteral("&Save"), QKeySequence::Save),
        &QAction::triggered, this, &StudioWindow::saveScene);
    connect(addStudioAction(
                file, QStringLiteral("actionSaveAs"), QStringLiteral("Save &As..."), QKeySequence::SaveAs),
        &QAction::triggered, this, [this] { saveSceneAs(); });
    file->addSeparator();
    connect(addStudioAction(
                file, QStringLiteral("actionImportMotion"), QStringLiteral("&Import Motion (BVH)...")),
        &QAction::triggered, m_commands, [this] { m_commands->importMotion(); });
    connect(addStudioAction(
                file, QStringLiteral("actionExportMotion"), QStringLiteral("&Export Motion (BVH)...")),
        &QAction::triggered, m_commands, [this] { m_commands->exportMotion(); });
    file->addSeparator();
    connect(addStudioAction(file, QStringLiteral("actionQuit"), QStringLiteral("&Quit"), QKeySequence::Quit),
        &QAction::triggered, this, &QWidget::close);

    // Edit
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(addStudioAction(edit, QStringLiteral("actionUndo"), QStringLiteral("&Undo"), QKeySequence::Undo),
        &QAction::triggered, this, [] { DzUndoStack::instance()->undo(); });
    connect(addStudioAction(edit, QStringLiteral("actionRedo"), QStringLiteral("&Redo"), QKeySequence::Redo),
        &QAction::triggered, this, [] { DzUndoStack::instance()->redo(); });

    // View
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    struct ViewEntry {
        const char *name;
        const char *text;
        ViewCamera::View view;
        const char *key;
    };
    const ViewEntry views[] = {
        { "actionViewPerspective", "&Perspective", ViewCamera::Perspective, "Ctrl+1" },
        { "actionViewFront", "&Front", ViewCamera::Front, "Ctrl+2" },
        { "actionViewBack", "&Back", ViewCamera::Back, "Ctrl+3" },
        { "actionViewLeft", "&Left", ViewCamera::Left, "Ctrl+4" },
        { "actionViewRight", "&Right", ViewCamera::Right, "Ctrl+5" },
        { "actionViewTop", "&Top", ViewCamera::Top, "Ctrl+6" },
    };
    for (const ViewEntry &v : views) {
        const ViewCamera::View which = v.view;
        connect(addStudioAction(
                    view, QLatin1String(v.name), QLatin1String(v.text), QKeySequence(QLatin1String(v.key))),
            &QAction::triggered, m_viewport, [this, which] { m_viewport->setView(which); });
    }
    view->addSeparator();
    connect(addStudioAction(view, QStringLiteral("actionFrameSelection"), QStringLiteral("F&rame Selection"),
                QKeySequence(QStringLiteral("Ctrl+F"))),
        &QAction::triggered, m_viewport, &StudioViewport::frameSelection);
    QAction *grid = addStudioAction(view, QStringLiteral("actionShowGrid"), QStringLiteral("Show &Grid"));
    grid->setCheckable(true);
    grid->setChecked(true);
    connect(grid, &QAction::toggled, m_viewport, &StudioViewport::setGridShown);

    // Figures
    QMenu *figures = menuBar()->addMenu(QStringLiteral("F&igures"));
    connect(addStudioAction(
                figures, QStringLiteral("actionAddStandardFigure"), QStringLiteral("Add &Standard Figure")),
        &QAction::triggered, m_commands, &SceneCommands::addStandardFigure);
    connect(addStudioAction(figures, QStringLiteral("actionAddFigureFromFile"),
                QStringLiteral("Add Figure from &File...")),
        &QAction::triggered, m_commands, [this] { m_commands->addFigureFromFile(); });
    figures->addSeparator();
    connect(addStudioAction(figures, QStringLiteral("actionSelectFigure"),
                QStringLiteral("Select &Figure of Selection"), QKeySequence(QStringLiteral("Ctrl+Up"))),
        &QAction::triggered, m_commands, &SceneCommands::selectFigureOfSelection);
    connect(addStudioAction(figures, QStringLiteral("actionDeleteFigure"),
                QStringLiteral("&Delete Selected Figure"), QKeySequence::Delete),
        &QAction::triggered, m_commands, &SceneCommands::deleteSelectedFigure);

    // Animation
    QMenu *anim = menuBar()->addMenu(QStringLiteral("&Animation"));
    connect(addStudioAction(anim, QStringLiteral("actionPlay"), QStringLiteral("&Play / Pause"),
                QKeySequence(Qt::Key_Space)),
        &QAction::triggered, m_timeBar, &TimeBar::togglePlayback);
    connect(addStudioAction(anim, QStringLiteral("actionPreviousFrame"), QStringLiteral("P&revious Frame"),
                QKeySequence(QStringLiteral("Alt+Left"))),
        &QAction::triggered, m_timeBar, &TimeBar::stepBackward);
    connect(addStudioAction(anim, QStringLiteral("actionNextFrame"), QStringLiteral("&Next Frame"),
                QKeySequence(QStringLiteral("Alt+Right"))),
        &QAction::triggered, m_timeBar, &TimeBar::stepForward);
    connect(addStudioAction(anim, QStringLiteral("actionGoToStart"), QStringLiteral("Go to &Start"),
                QKeySequence(QStringLiteral("Alt+Home"))),
        &QAction::triggered, m_timeBar, &TimeBar::goToStart);
    connect(addStudioAction(anim, QStringLiteral("actionGoToEnd"), QStringLiteral("Go to &End"),
                QKeySequence(QStringLiteral("Alt+End"))),
        &QAction::triggered, m_timeBar, &TimeBar::goToEnd);
    anim->addSeparator();
    connect(addStudioAction(anim, QStringLiteral("actionSetKey"), QStringLiteral("Set &Key"),
                QKeySequence(QStringLiteral("Ctrl+K"))),
        &QAction::triggered, m_parameters, &ParametersPanel::setKeys);
    connect(addStudioAction(anim, QStringLiteral("actionDeleteKey"), QStringLiteral("&Delete Key"),
                QKeySequence(QStringLiteral("Ctrl+Shift+K"))),
        &QAction::triggered, m_parameters, &ParametersPanel::deleteKeys);
    QAction *autoKey = addStudioAction(anim, QStringLiteral("actionAutoKey"), QStringLiteral("&Auto Key"));
    autoKey->setCheckable(true);
    connect(autoKey, &QAction::toggled, m_parameters, &ParametersPanel::setAutoKey);
    connect(m_parameters, &ParametersPanel::autoKeyChanged, autoKey, &QAction::setChecked);
    connect(
        addStudioAction(anim, QStringLiteral("actionResetPose"), QStringLiteral("&Reset Pose of Selection")),
        &QAction::triggered, m_parameters, &ParametersPanel::resetPose);

    // Render
    QMenu *render = menuBar()->addMenu(QStringLiteral("&Render"));
    connect(addStudioAction(render, QStringLiteral("actionSaveImage"), QStringLiteral("&Save Image..."),
                QKeySequence(QStringLiteral("Ctrl+R"))),
        &QAction::triggered, m_commands, [this] { m_commands->saveImage(); });

    // Plug-in menus are inserted before Window when the plug-ins load.
    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    m_windowMenu->setObjectName(QStringLiteral("menuWindow"));
    m_windowMenu->addAction(m_outlineDock->toggleViewAction());
    m_windowMenu->addAction(m_parametersDock->toggleViewAction());
    m_windowMenu->addSeparator();
    connect(
        addStudioAction(m_windowMenu, QStringLiteral("actionResetLayout"), QStringLiteral("&Reset Layout")),
        &QAction::triggered, this, &StudioWindow::resetLayout);
    m_windowMenu->addSeparator();

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(addStudioAction(m_helpMenu, QStringLiteral("actionControls"), QStringLiteral("&Mouse and Keys")),
        &QAction::triggered, this, [this] { StudioPrompt::information(this, StudioHelp::controlsText()); });
    connect(
        addStudioAction(m_helpMenu, QStringLiteral("actionAboutPlugins"), QStringLiteral("About &Plug-ins")),
        &QAction::triggered, this,
        [this] { StudioPrompt::information(this, StudioHelp::pluginsText(m_plugins, m_problems)); });
    connect(
        addStudioAction(m_helpMenu, QStringLiteral("actionAbout"), QStringLiteral("&About Trelvo Studio")),
        &QAction::triggered, this, [this] {
            StudioPrompt::information(this,
                StudioHelp::aboutText(QCoreApplication::applicationVersion(),
                    dzApp ? dzApp->getContentMgr()->getContentDirectory() : QString()));
        });
}

void StudioWindow::buildStatusBar()
{
    m_statusScene = new QLabel(this);
    m_statusScene->setObjectName(QStringLiteral("statusScene"));
    statusBar()->addPermanentWidget(m_statusScene);
}

void StudioWindow::loadPlugins(const QString &explicitLocation, const QString &applicationDir)
{
    m_plugins.loadAll(explicitLocation, applicationDir);
    m_plugins.installAll(this, m_windowMenu, [this](const QString &name) {
        auto *menu = new QMenu(name, this);
        menu->setObjectName(name + QStringLiteral("Menu"));
        menuBar()->insertMenu(m_windowMenu->menuAction(), menu);
        return menu;
    });
    m_problems += m_plugins.errors();
    // A plug-in whose actions all went to the Window menu needs no menu of
    // its own; an empty one would look broken.
    for (QAction *a : menuBar()->actions())
        if (a->menu() && a->menu()->isEmpty())
            a->setVisible(false);
    placePluginPanes();
    m_defaultState = saveState(kLayoutVersion);
    const QByteArray state = StudioSettings::windowState();
    m_sizeDocksOnShow = state.isEmpty() || !restoreState(state, kLayoutVersion);
}

void StudioWindow::placePluginPanes()
{
    bool first = true;
    for (const PluginHost::Installed &installed : m_plugins.installed()) {
        for (DzPane *pane : installed.panes) {
            QDockWidget *dock = getPaneMgr()->getDock(pane);
            if (!dock)
                continue;
            if (first) {
                // The main pane of a plug-in wants width: under the viewport.
                addDockWidget(Qt::BottomDockWidgetArea, dock);
                m_bottomDock = dock;
                first = false;
            } else {
                splitDockWidget(m_parametersDock, dock, Qt::Vertical);
            }
            getPaneMgr()->showPane(pane);
        }
    }
    applyDefaultDockSizes();
}

void StudioWindow::resetLayout()
{
    if (!m_defaultState.isEmpty())
        restoreState(m_defaultState, kLayoutVersion);
    m_outlineDock->show();
    m_parametersDock->show();
    applyDefaultDockSizes();
}

void StudioWindow::restoreSettings()
{
    const QByteArray geometry = StudioSettings::geometry();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(kDefaultSize);
    m_parameters->setAutoKey(StudioSettings::autoKey());
    studioAction(QStringLiteral("actionShowGrid"))->setChecked(StudioSettings::showGrid());
}

void StudioWindow::saveSettings()
{
    StudioSettings::setGeometry(saveGeometry());
    StudioSettings::setWindowState(saveState(kLayoutVersion));
    StudioSettings::setAutoKey(m_parameters->autoKey());
    StudioSettings::setShowGrid(m_viewport->isGridShown());
    DzAppSettings(StudioSettings::path()).sync();
}

void StudioWindow::rememberFile(const QString &path)
{
    RecentFiles::add(path);
    StudioSettings::setLastDirectoryOf(path);
    refreshRecentMenu();
}

void StudioWindow::refreshRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = RecentFiles::files();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files.at(i);
        QAction *a
            = m_recentMenu->addAction(QStringLiteral("&%1  %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        a->setToolTip(QDir::toNativeSeparators(path));
        a->setStatusTip(QDir::toNativeSeparators(path));
        connect(a, &QAction::triggered, this, [this, path] { openScene(path); });
    }
    if (!files.isEmpty()) {
        m_recentMenu->addSeparator();
        connect(m_recentMenu->addAction(QStringLiteral("&Clear List")), &QAction::triggered, this, [this] {
            RecentFiles::clear();
            refreshRecentMenu();
        });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

void StudioWindow::refreshUndoActions()
{
    DzUndoStack *stack = DzUndoStack::instance();
    QAction *undo = studioAction(QStringLiteral("actionUndo"));
    QAction *redo = studioAction(QStringLiteral("actionRedo"));
    const QString undoCaption = stack->getUndoCaption();
    const QString redoCaption = stack->getRedoCaption();
    undo->setEnabled(stack->canUndo());
    redo->setEnabled(stack->canRedo());
    undo->setText(stack->canUndo() && !undoCaption.isEmpty() ? QStringLiteral("&Undo %1").arg(undoCaption)
                                                             : QStringLiteral("&Undo"));
    redo->setText(stack->canRedo() && !redoCaption.isEmpty() ? QStringLiteral("&Redo %1").arg(redoCaption)
                                                             : QStringLiteral("&Redo"));
}

void StudioWindow::refreshTitle()
{
    setWindowTitle(QStringLiteral("%1[*] \u2014 Trelvo Studio").arg(m_document->displayName()));
    setWindowModified(m_document->isModified());
}

void StudioWindow::refreshStatus()
{
    if (!dzScene)
        return;
    int figures = 0;
    for (DzNode *n : dzScene->getNodeList())
        if (qobject_cast<DzSkeleton *>(n))
            ++figures;
    QString text = figures == 1 ? QStringLiteral("1 figure") : QStringLiteral("%1 figures").arg(figures);
    if (DzNode *primary = dzScene->getPrimarySelection())
        text += QStringLiteral("  \u00b7  %1").arg(primary->getLabel());
    m_statusScene->setText(text);
    const bool hasFigure = m_document->selectedFigure() != nullptr;
    studioAction(QStringLiteral("actionDeleteFigure"))->setEnabled(hasFigure);
    studioAction(QStringLiteral("actionSelectFigure"))->setEnabled(hasFigure);
    studioAction(QStringLiteral("actionImportMotion"))->setEnabled(hasFigure);
    studioAction(QStringLiteral("actionExportMotion"))->setEnabled(hasFigure);
}

// --- files ---------------------------------------------------------------------

bool StudioWindow::maybeSave()
{
    if (!m_document->isModified())
        return true;
    const StudioPrompt::Answer answer = StudioPrompt::ask(this, StudioPrompt::UnsavedChanges,
        QStringLiteral("The scene \"%1\" has unsaved changes.\nDo you want to save them?")
            .arg(m_document->displayName()));
    if (answer == StudioPrompt::Save)
        return saveScene();
    return answer == StudioPrompt::Discard;
}

bool StudioWindow::newScene()
{
    if (!maybeSave())
        return false;
    QString error;
    const bool ok = m_document->newScene(&error);
    if (!ok)
        StudioPrompt::warning(this, error + QStringLiteral("\n\nThe new scene is empty."));
    statusBar()->showMessage(QStringLiteral("New scene"), 3000);
    return ok;
}

bool StudioWindow::openScene(const QString &requested)
{
    if (!maybeSave())
        return false;
    QString path = requested;
    if (path.isEmpty()) {
        path = StudioPrompt::openFileName(this, QStringLiteral("Open Scene"), StudioSettings::lastDirectory(),
            StudioDocument::fileFilter());
        if (path.isEmpty())
            return false;
    }
    QString error;
    if (!m_document->open(path, &error)) {
        StudioPrompt::error(this, error + QStringLiteral("\n\nThe open scene was left as it was."));
        if (!QFileInfo::exists(path)) {
            RecentFiles::remove(path);
            refreshRecentMenu();
        }
        return false;
    }
    rememberFile(path);
    statusBar()->showMessage(QStringLiteral("Opened %1").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

bool StudioWindow::saveScene()
{
    if (m_document->filePath().isEmpty())
        return saveSceneAs();
    QString error;
    if (!m_document->save(QString(), &error)) {
        StudioPrompt::error(this, error);
        return false;
    }
    rememberFile(m_document->filePath());
    statusBar()->showMessage(
        QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(m_document->filePath())), 5000);
    return true;
}

bool StudioWindow::saveSceneAs(const QString &requested)
{
    QString path = requested;
    if (path.isEmpty()) {
        const QString suggested = m_document->filePath().isEmpty()
            ? QDir(StudioSettings::lastDirectory())
                  .filePath(QStringLiteral("Untitled.") + StudioDocument::fileSuffix())
            : m_document->filePath();
        path = StudioPrompt::saveFileName(
            this, QStringLiteral("Save Scene As"), suggested, StudioDocument::fileFilter());
        if (path.isEmpty())
            return false;
        if (QFileInfo(path).suffix().isEmpty())
            path += QLatin1Char('.') + StudioDocument::fileSuffix();
    }
    QString error;
    if (!m_document->save(path, &error)) {
        StudioPrompt::error(this, error);
        return false;
    }
    rememberFile(m_document->filePath());
    statusBar()->showMessage(
        QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(m_document->filePath())), 5000);
    return true;
}

void StudioWindow::closeEvent(QCloseEvent *event)
{
    if (!maybeSave()) {
        event->ignore();
        return;
    }
    if (dzScene)
        dzScene->pause();
    if (m_persist)
        saveSettings();
    DzMainWindow::closeEvent(event);
}
