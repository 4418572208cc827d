// Command-line parsing and the display check made before Qt starts.
#include "studiocommandline.h"

#include <gtest/gtest.h>

#include <QHash>

TEST(CommandLine, ReadsSceneOptionsAndFlags)
{
    StudioOptions o;
    QString error;
    ASSERT_TRUE(StudioCommandLine::parse(
        { "walk.trelvo", "--content", "/c", "--plugin-dir=/p", "--screenshot", "out.png" }, &o, &error))
        << error.toStdString();
    EXPECT_EQ(o.scenePath, "walk.trelvo");
    EXPECT_EQ(o.contentDir, "/c");
    EXPECT_EQ(o.pluginDir, "/p");
    EXPECT_EQ(o.screenshotPath, "out.png");
    EXPECT_FALSE(o.showHelp || o.showVersion);
    ASSERT_TRUE(StudioCommandLine::parse({ "--", "--odd-name.trelvo" }, &o, nullptr));
    EXPECT_EQ(o.scenePath, "--odd-name.trelvo") << "-- ends the options";
    ASSERT_TRUE(StudioCommandLine::parse({ "-h", "--version" }, &o, nullptr));
    EXPECT_TRUE(o.showHelp && o.showVersion);
}

TEST(CommandLine, RefusesBadArguments)
{
    struct Case {
        QStringList args;
        const char *reasonContains;
    };
    const Case cases[] = { { { "--bogus" }, "unknown option" }, { { "--content" }, "needs a value" },
        { { "--content=" }, "needs a value" }, { { "a.trelvo", "b.trelvo" }, "only one scene" },
        { { "--screenshot", "a.png", "--screenshot", "b.png" }, "given twice" } };
    for (const Case &c : cases) {
        StudioOptions o;
        o.scenePath = "untouched";
        QString error;
        EXPECT_FALSE(StudioCommandLine::parse(c.args, &o, &error)) << c.args.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reasonContains))) << error.toStdString();
        EXPECT_EQ(o.scenePath, "untouched") << "options must stay as they were on failure";
    }
}

TEST(DisplayCheck, NeedsDisplayWaylandOrForcedPlatform)
{
    auto check = [](QHash<QString, QString> env) {
        return StudioCommandLine::displayProblem(
            [env](const char *name) { return env.value(QLatin1String(name)); });
    };
    EXPECT_TRUE(check({}).contains("xvfb-run"));
    EXPECT_TRUE(check({ { "DISPLAY", ":0" } }).isEmpty());
    EXPECT_TRUE(check({ { "WAYLAND_DISPLAY", "wayland-0" } }).isEmpty());
    EXPECT_TRUE(check({ { "QT_QPA_PLATFORM", "offscreen" } }).isEmpty());
}
