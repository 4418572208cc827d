// Facing offsets, chained headings and joins on stock motion: the figure
// walks where it faces, and a joined block plays as the timeline does.
#include "timelinetestsupport.h"

#include "composer.h"
#include "kyevaluator.h"

#include "engine.h"
#include "nodetable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

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
    return { std::atan2(last[0].toDouble() - first[0].toDouble(), last[2].toDouble() - first[2].toDouble())
            * kDegrees,
        std::atan2(fx, fz) * kDegrees };
}

// Pose of the hip in the node table after the engine was driven.
std::pair<Vec3f, DzQuat> tableHip()
{
    Vec3f p;
    nodeTranslation("hip", &p.x, &p.y, &p.z);
    return { p, tableRotation(QStringLiteral("hip")) };
}

} // namespace

class FacingAndJoin : public TimelineTest {
protected:
    static QString stock(const char *file)
    {
        return contentDir() + "/kinBlocks/Trelvo/" + QLatin1String(file);
    }
    static QString block(const char *file, const QString &extra = QString())
    {
        return QStringLiteral("{\"file\": \"%1\"%2}").arg(stock(file), extra);
    }
    QJsonArray compose(const QStringList &blocks)
    {
        const QString text
            = QStringLiteral("{\"figure\": \"standard\", \"blocks\": [%1]}").arg(blocks.join(','));
        const QString recipe = writeTemp(QStringLiteral("recipe.json"), text.toUtf8());
        const QString out = tempPath(QStringLiteral("out.json"));
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        EXPECT_EQ(runCompose({ recipe, "-o", out }, outStream, errStream), 0) << errText.toStdString();
        QFile result(out);
        EXPECT_TRUE(result.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(result.readAll()).object()["frames"].toArray();
    }
};

TEST_F(FacingAndJoin, FacingOffsetAndChainedHeadingsTurnPathAndFigureTogether)
{
    KyBlock *walk = KyBlock::get(stock("s_walk_01.kba"));
    KyBlock *turn = KyBlock::get(stock("dance/s_turn_left_dribble_01.kba"));
    ASSERT_TRUE(walk && turn);
    const int walkMs = walk->outPoint - walk->inPoint;
    const Heading straight = headingOf(compose({ block("s_walk_01.kba") }), 0, walkMs);
    ASSERT_LT(std::fabs(straight.difference()), 10.0);
    // A facing offset turns path and figure together, +Z toward +X.
    const QString offset = QStringLiteral(", \"facingOffset\": -135");
    const Heading turned = headingOf(compose({ block("s_walk_01.kba", offset) }), 0, walkMs);
    EXPECT_NEAR(wrapDegrees(turned.difference() - straight.difference()), 0.0, 5.0);
    EXPECT_NEAR(wrapDegrees(turned.facing - straight.facing + 135.0), 0.0, 5.0);
    // Walk, a turn cut where it faces about −95 degrees, then two walks
    // that take the turned heading from it.
    const QString flags = QStringLiteral(", \"flags\": 13");
    const QJsonArray frames = compose({ block("s_walk_01.kba", flags),
        block("dance/s_turn_left_dribble_01.kba", ", \"outPoint\": 2900" + flags),
        block("s_walk_01.kba", flags), block("s_walk_01.kba", flags) });
    const int lastWalk = walkMs + (2900 - turn->inPoint) + walkMs;
    const Heading after = headingOf(frames, lastWalk, lastWalk + walkMs);
    EXPECT_NEAR(wrapDegrees(after.difference() - straight.difference()), 0.0, 5.0);
    EXPECT_NEAR(wrapDegrees(after.facing - straight.facing + 90.0), 0.0, 10.0);
}

TEST_F(FacingAndJoin, JoinedBlockPlaysAsTheTimelineAtEverySpeed)
{
    KyBlock *walk = KyBlock::get(stock("s_walk_01.kba"));
    KyBlock *turn = KyBlock::get(stock("dance/s_turn_left_dribble_01.kba"));
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
            const auto [expectedPos, expectedRotation] = tableHip();
            joined->startOn(t, -1);
            joined->startOn(t, 0);
            engineAdvance(0);
            const auto [pos, rotation] = tableHip();
            worstPos = std::max<double>(worstPos, std::hypot(expectedPos.x - pos.x, expectedPos.z - pos.z));
            worstAngle = std::max(worstAngle, angleBetween(expectedRotation, rotation));
        }
        EXPECT_LT(worstPos, 1.5);
        EXPECT_LT(worstAngle, 4.0);
    }
}
