#include "bonemapfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace trelvo::motion {

namespace {

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string list(const std::vector<std::string> &names)
{
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i ? ", " : "") + quoted(names[i]);
    return out + "]";
}

} // namespace

std::vector<std::string> undrivenBones(const BoneMap &map, const std::vector<std::string> &boneNames)
{
    std::vector<std::string> out;
    for (const std::string &bone : boneNames) {
        if (!map.chainOf(bone).isValid())
            out.push_back(bone);
    }
    return out;
}

std::string boneMapJson(const BvhData &bvh, const BoneMap &map, const std::vector<std::string> &boneNames)
{
    std::string out = "{\n  \"format\": \"trelvo-bvh-map\",\n  \"version\": 1,\n  \"convention\": "
        + quoted(map.convention()) + ",\n  \"joints\": {";
    const BoneMap::Assignments joints = map.assignments(bvh);
    for (std::size_t i = 0; i < joints.size(); ++i) {
        out += (i ? ",\n    " : "\n    ") + quoted(joints[i].first) + ": "
            + (joints[i].second.empty() ? std::string("null") : quoted(joints[i].second));
    }
    out += "\n  },\n  \"unmappedJoints\": " + list(map.unmapped()) + ",\n  \"undrivenBones\": "
        + list(undrivenBones(map, boneNames)) + "\n}\n";
    return out;
}

bool parseBoneMapJson(const std::string &text, BoneMap::Assignments &out, std::string *error)
{
    auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail("not valid JSON at offset " + std::to_string(parseError.offset) + ": "
                    + parseError.errorString().toStdString());
    if (!doc.isObject())
        return fail("the mapping must be a JSON object");
    const QJsonObject root = doc.object();
    if (root.contains("format") && root.value("format").toString() != QLatin1String("trelvo-bvh-map"))
        return fail("the format must be \"trelvo-bvh-map\"");
    if (root.contains("version") && root.value("version").toInt(-1) != 1)
        return fail("unknown mapping version; this program reads version 1");
    if (!root.value("joints").isObject())
        return fail("the mapping has no \"joints\" object (file joint -> figure bone)");
    BoneMap::Assignments result;
    const QJsonObject joints = root.value("joints").toObject();
    for (auto it = joints.begin(); it != joints.end(); ++it) {
        if (!it.value().isString() && !it.value().isNull())
            return fail("the joint '" + it.key().toStdString() + "' must map to a bone name or null");
        result.emplace_back(it.key().toStdString(), it.value().toString().toStdString());
    }
    out = std::move(result);
    return true;
}

} // namespace trelvo::motion
