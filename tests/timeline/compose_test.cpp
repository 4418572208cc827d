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
        MotionPlan walk = walkZ(100.0f, 1000);
        walk.rotations[QStringLiteral("lShldr")] = [](int t) {
            return BlockRotation{20.0f + 10.0f * static_cast<float>(t) / 1000.0f, {0.0f, 0.0f, 1.0f}};
        };
        // Driven but unturned, so that heel and rotational offsets show alone.
        walk.rotations[QStringLiteral("lFoot")] = [](int) { return BlockRotation{0.0f, {1.0f, 0.0f, 0.0f}}; };
        walk.rotations[QStringLiteral("rForeArm")] = [](int) { return BlockRotation{0.0f, {1.0f, 0.0f, 0.0f}}; };
        makeBlock(QStringLiteral("walk"), walk);
        makeBlock(QStringLiteral("turn"), turnY(90.0f, 500));
    }

    QString writeRecipe(const QByteArray &json, const QString &name = QStringLiteral("recipe.json"))
    {
        const QString path = tempPath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        return path;
    }

    int compose(const QStringList &args, QString *errText = nullptr)
    {
        QString outText, errorText;
        QTextStream out(&outText);
        QTextStream err(&errorText);
        const int code = runCompose(args, out, err);
        if (errText)
            *errText = errorText;
        return code;
    }

    QJsonObject readOutput(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return doc.object();
    }
};

TEST_F(Compose, BakesASmallRecipeIntoFrames)
{
    // walk (1000 ms) then walk again after a 500 ms gap: 2500 ms at 30 fps.
    const QString recipe = writeRecipe(R"({"figure": "standard",
        "blocks": [{"file": "walk.kba"}, {"file": "walk.kba", "gap": 500, "flags": 1}]})");
    const QString out = tempPath(QStringLiteral("out.json"));
    QString err;
    ASSERT_EQ(compose({recipe, QStringLiteral("-o"), out}, &err), 0) << err.toStdString();
    const QJsonObject result = readOutput(out);
    EXPECT_EQ(result.value(QStringLiteral("fps")).toInt(), 30);
    const QJsonArray frames = result.value(QStringLiteral("frames")).toArray();
    ASSERT_EQ(frames.size(), 75); // ticks 0 … 11840 below 12000
    const QJsonObject first = frames[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("tick")).toInt(), 0);
    const QJsonObject bones = first.value(QStringLiteral("bones")).toObject();
    EXPECT_EQ(bones.size(), 53);
    const QJsonObject hip = bones.value(QStringLiteral("hip")).toObject();
    EXPECT_EQ(hip.value(QStringLiteral("order")).toString().toStdString(), "YZX");
    EXPECT_EQ(hip.value(QStringLiteral("quat")).toArray().size(), 4);
    EXPECT_EQ(hip.value(QStringLiteral("euler")).toArray().size(), 3);

    // Half-way through the first walk z is 50; in the gap the walk stays at
    // its end (100); the second walk carries on from there (flag 1).
    const auto hipZ = [&](int frame) {
        return frames[frame].toObject().value(QStringLiteral("hipPos")).toArray()[2].toDouble();
    };
    EXPECT_EQ(frames[15].toObject().value(QStringLiteral("tick")).toInt(), 2400);
    EXPECT_NEAR(hipZ(15), 50.0, 0.1);
    EXPECT_NEAR(hipZ(36), 100.0, 0.1);  // 1200 ms, in the gap
    EXPECT_NEAR(hipZ(60), 150.0, 0.5);  // 2000 ms, half-way through the second walk
    const QJsonArray shoulder = frames[15].toObject().value(QStringLiteral("bones")).toObject()
                                    .value(QStringLiteral("lShldr")).toObject()
                                    .value(QStringLiteral("euler")).toArray();
    EXPECT_NEAR(std::fabs(shoulder[2].toDouble()), 25.0, 0.1);

    // The scene is as it was: no figure left, time settings back.
    EXPECT_EQ(dzScene->getNumNodes(), 0);
    EXPECT_EQ(dzScene->getTimeStep(), 160);
}

TEST_F(Compose, AppliesFigureFpsOffsetsAndBlockFields)
{
    const QString recipe = writeRecipe(R"({"figure": "large", "heelOffset": 30,
        "rotationalOffsets": {"rForeArm": [0, 0, 0.2588190, 0.9659258]},
        "blocks": [{"file": "walk.kba", "speed": 0.5, "mirror": false, "posOffset": [10, 0, 0],
                    "facingOffset": 0, "blendIn": 100, "internalBlend": 50, "inPoint": 0}]})");
    const QString out = tempPath(QStringLiteral("large.json"));
    QString err;
    ASSERT_EQ(compose({recipe, QStringLiteral("-o"), out, QStringLiteral("--fps"), QStringLiteral("24")},
                      &err),
              0)
        << err.toStdString();
    const QJsonObject result = readOutput(out);
    EXPECT_EQ(result.value(QStringLiteral("fps")).toInt(), 24);
    const QJsonArray frames = result.value(QStringLiteral("frames")).toArray();
    // Half speed: 2000 ms at 24 fps = 48 frames, 200 ticks apart.
    ASSERT_EQ(frames.size(), 48);
    EXPECT_EQ(frames[1].toObject().value(QStringLiteral("tick")).toInt(), 200);
    const QJsonArray p = frames[24].toObject().value(QStringLiteral("hipPos")).toArray();
    // Scale 1.1: x offset 10 → 11, z 50 → 55 at half-way.
    EXPECT_NEAR(p[0].toDouble(), 11.0, 0.05);
    EXPECT_NEAR(p[2].toDouble(), 55.0, 0.2);
    // Heel offset 30: the feet turn -30 about X.
    const QJsonArray foot = frames[0].toObject().value(QStringLiteral("bones")).toObject()
                                .value(QStringLiteral("lFoot")).toObject()
                                .value(QStringLiteral("euler")).toArray();
    EXPECT_NEAR(foot[0].toDouble(), -30.0, 0.01);
    // The forearm offset: 30 degrees about Z.
    const QJsonArray forearm = frames[0].toObject().value(QStringLiteral("bones")).toObject()
                                   .value(QStringLiteral("rForeArm")).toObject()
                                   .value(QStringLiteral("euler")).toArray();
    EXPECT_NEAR(forearm[2].toDouble(), 30.0, 0.01);
}

TEST_F(Compose, RefusesBadRecipesNamingTheProblem)
{
    struct Case {
        const char *json;
        const char *message;
    } cases[] = {
        {"{\"blocks\": [{\"file\": \"missing.kba\"}]}", "block 1: cannot read"},
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
        {"{\"blocks\": [{\"file\": \"walk.kba\", \"outPoint\": 3600000, \"gap\": 3600000}]}",
         "longer than one hour"},
        {"[1, 2]", "must be a JSON object"},
        {"{\"blocks\": [", "not valid JSON"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.json);
        const QString recipe = writeRecipe(c.json, QStringLiteral("bad.json"));
        QString err;
        EXPECT_EQ(compose({recipe, QStringLiteral("-o"), tempPath(QStringLiteral("bad-out.json"))}, &err), 1);
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.message))) << err.toStdString();
        EXPECT_FALSE(QFile::exists(tempPath(QStringLiteral("bad-out.json"))));
        EXPECT_EQ(dzScene->getNumNodes(), 0);
    }
    // A block file that is not a block file.
    QFile junk(tempPath(QStringLiteral("junk.kba")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a block at all");
    junk.close();
    QString err;
    EXPECT_EQ(compose({writeRecipe(R"({"blocks": [{"file": "junk.kba"}]})"), QStringLiteral("-o"),
                       tempPath(QStringLiteral("x.json"))},
                      &err),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("block 1: cannot read"))) << err.toStdString();
}

TEST_F(Compose, RefusesBadUsage)
{
    const QString recipe = writeRecipe(R"({"blocks": []})");
    QString err;
    EXPECT_EQ(compose({recipe}, &err), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("usage:")));
    EXPECT_EQ(compose({recipe, QStringLiteral("-o"), QStringLiteral("o.json"), QStringLiteral("--fps"),
                       QStringLiteral("7")},
                      &err),
              2);
    EXPECT_TRUE(err.contains(QStringLiteral("--fps must divide 4800")));
    EXPECT_EQ(compose({recipe, QStringLiteral("-o")}, &err), 2);
    EXPECT_EQ(compose({recipe, QStringLiteral("--colour"), QStringLiteral("-o"), QStringLiteral("o.json")},
                      &err),
              2);
    EXPECT_EQ(compose({tempPath(QStringLiteral("none.json")), QStringLiteral("-o"),
                       tempPath(QStringLiteral("o.json"))},
                      &err),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("cannot read the recipe")));
}

TEST_F(Compose, TheProgramWritesTheSameFrames)
{
    const QString recipe = writeRecipe(R"({"blocks": [{"file": "walk.kba"}, {"file": "turn.kba"}]})");
    const QString out = tempPath(QStringLiteral("program.json"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TRELVO_CONTENT"), contentDir());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-compose"),
                  {recipe, QStringLiteral("-o"), out, QStringLiteral("--figure"),
                   contentDir() + QStringLiteral("/figures/partial.json")});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonArray frames = readOutput(out).value(QStringLiteral("frames")).toArray();
    EXPECT_EQ(frames.size(), 45); // 1500 ms
    EXPECT_EQ(frames[0].toObject().value(QStringLiteral("bones")).toObject().size(), 21);

    process.start(QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-compose"),
                  {writeRecipe(R"({"blocks": 3})", QStringLiteral("bad.json")), QStringLiteral("-o"), out});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("\"blocks\" must be an array"));
}
