// The studio window as a user meets it: start-up with the real plug-in,
// scene files, figures, hand edits with undo, unsaved changes, rendering,
// motion files and settings.
#include "dzactionmgr.h"
#include "dzappsettings.h"
#include "dzbone.h"
#include "dzcontentmgr.h"
#include "dzpane.h"
#include "dzpaneaction.h"
#include "dzpanemgr.h"
#include "dzrendermgr.h"
#include "dzscenedata.h"
#include "motionimportdialog.h"
#include "parameterspanel.h"
#include "propertyeditor.h"
#include "propertyrow.h"
#include "recentfiles.h"
#include "scenecommands.h"
#include "sceneoutline.h"
#include "studiodocument.h"
#include "studiohelp.h"
#include "studiotestsupport.h"
#include "studioviewport.h"
#include "studiowindow.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <memory>

using testing::HasSubstr;

namespace {

class StudioWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        window = std::make_unique<StudioWindow>();
        window->setPersistSettings(false);
        ASSERT_TRUE(window->document()->newScene());
    }
    void TearDown() override { window.reset(); }

    DzSkeleton *figure() const { return qobject_cast<DzSkeleton *>(dzScene->findNode("StandardFigure")); }
    DzFloatProperty *smile() const { return smileOf(figure()); }
    QString path(const QString &name) const { return tmp.filePath(name); }

    HostFixture host;
    PromptRecorder prompts;
    QTemporaryDir tmp;
    std::unique_ptr<StudioWindow> window;
};

} // namespace

TEST_F(StudioWindowTest, InstallsWhateverAPluginDefinitionOffers)
{
    window->loadPlugins(QStringLiteral(STUDIO_SAMPLE_DIR), QString());
    ASSERT_TRUE(window->startupProblems().isEmpty()) << window->startupProblems().join('\n').toStdString();
    EXPECT_TRUE(window->plugins().notes().join('\n').contains("libhelper.so is not a plug-in"))
        << "libraries without the entry points are passed over quietly";

    DzPane *pane = window->getPaneMgr()->findPane("SamplePane");
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(window->dockWidgetArea(window->getPaneMgr()->getDock(pane)), Qt::BottomDockWidgetArea)
        << "the first pane goes under the viewport";

    DzAction *paneAction = window->getActionMgr()->findAction("SamplePaneAction");
    ASSERT_NE(paneAction, nullptr);
    EXPECT_TRUE(window->menuNamed("Window")->actions().contains(paneAction));
    paneAction->trigger();
    EXPECT_FALSE(window->getPaneMgr()->isPaneShown(pane));
    window->resetLayout();
    EXPECT_TRUE(window->getPaneMgr()->isPaneShown(pane)) << "Reset Layout brings the pane back";

    QMenu *own = window->menuNamed("Sample");
    ASSERT_NE(own, nullptr);
    DzAction *grouped = window->getActionMgr()->findAction("SampleGroupedAction");
    EXPECT_TRUE(own->actions().contains(window->getActionMgr()->findAction("SampleAction")));
    const QList<QAction *> items = own->actions();
    EXPECT_TRUE(std::any_of(items.begin(), items.end(), [grouped](QAction *a) {
        return a->menu() && a->menu()->actions().contains(grouped);
    })) << "actions of a group share a submenu";

    const std::unique_ptr<QObject> data(dzApp->createInstance(QStringLiteral("SampleData")));
    EXPECT_NE(qobject_cast<DzSceneData *>(data.get()), nullptr) << "data classes can be made for scene files";
    EXPECT_THAT(StudioHelp::pluginsText(window->plugins(), {}).toStdString(), HasSubstr("Sample 1.2.0.3"));
}

TEST_F(StudioWindowTest, ReportsWhyAPluginCannotBeLoaded)
{
    // Finding the plug-in beside the program is the program test's.
    QDir().mkpath(path("fake"));
    QDir().mkpath(path("empty/bin"));
    QFile fake(path("fake/libtrelvo.so"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly) && fake.write("this is not a shared library") > 0);
    fake.close();
    const struct {
        QString dir, programDir;
        const char *problem;
    } cases[] = {
        { path("fake"), QString(), "Cannot load" },
        { QStringLiteral(STUDIO_BADSDK_DIR), QString(), "SDK version" },
        { QString(), path("empty/bin"), "--plugin-dir" },
    };
    for (const auto &c : cases) {
        StudioWindow w;
        w.setPersistSettings(false);
        w.loadPlugins(c.dir, c.programDir);
        ASSERT_EQ(w.startupProblems().size(), 1) << c.problem;
        EXPECT_THAT(w.startupProblems().first().toStdString(), HasSubstr(c.problem));
        EXPECT_TRUE(w.plugins().installed().isEmpty());
        EXPECT_TRUE(w.commands()->addStandardFigure()) << "the studio still works";
    }
}

TEST_F(StudioWindowTest, FiguresMenuAddsAndDeletesFigures)
{
    ASSERT_TRUE(window->commands()->addStandardFigure());
    auto *second = qobject_cast<DzSkeleton *>(dzScene->getPrimarySelection());
    ASSERT_NE(second, nullptr);
    EXPECT_FLOAT_EQ(second->getXPosControl()->getValue(), 80.0f) << "stands beside the first";

    ASSERT_TRUE(window->commands()->addFigureFromFile(TRELVO_CONTENT_DIR "/figures/large.json"));
    const int nodes = dzScene->getNumNodes();

    EXPECT_FALSE(window->commands()->addFigureFromFile(path("missing.json")));
    EXPECT_TRUE(prompts.lastText().contains("missing.json"));
    EXPECT_EQ(dzScene->getNumNodes(), nodes) << "nothing added on failure";

    // Deleting asks first; No keeps the figure.
    StudioViewport::selectOnly(dzScene, second->findBone("lHand"));
    prompts.answers = { StudioPrompt::No };
    EXPECT_FALSE(window->commands()->deleteSelectedFigure());
    EXPECT_EQ(second->getScene(), dzScene);
    prompts.answers = { StudioPrompt::Yes };
    EXPECT_TRUE(window->commands()->deleteSelectedFigure());
    EXPECT_EQ(dzScene->getNumNodes(), nodes - 54) << "the figure and its 53 bones";
    EXPECT_EQ(dzScene->getPrimarySelection(), nullptr);
    EXPECT_FALSE(window->commands()->deleteSelectedFigure()) << "nothing selected";

    // Without content a new scene is empty but usable.
    ASSERT_TRUE(dzApp->getContentMgr()->setContentDirectory(tmp.path()));
    QString error;
    EXPECT_FALSE(window->document()->newScene(&error));
    EXPECT_THAT(error.toStdString(), HasSubstr("standard.json"));
    EXPECT_EQ(dzScene->getNumNodes(), 0);
    dzApp->getContentMgr()->resetContentDirectory();
}

TEST_F(StudioWindowTest, SaveAndOpenKeepPoseKeysAndSelectionAndRefuseDamagedFiles)
{
    DzBone *forearm = figure()->findBone("lForeArm");
    forearm->getZRotControl()->setValue(0, 10.0f);
    forearm->getZRotControl()->setValue(960, 75.0f);
    smile()->setValue(480, 0.7f);
    dzScene->setPlayRange(DzTimeRange(160, 3200));
    StudioViewport::selectOnly(dzScene, forearm);

    const QString file = path("posed.trelvo");
    ASSERT_TRUE(window->saveSceneAs(file)) << prompts.lastText().toStdString();
    EXPECT_FALSE(dzScene->isModified());
    EXPECT_TRUE(window->windowTitle().startsWith("posed.trelvo"));
    EXPECT_EQ(RecentFiles::files().value(0), file);
    ASSERT_TRUE(window->newScene());
    ASSERT_TRUE(window->openScene(file)) << prompts.lastText().toStdString();

    ASSERT_NE(figure(), nullptr);
    DzBone *loadedArm = figure()->findBone("lForeArm");
    EXPECT_FLOAT_EQ(loadedArm->getZRotControl()->getValue(480), 42.5f);
    EXPECT_FLOAT_EQ(smile()->getValue(480), 0.7f);
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(160, 3200));
    EXPECT_EQ(dzScene->getPrimarySelection(), loadedArm);
    EXPECT_FALSE(dzScene->isModified());

    // A cut or missing file is refused; the open scene, changed since, stays.
    QFile cut(path("cut.trelvo")); // the host tests every kind of damage
    ASSERT_TRUE(QFile::copy(file, cut.fileName()) && cut.resize(QFileInfo(file).size() / 2));
    loadedArm->getYRotControl()->setValue(0, 33.0f);
    const QList<DzNode *> nodes = dzScene->getNodeList();
    for (const QString &bad : { cut.fileName(), path("missing.trelvo") }) {
        prompts.answers = { StudioPrompt::Discard };
        EXPECT_FALSE(window->openScene(bad));
        EXPECT_EQ(prompts.shown.last().kind, StudioPrompt::Error);
        EXPECT_THAT(prompts.lastText().toStdString(), HasSubstr(QFileInfo(bad).fileName().toStdString()));
        EXPECT_EQ(dzScene->getNodeList(), nodes);
        EXPECT_TRUE(dzScene->isModified());
        EXPECT_EQ(window->document()->filePath(), file);
    }
}

TEST_F(StudioWindowTest, HandEditsAndKeysInTheParametersPanelUndo)
{
    DzBone *forearm = figure()->findBone("lForeArm");
    DzFloatProperty *bend = forearm->getZRotControl();
    StudioViewport::selectOnly(dzScene, forearm);
    ASSERT_EQ(window->parameters()->node(), forearm);
    PropertyRow *row = window->parameters()->rowFor(bend);
    ASSERT_NE(row, nullptr);
    QAction *undo = window->studioAction("actionUndo");

    row->spinBox()->setValue(33.0);
    EXPECT_FLOAT_EQ(bend->getValue(), 33.0f);
    EXPECT_EQ(undo->text(), "&Undo Change Left Forearm Z Rotate");
    undo->trigger();
    EXPECT_DOUBLE_EQ(row->spinBox()->value(), 0.0) << "the panel follows the undo";

    // A slider drag is one step however far it goes.
    row->slider()->setSliderDown(true);
    for (int v : { 600, 650, 700, 750 })
        row->slider()->setValue(v);
    row->slider()->setSliderDown(false);
    EXPECT_EQ(DzUndoStack::instance()->getNumUndoSteps(), 1);
    EXPECT_NEAR(bend->getValue(), -180.0 + 360.0 * 0.75, 1e-3);

    // The key button and Set Key work at the current frame.
    DzBone *shin = figure()->findBone("rShin");
    StudioViewport::selectOnly(dzScene, shin);
    dzScene->setTime(10 * 160);
    row = window->parameters()->rowFor(shin->getXRotControl());
    ASSERT_NE(row, nullptr);
    row->keyButton()->click();
    EXPECT_EQ(shin->getXRotControl()->findKeyIndex(1600), 0);
    EXPECT_EQ(row->keyButton()->text(), QString(QChar(0x25c6))) << "a filled diamond marks the key";
    dzScene->setTime(0);
    EXPECT_EQ(row->keyButton()->text(), QString(QChar(0x25c7))) << "animated, no key here";
    window->studioAction("actionSetKey")->trigger();
    EXPECT_EQ(shin->getZRotControl()->findKeyIndex(0), 0);
    window->studioAction("actionDeleteKey")->trigger();
    EXPECT_EQ(shin->getZRotControl()->findKeyIndex(0), -1);
    EXPECT_EQ(shin->getXRotControl()->findKeyIndex(1600), 0) << "other frames keep their keys";
}

TEST_F(StudioWindowTest, UnsavedChangesArePromptedBeforeTheyAreLost)
{
    DzSkeleton *fig = figure();
    ASSERT_TRUE(PropertyEditor::setValue(fig->getYRotControl(), 0, 45.0f, false)); // an undo step
    ASSERT_TRUE(dzScene->isModified());

    prompts.answers = { StudioPrompt::Cancel };
    EXPECT_FALSE(window->newScene());
    EXPECT_EQ(prompts.shown.last().kind, StudioPrompt::UnsavedChanges);
    EXPECT_EQ(figure(), fig) << "cancel keeps the scene";

    // Save on a scene without a file asks for one.
    prompts.answers = { StudioPrompt::Save };
    prompts.nextFile = path("kept.trelvo");
    EXPECT_TRUE(window->newScene());
    EXPECT_TRUE(QFile::exists(path("kept.trelvo")));
    EXPECT_NE(figure(), fig);
    EXPECT_FALSE(dzScene->isModified());
    EXPECT_EQ(DzUndoStack::instance()->getNumUndoSteps(), 0) << "a new scene starts a new history";

    figure()->getYRotControl()->setValue(10.0f);
    prompts.answers = { StudioPrompt::Discard };
    EXPECT_TRUE(window->openScene(path("kept.trelvo")));
    EXPECT_FLOAT_EQ(figure()->getYRotControl()->getValue(), 45.0f);

    figure()->getYRotControl()->setValue(11.0f);
    window->show();
    prompts.answers = { StudioPrompt::Cancel };
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible()) << "closing with cancel keeps the window";
    prompts.answers = { StudioPrompt::Discard };
    EXPECT_TRUE(window->close());
}

TEST_F(StudioWindowTest, SceneOutlineFollowsAndDrivesTheSelection)
{
    SceneOutline *outline = window->outline();
    QCoreApplication::processEvents(); // the outline rebuilds once per batch
    DzBone *knee = figure()->findBone("lShin");
    QTreeWidgetItem *item = outline->itemFor(knee);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(outline->itemFor(figure())->parent(), nullptr) << "figures are top-level";
    StudioViewport::selectOnly(dzScene, knee);
    EXPECT_EQ(outline->currentItem(), item);
    emit outline->itemClicked(outline->itemFor(figure()), 0);
    EXPECT_EQ(dzScene->getPrimarySelection(), figure());
    // Deleting the figure leaves no item that still names its nodes.
    prompts.answers = { StudioPrompt::Yes };
    ASSERT_TRUE(window->commands()->deleteSelectedFigure());
    EXPECT_EQ(outline->nodeFor(item), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(outline->topLevelItemCount(), 0);
}

TEST_F(StudioWindowTest, SaveImageGoesThroughTheRenderManager)
{
    window->resize(1000, 700);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QSignalSpy finished(dzApp->getRenderMgr(), &DzRenderMgr::renderFinished);
    ASSERT_TRUE(window->commands()->saveImage(path("render.png"))) << prompts.lastText().toStdString();
    EXPECT_EQ(QImage(path("render.png")).size(), window->viewport()->size());
    EXPECT_FALSE(window->commands()->saveImage(path("no/such/folder/render.png")));
    ASSERT_EQ(finished.count(), 2);
    EXPECT_TRUE(finished.first().first().toBool());
    EXPECT_FALSE(finished.last().first().toBool());
    EXPECT_EQ(prompts.shown.last().kind, StudioPrompt::Error);
}

TEST_F(StudioWindowTest, MotionExportAndImportThroughTheFileMenu)
{
    DzFloatProperty *bend = figure()->findBone("lShldr")->getZRotControl();
    bend->setValue(0, 0.0f);
    bend->setValue(4800, -60.0f);
    const QString bvh = path("wave.bvh");
    ASSERT_TRUE(window->commands()->exportMotion(bvh)) << prompts.lastText().toStdString();
    prompts.answers = { StudioPrompt::Discard };
    ASSERT_TRUE(window->newScene());
    ASSERT_TRUE(window->commands()->importMotion(bvh)) << prompts.lastText().toStdString();
    DzUndoStack *undo = DzUndoStack::instance();
    EXPECT_EQ(undo->getNumUndoSteps(), 1);
    EXPECT_EQ(undo->getUndoCaption(), "Import Motion");
    // The file's first frame is read as a rest pose and left out, so the
    // take starts a frame later: -32 degrees halfway.
    DzFloatProperty *shoulder = figure()->findBone("lShldr")->getZRotControl();
    EXPECT_NEAR(shoulder->getValue(2400), -32.0f, 1e-2f);
    ASSERT_TRUE(undo->undo());
    EXPECT_FALSE(shoulder->isKeyed());

    // From the menu, through the dialog: cancelled, nothing is keyed; at
    // 15 fps the 30 frames after the rest pose last 29/15 s, 59 frames.
    prompts.nextFile = bvh;
    const auto previous = MotionImportDialog::setRunner([](MotionImportDialog &) { return false; });
    EXPECT_FALSE(window->commands()->importMotion());
    EXPECT_FALSE(shoulder->isKeyed());
    MotionImportDialog::setRunner([](MotionImportDialog &dialog) {
        dialog.setFramesPerSecond(15.0);
        return dialog.canImport();
    });
    EXPECT_TRUE(window->commands()->importMotion()) << prompts.lastText().toStdString();
    MotionImportDialog::setRunner(previous);
    EXPECT_EQ(shoulder->getNumKeys(), 59);
    EXPECT_FALSE(window->commands()->importMotion(path("missing.bvh")));
    EXPECT_EQ(prompts.shown.last().kind, StudioPrompt::Error);
    EXPECT_EQ(undo->getNumUndoSteps(), 1) << "a refused import leaves no step";
}

TEST_F(StudioWindowTest, SettingsPersistAcrossSessions)
{
    {
        StudioWindow first;
        first.parameters()->setAutoKey(true);
        first.resize(1010, 707);
        first.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
        ASSERT_TRUE(first.close());
    }
    StudioWindow second;
    EXPECT_TRUE(second.studioAction("actionAutoKey")->isChecked()) << "auto-key, and the action showing it";
    EXPECT_EQ(second.size(), QSize(1010, 707));
    DzAppSettings settings("Studio");
    settings.setBoolValue("autoKey", false);
    settings.removeValue("geometry");
}

TEST(RecentFiles, NewestFirstWithoutDuplicatesAndBounded)
{
    RecentFiles::clear();
    for (int i = 0; i < RecentFiles::kMaxFiles + 3; ++i)
        RecentFiles::add(QStringLiteral("/scenes/s%1.trelvo").arg(i % (RecentFiles::kMaxFiles + 1)));
    const QStringList files = RecentFiles::files();
    ASSERT_EQ(files.size(), RecentFiles::kMaxFiles);
    EXPECT_EQ(files.first(), "/scenes/s1.trelvo");
    EXPECT_EQ(files.count("/scenes/s1.trelvo"), 1);
    RecentFiles::remove("/scenes/s1.trelvo");
    EXPECT_FALSE(RecentFiles::files().contains("/scenes/s1.trelvo"));
    RecentFiles::clear();
}
