// The trelvo-studio program itself, run as a user runs it.
#include <gtest/gtest.h>

#include <QFile>
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

TEST_F(ProgramTest, ProblemsGiveHonestExitCodesAndReasons)
{
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
        const StudioRun r = runStudio(c.args, c.noDisplay ? bare : env);
        const QString what = c.args.join(' ');
        EXPECT_EQ(r.exitCode, c.exitCode) << what.toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE((r.err + r.out).contains(c.says)) << what.toStdString() << "\n" << r.err.toStdString();
        const QImage image(png);
        EXPECT_EQ(!image.isNull(), c.screenshot) << what.toStdString();
        if (c.exitCode == 0 && c.screenshot && c.args.size() == 2) {
            EXPECT_FALSE(r.err.contains("trelvo-studio:")) << r.err.toStdString();
            EXPECT_EQ(image.size(), QSize(1280, 800));
            std::set<QRgb> colours; // a real window, not a blank image
            for (int y = 0; y < image.height(); y += 7)
                for (int x = 0; x < image.width(); x += 7)
                    colours.insert(image.pixel(x, y));
            EXPECT_GT(colours.size(), 50u);
        }
    }
}
