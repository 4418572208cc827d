// Application settings (paths, types, persistence in the redirected folder)
// and pane settings with their persistence through the pane manager.
#include "dzappsettings.h"
#include "dzmainwindow.h"
#include "dzpane.h"
#include "dzpanemgr.h"
#include "dzpanesettings.h"
#include "servicestestsupport.h"

namespace {

// A pane with a few options, as a plug-in pane keeps them.
class OptionsPane : public DzPane {
    Q_OBJECT
public:
    OptionsPane()
        : DzPane(QStringLiteral("Options"))
    {
    }
    bool m_skimming = true;
    int m_flags = 13;
    QString m_folder;
    bool m_writeFolder = true;

    void saveSettings(DzPaneSettings &s) override
    {
        s.setBoolValue("mDoSkimming", m_skimming);
        s.setIntValue("mDefaultFlags0", m_flags);
        if (m_writeFolder)
            s.setStringValue("folder", m_folder);
    }
    void restoreSettings(const DzPaneSettings &s) override
    {
        m_skimming = s.getBoolValue("mDoSkimming", true);
        m_flags = s.getIntValue("mDefaultFlags0", 13);
        m_folder = s.getStringValue("folder", "none");
    }
};

// Both stores read typed values back from text a user may have edited;
// text that does not convert gives the default.
template <typename Settings> void checkTextConversions(Settings &s)
{
    s.setStringValue("b", "false");
    s.setStringValue("i", " 12 ");
    s.setStringValue("f", "2.5");
    s.setStringValue("bad", "twelve");
    EXPECT_FALSE(s.getBoolValue("b", true));
    EXPECT_EQ(s.getIntValue("i"), 12);
    EXPECT_EQ(s.getFloatValue("f"), 2.5);
    EXPECT_EQ(s.getIntValue("bad", 4), 4);
    EXPECT_TRUE(s.getBoolValue("bad", true));
    EXPECT_EQ(s.getFloatValue("bad", 0.5), 0.5);
}

} // namespace

using AppSettings = ServicesTest;

TEST_F(AppSettings, PathsNestAndTypedValuesSurviveTheRedirectedFile)
{
    DzAppSettings s;
    s.pushPath("Trelvo");
    s.setStringValue("root0", "/a");
    s.pushPath("/Inner//Deeper/");
    EXPECT_EQ(s.getCurrentPath(), QStringLiteral("Trelvo/Inner/Deeper"));
    s.setIntValue("n", 7);
    EXPECT_TRUE(s.popPath());
    EXPECT_EQ(s.getCurrentPath(), QStringLiteral("Trelvo"));
    EXPECT_FALSE(s.hasValue("n"));
    EXPECT_TRUE(s.popPath());
    EXPECT_FALSE(s.popPath());
    EXPECT_EQ(s.getIntValue("Trelvo/Inner/Deeper/n"), 7);

    DzAppSettings fresh("Trelvo");
    EXPECT_EQ(fresh.getKeys(), QStringList { QStringLiteral("root0") });
    EXPECT_EQ(DzAppSettings::settingsFilePath(), m_dir.filePath(QStringLiteral("trelvo.ini")));

    // Typed values survive the file; text converts back to them.
    {
        DzAppSettings written("Types");
        written.setBoolValue("b", true);
        written.setIntValue("i", -42);
        written.setFloatValue("f", 0.1);
        written.setStringValue("s", QStringLiteral("a, b = c; \u00e9"));
    }
    DzAppSettings types("Types");
    EXPECT_TRUE(types.getBoolValue("b"));
    EXPECT_EQ(types.getIntValue("i"), -42);
    EXPECT_EQ(types.getFloatValue("f"), 0.1);
    EXPECT_EQ(types.getStringValue("s"), QStringLiteral("a, b = c; \u00e9"));
    types.removeValue("i");
    EXPECT_EQ(types.getIntValue("i", 3), 3);
    types.removeAllValues();
    EXPECT_TRUE(types.getKeys().isEmpty());

    checkTextConversions(types);
    DzPaneSettings pane;
    checkTextConversions(pane);
}

using PanePersistence = ServicesTest;

TEST_F(PanePersistence, SavesAndRestoresThroughTheAppSettings)
{
    DzMainWindow window;
    auto *pane = new OptionsPane;
    ASSERT_TRUE(window.getPaneMgr()->addPane(pane));
    pane->m_skimming = false;
    pane->m_flags = 5;
    pane->m_folder = QStringLiteral("/blocks, dance");
    window.getPaneMgr()->saveAllPaneSettings();

    pane->m_skimming = true;
    pane->m_flags = 0;
    pane->m_folder.clear();
    window.getPaneMgr()->restoreAllPaneSettings();
    EXPECT_FALSE(pane->m_skimming);
    EXPECT_EQ(pane->m_flags, 5);
    EXPECT_EQ(pane->m_folder, QStringLiteral("/blocks, dance"));

    // A key the pane stops writing does not come back.
    pane->m_writeFolder = false;
    window.getPaneMgr()->savePaneSettings(pane);
    window.getPaneMgr()->restorePaneSettings(pane);
    EXPECT_EQ(pane->m_folder, QStringLiteral("none"));

    // Closing the window saves the panes' settings.
    pane->m_flags = 9;
    window.close();
    EXPECT_EQ(DzAppSettings("PaneSettings/OptionsPane").getIntValue("mDefaultFlags0"), 9);
}

#include "test_settings.moc"
