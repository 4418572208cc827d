// trelvo-compose: recipes of block files baked into frames and the refusal
// of bad recipes; and stock motion: the figure walks where it faces through
// chained turns, and a joined block plays as the timeline does.
#include "timelinetestsupport.h"

#include "composer.h"
#include "kyevaluator.h"

#include "engine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// An angle in degrees brought into [-180, 180].
double wrapDegrees(double a)
{
    return std::remainder(a, 360.0);
}

// How the hip moves and faces over the frames of [fromMs, toMs): the
// direction of its horizontal travel and the mean horizontal direction of
// its +Z axis, in degrees from +Z toward +X.
struct Heading {
    double travel = 0.0, facing = 0.0;
    double difference() const { return wrapDegrees(travel - facing); }
};

Heading headingOf(const QJsonArray &frames, int fromMs, int toMs)
{
    constexpr double kDegrees = 180.0 / 3.14159265358979323846;
    double fx = 0.0, fz = 0.0;
    QJsonArray first, last;
    for (const QJsonValue &value : frames) {
        const QJsonObject frame = value.toObject();
        const int ms = frame["tick"].toInt() * 1000 / 4800;
        if (ms < fromMs || ms >= toMs)
            continue;
        last = frame["hipPos"].toArray();
        if (first.isEmpty())
            first = last;
        const QJsonArray q = frame["bones"].toObject()["hip"].toObject()["quat"].toArray();
        const DzVec3 forward = DzQuat(q[0].toDouble(), q[1].toDouble(), q[2].toDouble(), q[3].toDouble())
                                   .multVec(DzVec3(0.0f, 0.0f, 1.0f));
        fx += forward.m_x;
        fz += forward.m_z;
    }
    EXPECT_FALSE(first.isEmpty());
    if (first.isEmpty())
        return Heading();
    const double dx = last[0].toDouble() - first[0].toDouble(), dz = last[2].toDouble() - first[2].toDouble();
    return { std::atan2(dx, dz) * kDegrees, std::atan2(fx, fz) * kDegrees };
}

} // namespace

class Compose : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        // lFoot and rForeArm driven but unturned, so that heel and
        // rotational offsets show alone.
        makeBlock(QStringLiteral("w"),
            walkZ(100.0f, 1000)
                .ramp(QStringLiteral("lShldr"), 20, 30, { 0, 0, 1 })
                .hold(QStringLiteral("lFoot"), 0, { 1, 0, 0 })
                .hold(QStringLiteral("rForeArm"), 0, { 1, 0, 0 }));
    }
    // Runs the composer on the recipe text; its output goes to m_frames.
    int compose(const QByteArray &recipe, const QStringList &options = {})
    {
        m_err.clear();
        const QString out = tempPath(QStringLiteral("out.json"));
        QFile::remove(out);
        QString outText;
        QTextStream outStream(&outText), errStream(&m_err);
        const QStringList args
            = QStringList { writeTemp(QStringLiteral("recipe.json"), recipe), "-o", out } + options;
        const int code = runCompose(args, outStream, errStream);
        QFile file(out);
        m_frames = QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray())
                       .object()["frames"]
                       .toArray();
        return code;
    }
    // frames[i].bones[bone].euler[axis] and frames[i].hipPos[axis]
    double euler(int i, const char *bone, int axis) const
    {
        const QJsonObject bones = m_frames[i].toObject()["bones"].toObject();
        return bones[QLatin1String(bone)].toObject()["euler"].toArray()[axis].toDouble();
    }
    double hipPos(int i, int axis) const
    {
        return m_frames[i].toObject()["hipPos"].toArray()[axis].toDouble();
    }
    int tick(int i) const { return m_frames[i].toObject()["tick"].toInt(); }

    QString m_err;
    QJsonArray m_frames;
};

TEST_F(Compose, BakesARecipeWithItsFigureFpsOffsetsAndBlockFields)
{
    // A half-speed walk (2000 ms), a 500 ms gap, then a walk carrying on
    // from the first one's end (flag 1), turned 90 degrees: 3500 ms at 24 fps.
    ASSERT_EQ(compose(R"({"figure": "large", "heelOffset": 30,
        "rotationalOffsets": {"rForeArm": [0, 0, 0.2588190, 0.9659258]},
        "blocks": [{"file": "w.kba", "speed": 0.5, "mirror": false, "posOffset": [10, 0, 20],
                    "facingOffset": 0, "blendIn": 100, "internalBlend": 50, "inPoint": 0},
                   {"file": "w.kba", "gap": 500, "flags": 1, "facingOffset": 90}]})",
                  { "--fps", "24" }),
        0)
        << m_err.toStdString();
    ASSERT_EQ(m_frames.size(), 84); // ticks 0 … 16600 below 16800
    // Every bone of the figure in every frame, 200 ticks apart.
    EXPECT_EQ(std::tuple(tick(1), tick(24), m_frames[0].toObject()["bones"].toObject().size()),
        std::tuple(200, 4800, 53));
    // Scale 1.1: half-way through the first walk the offset (10, 0, 20) → (11, 0, 22)
    // plus z 50 → 55; in the gap the walk stays at its end (110 + 22).
    EXPECT_NEAR(hipPos(24, 0), 11.0, 0.05);
    EXPECT_NEAR(hipPos(24, 2), 77.0, 0.2);
    EXPECT_NEAR(hipPos(54, 2), 132.0, 0.2); // 2250 ms, in the gap
    // 3000 ms: half-way through the second walk, turned by its facing offset.
    EXPECT_NEAR(hipPos(72, 0), 66.0, 0.6);
    EXPECT_NEAR(hipPos(72, 2), 132.0, 0.6);
    EXPECT_NEAR(std::fabs(euler(24, "lShldr", 2)), 25.0, 0.1);
    EXPECT_NEAR(euler(0, "lFoot", 0), -30.0, 0.01); // heel offset 30: the feet turn −30 about X
    EXPECT_NEAR(euler(0, "rForeArm", 2), 30.0, 0.01); // the forearm offset: 30 degrees about Z
    // The scene is as it was: no figure left, time settings back.
    EXPECT_EQ(std::tuple(dzScene->getNumNodes(), dzScene->getTimeStep()), std::tuple(0, 160));
}

TEST_F(Compose, RefusesBadRecipesAndUsageNamingTheProblem)
{
    writeTemp(QStringLiteral("junk.kba"), "not a block at all");
    // Recipe text and a part of the message refusing it.
    const std::pair<const char *, const char *> cases[] = {
        { R"({"blocks": [{"file": "missing.kba"}]})", "block 1: cannot read" },
        { R"({"blocks": [{"file": "junk.kba"}]})", "block 1: cannot read" },
        { R"({"blocks": [{"file": "w.kba", "sped": 1}]})", R"(block 1: unknown field "sped")" },
        { R"({"blocks": [{"file": "w.kba", "speed": "fast"}]})", R"("speed" must be a number)" },
        { R"({"blocks": [{"file": "w.kba", "speed": 0}]})", R"("speed" must lie between)" },
        { R"({"blocks": [{"file": "w.kba"}, {"file": "w.kba", "gap": -5}]})",
            R"(block 2: "gap" must lie between)" },
        { R"({"blocks": [{"file": "w.kba", "flags": 2}]})", R"("flags" may only combine)" },
        { R"({"blocks": [{"file": "w.kba", "inPoint": 1.5}]})", R"("inPoint" must be a whole number)" },
        { R"({"blocks": [{"file": "w.kba", "inPoint": 2000}]})", R"("outPoint" (1000) must lie after)" },
        { R"({"blocks": [{"file": "w.kba", "posOffset": [1, 2]}]})", R"("posOffset" must be an array of 3)" },
        { R"({"blocks": [{"file": "w.kba", "mirror": 1}]})", R"("mirror" must be true or false)" },
        { R"({"blocks": [{"speed": 1}]})", R"("file" is missing)" },
        { R"({"blocks": {}})", R"("blocks" must be an array)" },
        { R"({"figure": "standard"})", R"("blocks" is missing)" },
        { R"({"blocks": [], "heelOffset": 75})", R"("heelOffset" must lie between -60 and 60)" },
        { R"({"blocks": [], "colour": 1})", R"(unknown field "colour")" },
        { R"({"blocks": [], "rotationalOffsets": {"x": [0, 0, 0, 1]}})", R"(the figure has no bone "x")" },
        { R"({"blocks": [], "rotationalOffsets": {"rFoot": [0, 0, 0, 0]}})", "zero length" },
        { R"({"blocks": [], "figure": "nowhere.json"})", "figure" },
        { R"({"blocks": [{"file": "w.kba", "outPoint": 3600000, "gap": 3600000}]})", "longer than one hour" },
        { "[1, 2]", "must be a JSON object" },
        { R"({"blocks": [)", "not valid JSON" },
    };
    for (auto [json, message] : cases) {
        SCOPED_TRACE(json);
        EXPECT_EQ(compose(json), 1);
        EXPECT_TRUE(m_err.contains(QString::fromUtf8(message))) << m_err.toStdString();
        EXPECT_FALSE(QFile::exists(tempPath(QStringLiteral("out.json"))));
        EXPECT_EQ(dzScene->getNumNodes(), 0);
    }
    const QString recipe = writeTemp(QStringLiteral("empty.json"), R"({"blocks": []})");
    // Arguments, exit code and a part of what is shown.
    const std::tuple<QStringList, int, const char *> usage[] = {
        { { recipe }, 2, "usage:" },
        { { "--help" }, 0, "usage:" },
        { { recipe, "-o", "o.json", "--fps", "7" }, 2, "--fps must divide 4800" },
        { { recipe, "--colour", "-o", "o.json" }, 2, "" },
        { { tempPath(QStringLiteral("none.json")), "-o", tempPath(QStringLiteral("o.json")) }, 1,
            "cannot read the recipe" },
    };
    for (const auto &[args, code, message] : usage) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        EXPECT_EQ(runCompose(args, out, err), code) << args.join(' ').toStdString();
        // Help asked for goes to the output and is no error.
        const QString &shown = code == 0 ? outText : errText;
        EXPECT_TRUE(shown.contains(message) && (code != 0 || errText.isEmpty())) << shown.toStdString();
    }
}

TEST_F(Compose, StockWalksGoWhereTheyFaceThroughFacingOffsetsAndChainedTurns)
{
    const QString stock = contentDir() + "/kinBlocks/Trelvo/";
    KyBlock *walk = KyBlock::get(stock + "s_walk_01.kba");
    KyBlock *turn = KyBlock::get(stock + "dance/s_turn_left_dribble_01.kba");
    ASSERT_TRUE(walk && turn);
    // The standard figure playing these recipe blocks (file name, extra fields).
    const auto headingOfRecipe
        = [&](const QList<std::pair<const char *, QString>> &blocks, int fromMs, int toMs) {
              QStringList parts;
              for (const auto &[file, extra] : blocks)
                  parts << QStringLiteral("{\"file\": \"%1%2\"%3}").arg(stock, QLatin1String(file), extra);
              const QString recipe
                  = QStringLiteral("{\"figure\": \"standard\", \"blocks\": [%1]}").arg(parts.join(','));
              EXPECT_EQ(compose(recipe.toUtf8()), 0) << m_err.toStdString();
              return headingOf(m_frames, fromMs, toMs);
          };
    const int walkMs = walk->outPoint - walk->inPoint;
    const Heading straight = headingOfRecipe({ { "s_walk_01.kba", "" } }, 0, walkMs);
    ASSERT_LT(std::fabs(straight.difference()), 10.0);
    // A facing offset turns path and figure together, +Z toward +X.
    const Heading turned = headingOfRecipe({ { "s_walk_01.kba", ", \"facingOffset\": -135" } }, 0, walkMs);
    EXPECT_NEAR(wrapDegrees(turned.difference() - straight.difference()), 0.0, 5.0);
    EXPECT_NEAR(wrapDegrees(turned.facing - straight.facing + 135.0), 0.0, 5.0);
    // Walk, a turn cut where it faces about -95 degrees, then two walks that
    // take the turned heading from it.
    const QString flags = QStringLiteral(", \"flags\": 13");
    const int lastWalk = walkMs + (2900 - turn->inPoint) + walkMs;
    const Heading after = headingOfRecipe(
        { { "s_walk_01.kba", flags }, { "dance/s_turn_left_dribble_01.kba", ", \"outPoint\": 2900" + flags },
            { "s_walk_01.kba", flags }, { "s_walk_01.kba", flags } },
        lastWalk, lastWalk + walkMs);
    EXPECT_NEAR(wrapDegrees(after.difference() - straight.difference()), 0.0, 5.0);
    EXPECT_NEAR(wrapDegrees(after.facing - straight.facing + 90.0), 0.0, 10.0);
}

TEST_F(Compose, JoinedStockBlockPlaysAsTheTimelineAtEverySpeed)
{
    const QString stock = contentDir() + "/kinBlocks/Trelvo/";
    KyBlock *walk = KyBlock::get(stock + "s_walk_01.kba");
    KyBlock *turn = KyBlock::get(stock + "dance/s_turn_left_dribble_01.kba");
    ASSERT_TRUE(walk && turn);
    for (float speed : { 0.5f, 1.0f, 2.0f }) {
        SCOPED_TRACE(speed);
        std::unique_ptr<KyBlock> first(walk->clone()), middle(turn->clone()), last(walk->clone());
        middle->outPoint = 2900;
        for (KyBlock *b : { first.get(), middle.get(), last.get() }) {
            b->flags = 13;
            b->speed = speed;
            b->inPoint = static_cast<int>(static_cast<float>(b->inPoint) / speed);
            b->outPoint = static_cast<int>(static_cast<float>(b->outPoint) / speed);
        }
        last->posOffset = Vec3f { 10.0f, 0.0f, 20.0f };
        ASSERT_TRUE(first->crop());
        std::unique_ptr<KyBlock> joined(first->clone());
        ASSERT_TRUE(joined->crop());
        ASSERT_TRUE(joined->append(*middle));
        ASSERT_TRUE(joined->append(*last));

        KyTimeline timeline;
        KyTrack *track = timeline.currentTrack();
        for (KyBlock *b : { first.get(), middle.get(), last.get() })
            track->appendBlock(*b, true);
        track->chain();
        track->chain();
        const int length = track->endTime();
        EXPECT_NEAR(joined->outPoint, length, 2);
        double worstPos = 0.0, worstAngle = 0.0;
        for (int t = 0; t < std::min(length, joined->outPoint) - 1; t += 47) {
            ASSERT_TRUE(driveEngine(*track, locateBlock(*track, t)));
            const Vec3f expectedPos = tableHipPosition();
            const DzQuat expectedRotation = tableRotation(QStringLiteral("hip"));
            joined->startOn(t, -1);
            joined->startOn(t, 0);
            engineAdvance(0);
            const Vec3f pos = tableHipPosition();
            worstPos = std::max<double>(worstPos, std::hypot(expectedPos.x - pos.x, expectedPos.z - pos.z));
            worstAngle
                = std::max(worstAngle, angleBetween(expectedRotation, tableRotation(QStringLiteral("hip"))));
        }
        EXPECT_LT(worstPos, 1.5);
        EXPECT_LT(worstAngle, 4.0);
    }
}
