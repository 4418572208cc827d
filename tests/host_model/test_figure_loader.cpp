// Figure data files: the stock figures and the loader's refusals.
#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "hostmodeltestsupport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// A minimal valid document, changed in one place per case.
QByteArray docWith(const QByteArray &from, const QByteArray &to)
{
    QByteArray doc = R"({"format": "trelvo-figure", "version": 1,
        "figure": {"name": "Fig", "label": "Fig", "rotationOrder": "XYZ", "origin": [0, 0, 0], "endPoint": [0, 1, 0]},
        "bones": [
          {"name": "hip", "label": "Hip", "parent": null, "origin": [0, 99.24, 0], "endPoint": [0, 105, 0],
           "rotationOrder": "YZX"},
          {"name": "chest", "label": "Chest", "parent": "hip", "origin": [0, 105, 0], "endPoint": [0, 140, 0],
           "rotationOrder": "ZXY"}]})";
    EXPECT_EQ(doc.count(from), 1) << from.constData();
    return doc.replace(from, to);
}

// The figure with one extra float property.
QByteArray docWithProperty(const char *name, int min)
{
    return docWith(R"("label": "Fig")",
        QString(
            R"("label": "Fig", "properties": [{"name": "%1", "label": "x", "value": 0, "min": %2, "max": 0,
            "clamped": true, "animatable": true}])")
            .arg(name)
            .arg(min)
            .toUtf8());
}

} // namespace

TEST(StockFigures, StandardIsAMirrorSymmetricHumanWithMorphsLargeIsItScaledPartialLacksExtremities)
{
    auto fig = loadFigure();
    ASSERT_TRUE(fig);
    EXPECT_EQ(fig->getNumNodeChildren(), 1);

    const struct {
        const char *bone, *parent;
    } links[] = { { "hip", "StandardFigure" }, { "abdomen", "hip" }, { "rButtock", "hip" },
        { "lButtock", "hip" }, { "chest", "abdomen" }, { "neck", "chest" }, { "rCollar", "chest" },
        { "lCollar", "chest" }, { "head", "neck" }, { "lShldr", "lCollar" }, { "lForeArm", "lShldr" },
        { "lHand", "lForeArm" }, { "rThumb1", "rHand" }, { "rThumb3", "rThumb2" }, { "lPinky1", "lHand" },
        { "lPinky3", "lPinky2" }, { "rThigh", "rButtock" }, { "rShin", "rThigh" }, { "rFoot", "rShin" },
        { "rToe", "rFoot" } };
    for (const auto &l : links) {
        DzNode *n = fig->findNodeChild(l.bone, true);
        ASSERT_TRUE(n && n->getNodeParent()) << l.bone;
        EXPECT_EQ(n->getNodeParent()->getName(), QString(l.parent)) << l.bone;
    }

    DzNode *hip = fig->findNodeChild("hip");
    EXPECT_TRUE(hip->getOrigin().isEqual(DzVec3(0, 99.24f, 0)));
    // Figure faces +Z with +X to its left: left arm and leg sit at +X.
    EXPECT_GT(fig->findNodeChild("lHand", true)->getOrigin().m_x, 60.f);
    EXPECT_LT(fig->findNodeChild("rFoot", true)->getOrigin().m_x, 0.f);
    EXPECT_GT(fig->findNodeChild("lToe", true)->getEndPoint().m_z,
        fig->findNodeChild("lFoot", true)->getOrigin().m_z);
    EXPECT_EQ(hip->getRotationOrder().toString(), QString("YZX"));
    EXPECT_EQ(fig->findNodeChild("lShldr", true)->getRotationOrder().firstAxis(), DzRotationOrder::XAxis);

    // Mirror symmetric and human sized.
    for (DzBone *b : fig->getAllBones()) {
        const DzVec3 o = b->getOrigin();
        EXPECT_TRUE(o.m_y > 0.f && o.m_y < 180.f) << b->getName().toStdString();
        EXPECT_GT((b->getEndPoint() - o).length(), 0.5f) << b->getName().toStdString();
        if (!b->getName().startsWith('l'))
            continue;
        DzNode *r = fig->findNodeChild("r" + b->getName().mid(1), true);
        ASSERT_TRUE(r) << b->getName().toStdString();
        EXPECT_TRUE(r->getOrigin().isEqual(DzVec3(-o.m_x, o.m_y, o.m_z))) << b->getName().toStdString();
        EXPECT_EQ(r->getRotationOrder(), b->getRotationOrder());
    }
    // One extra float control a pose snapshot would store: animatable,
    // visible, not a transform control, and no "scale" in its label.
    int extras = 0;
    for (int i = 0; i < fig->getNumProperties(); ++i) {
        auto *p = qobject_cast<DzFloatProperty *>(fig->getProperty(i));
        extras += p && !p->getXYZInterest() && !p->getLabel().contains("scale", Qt::CaseInsensitive)
            && !p->isHidden() && p->isAnimatable();
    }
    EXPECT_EQ(extras, 1);
    EXPECT_GE(fig->getObject()->getNumModifiers(), 2) << "morphs";

    // The large figure is the standard one scaled; the partial one lacks extremities.
    auto large = loadFigure("large.json");
    auto partial = loadFigure("partial.json");
    ASSERT_TRUE(large && partial);
    EXPECT_NEAR(large->findNodeChild("hip")->getOrigin().m_y, DzFigureLoader::kStandardHipHeight * 1.1, 1e-3);
    for (DzBone *b : fig->getAllBones()) {
        DzNode *l = large->findNodeChild(b->getName(), true);
        ASSERT_TRUE(l);
        EXPECT_TRUE(l->getOrigin().isEqual(b->getOrigin() * 1.1f, 1e-3f)) << b->getName().toStdString();
    }
    EXPECT_EQ(partial->getAllBones().size(), 21);
    EXPECT_TRUE(partial->findNodeChild("lHand", true) && !partial->findNodeChild("lToe", true));
}

TEST(FigureLoader, BuildsFollowBonesHiddenFlagsAndChildOrder)
{
    // A child listed before its parent still lands under it, after "chest".
    const QByteArray data
        = docWith(R"("bones": [)", R"("bones": [{"name": "belly", "label": "", "parent": "hip",
        "origin": [0, 100, 5], "endPoint": [0, 101, 6], "rotationOrder": "ZYX", "hidden": true, "followBone": "chest"},)");
    QString error;
    std::unique_ptr<DzSkeleton> fig(DzFigureLoader::loadData(data, &error));
    ASSERT_TRUE(fig) << error.toStdString();
    auto *belly = qobject_cast<DzBone *>(fig->findNodeChild("belly", true));
    ASSERT_TRUE(belly);
    EXPECT_TRUE(belly->isHidden());
    EXPECT_EQ(belly->getFollowBone(), fig->findNodeChild("chest", true));
    EXPECT_EQ(belly->getLabel(), QString("belly"));
    DzNode *hip = fig->findNodeChild("hip");
    ASSERT_EQ(hip->getNumNodeChildren(), 2);
    EXPECT_EQ(hip->getNodeChild(0)->getName(), QString("belly"));
    EXPECT_EQ(fig->getObject(), nullptr); // no morphs listed
}

TEST(FigureLoader, RefusesMalformedDocumentsWithAClearError)
{
    const QByteArray chest = R"("name": "chest")", chestLabel = R"("label": "Chest")",
                     chestEnd = "[0, 140, 0]";
    const struct {
        QByteArray data;
        const char *expect;
    } cases[] = {
        { "{ not json", "malformed JSON" },
        { "[1, 2]", "top level" },
        { docWith("trelvo-figure", "other"), "format" },
        { docWith(R"("version": 1)", R"("version": 2)"), "version" },
        { docWith(R"("figure": {)", R"("figure": 3, "other": {)"), "\"figure\" must be an object" },
        { docWith(chest + ",", ""), "\"name\" is missing" },
        { docWith(chest, R"("name": "  ")"), "must not be empty" },
        { docWith(chest, R"("name": "hip")"), "duplicate bone name \"hip\"" },
        { docWith(R"("parent": "hip")", R"("parent": "pelvis")"), "unknown parent \"pelvis\"" },
        { docWith(R"("parent": "hip")", R"("parent": 5)"), "\"parent\" must be a bone name or null" },
        { docWith(R"("parent": null)", R"("parent": "chest")"), "cycle" },
        { docWith(chestEnd, R"([0, "high", 0])"), "must be a number" },
        { docWith(chestEnd, "[0, 1]"), "array of three numbers" },
        { docWith(chestEnd, "[0, 1e39, 0]"), "not a finite number" },
        { docWith(R"("ZXY")", R"("XXZ")"), "not a rotation order" },
        { docWith(chestLabel, chestLabel + R"(, "hidden": "yes")"), "true or false" },
        { docWith(chestLabel, chestLabel + R"(, "followBone": "tail")"), "unknown follow bone" },
        { docWith(chestLabel, chestLabel + R"(, "followBone": "chest")"), "follows itself" },
        { docWith(chest, R"("name": "Fig")"), "figure's name" },
        { docWithProperty("Blink", 1), "min is greater than max" },
        { docWithProperty("XRotate", 0), "duplicate property name \"XRotate\"" },
        { docWith(R"("label": "Fig")", R"("label": "Fig", "morphs": [{"label": "x"}])"), "is missing" },
        { docWith(R"("bones": [)", R"("bones": [)" + QByteArray("{}, ").repeated(4095)), "at most 4096" },
    };
    for (const auto &c : cases) {
        QString error;
        std::unique_ptr<DzSkeleton> fig(DzFigureLoader::loadData(c.data, &error));
        EXPECT_FALSE(fig) << c.expect;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expect)))
            << "expected \"" << c.expect << "\" in: " << error.toStdString();
    }
}

TEST(FigureLoader, RefusesMissingAndOversizedFiles)
{
    QString error;
    EXPECT_FALSE(DzFigureLoader::loadFile("/nonexistent/figure.json", &error));
    EXPECT_TRUE(error.contains("/nonexistent/figure.json"));
    EXPECT_FALSE(DzFigureLoader::loadStandardFigure("/nonexistent", &error));

    // A document cut short is malformed JSON (a case above); too large a file:
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile out(dir.filePath("big.json"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.resize(17 * 1024 * 1024);
    out.close();
    EXPECT_FALSE(DzFigureLoader::loadFile(dir.filePath("big.json"), &error));
    EXPECT_TRUE(error.contains("16 MiB"));
}
