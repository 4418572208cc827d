// BVH files of every naming convention, hand-written here with known joint
// rotations, taken the whole road a user takes: trelvo-kba import-bvh into a
// block, trelvo-compose bakes it and exports BVH; the figure's bones must
// point where the file's do. Also the mapping commands, the rest-pose first
// frame and the refusals.
#include "../stock/stocktestsupport.h"
#include "bvhwriter.h"
#include "kbatool.h"
#include "motiontestdata.h"

#include <kyblock.h>

#include <gmock/gmock.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <map>
#include <optional>

using namespace trelvo::motion;
using motiontest::worldPose;
using testing::HasSubstr;
using testing::Not;

namespace {

// One humanoid layout in cm, facing +Z, left on +X. A sided role is a left
// joint as given and a right one mirrored. Spine1 has zero length (its
// children start where it does), the neck is two joints, so chains and
// zero-length joints are exercised.
struct Role {
    const char *name;
    const char *parent;
    bool sided;
    DzVec3 offset;
    DzVec3 endSite; // zero: none
};

const Role kRoles[] = { { "root", nullptr, false, { 0, 95, 0 }, {} },
    { "HipJoint", "root", true, { 0, 0, 0 }, {} }, { "Thigh", "HipJoint", true, { 9, -4, 0 }, {} },
    { "Shin", "Thigh", true, { 1, -42, 1 }, {} }, { "Foot", "Shin", true, { 0, -41, -2 }, {} },
    { "Toe", "Foot", true, { 0, -6, 12 }, { 0, 0, 5 } }, { "lowerBack", "root", false, { 0, 3, 0 }, {} },
    { "spine", "lowerBack", false, { 0, 10, -1 }, {} }, { "spine1", "spine", false, { 0, 22, 1 }, {} },
    { "neck", "spine1", false, { 0, 0, 0 }, {} }, { "neck1", "neck", false, { 0, 5, 1 }, {} },
    { "head", "neck1", false, { 0, 5, 0 }, { 0, 18, 2 } }, { "Collar", "spine1", true, { 0, 0, 0 }, {} },
    { "Shldr", "Collar", true, { 15, 2, -2 }, {} }, { "ForeArm", "Shldr", true, { 28, 0, 0 }, {} },
    { "Hand", "ForeArm", true, { 26, 0, 0 }, { 10, 0, 0 } } };

// The layout's joints, parents first, named by role: "root", "lThigh", "rThigh", ...
BvhData layout()
{
    BvhData d;
    for (const Role &r : kRoles) {
        for (const std::string &side :
            r.sided ? std::vector<std::string> { "l", "r" } : std::vector<std::string> { "" }) {
            const float x = side == "r" ? -1.0f : 1.0f;
            const auto place = [x](const DzVec3 &v) { return DzVec3(x * v.m_x, v.m_y, v.m_z); };
            const int own = r.parent ? d.findJoint(side + r.parent) : -1;
            BvhJoint j = motiontest::joint(side + r.name, own >= 0 || !r.parent ? own : d.findJoint(r.parent),
                place(r.offset), { BvhChannel::Zrotation, BvhChannel::Xrotation, BvhChannel::Yrotation },
                place(r.endSite));
            if (!r.parent)
                j.channels.insert(j.channels.begin(),
                    { BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition });
            d.joints.push_back(std::move(j));
        }
    }
    return d;
}

// Role -> joint name from one convention's names, "|" between roles in
// kRoles' order, "-" where it has none. "%" and a letter stand for the side:
// Left/Right (W), L/R (U) or l/r (l).
std::map<std::string, std::string> jointNames(const char *list)
{
    std::map<std::string, std::string> names;
    const QStringList patterns = QString::fromLatin1(list).split('|', Qt::SkipEmptyParts);
    for (int i = 0; i < patterns.size(); ++i) {
        for (const char *side : { "l", "r" }) {
            const bool left = side[0] == 'l';
            QString name = patterns[i];
            name.replace("%W", left ? "Left" : "Right").replace("%U", left ? "L" : "R").replace("%l", side);
            if (name != "-")
                names[(name == patterns[i] ? "" : side) + std::string(kRoles[i].name)] = name.toStdString();
        }
    }
    return names;
}

struct Convention {
    const char *name; // BoneMap::convention() expected
    const char *names; // for jointNames(); empty: no names a convention knows, the shape alone
};

// The figure's own names (the shipped takes', the studio's exports') are
// the retargeting and studio tests'.
const Convention kConventions[] = {
    { "cmu",
        "Hips|%UHipJoint|%WUpLeg|%WLeg|%WFoot|%WToeBase|LowerBack|Spine|Spine1|Neck|Neck1|Head|%WShoulder|"
        "%WArm|%WForeArm|%WHand" },
    { "cmu-asf",
        "hip|%lhipjoint|%lfemur|%ltibia|%lfoot|%ltoes|lowerback|upperback|thorax|lowerneck|upperneck|head|"
        "%lclavicle|%lhumerus|%lradius|%lwrist" },
    { "biovision",
        "Hips|-|%WHip|%WKnee|%WAnkle|%WToes|Ab|Chest|-|Neck|-|Head|%WCollar|%WShoulder|%WElbow|%WWrist" },
    { "mixamo",
        "mixamorig:Hips|-|mixamorig:%WUpLeg|mixamorig:%WLeg|mixamorig:%WFoot|mixamorig:%WToeBase|"
        "mixamorig:Spine|mixamorig:Spine1|mixamorig:Spine2|mixamorig:Neck|-|mixamorig:Head|"
        "mixamorig:%WShoulder|mixamorig:%WArm|mixamorig:%WForeArm|mixamorig:%WHand" },
    { "biped",
        "Bip01|-|Bip01 %U Thigh|Bip01 %U Calf|Bip01 %U Foot|Bip01 %U Toe0|Bip01 Spine|Bip01 Spine1|"
        "Bip01 Spine2|Bip01 Neck|-|Bip01 Head|Bip01 %U Clavicle|Bip01 %U UpperArm|Bip01 %U Forearm|"
        "Bip01 %U Hand" },
    { "none+structure", "" },
};

constexpr int kFrames = 8;

// The layout under a convention's names (role name where it has none, "j"
// and a number for the structure case), with rotations that bend every
// joint, the two neck joints included. Frame 0 is no rest pose unless
// `rest` is given: then every third joint is turned that far, the rest not.
BvhData humanoid(const Convention &c, std::optional<float> rest = std::nullopt)
{
    BvhData d = layout();
    d.frameTime = 1.0 / 30.0;
    const std::map<std::string, std::string> names = jointNames(c.names);
    for (std::size_t j = 0; j < d.joints.size(); ++j) {
        const auto named = names.find(d.joints[j].name);
        d.joints[j].name = names.empty() ? "j" + std::to_string(j)
            : named != names.end()       ? named->second
                                         : "x" + d.joints[j].name;
    }
    d.assignChannelIndices();
    d.frameCount = kFrames;
    for (int f = 0; f < kFrames; ++f) {
        for (std::size_t j = 0; j < d.joints.size(); ++j) {
            for (std::size_t k = 0; k < d.joints[j].channels.size(); ++k) {
                const bool position = !isRotation(d.joints[j].channels[k]);
                // Smooth, different per joint and axis, up to about 35 degrees.
                const double phase = 0.7 * double(j) + 1.9 * double(k) + 0.35 * f;
                const float turn
                    = rest && f == 0 ? (j % 3 == 1 ? *rest : 0.0f) : float(35.0 * std::sin(phase));
                d.values.push_back(position ? float(k == 1 ? 95.0 : 4.0 * f) : turn);
            }
        }
    }
    return d;
}

} // namespace

// A folder per test, and the programs run on files in it.
class ImportRoad : public ::testing::Test {
protected:
    QString writeBvh(const BvhData &d, const QString &name = "take.bvh")
    {
        std::string text;
        EXPECT_TRUE(BvhWriter().toText(d, text));
        EXPECT_TRUE(writeText(dir.filePath(name), QByteArray::fromStdString(text)));
        return dir.filePath(name);
    }
    // trelvo-kba import-bvh of `bvh` into the folder's `block`; what it printed.
    QString import(
        const QString &bvh, const QString &block, const QStringList &extra = {}, int status = kKbaOk)
    {
        QString messages;
        EXPECT_EQ(runKba(QStringList { "import-bvh", bvh, dir.filePath(block) } + extra, &messages), status)
            << messages.toStdString();
        return messages;
    }
    // Imports, bakes and exports; the exported BVH of the standard figure.
    BvhData road(const QString &bvh, const QStringList &extra = {})
    {
        import(bvh, "take.kba", extra);
        writeText(dir.filePath("recipe.json"), R"({"blocks": [{"file": "take.kba"}]})");
        QString messages;
        EXPECT_EQ(compose({ dir.filePath("recipe.json"), "--bvh", dir.filePath("baked.bvh") }, &messages), 0)
            << messages.toStdString();
        BvhData baked;
        EXPECT_TRUE(BvhReader().readFile(QFile::encodeName(dir.filePath("baked.bvh")).toStdString(), baked));
        return baked;
    }

    QTemporaryDir dir;
};

TEST_F(ImportRoad, EveryConventionPointsTheFiguresBonesWhereTheFilesPoint)
{
    // Figure bone -> the layout's joints at its start and end.
    const std::pair<const char *, std::pair<const char *, const char *>> bones[]
        = { { "lThigh", { "lThigh", "lShin" } }, { "rThigh", { "rThigh", "rShin" } },
              { "lShin", { "lShin", "lFoot" } }, { "rShin", { "rShin", "rFoot" } },
              { "lShldr", { "lShldr", "lForeArm" } }, { "rShldr", { "rShldr", "rForeArm" } },
              { "lForeArm", { "lForeArm", "lHand" } }, { "rForeArm", { "rForeArm", "rHand" } },
              { "abdomen", { "lowerBack", "spine" } }, { "chest", { "spine", "neck" } },
              { "neck", { "neck", "head" } } };
    const BvhData roles = layout();

    for (const Convention &c : kConventions) {
        SCOPED_TRACE(c.name);
        const BvhData file = humanoid(c);
        const QString path = writeBvh(file);
        QString json;
        ASSERT_EQ(runKba({ "bvh-map", path }, &json), kKbaOk) << json.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(json.toUtf8())["convention"].toString().toStdString(), c.name);

        const BvhData baked = road(path);
        // The block lasts 233 ms, so frame 7 (233.3 ms) lies just past it.
        ASSERT_GE(baked.frameCount, kFrames - 1);
        for (int f = 0; f < kFrames - 1; ++f) {
            const motiontest::WorldPose source = worldPose(file, f);
            const motiontest::WorldPose figure = worldPose(baked, f);
            for (const auto &[bone, ends] : bones) {
                const DzVec3 want
                    = source.at[roles.findJoint(ends.second)] - source.at[roles.findJoint(ends.first)];
                const int start = baked.findJoint(bone);
                const int end = baked.findJoint(baked.joints[baked.childrenOf(start)[0]].name);
                const DzVec3 got = figure.at[end] - figure.at[start];
                EXPECT_LT(motiontest::degreesBetween(want, got), 0.5) << bone << " frame " << f;
            }
        }
    }
}

TEST_F(ImportRoad, MappingFileIsReadBackAndBadOnesAreRefused)
{
    const BvhData file = humanoid(kConventions[0]); // CMU names
    const QString path = writeBvh(file);
    QString json;
    ASSERT_EQ(runKba({ "bvh-map", path }, &json), kKbaOk);
    const QJsonObject map = QJsonDocument::fromJson(json.toUtf8()).object();
    EXPECT_EQ(map.value("joints").toObject().value("Neck1").toString(), "neck");
    EXPECT_TRUE(map.value("undrivenBones").toArray().contains("lMid1"));

    // The printed mapping, edited: the arms swapped sides.
    QJsonObject joints = map.value("joints").toObject();
    for (const auto &[joint, bone] : { std::pair { "Arm", "Shldr" }, std::pair { "ForeArm", "ForeArm" } }) {
        joints["Left" + QString(joint)] = "r" + QString(bone);
        joints["Right" + QString(joint)] = "l" + QString(bone);
    }
    QJsonObject edited = map;
    edited["joints"] = joints;
    writeText(dir.filePath("map.json"), QJsonDocument(edited).toJson());
    const BvhData baked = road(path, { "--map", dir.filePath("map.json") });
    ASSERT_GT(baked.frameCount, 0);
    const std::vector<DzVec3> figure = worldPose(baked, 0).at, source = worldPose(file, 0).at;
    EXPECT_LT(
        motiontest::degreesBetween(source[file.findJoint("LeftForeArm")] - source[file.findJoint("LeftArm")],
            figure[baked.findJoint("rForeArm")] - figure[baked.findJoint("rShldr")]),
        0.5);

    // Spine1 spans no distance: alone it drives nothing, and says so.
    joints["Spine"] = QJsonValue::Null;
    edited["joints"] = joints;
    writeText(dir.filePath("map.json"), QJsonDocument(edited).toJson());
    EXPECT_THAT(import(path, "zero.kba", { "--map", dir.filePath("map.json") }).toStdString(),
        HasSubstr("The spine is not driven by the file (chest)"));

    const struct {
        const char *json;
        const char *message;
    } bad[] = {
        { R"({"joints": {"Hips": "hip", "LeftArm": "lShldr", "RightArm": "lShldr"}})", "only as a chain" },
        { R"({"joints": {"Hips": "hip", "Tail": "abdomen"}})", "'Tail', which the file does not have" },
        { R"({"joints": {"Hips": 3}})", "bone name or null" },
        { R"({"format": "other", "joints": {}})", "trelvo-bvh-map" },
        { R"({"joints": )", "not valid JSON" },
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.json);
        writeText(dir.filePath("bad.json"), c.json);
        EXPECT_THAT(import(path, "bad.kba", { "--map", dir.filePath("bad.json") }, kKbaFailed).toStdString(),
            HasSubstr(c.message));
        EXPECT_FALSE(QFile::exists(dir.filePath("bad.kba")));
    }
}

TEST_F(ImportRoad, RefusesAFileThatDrivesNoLegsOrNoSpineUnlessMapped)
{
    BvhData legless;
    legless.frameTime = 1.0 / 30.0;
    // A tail reaches the floor, but a single segment is no leg.
    legless.joints
        = { motiontest::joint("Hips", -1, { 0, 100, 0 }, { BvhChannel::Yposition, BvhChannel::Yrotation }),
              motiontest::joint("Chest", 0, { 0, 20, 0 }, { BvhChannel::Xrotation }),
              motiontest::joint("Head", 1, { 0, 30, 0 }, { BvhChannel::Xrotation }, { 0, 20, 0 }),
              motiontest::joint("Tail", 0, { 0, -10, 0 }, {}, { 0, -85, 0 }) };
    legless.assignChannelIndices();
    legless.frameCount = 3;
    legless.values = { 100, 20, 5, 5, 100, 25, 6, 6, 100, 30, 7, 7 };
    const QString path = writeBvh(legless);
    EXPECT_THAT(
        import(path, "a.kba", {}, kKbaFailed).toStdString(), HasSubstr("either of the figure's legs"));
    writeText(dir.filePath("map.json"), R"({"joints": {"Hips": "hip", "Chest": "chest", "Head": "head"}})");
    import(path, "a.kba", { "--map", dir.filePath("map.json") });
}

TEST_F(ImportRoad, FrameRateRestPoseAndExtraMotionLines)
{
    BvhData file = humanoid(kConventions[0]);
    const QString path = writeBvh(file);
    EXPECT_THAT(import(path, "30.kba").toStdString(), Not(HasSubstr("rest pose")));
    KyBlock *normal = KyBlock::get(dir.filePath("30.kba"));
    ASSERT_TRUE(normal);
    EXPECT_NEAR(normal->clipLength, (kFrames - 1) * 1000 / 30, 2);
    // --fps: 7 intervals at 60 fps are 116.7 ms; the 30 fps samples end at 100 ms.
    import(path, "60.kba", { "--fps", "60" });
    EXPECT_NEAR(KyBlock::get(dir.filePath("60.kba"))->clipLength, 100, 2);
    import(path, "x.kba", { "--fps", "0" }, kKbaBadUsage);

    // A rest pose first (every rotation zero) is dropped and said so; a
    // hand-written pose of whole degrees (the converters' T-pose) too.
    for (const float restValue : { 0.0f, 21.0f }) {
        const QString block = QStringLiteral("rest%1.kba").arg(restValue);
        EXPECT_THAT(import(writeBvh(humanoid(kConventions[0], restValue), "rest.bvh"), block).toStdString(),
            HasSubstr("frame 1 is a rest pose"))
            << restValue;
        KyBlock *dropped = KyBlock::get(dir.filePath(block));
        ASSERT_TRUE(dropped);
        EXPECT_NEAR(dropped->clipLength, (kFrames - 2) * 1000 / 30, 2);
    }

    // One motion line more than declared: read as declared, with a warning.
    std::string text;
    BvhWriter().toText(file, text);
    const std::size_t lastLine = text.rfind('\n', text.size() - 2);
    writeText(dir.filePath("extra.bvh"), QByteArray::fromStdString(text + text.substr(lastLine + 1)));
    EXPECT_THAT(import(dir.filePath("extra.bvh"), "extra.kba").toStdString(),
        HasSubstr("1 motion line after the 8 frames declared"));
    EXPECT_EQ(KyBlock::get(dir.filePath("extra.kba"))->clipLength, normal->clipLength);

    // compose --bvh without a target, or into a missing folder, fails and leaves nothing.
    writeText(dir.filePath("recipe.json"), R"({"blocks": [{"file": "30.kba"}]})");
    EXPECT_EQ(compose({ dir.filePath("recipe.json"), "--bvh" }), 2);
    const QString nowhere = dir.filePath("missing/out.bvh");
    QString messages;
    EXPECT_EQ(compose({ dir.filePath("recipe.json"), "--bvh", nowhere }, &messages), 1);
    EXPECT_TRUE(messages.contains("out.bvh")) << messages.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}
