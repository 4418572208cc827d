#include "recipe.h"

#include "dzfilesystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

namespace {

// Reads typed, range-checked fields of one JSON object; the first problem
// is kept with the object's name ("block 2") in front.
class FieldReader
{
public:
    FieldReader(const QJsonObject &object, const QString &where, QString *error)
        : m_object(object)
        , m_where(where)
        , m_error(error)
    {
    }

    bool ok() const { return m_ok; }

    bool checkKnown(const QSet<QString> &known)
    {
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!known.contains(it.key()))
                return fail(QStringLiteral("unknown field \"%1\"").arg(it.key()));
        }
        return true;
    }

    std::optional<double> number(const QString &key, double min, double max)
    {
        if (!m_ok || !m_object.contains(key))
            return std::nullopt;
        const QJsonValue v = m_object.value(key);
        if (!v.isDouble()) {
            fail(QStringLiteral("\"%1\" must be a number").arg(key));
            return std::nullopt;
        }
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < min || d > max) {
            fail(QStringLiteral("\"%1\" must lie between %2 and %3 (found %4)")
                     .arg(key)
                     .arg(min)
                     .arg(max)
                     .arg(d));
            return std::nullopt;
        }
        return d;
    }

    std::optional<int> integer(const QString &key, int min, int max)
    {
        if (!m_ok || !m_object.contains(key))
            return std::nullopt;
        const QJsonValue v = m_object.value(key);
        const double d = v.toDouble();
        if (!v.isDouble() || !std::isfinite(d) || std::floor(d) != d) {
            fail(QStringLiteral("\"%1\" must be a whole number").arg(key));
            return std::nullopt;
        }
        if (d < min || d > max) {
            fail(QStringLiteral("\"%1\" must lie between %2 and %3 (found %4)")
                     .arg(key)
                     .arg(min)
                     .arg(max)
                     .arg(d));
            return std::nullopt;
        }
        return static_cast<int>(d);
    }

    std::optional<bool> boolean(const QString &key)
    {
        if (!m_ok || !m_object.contains(key))
            return std::nullopt;
        const QJsonValue v = m_object.value(key);
        if (!v.isBool()) {
            fail(QStringLiteral("\"%1\" must be true or false").arg(key));
            return std::nullopt;
        }
        return v.toBool();
    }

    std::optional<QString> string(const QString &key, bool required)
    {
        if (!m_ok)
            return std::nullopt;
        if (!m_object.contains(key)) {
            if (required)
                fail(QStringLiteral("\"%1\" is missing").arg(key));
            return std::nullopt;
        }
        const QJsonValue v = m_object.value(key);
        if (!v.isString() || v.toString().isEmpty()) {
            fail(QStringLiteral("\"%1\" must be a non-empty string").arg(key));
            return std::nullopt;
        }
        return v.toString();
    }

    // An array of n numbers within [min, max].
    std::optional<std::vector<double>> numbers(const QString &key, int n, double min, double max)
    {
        if (!m_ok || !m_object.contains(key))
            return std::nullopt;
        return numbersOf(m_object.value(key), QStringLiteral("\"%1\"").arg(key), n, min, max);
    }

    std::optional<std::vector<double>> numbersOf(const QJsonValue &value, const QString &name, int n,
                                                 double min, double max)
    {
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != n) {
            fail(QStringLiteral("%1 must be an array of %2 numbers").arg(name).arg(n));
            return std::nullopt;
        }
        std::vector<double> out;
        for (const QJsonValue &item : array) {
            const double d = item.toDouble();
            if (!item.isDouble() || !std::isfinite(d)) {
                fail(QStringLiteral("%1 must be an array of %2 numbers").arg(name).arg(n));
                return std::nullopt;
            }
            if (d < min || d > max) {
                fail(QStringLiteral("%1 values must lie between %2 and %3 (found %4)")
                         .arg(name)
                         .arg(min)
                         .arg(max)
                         .arg(d));
                return std::nullopt;
            }
            out.push_back(d);
        }
        return out;
    }

    bool fail(const QString &problem)
    {
        if (m_ok && m_error)
            *m_error = m_where.isEmpty() ? problem : m_where + QStringLiteral(": ") + problem;
        m_ok = false;
        return false;
    }

private:
    const QJsonObject &m_object;
    QString m_where;
    QString *m_error;
    bool m_ok = true;
};

QString resolve(const QString &path, const QString &baseDir)
{
    return QDir::cleanPath(QFileInfo(path).isAbsolute() ? path : QDir(baseDir).filePath(path));
}

bool isStockFigureName(const QString &name)
{
    return name == QLatin1String("standard") || name == QLatin1String("large")
        || name == QLatin1String("partial");
}

bool parseBlock(const QJsonValue &value, int number, const QString &baseDir, RecipeBlock *block,
                QString *error)
{
    const QString where = QStringLiteral("block %1").arg(number);
    if (!value.isObject()) {
        if (error)
            *error = where + QStringLiteral(": must be an object");
        return false;
    }
    const QJsonObject object = value.toObject();
    FieldReader r(object, where, error);
    r.checkKnown({QStringLiteral("file"), QStringLiteral("speed"), QStringLiteral("inPoint"),
                  QStringLiteral("outPoint"), QStringLiteral("blendIn"),
                  QStringLiteral("internalBlend"), QStringLiteral("flags"), QStringLiteral("mirror"),
                  QStringLiteral("posOffset"), QStringLiteral("facingOffset"), QStringLiteral("gap")});
    if (const auto file = r.string(QStringLiteral("file"), true))
        block->file = resolve(*file, baseDir);
    if (const auto speed = r.number(QStringLiteral("speed"), 0.1, 10.0))
        block->speed = static_cast<float>(*speed);
    block->inPoint = r.integer(QStringLiteral("inPoint"), 0, kMaxRecipeMs);
    block->outPoint = r.integer(QStringLiteral("outPoint"), 1, kMaxRecipeMs);
    block->blendIn = r.integer(QStringLiteral("blendIn"), 0, kMaxRecipeMs);
    block->internalBlend = r.integer(QStringLiteral("internalBlend"), 0, kMaxRecipeMs);
    block->flags = r.integer(QStringLiteral("flags"), 0, 13);
    block->mirror = r.boolean(QStringLiteral("mirror"));
    if (const auto offset = r.numbers(QStringLiteral("posOffset"), 3, -5000.0, 5000.0)) {
        const std::vector<double> &o = *offset;
        if (std::fabs(o[0]) > 500.0 || std::fabs(o[2]) > 500.0)
            r.fail(QStringLiteral("\"posOffset\" x and z must lie between -500 and 500"));
        block->posOffset = std::array<float, 3>{static_cast<float>(o[0]), static_cast<float>(o[1]),
                                                static_cast<float>(o[2])};
    }
    if (const auto facing = r.number(QStringLiteral("facingOffset"), -360.0, 360.0))
        block->facingOffset = static_cast<float>(*facing);
    block->gap = r.integer(QStringLiteral("gap"), 0, kMaxRecipeMs);
    if (!r.ok())
        return false;
    if (block->flags && (*block->flags & ~13) != 0)
        return r.fail(QStringLiteral("\"flags\" may only combine 1, 4 and 8 (found %1)").arg(*block->flags));
    if (block->inPoint && block->outPoint && *block->outPoint <= *block->inPoint)
        return r.fail(QStringLiteral("\"outPoint\" must lie after \"inPoint\""));
    return true;
}

} // namespace

bool parseRecipe(const QByteArray &json, const QString &baseDir, Recipe *recipe, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("not valid JSON (%1 at offset %2)")
                         .arg(parseError.errorString())
                         .arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("the recipe must be a JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    FieldReader r(object, QString(), error);
    r.checkKnown({QStringLiteral("figure"), QStringLiteral("heelOffset"),
                  QStringLiteral("rotationalOffsets"), QStringLiteral("blocks")});
    Recipe out;
    if (const auto figure = r.string(QStringLiteral("figure"), false))
        out.figure = isStockFigureName(*figure) ? *figure : resolve(*figure, baseDir);
    if (const auto heel = r.number(QStringLiteral("heelOffset"), -60.0, 60.0))
        out.heelOffset = static_cast<float>(*heel);
    if (r.ok() && object.contains(QStringLiteral("rotationalOffsets"))) {
        const QJsonValue offsets = object.value(QStringLiteral("rotationalOffsets"));
        if (!offsets.isObject())
            return r.fail(QStringLiteral("\"rotationalOffsets\" must be an object of bone names"));
        const QJsonObject map = offsets.toObject();
        for (auto it = map.begin(); it != map.end() && r.ok(); ++it) {
            const auto q = r.numbersOf(it.value(),
                                       QStringLiteral("rotationalOffsets \"%1\"").arg(it.key()), 4,
                                       -1e6, 1e6);
            if (!q)
                break;
            const double length = std::sqrt((*q)[0] * (*q)[0] + (*q)[1] * (*q)[1]
                                            + (*q)[2] * (*q)[2] + (*q)[3] * (*q)[3]);
            if (!(length > 1e-9))
                return r.fail(QStringLiteral("rotationalOffsets \"%1\" is not a rotation (zero length)")
                                  .arg(it.key()));
            out.rotationalOffsets.append(RecipeOffset{it.key(), {(*q)[0], (*q)[1], (*q)[2], (*q)[3]}});
        }
    }
    if (!r.ok())
        return false;
    if (!object.contains(QStringLiteral("blocks")))
        return r.fail(QStringLiteral("\"blocks\" is missing"));
    const QJsonValue blocks = object.value(QStringLiteral("blocks"));
    if (!blocks.isArray())
        return r.fail(QStringLiteral("\"blocks\" must be an array"));
    const QJsonArray array = blocks.toArray();
    if (array.size() > kMaxRecipeBlocks)
        return r.fail(QStringLiteral("more than %1 blocks").arg(kMaxRecipeBlocks));
    int number = 1;
    for (const QJsonValue &value : array) {
        RecipeBlock block;
        if (!parseBlock(value, number++, baseDir, &block, error))
            return false;
        out.blocks.append(block);
    }
    *recipe = out;
    return true;
}

bool loadRecipe(const QString &path, Recipe *recipe, QString *error)
{
    QByteArray json;
    QString why;
    if (!dzReadWholeFile(path, kMaxRecipeBytes, &json, &why)) {
        if (error)
            *error = QStringLiteral("cannot read the recipe: %1").arg(why);
        return false;
    }
    return parseRecipe(json, QFileInfo(path).absolutePath(), recipe, error);
}

QByteArray recipeToJson(const Recipe &recipe)
{
    QJsonObject root;
    if (!recipe.figure.isEmpty())
        root.insert(QStringLiteral("figure"), recipe.figure);
    root.insert(QStringLiteral("heelOffset"), double(recipe.heelOffset));
    QJsonObject offsets;
    for (const RecipeOffset &o : recipe.rotationalOffsets)
        offsets.insert(o.bone, QJsonArray{o.quat[0], o.quat[1], o.quat[2], o.quat[3]});
    if (!offsets.isEmpty())
        root.insert(QStringLiteral("rotationalOffsets"), offsets);
    QJsonArray blocks;
    for (const RecipeBlock &b : recipe.blocks) {
        QJsonObject block{{QStringLiteral("file"), b.file}};
        auto put = [&block](const char *key, const auto &value) {
            if (value)
                block.insert(QLatin1String(key), *value);
        };
        if (b.speed)
            block.insert(QStringLiteral("speed"), double(*b.speed));
        put("inPoint", b.inPoint);
        put("outPoint", b.outPoint);
        put("blendIn", b.blendIn);
        put("internalBlend", b.internalBlend);
        put("flags", b.flags);
        put("mirror", b.mirror);
        if (b.posOffset)
            block.insert(QStringLiteral("posOffset"),
                         QJsonArray{double((*b.posOffset)[0]), double((*b.posOffset)[1]),
                                    double((*b.posOffset)[2])});
        if (b.facingOffset)
            block.insert(QStringLiteral("facingOffset"), double(*b.facingOffset));
        put("gap", b.gap);
        blocks.append(block);
    }
    root.insert(QStringLiteral("blocks"), blocks);
    return QJsonDocument(root).toJson();
}
