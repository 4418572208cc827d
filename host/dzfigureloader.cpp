#include "dzfigureloader.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzfilesystem.h"
#include "dzskeleton.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
constexpr int kMaxBones = 4096;
constexpr int kMaxMorphs = 1024;
constexpr int kMaxProperties = 1024;
constexpr int kFormatVersion = 1;
const char *const kFormatTag = "trelvo-figure";

// Thrown inside the parser only; turned into the error string at the API.
struct FigureError {
    QString message;
};

[[noreturn]] void fail(const QString &message)
{
    throw FigureError{message};
}

QString where(const QString &context, const QString &key)
{
    return context.isEmpty() ? QStringLiteral("\"%1\"").arg(key)
                             : QStringLiteral("%1: \"%2\"").arg(context, key);
}

QJsonValue require(const QJsonObject &obj, const QString &key, const QString &context)
{
    if (!obj.contains(key))
        fail(QStringLiteral("%1 is missing").arg(where(context, key)));
    return obj.value(key);
}

QString requireString(const QJsonObject &obj, const QString &key, const QString &context, bool nonEmpty)
{
    const QJsonValue v = require(obj, key, context);
    if (!v.isString())
        fail(QStringLiteral("%1 must be a string").arg(where(context, key)));
    const QString s = v.toString();
    if (nonEmpty && s.trimmed().isEmpty())
        fail(QStringLiteral("%1 must not be empty").arg(where(context, key)));
    return s;
}

float toFloat(const QJsonValue &v, const QString &what)
{
    if (!v.isDouble())
        fail(QStringLiteral("%1 must be a number").arg(what));
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::fabs(d) > double(FLT_MAX))
        fail(QStringLiteral("%1 is not a finite number").arg(what));
    return float(d);
}

float requireFloat(const QJsonObject &obj, const QString &key, const QString &context)
{
    return toFloat(require(obj, key, context), where(context, key));
}

bool requireBool(const QJsonObject &obj, const QString &key, const QString &context)
{
    const QJsonValue v = require(obj, key, context);
    if (!v.isBool())
        fail(QStringLiteral("%1 must be true or false").arg(where(context, key)));
    return v.toBool();
}

bool optionalBool(const QJsonObject &obj, const QString &key, const QString &context, bool fallback)
{
    return obj.contains(key) ? requireBool(obj, key, context) : fallback;
}

DzVec3 requireVec(const QJsonObject &obj, const QString &key, const QString &context)
{
    const QJsonValue v = require(obj, key, context);
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 3)
        fail(QStringLiteral("%1 must be an array of three numbers").arg(where(context, key)));
    const QString what = where(context, key);
    return DzVec3(toFloat(a.at(0), what), toFloat(a.at(1), what), toFloat(a.at(2), what));
}

DzRotationOrder requireOrder(const QJsonObject &obj, const QString &key, const QString &context)
{
    const QString text = requireString(obj, key, context, true);
    bool ok = false;
    const DzRotationOrder order = DzRotationOrder::fromString(text, &ok);
    if (!ok)
        fail(QStringLiteral("%1 \"%2\" is not a rotation order (XYZ, XZY, YXZ, YZX, ZXY or ZYX)")
                 .arg(where(context, key), text));
    return order;
}

QJsonArray optionalArray(const QJsonObject &obj, const QString &key, const QString &context, int maxSize)
{
    if (!obj.contains(key))
        return QJsonArray();
    const QJsonValue v = obj.value(key);
    if (!v.isArray())
        fail(QStringLiteral("%1 must be an array").arg(where(context, key)));
    const QJsonArray a = v.toArray();
    if (a.size() > maxSize)
        fail(QStringLiteral("%1 has %2 entries, at most %3 are allowed").arg(where(context, key)).arg(a.size()).arg(maxSize));
    return a;
}

QJsonObject entryObject(const QJsonValue &v, const QString &what)
{
    if (!v.isObject())
        fail(QStringLiteral("%1 must be an object").arg(what));
    return v.toObject();
}

struct BoneDef {
    QString name;
    QString label;
    QString parent; // empty: child of the figure node
    QString follow;
    DzVec3 origin;
    DzVec3 endPoint;
    DzRotationOrder order;
    bool hidden = false;
};

struct MorphDef {
    QString name;
    QString label;
};

struct PropertyDef {
    QString name;
    QString label;
    float value, min, max;
    bool clamped, animatable;
};

DzSkeleton *build(const QByteArray &json)
{
    if (json.size() > kMaxFileSize)
        fail(QStringLiteral("the data is larger than 16 MiB"));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        fail(QStringLiteral("malformed JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString()));
    if (!doc.isObject())
        fail(QStringLiteral("the top level must be a JSON object"));
    const QJsonObject root = doc.object();

    if (requireString(root, QStringLiteral("format"), QString(), true) != QLatin1String(kFormatTag))
        fail(QStringLiteral("\"format\" must be \"%1\"").arg(QLatin1String(kFormatTag)));
    const QJsonValue version = require(root, QStringLiteral("version"), QString());
    if (!version.isDouble() || version.toDouble() != kFormatVersion)
        fail(QStringLiteral("unsupported \"version\" (this program reads version %1)").arg(kFormatVersion));

    const QJsonObject fig = entryObject(require(root, QStringLiteral("figure"), QString()), QStringLiteral("\"figure\""));
    const QString figCtx = QStringLiteral("figure");
    const QString figName = requireString(fig, QStringLiteral("name"), figCtx, true);
    const QString figLabel = requireString(fig, QStringLiteral("label"), figCtx, false);
    const DzRotationOrder figOrder = requireOrder(fig, QStringLiteral("rotationOrder"), figCtx);
    const DzVec3 figOrigin = requireVec(fig, QStringLiteral("origin"), figCtx);
    const DzVec3 figEnd = requireVec(fig, QStringLiteral("endPoint"), figCtx);

    std::vector<MorphDef> morphs;
    QSet<QString> morphNames;
    for (const QJsonValue &v : optionalArray(fig, QStringLiteral("morphs"), figCtx, kMaxMorphs)) {
        const QString ctx = QStringLiteral("figure morph %1").arg(morphs.size() + 1);
        const QJsonObject m = entryObject(v, ctx);
        MorphDef def{requireString(m, QStringLiteral("name"), ctx, true),
                       requireString(m, QStringLiteral("label"), ctx, false)};
        if (morphNames.contains(def.name))
            fail(QStringLiteral("duplicate morph name \"%1\"").arg(def.name));
        morphNames.insert(def.name);
        morphs.push_back(def);
    }

    // Property names must not shadow the transform controls every node has.
    QSet<QString> propNames;
    {
        DzNode probe;
        for (int i = 0; i < probe.getNumProperties(); ++i)
            propNames.insert(probe.getProperty(i)->getName());
    }
    std::vector<PropertyDef> props;
    for (const QJsonValue &v : optionalArray(fig, QStringLiteral("properties"), figCtx, kMaxProperties)) {
        const QString ctx = QStringLiteral("figure property %1").arg(props.size() + 1);
        const QJsonObject p = entryObject(v, ctx);
        PropertyDef def;
        def.name = requireString(p, QStringLiteral("name"), ctx, true);
        def.label = requireString(p, QStringLiteral("label"), ctx, false);
        def.value = requireFloat(p, QStringLiteral("value"), ctx);
        def.min = requireFloat(p, QStringLiteral("min"), ctx);
        def.max = requireFloat(p, QStringLiteral("max"), ctx);
        def.clamped = requireBool(p, QStringLiteral("clamped"), ctx);
        def.animatable = requireBool(p, QStringLiteral("animatable"), ctx);
        if (propNames.contains(def.name))
            fail(QStringLiteral("duplicate property name \"%1\"").arg(def.name));
        if (def.min > def.max)
            fail(QStringLiteral("property \"%1\": min is greater than max").arg(def.name));
        if (def.value < def.min || def.value > def.max)
            fail(QStringLiteral("property \"%1\": value lies outside min..max").arg(def.name));
        propNames.insert(def.name);
        props.push_back(def);
    }

    const QJsonValue bonesValue = require(root, QStringLiteral("bones"), QString());
    if (!bonesValue.isArray())
        fail(QStringLiteral("\"bones\" must be an array"));
    const QJsonArray bonesArray = bonesValue.toArray();
    if (bonesArray.size() > kMaxBones)
        fail(QStringLiteral("%1 bones, at most %2 are allowed").arg(bonesArray.size()).arg(kMaxBones));

    std::vector<BoneDef> bones;
    QHash<QString, int> index;
    for (int i = 0; i < bonesArray.size(); ++i) {
        const QJsonObject b = entryObject(bonesArray.at(i), QStringLiteral("bone %1").arg(i + 1));
        BoneDef def;
        def.name = requireString(b, QStringLiteral("name"), QStringLiteral("bone %1").arg(i + 1), true);
        const QString ctx = QStringLiteral("bone \"%1\"").arg(def.name);
        if (def.name == figName)
            fail(QStringLiteral("%1 has the figure's name").arg(ctx));
        if (index.contains(def.name))
            fail(QStringLiteral("duplicate bone name \"%1\"").arg(def.name));
        def.label = requireString(b, QStringLiteral("label"), ctx, false);
        const QJsonValue parent = require(b, QStringLiteral("parent"), ctx);
        if (parent.isString() && !parent.toString().isEmpty())
            def.parent = parent.toString();
        else if (!parent.isNull())
            fail(QStringLiteral("%1: \"parent\" must be a bone name or null").arg(ctx));
        def.origin = requireVec(b, QStringLiteral("origin"), ctx);
        def.endPoint = requireVec(b, QStringLiteral("endPoint"), ctx);
        def.order = requireOrder(b, QStringLiteral("rotationOrder"), ctx);
        def.hidden = optionalBool(b, QStringLiteral("hidden"), ctx, false);
        if (b.contains(QStringLiteral("followBone")))
            def.follow = requireString(b, QStringLiteral("followBone"), ctx, true);
        index.insert(def.name, i);
        bones.push_back(def);
    }

    for (const BoneDef &b : bones) {
        if (!b.parent.isEmpty() && !index.contains(b.parent))
            fail(QStringLiteral("bone \"%1\": unknown parent \"%2\"").arg(b.name, b.parent));
        if (!b.follow.isEmpty() && !index.contains(b.follow))
            fail(QStringLiteral("bone \"%1\": unknown follow bone \"%2\"").arg(b.name, b.follow));
        if (b.follow == b.name)
            fail(QStringLiteral("bone \"%1\" follows itself").arg(b.name));
    }
    // A chain longer than the bone count must revisit a bone: a cycle.
    for (const BoneDef &b : bones) {
        QString at = b.parent;
        for (size_t steps = 0; !at.isEmpty(); ++steps) {
            if (steps >= bones.size() || at == b.name)
                fail(QStringLiteral("bone \"%1\": its parents form a cycle").arg(b.name));
            at = bones[size_t(index.value(at))].parent;
        }
    }

    auto skeleton = std::make_unique<DzSkeleton>(figName);
    if (!figLabel.isEmpty())
        skeleton->setLabel(figLabel);
    skeleton->setRotationOrder(figOrder);
    skeleton->setOrigin(figOrigin);
    skeleton->setEndPoint(figEnd);

    std::vector<DzBone *> made;
    made.reserve(bones.size());
    for (const BoneDef &b : bones) {
        auto *bone = new DzBone(b.name, skeleton.get()); // owned until attached below
        if (!b.label.isEmpty())
            bone->setLabel(b.label);
        bone->setOrigin(b.origin);
        bone->setEndPoint(b.endPoint);
        bone->setRotationOrder(b.order);
        bone->setHidden(b.hidden);
        made.push_back(bone);
    }
    for (size_t i = 0; i < bones.size(); ++i) {
        DzNode *parent = bones[i].parent.isEmpty() ? static_cast<DzNode *>(skeleton.get())
                                                   : made[size_t(index.value(bones[i].parent))];
        parent->addNodeChild(made[i]);
        if (!bones[i].follow.isEmpty())
            made[i]->setFollowBone(made[size_t(index.value(bones[i].follow))]);
    }

    if (!morphs.empty()) {
        auto *object = new DzObject(figName + QStringLiteral(" Object"));
        for (const MorphDef &m : morphs)
            object->addModifier(new DzMorph(m.name, m.label));
        skeleton->setObject(object);
    }
    for (const PropertyDef &p : props) {
        auto *prop = new DzFloatProperty(p.name, p.value, p.animatable);
        if (!p.label.isEmpty())
            prop->setLabel(p.label);
        prop->setMinMax(p.min, p.max);
        prop->setIsClamped(p.clamped);
        skeleton->addProperty(prop);
    }
    return skeleton.release();
}

} // namespace

DzSkeleton *DzFigureLoader::loadData(const QByteArray &json, QString *error)
{
    try {
        DzSkeleton *skeleton = build(json);
        if (error)
            error->clear();
        return skeleton;
    } catch (const FigureError &e) {
        if (error)
            *error = e.message;
        return nullptr;
    }
}

DzSkeleton *DzFigureLoader::loadFile(const QString &path, QString *error)
{
    QByteArray data;
    QString message;
    if (!dzReadWholeFile(path, kMaxFileSize, &data, &message)) {
        if (error)
            *error = QStringLiteral("figure file: %1").arg(message);
        return nullptr;
    }
    DzSkeleton *skeleton = loadData(data, &message);
    if (!skeleton && error)
        *error = QStringLiteral("figure file %1: %2").arg(dzDisplayName(path), message);
    else if (error)
        error->clear();
    return skeleton;
}

QString DzFigureLoader::standardFigurePath(const QString &contentDir)
{
    return QDir(contentDir).filePath(QStringLiteral("figures/standard.json"));
}

DzSkeleton *DzFigureLoader::loadStandardFigure(const QString &contentDir, QString *error)
{
    return loadFile(standardFigurePath(contentDir), error);
}

namespace {

QJsonArray vecJson(const DzVec3 &v)
{
    return QJsonArray { double(v.m_x), double(v.m_y), double(v.m_z) };
}

} // namespace

QByteArray DzFigureLoader::saveData(const DzSkeleton *figure)
{
    QJsonObject fig;
    fig.insert(QStringLiteral("name"), figure->getName());
    fig.insert(QStringLiteral("label"), figure->getLabel());
    fig.insert(QStringLiteral("rotationOrder"), figure->getRotationOrder().toString());
    fig.insert(QStringLiteral("origin"), vecJson(figure->getOrigin()));
    fig.insert(QStringLiteral("endPoint"), vecJson(figure->getEndPoint()));
    QJsonArray morphs;
    if (const DzObject *object = figure->getObject()) {
        for (int i = 0; i < object->getNumModifiers(); ++i) {
            if (const auto *morph = qobject_cast<const DzMorph *>(object->getModifier(i)))
                morphs.append(QJsonObject { { QStringLiteral("name"), morph->getName() },
                                            { QStringLiteral("label"), morph->getLabel() } });
        }
    }
    fig.insert(QStringLiteral("morphs"), morphs);
    // The figure's own properties: those beyond the controls every node has.
    QSet<QString> controls;
    {
        DzNode probe;
        for (int i = 0; i < probe.getNumProperties(); ++i)
            controls.insert(probe.getProperty(i)->getName());
    }
    QJsonArray props;
    for (int i = 0; i < figure->getNumProperties(); ++i) {
        const auto *p = qobject_cast<const DzFloatProperty *>(figure->getProperty(i));
        if (!p || controls.contains(p->getName()))
            continue;
        props.append(QJsonObject { { QStringLiteral("name"), p->getName() },
                                   { QStringLiteral("label"), p->getLabel() },
                                   { QStringLiteral("value"), double(p->getStaticValue()) },
                                   { QStringLiteral("min"), double(p->getMin()) },
                                   { QStringLiteral("max"), double(p->getMax()) },
                                   { QStringLiteral("clamped"), p->isClamped() },
                                   { QStringLiteral("animatable"), p->isAnimatable() } });
    }
    fig.insert(QStringLiteral("properties"), props);

    QJsonArray bones;
    for (const DzBone *bone : figure->getAllBones()) {
        const DzNode *parent = bone->getNodeParent();
        QJsonObject b { { QStringLiteral("name"), bone->getName() },
                        { QStringLiteral("label"), bone->getLabel() },
                        { QStringLiteral("parent"),
                          parent && parent != figure ? QJsonValue(parent->getName()) : QJsonValue() },
                        { QStringLiteral("origin"), vecJson(bone->getOrigin()) },
                        { QStringLiteral("endPoint"), vecJson(bone->getEndPoint()) },
                        { QStringLiteral("rotationOrder"), bone->getRotationOrder().toString() },
                        { QStringLiteral("hidden"), bone->isHidden() } };
        if (const DzBone *follow = bone->getFollowBone())
            b.insert(QStringLiteral("followBone"), follow->getName());
        bones.append(b);
    }
    const QJsonObject root { { QStringLiteral("format"), QLatin1String(kFormatTag) },
                             { QStringLiteral("version"), kFormatVersion },
                             { QStringLiteral("figure"), fig },
                             { QStringLiteral("bones"), bones } };
    return QJsonDocument(root).toJson();
}
