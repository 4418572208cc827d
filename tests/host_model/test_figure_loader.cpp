// Figure data files: the stock figures and the loader's refusals.
#include "dzbone.h"
#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzskeleton.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

namespace {

std::unique_ptr<DzSkeleton> load(const QString &file)
{
    QString error;
    std::unique_ptr<DzSkeleton> fig(
        DzFigureLoader::loadFile(QString(TRELVO_CONTENT_DIR) + "/figures/" + file, &error));
    EXPECT_TRUE(fig) << error.toStdString();
    return fig;
}

QString parentName(DzSkeleton *fig, const QString &bone)
{
    DzNode *n = fig->findNodeChild(bone, true);
    if (!n || !n->getNodeParent())
        return "?";
    return n->getNodeParent() == fig ? QString("<figure>") : n->getNodeParent()->getName();
}

// A minimal valid document to break in one place per case.
QJsonObject minimalDoc()
{
    QJsonObject figure { { "name", "Fig" }, { "label", "Fig" }, { "rotationOrder", "XYZ" },
        { "origin", QJsonArray { 0, 0, 0 } }, { "endPoint", QJsonArray { 0, 1, 0 } } };
    QJsonArray bones { QJsonObject { { "name", "hip" }, { "label", "Hip" }, { "parent", QJsonValue::Null },
                           { "origin", QJsonArray { 0, 99.24, 0 } }, { "endPoint", QJsonArray { 0, 105, 0 } },
                           { "rotationOrder", "YZX" } },
        QJsonObject { { "name", "chest" }, { "label", "Chest" }, { "parent", "hip" },
            { "origin", QJsonArray { 0, 105, 0 } }, { "endPoint", QJsonArray { 0, 140, 0 } },
            { "rotationOrder", "YZX" } } };
    return QJsonObject { { "format", "trelvo-figure" }, { "version", 1 }, { "figure", figure },
        { "bones", bones } };
}

QByteArray bytes(const QJsonObject &o)
{
    return QJsonDocument(o).toJson();
}

QJsonObject withBone(QJsonObject doc, int i, const QString &key, const QJsonValue &value)
{
    QJsonArray bones = doc["bones"].toArray();
    QJsonObject b = bones[i].toObject();
    if (value.isUndefined())
        b.remove(key);
    else
        b[key] = value;
    bones[i] = b;
    doc["bones"] = bones;
    return doc;
}

QJsonObject withFigure(QJsonObject doc, const QString &key, const QJsonValue &value)
{
    QJsonObject f = doc["figure"].toObject();
    f[key] = value;
    doc["figure"] = f;
    return doc;
}

} // namespace

TEST(StockFigures, StandardIsAMirrorSymmetricHumanWithMorphsLargeIsItScaledPartialLacksExtremities)
{
    auto fig = load("standard.json");
    ASSERT_TRUE(fig);
    EXPECT_EQ(fig->getAllBones().size(), 53);
    EXPECT_EQ(fig->getNumNodeChildren(), 1);

    const struct {
        const char *bone, *parent;
    } links[] = { { "hip", "<figure>" }, { "abdomen", "hip" }, { "rButtock", "hip" }, { "lButtock", "hip" },
        { "chest", "abdomen" }, { "neck", "chest" }, { "rCollar", "chest" }, { "lCollar", "chest" },
        { "head", "neck" }, { "lShldr", "lCollar" }, { "lForeArm", "lShldr" }, { "lHand", "lForeArm" },
        { "rThumb1", "rHand" }, { "rThumb3", "rThumb2" }, { "lPinky1", "lHand" }, { "lPinky3", "lPinky2" },
        { "rThigh", "rButtock" }, { "rShin", "rThigh" }, { "rFoot", "rShin" }, { "rToe", "rFoot" } };
    for (const auto &l : links)
        EXPECT_EQ(parentName(fig.get(), l.bone), QString(l.parent)) << l.bone;

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
    const auto &standard = fig;
    auto large = load("large.json");
    auto partial = load("partial.json");
    ASSERT_TRUE(large && partial);
    const float scale
        = large->findNodeChild("hip")->getOrigin().m_y / float(DzFigureLoader::kStandardHipHeight);
    EXPECT_NEAR(scale, 1.1f, 1e-5f);
    ASSERT_EQ(large->getAllBones().size(), 53);
    for (DzBone *b : standard->getAllBones()) {
        DzNode *l = large->findNodeChild(b->getName(), true);
        ASSERT_TRUE(l);
        EXPECT_TRUE(l->getOrigin().isEqual(b->getOrigin() * 1.1f, 1e-3f)) << b->getName().toStdString();
    }
    EXPECT_NE(large->getName(), standard->getName());
    EXPECT_EQ(partial->getAllBones().size(), 21);
    EXPECT_TRUE(partial->findNodeChild("lHand", true) && !partial->findNodeChild("lToe", true));
}

TEST(FigureLoader, BuildsFollowBonesHiddenFlagsAndChildOrder)
{
    QJsonObject doc = minimalDoc();
    QJsonArray bones = doc["bones"].toArray();
    // A child listed before its parent still lands under it, after "chest".
    bones.insert(0,
        QJsonObject { { "name", "belly" }, { "label", "" }, { "parent", "hip" },
            { "origin", QJsonArray { 0, 100, 5 } }, { "endPoint", QJsonArray { 0, 101, 6 } },
            { "rotationOrder", "ZYX" }, { "hidden", true }, { "followBone", "chest" } });
    doc["bones"] = bones;
    QString error;
    std::unique_ptr<DzSkeleton> fig(DzFigureLoader::loadData(bytes(doc), &error));
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
    QJsonObject cycle = withBone(minimalDoc(), 0, "parent", "chest");
    QJsonObject dup = minimalDoc();
    {
        QJsonArray b = dup["bones"].toArray();
        b.append(b[1]);
        dup["bones"] = b;
    }
    QJsonObject badProp = withFigure(minimalDoc(), "properties",
        QJsonArray { QJsonObject { { "name", "Blink" }, { "label", "Blink" }, { "value", 0 }, { "min", 1 },
            { "max", 0 }, { "clamped", true }, { "animatable", true } } });
    QJsonObject shadowing = withFigure(minimalDoc(), "properties",
        QJsonArray { QJsonObject { { "name", "XRotate" }, { "label", "X" }, { "value", 0 }, { "min", 0 },
            { "max", 1 }, { "clamped", true }, { "animatable", true } } });
    QJsonObject badMorph
        = withFigure(minimalDoc(), "morphs", QJsonArray { QJsonObject { { "label", "x" } } });
    QJsonObject tooMany = minimalDoc();
    {
        QJsonArray b = tooMany["bones"].toArray();
        for (int i = 0; i < 4096; ++i) {
            QJsonObject extra = b[1].toObject();
            extra["name"] = QString("b%1").arg(i);
            b.append(extra);
        }
        tooMany["bones"] = b;
    }
    QJsonObject notObject = minimalDoc();
    notObject["figure"] = 3;

    const struct {
        QByteArray data;
        const char *expect;
    } cases[] = {
        { "{ not json", "malformed JSON" },
        { "[1, 2]", "top level" },
        { bytes(QJsonObject(minimalDoc())).replace("trelvo-figure", "other"), "format" },
        { bytes(QJsonObject(minimalDoc())).replace("\"version\": 1", "\"version\": 2"), "version" },
        { bytes(notObject), "\"figure\" must be an object" },
        { bytes(withBone(minimalDoc(), 1, "name", QJsonValue::Undefined)), "\"name\" is missing" },
        { bytes(withBone(minimalDoc(), 1, "name", "  ")), "must not be empty" },
        { bytes(dup), "duplicate bone name \"chest\"" },
        { bytes(withBone(minimalDoc(), 1, "parent", "pelvis")), "unknown parent \"pelvis\"" },
        { bytes(withBone(minimalDoc(), 1, "parent", 5)), "\"parent\" must be a bone name or null" },
        { bytes(cycle), "cycle" },
        { bytes(withBone(minimalDoc(), 1, "origin", QJsonArray { 0, "high", 0 })), "must be a number" },
        { bytes(withBone(minimalDoc(), 1, "origin", QJsonArray { 0, 1 })), "array of three numbers" },
        { bytes(withBone(minimalDoc(), 1, "origin", QJsonArray { 0, 1e39, 0 })), "not a finite number" },
        { bytes(withBone(minimalDoc(), 1, "rotationOrder", "XXZ")), "not a rotation order" },
        { bytes(withBone(minimalDoc(), 1, "hidden", "yes")), "true or false" },
        { bytes(withBone(minimalDoc(), 1, "followBone", "tail")), "unknown follow bone" },
        { bytes(withBone(minimalDoc(), 1, "followBone", "chest")), "follows itself" },
        { bytes(withBone(minimalDoc(), 1, "name", "Fig")), "figure's name" },
        { bytes(badProp), "min is greater than max" },
        { bytes(shadowing), "duplicate property name \"XRotate\"" },
        { bytes(badMorph), "is missing" },
        { bytes(tooMany), "at most 4096" },
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
