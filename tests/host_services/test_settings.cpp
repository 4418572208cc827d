// Application settings (paths, types, persistence in the redirected folder)
// and pane settings with their persistence through the pane manager.
#include "dzappsettings.h"
#include "dzmainwindow.h"
#include "dzpane.h"
#include "dzpanemgr.h"
#include "dzpanesettings.h"
#include "servicestestsupport.h"

#include <QSettings>

namespace {

// A pane with a few options, as a plug-in pane keeps them.
class OptionsPane : public DzPane {
    Q_OBJECT
public:
    OptionsPane() : DzPane(QStringLiteral("Options")) { }
    bool m_skimming = true;
    int m_flags = 13;
    double m_speed = 1.0;
    QString m_folder;
    bool m_writeFolder = true;

    void saveSettings(DzPaneSettings &s) override
    {
        s.setBoolValue(QStringLiteral("mDoSkimming"), m_skimming);
        s.setIntValue(QStringLiteral("mDefaultFlags0"), m_flags);
        s.setFloatValue(QStringLiteral("speed"), m_speed);
        if (m_writeFolder)
            s.setStringValue(QStringLiteral("folder"), m_folder);
    }
    void restoreSettings(const DzPaneSettings &s) override
    {
        m_skimming = s.getBoolValue(QStringLiteral("mDoSkimming"), true);
        m_flags = s.getIntValue(QStringLiteral("mDefaultFlags0"), 13);
        m_speed = s.getFloatValue(QStringLiteral("speed"), 1.0);
        m_folder = s.getStringValue(QStringLiteral("folder"), QStringLiteral("none"));
    }
};

} // namespace

using AppSettings = ServicesTest;

TEST_F(AppSettings, PushAndPopPathsNestInTheRedirectedFile)
{
    DzAppSettings s;
    s.pushPath(QStringLiteral("Trelvo"));
    s.setStringValue(QStringLiteral("root0"), QStringLiteral("/a"));
    s.pushPath(QStringLiteral("/Inner//Deeper/"));
    EXPECT_EQ(s.getCurrentPath(), QStringLiteral("Trelvo/Inner/Deeper"));
    s.setIntValue(QStringLiteral("n"), 7);
    EXPECT_TRUE(s.popPath());
    EXPECT_EQ(s.getCurrentPath(), QStringLiteral("Trelvo"));
    EXPECT_EQ(s.getStringValue(QStringLiteral("root0")), QStringLiteral("/a"));
    EXPECT_FALSE(s.hasValue(QStringLiteral("n")));
    EXPECT_TRUE(s.popPath());
    EXPECT_FALSE(s.popPath());
    EXPECT_EQ(s.getCurrentPath(), QString());
    EXPECT_EQ(s.getIntValue(QStringLiteral("Trelvo/Inner/Deeper/n")), 7);

    DzAppSettings fresh(QStringLiteral("Trelvo"));
    EXPECT_EQ(fresh.getKeys(), QStringList { QStringLiteral("root0") });
    EXPECT_EQ(DzAppSettings::settingsFilePath(), m_dir.filePath(QStringLiteral("trelvo.ini")));
}

TEST_F(AppSettings, TypedValuesDefaultsAndRemoval)
{
    {
        DzAppSettings s(QStringLiteral("Types"));
        s.setBoolValue(QStringLiteral("b"), true);
        s.setIntValue(QStringLiteral("i"), -42);
        s.setFloatValue(QStringLiteral("f"), 0.1);
        s.setStringValue(QStringLiteral("s"), QStringLiteral("a, b = c; \u00e9"));
        s.setStringValue(QStringLiteral("junk"), QStringLiteral("abc"));
    }
    DzAppSettings s(QStringLiteral("Types"));
    s.sync();
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("b")));
    EXPECT_EQ(s.getIntValue(QStringLiteral("i")), -42);
    EXPECT_EQ(s.getFloatValue(QStringLiteral("f")), 0.1);
    EXPECT_EQ(s.getStringValue(QStringLiteral("s")), QStringLiteral("a, b = c; \u00e9"));
    // Values that do not convert, and missing keys, give the default.
    EXPECT_EQ(s.getIntValue(QStringLiteral("junk"), 5), 5);
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("junk"), true));
    EXPECT_EQ(s.getFloatValue(QStringLiteral("junk"), 2.5), 2.5);
    s.removeValue(QStringLiteral("i"));
    EXPECT_EQ(s.getIntValue(QStringLiteral("i"), 3), 3);
    s.removeAllValues();
    EXPECT_TRUE(s.getKeys().isEmpty());
}

TEST(PaneSettings, ConvertsTextBackToTypes)
{
    DzPaneSettings s;
    s.setStringValue(QStringLiteral("b"), QStringLiteral("false"));
    s.setStringValue(QStringLiteral("i"), QStringLiteral(" 12 "));
    s.setStringValue(QStringLiteral("f"), QStringLiteral("2.5"));
    s.setStringValue(QStringLiteral("bad"), QStringLiteral("twelve"));
    EXPECT_FALSE(s.getBoolValue(QStringLiteral("b"), true));
    EXPECT_EQ(s.getIntValue(QStringLiteral("i")), 12);
    EXPECT_EQ(s.getFloatValue(QStringLiteral("f")), 2.5);
    EXPECT_EQ(s.getIntValue(QStringLiteral("bad"), 4), 4);
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("bad"), true));
}

using PanePersistence = ServicesTest;

TEST_F(PanePersistence, SavesAndRestoresThroughTheAppSettings)
{
    DzMainWindow window;
    auto *pane = new OptionsPane;
    ASSERT_TRUE(window.getPaneMgr()->addPane(pane));

    // Nothing stored yet: the pane's own defaults.
    pane->m_skimming = false;
    window.getPaneMgr()->restorePaneSettings(pane);
    EXPECT_TRUE(pane->m_skimming);
    EXPECT_EQ(pane->m_flags, 13);
    EXPECT_EQ(pane->m_folder, QStringLiteral("none"));

    pane->m_skimming = false;
    pane->m_flags = 5;
    pane->m_speed = 0.75;
    pane->m_folder = QStringLiteral("/blocks, dance");
    window.getPaneMgr()->saveAllPaneSettings();

    pane->m_skimming = true;
    pane->m_flags = 0;
    pane->m_speed = 0;
    pane->m_folder.clear();
    window.getPaneMgr()->restoreAllPaneSettings();
    EXPECT_FALSE(pane->m_skimming);
    EXPECT_EQ(pane->m_flags, 5);
    EXPECT_EQ(pane->m_speed, 0.75);
    EXPECT_EQ(pane->m_folder, QStringLiteral("/blocks, dance"));

    // A key the pane stops writing does not come back.
    pane->m_writeFolder = false;
    window.getPaneMgr()->savePaneSettings(pane);
    window.getPaneMgr()->restorePaneSettings(pane);
    EXPECT_EQ(pane->m_folder, QStringLiteral("none"));

    // Closing the window saves the panes' settings.
    pane->m_flags = 9;
    window.close();
    EXPECT_EQ(DzAppSettings(QStringLiteral("PaneSettings/OptionsPane")).getIntValue(QStringLiteral("mDefaultFlags0")), 9);
}



#include "test_settings.moc"
