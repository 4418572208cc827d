// The trelvo-studio program itself, run as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <set>

using testing::HasSubstr;

TEST(Program, ProblemsGiveHonestExitCodesAndReasons)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TRELVO_SETTINGS_DIR", tmp.filePath("settings"));
    env.insert("TRELVO_CONTENT", TRELVO_CONTENT_DIR);
    env.remove("TRELVO_PLUGIN_DIR");
    QProcessEnvironment bare = env;
    for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        bare.remove(name);
    const QString png = tmp.filePath("shot.png");
    const struct {
        QStringList args;
        bool noDisplay;
        int exitCode;
        const char *says; // on stderr, or on stdout for --help
        bool screenshot; // the studio still started and took it
    } cases[] = {
        // Problems are "trelvo-studio: ..." lines; the plug-in loads without any.
        { { "--screenshot", png }, false, 0, "Loaded plug-in Trelvo", true },
        // A scene that cannot be read still gives a working studio, but a script learns of it.
        { { tmp.filePath("missing.trelvo"), "--screenshot", png }, false, 1, "missing.trelvo", true },
        { { "--plugin-dir", tmp.filePath("nowhere"), "--screenshot", png }, false, 0, "does not exist",
            true },
        { { "--screenshot", tmp.filePath("no/such/dir/shot.png") }, false, 1, "cannot write the screenshot",
            false },
        { {}, true, 1, "xvfb-run", false },
        { { "--frobnicate" }, false, 2, "--frobnicate", false },
        { { "--help" }, false, 0, "--screenshot", false },
    };
    for (const auto &c : cases) {
        QFile::remove(png);
        QProcess run;
        run.setProcessEnvironment(c.noDisplay ? bare : env);
        run.start(QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-studio"), c.args);
        const bool finished = run.waitForFinished(120000);
        run.kill();
        const QString what = c.args.join(' ');
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        ASSERT_TRUE(finished && run.exitStatus() == QProcess::NormalExit) << what.toStdString();
        EXPECT_EQ(run.exitCode(), c.exitCode) << what.toStdString() << "\n" << err.toStdString();
        EXPECT_THAT((err + run.readAllStandardOutput()).toStdString(), HasSubstr(c.says))
            << what.toStdString();
        const QImage image(png);
        EXPECT_EQ(!image.isNull(), c.screenshot) << what.toStdString();
        if (c.exitCode == 0 && c.screenshot && c.args.size() == 2) {
            EXPECT_FALSE(err.contains("trelvo-studio:")) << err.toStdString();
            EXPECT_EQ(image.size(), QSize(1280, 800));
            std::set<QRgb> colours; // a real window, not a blank image
            for (int y = 0; y < image.height(); y += 7)
                for (int x = 0; x < image.width(); x += 7)
                    colours.insert(image.pixel(x, y));
            EXPECT_GT(colours.size(), 50u);
        }
    }
}
