#include "timelinetestsupport.h"

#include "channelstore.h"
#include "engine.h"
#include "nodetable.h"

#include "dzfigureloader.h"

#include <QFile>

#include <algorithm>

void TimelineTest::SetUp()
{
    static const bool nodesRegistered = (registerStandardNodes(), true);
    (void)nodesRegistered;
    engineReset();
    ASSERT_TRUE(m_temp.isValid());
    m_app = std::make_unique<DzApp>();
    ASSERT_NE(dzScene, nullptr);
    kySetPromptHandler(&m_prompts);
}

void TimelineTest::TearDown()
{
    kySetPromptHandler(nullptr);
    m_app.reset();
}

void FigureTimelineTest::SetUp()
{
    TimelineTest::SetUp();
    m_figure = addFigure();
    m_timeline = std::make_unique<KyTimeline>();
    m_timeline->activateNode(m_figure);
    m_track = m_timeline->currentTrack();
}

void FigureTimelineTest::TearDown()
{
    m_timeline.reset();
    TimelineTest::TearDown();
}

QString TimelineTest::writeTemp(const QString &file, const QByteArray &bytes) const
{
    QFile out(tempPath(file));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
    return out.fileName();
}

MotionPlan &MotionPlan::ramp(const QString &bone, float from, float to, Vec3f axis)
{
    const int length = lengthMs;
    rotations[bone] = [from, to, axis, length](int t) {
        return BlockRotation { from + (to - from) * static_cast<float>(t) / static_cast<float>(length),
            axis };
    };
    return *this;
}

DzNode *boneOf(DzSkeleton *figure, const char *name)
{
    DzNode *node = figure->findNodeChild(QString::fromLatin1(name), true);
    EXPECT_NE(node, nullptr) << name;
    return node;
}

namespace {

// A loaded figure added to the scene.
DzSkeleton *addLoaded(DzSkeleton *figure, const QString &error)
{
    EXPECT_NE(figure, nullptr) << error.toStdString();
    if (figure)
        dzScene->addNode(figure);
    return figure;
}

} // namespace

DzSkeleton *TimelineTest::addFigure(const QString &name)
{
    QString error;
    return addLoaded(DzFigureLoader::loadFile(contentDir() + "/figures/" + name + ".json", &error), error);
}

DzSkeleton *TimelineTest::addHiplessFigure(const char *bone)
{
    QString error;
    DzSkeleton *figure = DzFigureLoader::loadData(QStringLiteral(R"({"format": "trelvo-figure", "version": 1,
        "figure": {"name": "Plain", "label": "Plain", "rotationOrder": "YZX", "origin": [0, 50, 0],
                   "endPoint": [0, 60, 0]},
        "bones": [{"name": "%1", "label": "%1", "parent": null, "origin": [0, 50, 0], "endPoint": [0, 60, 0],
                   "rotationOrder": "XYZ"}]})")
                                                      .arg(QLatin1String(bone))
                                                      .toUtf8(),
        &error);
    return addLoaded(figure, error);
}

KyBlock *TimelineTest::makeBlock(const QString &name, const MotionPlan &motion)
{
    KyBlock *block = KyBlock::create();
    // Keys every stepMs and at the very end.
    for (int t = 0;; t = std::min(t + motion.stepMs, motion.lengthMs)) {
        const Vec3f p = motion.hip(t);
        block->addTranslationKey(QStringLiteral("hip"), t, p.x, p.y, p.z);
        for (const auto &rotation : motion.rotations) {
            const BlockRotation r = rotation.second(t);
            block->addRotationKey(rotation.first, t, r.angle, r.axis.x, r.axis.y, r.axis.z);
        }
        if (t == motion.lengthMs)
            break;
    }
    block->path = tempPath(name + QStringLiteral(".kba"));
    block->name = name;
    QString error;
    EXPECT_TRUE(block->save(&error)) << error.toStdString();
    block->clipLength = durationOf(block->clipHandle);
    block->outPoint = block->loopLength();
    return block;
}

MotionPlan TimelineTest::still(int lengthMs)
{
    MotionPlan motion;
    motion.lengthMs = lengthMs;
    return motion.hold(QStringLiteral("hip"), 0.0f, { 0.0f, 1.0f, 0.0f });
}

MotionPlan TimelineTest::walkZ(float distance, int lengthMs)
{
    MotionPlan motion = still(lengthMs);
    motion.hip = [distance, lengthMs](int t) {
        return Vec3f { 0.0f, 99.24f, distance * static_cast<float>(t) / static_cast<float>(lengthMs) };
    };
    return motion;
}

MotionPlan TimelineTest::turnY(float degrees, int lengthMs)
{
    // The engine reads the heading of the rotation stored about +Y.
    return still(lengthMs).ramp(QStringLiteral("hip"), 0.0f, degrees, { 0.0f, 1.0f, 0.0f });
}

MotionPlan TimelineTest::fullBody(int lengthMs)
{
    MotionPlan motion;
    motion.lengthMs = lengthMs;
    motion.hip = [lengthMs](int t) {
        const float u = static_cast<float>(t) / static_cast<float>(lengthMs);
        return Vec3f { 3.0f * u, 99.24f + 2.0f * std::sin(6.28f * u), 40.0f * u };
    };
    const std::vector<const char *> &names = standardNodeNames();
    for (size_t i = 1; i < names.size(); ++i) {
        const float base = 5.0f + static_cast<float>(i % 7) * 4.0f;
        const Vec3f axis = i % 3 == 0 ? Vec3f { 1.0f, 0.0f, 0.0f }
            : i % 3 == 1              ? Vec3f { 0.0f, 0.6f, 0.8f }
                                      : Vec3f { 0.6f, 0.0f, -0.8f };
        motion.rotations[QString::fromLatin1(names[i])] = [base, axis, lengthMs](int t) {
            const float u = static_cast<float>(t) / static_cast<float>(lengthMs);
            return BlockRotation { base + 20.0f * u, axis };
        };
    }
    return motion;
}

DzQuat hostRotation(const BlockRotation &r)
{
    return DzQuat(DzVec3(-r.axis.x, -r.axis.y, -r.axis.z), r.angle * 3.14159265358979323846 / 180.0);
}

DzQuat tableRotation(const QString &bone)
{
    float angle = 0.0f, ax = 0.0f, ay = 0.0f, az = 0.0f;
    if (!nodeRotation(bone, &angle, &ax, &ay, &az))
        return DzQuat();
    return DzQuat(DzVec3(-ax, -ay, -az), angle * 3.14159265358979323846 / 180.0);
}

Vec3f tableHipPosition()
{
    Vec3f p;
    EXPECT_TRUE(nodeTranslation("hip", &p.x, &p.y, &p.z));
    return p;
}

::testing::AssertionResult near(const Vec3f &got, const Vec3f &want, float tolerance)
{
    if (std::fabs(got.x - want.x) <= tolerance && std::fabs(got.y - want.y) <= tolerance
        && std::fabs(got.z - want.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within " << tolerance << " of ("
        << want.x << ", " << want.y << ", " << want.z << ")";
}

double angleBetween(const DzQuat &a, const DzQuat &b)
{
    const double d = std::fabs(a.dot(b)) / (a.length() * b.length());
    return 2.0 * std::acos(std::min(1.0, d)) * 180.0 / 3.14159265358979323846;
}
