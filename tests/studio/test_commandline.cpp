// Command-line parsing and the display check made before Qt starts.
#include "studiocommandline.h"

#include <gtest/gtest.h>

#include <QHash>

TEST(CommandLine, ReadsSceneOptionsAndFlagsAndRefusesBadArguments)
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
    ASSERT_TRUE(StudioCommandLine::parse({ "--", "--odd-name.trelvo" }, &o, nullptr));
    EXPECT_EQ(o.scenePath, "--odd-name.trelvo") << "-- ends the options";
    ASSERT_TRUE(StudioCommandLine::parse({ "-h", "--version" }, &o, nullptr));
    EXPECT_TRUE(o.showHelp && o.showVersion);

    // Bad arguments and part of the reason given.
    const std::pair<QStringList, const char *> cases[]
        = { { { "--bogus" }, "unknown option" }, { { "--content" }, "needs a value" },
              { { "--content=" }, "needs a value" }, { { "a.trelvo", "b.trelvo" }, "only one scene" },
              { { "--screenshot", "a.png", "--screenshot", "b.png" }, "given twice" } };
    for (const auto &[args, reason] : cases) {
        o.scenePath = "untouched";
        EXPECT_FALSE(StudioCommandLine::parse(args, &o, &error)) << args.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString();
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
