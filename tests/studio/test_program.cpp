// The trelvo-studio program itself, run as a user runs it.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <set>

namespace {

const QString kProgram = QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-studio");

struct StudioRun {
    int exitCode = -1;
    QString out, err;
};

StudioRun runStudio(const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    StudioRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TRELVO_SETTINGS_DIR", tmp.filePath("settings"));
        env.insert("TRELVO_CONTENT", TRELVO_CONTENT_DIR);
        env.remove("TRELVO_PLUGIN_DIR");
    }
    QTemporaryDir tmp;
    QProcessEnvironment env;
};

} // namespace

TEST_F(ProgramTest, ScreenshotIsAPictureOfTheWholeWindow)
{
    const QString png = tmp.filePath("shot.png");
    const StudioRun r = runStudio({ "--screenshot", png }, env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Problems are reported as "trelvo-studio: ..." lines; the plug-in loads
    // without any.
    EXPECT_FALSE(r.err.contains("trelvo-studio:")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Loaded plug-in Trelvo")) << r.err.toStdString();
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1280, 800));
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 50u) << "a real window, not a blank image";
}

TEST_F(ProgramTest, OpensTheSceneGivenOnTheCommandLine)
{
    // A scene that cannot be read still gives a working studio (with the
    // reason on stderr) and a screenshot, but a script learns of it.
    const QString png = tmp.filePath("shot.png");
    const StudioRun r = runStudio({ tmp.filePath("missing.trelvo"), "--screenshot", png }, env);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("missing.trelvo")) << r.err.toStdString();
    EXPECT_FALSE(QImage(png).isNull());
}

TEST_F(ProgramTest, WithoutADisplayItSaysHowToRunIt)
{
    QProcessEnvironment bare = env;
    bare.remove("QT_QPA_PLATFORM");
    bare.remove("DISPLAY");
    bare.remove("WAYLAND_DISPLAY");
    const StudioRun r = runStudio({}, bare);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("xvfb-run")) << r.err.toStdString();
}

TEST_F(ProgramTest, CommandLineErrorsAndHelp)
{
    StudioRun r = runStudio({ "--frobnicate" }, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--frobnicate"));
    r = runStudio({ "--help" }, env);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("--screenshot"));
}

TEST_F(ProgramTest, BadPluginFolderIsReportedAndTheStudioStillStarts)
{
    const QString png = tmp.filePath("shot.png");
    const StudioRun r = runStudio({ "--plugin-dir", tmp.filePath("nowhere"), "--screenshot", png }, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("does not exist")) << r.err.toStdString();
    EXPECT_FALSE(QImage(png).isNull());
}

TEST_F(ProgramTest, UnwritableScreenshotFails)
{
    const StudioRun r = runStudio({ "--screenshot", tmp.filePath("no/such/dir/shot.png") }, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot write the screenshot")) << r.err.toStdString();
}
