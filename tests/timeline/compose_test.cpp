// trelvo-compose: recipes of real block files baked into frames, and the
// refusal of bad recipes.
#include "timelinetestsupport.h"

#include "composer.h"
#include "recipe.h"

#include "dzscene.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>

class Compose : public TimelineTest
{
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        // lFoot and rForeArm driven but unturned, so that heel and
        // rotational offsets show alone.
        makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000)
                                              .ramp(QStringLiteral("lShldr"), 20, 30, {0, 0, 1})
                                              .hold(QStringLiteral("lFoot"), 0, {1, 0, 0})
                                              .hold(QStringLiteral("rForeArm"), 0, {1, 0, 0}));
        makeBlock(QStringLiteral("turn"), turnY(90.0f, 500));
    }
    // Runs the composer on the recipe text; the frames of the output on success.
    int compose(const QByteArray &recipe, const QStringList &options = {}, QJsonObject *result = nullptr)
    {
        m_err.clear();
        const QString out = tempPath(QStringLiteral("out.json"));
        QFile::remove(out);
        QString outText;
        QTextStream outStream(&outText), errStream(&m_err);
        const QStringList args = QStringList{writeTemp(QStringLiteral("recipe.json"), recipe), "-o", out} + options;
        const int code = runCompose(args, outStream, errStream);
        if (result)
            *result = readOutput(out);
        return code;
    }
    static QJsonObject readOutput(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    // frames[i].bones[bone].euler[axis]
    static double euler(const QJsonArray &frames, int i, const char *bone, int axis)
    {
        const QJsonObject bones = frames[i].toObject()["bones"].toObject();
        return bones[QLatin1String(bone)].toObject()["euler"].toArray()[axis].toDouble();
    }
    static double hipPos(const QJsonArray &frames, int i, int axis)
    {
        return frames[i].toObject()["hipPos"].toArray()[axis].toDouble();
    }

    QString m_err;
};

TEST_F(Compose, BakesASmallRecipeIntoFrames)
{
    // walk (1000 ms) then walk again after a 500 ms gap: 2500 ms at 30 fps.
    QJsonObject result;
    ASSERT_EQ(compose(R"({"figure": "standard", "blocks": [{"file": "walk.kba"},
                         {"file": "walk.kba", "gap": 500, "flags": 1}]})", {}, &result), 0) << m_err.toStdString();
    EXPECT_EQ(result["fps"].toInt(), 30);
    const QJsonArray frames = result["frames"].toArray();
    ASSERT_EQ(frames.size(), 75); // ticks 0 … 11840 below 12000
    const QJsonObject bones = frames[0].toObject()["bones"].toObject(), hip = bones["hip"].toObject();
    EXPECT_EQ(std::tuple(frames[0].toObject()["tick"].toInt(), bones.size(), hip["order"].toString(),
                         hip["quat"].toArray().size(), hip["euler"].toArray().size()),
              std::tuple(0, 53, QString("YZX"), 4, 3));
    // Half-way through the first walk z is 50; in the gap the walk stays at
    // its end (100); the second walk carries on from there (flag 1).
    EXPECT_EQ(frames[15].toObject()["tick"].toInt(), 2400);
    EXPECT_NEAR(hipPos(frames, 15, 2), 50.0, 0.1);
    EXPECT_NEAR(hipPos(frames, 36, 2), 100.0, 0.1); // 1200 ms, in the gap
    EXPECT_NEAR(hipPos(frames, 60, 2), 150.0, 0.5); // 2000 ms, half-way through the second walk
    EXPECT_NEAR(std::fabs(euler(frames, 15, "lShldr", 2)), 25.0, 0.1);
    // The scene is as it was: no figure left, time settings back.
    EXPECT_EQ(std::tuple(dzScene->getNumNodes(), dzScene->getTimeStep()), std::tuple(0, 160));
}

TEST_F(Compose, AppliesFigureFpsOffsetsAndBlockFields)
{
    QJsonObject result;
    ASSERT_EQ(compose(R"({"figure": "large", "heelOffset": 30,
        "rotationalOffsets": {"rForeArm": [0, 0, 0.2588190, 0.9659258]},
        "blocks": [{"file": "walk.kba", "speed": 0.5, "mirror": false, "posOffset": [10, 0, 0],
                    "facingOffset": 0, "blendIn": 100, "internalBlend": 50, "inPoint": 0}]})",
                      {"--fps", "24"}, &result),
              0)
        << m_err.toStdString();
    const QJsonArray frames = result["frames"].toArray();
    // Half speed: 2000 ms at 24 fps = 48 frames, 200 ticks apart.
    ASSERT_EQ(frames.size(), 48);
    EXPECT_EQ(std::tuple(result["fps"].toInt(), frames[1].toObject()["tick"].toInt()), std::tuple(24, 200));
    // Scale 1.1: x offset 10 → 11, z 50 → 55 at half-way.
    EXPECT_NEAR(hipPos(frames, 24, 0), 11.0, 0.05);
    EXPECT_NEAR(hipPos(frames, 24, 2), 55.0, 0.2);
    EXPECT_NEAR(euler(frames, 0, "lFoot", 0), -30.0, 0.01);    // heel offset 30: the feet turn −30 about X
    EXPECT_NEAR(euler(frames, 0, "rForeArm", 2), 30.0, 0.01);  // the forearm offset: 30 degrees about Z
}

TEST_F(Compose, RefusesBadRecipesAndUsageNamingTheProblem)
{
    writeTemp(QStringLiteral("junk.kba"), "not a block at all");
    struct Case {
        const char *json;
        const char *message;
    } cases[] = {
        {"{\"blocks\": [{\"file\": \"missing.kba\"}]}", "block 1: cannot read"},
        {"{\"blocks\": [{\"file\": \"junk.kba\"}]}", "block 1: cannot read"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"sped\": 1}]}", "block 1: unknown field \"sped\""},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"speed\": \"fast\"}]}", "\"speed\" must be a number"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"speed\": 0}]}", "\"speed\" must lie between"},
        {"{\"blocks\": [{\"file\": \"walk.kba\"}, {\"file\": \"walk.kba\", \"gap\": -5}]}",
         "block 2: \"gap\" must lie between"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"flags\": 2}]}", "\"flags\" may only combine"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"inPoint\": 1.5}]}", "\"inPoint\" must be a whole number"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"inPoint\": 900, \"outPoint\": 800}]}",
         "\"outPoint\" must lie after"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"inPoint\": 2000}]}", "\"outPoint\" (1000) must lie after"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"posOffset\": [1, 2]}]}", "\"posOffset\" must be an array of 3"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"mirror\": 1}]}", "\"mirror\" must be true or false"},
        {"{\"blocks\": [{\"speed\": 1}]}", "\"file\" is missing"},
        {"{\"blocks\": {}}", "\"blocks\" must be an array"},
        {"{\"figure\": \"standard\"}", "\"blocks\" is missing"},
        {"{\"blocks\": [], \"heelOffset\": 75}", "\"heelOffset\" must lie between -60 and 60"},
        {"{\"blocks\": [], \"colour\": 1}", "unknown field \"colour\""},
        {"{\"blocks\": [], \"rotationalOffsets\": {\"tail\": [0, 0, 0, 1]}}", "the figure has no bone \"tail\""},
        {"{\"blocks\": [], \"rotationalOffsets\": {\"rFoot\": [0, 0, 0, 0]}}", "zero length"},
        {"{\"blocks\": [], \"figure\": \"nowhere.json\"}", "figure"},
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"outPoint\": 3600000, \"gap\": 3600000}]}", "longer than one hour"},
        {"[1, 2]", "must be a JSON object"},
        {"{\"blocks\": [", "not valid JSON"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(compose(c.json), 1);
        EXPECT_TRUE(m_err.contains(QString::fromUtf8(c.message))) << m_err.toStdString();
        EXPECT_FALSE(QFile::exists(tempPath(QStringLiteral("out.json"))));
        EXPECT_EQ(dzScene->getNumNodes(), 0);
    }
    const QString recipe = writeTemp(QStringLiteral("empty.json"), R"({"blocks": []})");
    const struct {
        QStringList args;
        int code;
        const char *message;
    } usage[] = {
        {{recipe}, 2, "usage:"},
        {{recipe, "-o", "o.json", "--fps", "7"}, 2, "--fps must divide 4800"},
        {{recipe, "-o"}, 2, ""},
        {{recipe, "--colour", "-o", "o.json"}, 2, ""},
        {{tempPath(QStringLiteral("none.json")), "-o", tempPath(QStringLiteral("o.json"))}, 1,
         "cannot read the recipe"},
    };
    for (const auto &u : usage) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        EXPECT_EQ(runCompose(u.args, out, err), u.code) << u.args.join(' ').toStdString();
        EXPECT_TRUE(errText.contains(u.message)) << errText.toStdString();
    }
    QString helpText, noError;
    QTextStream helpOut(&helpText), helpErr(&noError);
    EXPECT_EQ(runCompose({"--help"}, helpOut, helpErr), 0); // asked for, so not an error
    EXPECT_TRUE(helpText.startsWith(QStringLiteral("usage:")) && noError.isEmpty()) << helpText.toStdString();
}

TEST_F(Compose, TheProgramWritesTheSameFrames)
{
    const QString out = tempPath(QStringLiteral("program.json"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TRELVO_CONTENT"), contentDir());
    process.setProcessEnvironment(env);
    const QString program = QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-compose");
    process.start(program, {writeTemp("recipe.json", R"({"blocks": [{"file": "walk.kba"}, {"file": "turn.kba"}]})"),
                            "-o", out, "--figure", contentDir() + "/figures/partial.json"});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonArray frames = readOutput(out)["frames"].toArray(); // 1500 ms of the partial figure
    EXPECT_EQ(std::tuple(frames.size(), frames[0].toObject()["bones"].toObject().size()), std::tuple(45, 21));
    process.start(program, {writeTemp("bad.json", R"({"blocks": 3})"), "-o", out});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("\"blocks\" must be an array"));
}
