#include "bonemap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace trelvo::motion {

namespace {

const std::string kNone;

// Table rows: a folded joint name and a bone. In names, "{Side}" stands for
// left/right, "{s}" for l/r; in bones "{b}" for the figure's l/r. A row
// without placeholders is used once, a row with them once per side.
struct Row
{
    const char *joint;
    const char *bone;
};

constexpr Row kMixamo[] = {
    {"hips", "hip"}, {"spine", "abdomen"}, {"spine1", "chest"}, {"spine2", "chest"}, {"spine3", "chest"},
    {"neck", "neck"}, {"neck1", "neck"}, {"head", "head"},
    {"{Side}shoulder", "{b}Collar"}, {"{Side}arm", "{b}Shldr"}, {"{Side}forearm", "{b}ForeArm"},
    {"{Side}hand", "{b}Hand"}, {"{Side}upleg", "{b}Thigh"}, {"{Side}leg", "{b}Shin"}, {"{Side}foot", "{b}Foot"},
    {"{Side}toebase", "{b}Toe"},
    {"{Side}handthumb1", "{b}Thumb1"}, {"{Side}handthumb2", "{b}Thumb2"}, {"{Side}handthumb3", "{b}Thumb3"},
    {"{Side}handindex1", "{b}Index1"}, {"{Side}handindex2", "{b}Index2"}, {"{Side}handindex3", "{b}Index3"},
    {"{Side}handmiddle1", "{b}Mid1"}, {"{Side}handmiddle2", "{b}Mid2"}, {"{Side}handmiddle3", "{b}Mid3"},
    {"{Side}handring1", "{b}Ring1"}, {"{Side}handring2", "{b}Ring2"}, {"{Side}handring3", "{b}Ring3"},
    {"{Side}handpinky1", "{b}Pinky1"}, {"{Side}handpinky2", "{b}Pinky2"}, {"{Side}handpinky3", "{b}Pinky3"},
};

// CMU's release: read after kMixamo, whose rows it overrides.
constexpr Row kCmu[] = {
    {"lowerback", "abdomen"}, {"spine", "chest"}, {"spine1", "chest"}, {"{s}hipjoint", "{b}Buttock"},
    {"{s}thumb", "{b}Thumb1"},
};

constexpr Row kCmuAsf[] = {
    {"hip", "hip"}, {"root", "hip"}, {"lowerback", "abdomen"}, {"upperback", "chest"}, {"thorax", "chest"},
    {"lowerneck", "neck"}, {"upperneck", "neck"}, {"head", "head"},
    {"{s}hipjoint", "{b}Buttock"}, {"{s}femur", "{b}Thigh"}, {"{s}tibia", "{b}Shin"}, {"{s}foot", "{b}Foot"},
    {"{s}toes", "{b}Toe"}, {"{s}clavicle", "{b}Collar"}, {"{s}humerus", "{b}Shldr"}, {"{s}radius", "{b}ForeArm"},
    {"{s}wrist", "{b}Hand"}, {"{s}hand", "{b}Hand"}, {"{s}thumb", "{b}Thumb1"},
};

constexpr Row kBiovision[] = {
    {"hips", "hip"}, {"ab", "abdomen"}, {"abdomen", "abdomen"}, {"chest", "chest"}, {"chest2", "chest"},
    {"neck", "neck"}, {"head", "head"},
    {"{Side}collar", "{b}Collar"}, {"{Side}shoulder", "{b}Shldr"}, {"{Side}elbow", "{b}ForeArm"},
    {"{Side}wrist", "{b}Hand"}, {"{Side}hip", "{b}Thigh"}, {"{Side}knee", "{b}Shin"}, {"{Side}ankle", "{b}Foot"},
    {"{Side}toes", "{b}Toe"}, {"{Side}toe", "{b}Toe"},
};

constexpr Row kBiped[] = {
    {"bip01", "hip"}, {"bip01pelvis", "hip"}, {"bip01spine", "abdomen"}, {"bip01spine1", "chest"},
    {"bip01spine2", "chest"}, {"bip01spine3", "chest"}, {"bip01neck", "neck"}, {"bip01neck1", "neck"},
    {"bip01head", "head"},
    {"bip01{s}clavicle", "{b}Collar"}, {"bip01{s}upperarm", "{b}Shldr"}, {"bip01{s}forearm", "{b}ForeArm"},
    {"bip01{s}hand", "{b}Hand"}, {"bip01{s}thigh", "{b}Thigh"}, {"bip01{s}calf", "{b}Shin"},
    {"bip01{s}foot", "{b}Foot"}, {"bip01{s}toe0", "{b}Toe"},
    {"bip01{s}finger0", "{b}Thumb1"}, {"bip01{s}finger01", "{b}Thumb2"}, {"bip01{s}finger02", "{b}Thumb3"},
    {"bip01{s}finger1", "{b}Index1"}, {"bip01{s}finger11", "{b}Index2"}, {"bip01{s}finger12", "{b}Index3"},
    {"bip01{s}finger2", "{b}Mid1"}, {"bip01{s}finger21", "{b}Mid2"}, {"bip01{s}finger22", "{b}Mid3"},
    {"bip01{s}finger3", "{b}Ring1"}, {"bip01{s}finger31", "{b}Ring2"}, {"bip01{s}finger32", "{b}Ring3"},
    {"bip01{s}finger4", "{b}Pinky1"}, {"bip01{s}finger41", "{b}Pinky2"}, {"bip01{s}finger42", "{b}Pinky3"},
};

using Table = std::map<std::string, std::string>;  // folded joint name -> bone

std::string replaced(std::string text, const std::string &what, const std::string &with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

template<std::size_t N>
void addRows(Table &table, const Row (&rows)[N])
{
    for (const Row &row : rows) {
        const std::string joint = row.joint;
        if (joint.find('{') == std::string::npos) {
            table[joint] = row.bone;
            continue;
        }
        for (int side = 0; side < 2; ++side) {
            std::string j = replaced(joint, "{Side}", side == 0 ? "left" : "right");
            j = replaced(j, "{s}", side == 0 ? "l" : "r");
            table[j] = replaced(row.bone, "{b}", side == 0 ? "l" : "r");
        }
    }
}

struct Convention
{
    std::string name;
    Table table;
};

const std::vector<Convention> &namedConventions()
{
    static const std::vector<Convention> conventions = [] {
        std::vector<Convention> list(5);
        list[0].name = "mixamo";
        addRows(list[0].table, kMixamo);
        list[1].name = "cmu";
        addRows(list[1].table, kMixamo);
        addRows(list[1].table, kCmu);
        list[2].name = "cmu-asf";
        addRows(list[2].table, kCmuAsf);
        list[3].name = "biovision";
        addRows(list[3].table, kBiovision);
        list[4].name = "biped";
        addRows(list[4].table, kBiped);
        return list;
    }();
    return conventions;
}

bool contains(const std::vector<std::string> &list, std::string_view name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

// How far a chain reaches in the rest pose: from its first joint to the
// farthest child (or End Site) of its last.
double restSpan(const BvhData &bvh, const std::vector<DzVec3> &rest, int first, int last)
{
    double span = 0.0;
    for (std::size_t c = 0; c < bvh.joints.size(); ++c) {
        if (bvh.joints[c].parent == last)
            span = std::max(span, double((rest[c] - rest[first]).length()));
    }
    if (bvh.joints[last].hasEndSite)
        span = std::max(span, double((rest[last] + bvh.joints[last].endSite - rest[first]).length()));
    return span;
}

} // namespace

const std::vector<std::string> &BoneMap::standardNames()
{
    // The standard figure's bones (content/figures/standard.json).
    static const std::vector<std::string> names = {
        "hip", "abdomen", "chest", "neck", "head",
        "rCollar", "rShldr", "rForeArm", "rHand", "lCollar", "lShldr", "lForeArm", "lHand",
        "rButtock", "rThigh", "rShin", "rFoot", "rToe", "lButtock", "lThigh", "lShin", "lFoot", "lToe",
        "rThumb1", "rThumb2", "rThumb3", "rIndex1", "rIndex2", "rIndex3", "rMid1", "rMid2", "rMid3",
        "rRing1", "rRing2", "rRing3", "rPinky1", "rPinky2", "rPinky3",
        "lThumb1", "lThumb2", "lThumb3", "lIndex1", "lIndex2", "lIndex3", "lMid1", "lMid2", "lMid3",
        "lRing1", "lRing2", "lRing3", "lPinky1", "lPinky2", "lPinky3"};
    return names;
}

std::string BoneMap::foldName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    if (colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '_' || c == '-' || c == '.')
            continue;
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    // Biped numbers its root Bip01 or Bip001.
    if (out.rfind("bip001", 0) == 0)
        out.erase(3, 1);
    return out;
}

BoneMap::BoneMap(const BvhData &bvh, const std::vector<std::string> &boneNames)
{
    const int count = static_cast<int>(bvh.joints.size());
    std::vector<std::string> folded(count);
    for (int j = 0; j < count; ++j)
        folded[j] = foldName(bvh.joints[j].name);

    // The figure's own names first, then every named convention.
    Convention figure{"figure", {}};
    for (const std::string &bone : boneNames)
        figure.table[foldName(bone)] = bone;
    std::vector<const Convention *> candidates{&figure};
    for (const Convention &c : namedConventions())
        candidates.push_back(&c);

    const Convention *best = nullptr;
    int bestScore = 0;
    for (const Convention *c : candidates) {
        int score = 0;
        for (const std::string &name : folded) {
            const auto it = c->table.find(name);
            score += it != c->table.end() && contains(boneNames, it->second);
        }
        if (score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    std::vector<std::string> boneOfJoint(count);
    if (best) {
        for (int j = 0; j < count; ++j) {
            const auto it = best->table.find(folded[j]);
            if (it != best->table.end() && contains(boneNames, it->second))
                boneOfJoint[j] = it->second;
        }
    }
    m_convention = best ? best->name : "none";
    assign(bvh, boneOfJoint);
    dropZeroLengthBones(bvh, boneNames);
    fillFromStructure(bvh, boneNames);
}

bool BoneMap::fromAssignments(const BvhData &bvh, const std::vector<std::string> &boneNames,
                              const Assignments &assignments, BoneMap &out, std::string *error)
{
    auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    std::vector<std::string> boneOfJoint(bvh.joints.size());
    std::vector<bool> listed(bvh.joints.size(), false);
    for (const auto &[joint, bone] : assignments) {
        const int j = bvh.findJoint(joint);
        if (j < 0)
            return fail("the mapping names the joint '" + joint + "', which the file does not have");
        if (listed[j])
            return fail("the mapping lists the joint '" + joint + "' twice");
        listed[j] = true;
        if (bone.empty())
            continue;
        if (!contains(boneNames, bone))
            return fail("the mapping maps '" + joint + "' onto '" + bone + "', which the figure does not have");
        boneOfJoint[j] = bone;
    }
    BoneMap map;
    map.m_convention = "mapping file";
    map.assign(bvh, boneOfJoint);
    for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
        if (!boneOfJoint[j].empty() && map.m_boneOfJoint[j].empty()) {
            const Chain chain = map.chainOf(boneOfJoint[j]);
            return fail("the mapping maps both '" + bvh.joints[chain.first].name + "' and '" + bvh.joints[j].name
                        + "' onto '" + boneOfJoint[j]
                        + "'; several joints may drive one bone only as a chain, each below the last");
        }
    }
    map.dropZeroLengthBones(bvh, boneNames);
    out = std::move(map);
    return true;
}

void BoneMap::assign(const BvhData &bvh, const std::vector<std::string> &boneOfJoint)
{
    const int count = static_cast<int>(bvh.joints.size());
    m_boneOfJoint.assign(count, std::string());
    m_chains.clear();
    m_unmapped.clear();
    for (int j = 0; j < count; ++j) {
        const std::string &bone = boneOfJoint[j];
        if (bone.empty()) {
            m_unmapped.push_back(bvh.joints[j].name);
            continue;
        }
        auto it = std::find_if(m_chains.begin(), m_chains.end(), [&](const auto &c) { return c.first == bone; });
        if (it == m_chains.end()) {
            m_chains.emplace_back(bone, Chain{j, j});
            m_boneOfJoint[j] = bone;
            continue;
        }
        // Extend the chain only if j hangs below its last joint through
        // joints that drive nothing.
        int a = bvh.joints[j].parent;
        while (a >= 0 && a != it->second.last && m_boneOfJoint[a].empty())
            a = bvh.joints[a].parent;
        if (a == it->second.last) {
            it->second.last = j;
            m_boneOfJoint[j] = bone;
        } else {
            m_unmapped.push_back(bvh.joints[j].name);
        }
    }
}

void BoneMap::dropZeroLengthBones(const BvhData &bvh, const std::vector<std::string> &boneNames)
{
    const std::vector<DzVec3> rest = bvh.restPositions();
    constexpr double kTiny = 1e-4;
    bool changed = false;
    for (auto &[bone, chain] : m_chains) {
        if (bone == boneNames.front())
            continue;  // the root is placed by its joint, not aimed
        // A chain ending in a zero-length joint continues through its only
        // child that drives nothing (CMU's LeftHand into LeftFingerBase).
        while (restSpan(bvh, rest, chain.first, chain.last) < kTiny) {
            int next = -1;
            for (std::size_t c = 0; c < bvh.joints.size(); ++c) {
                if (bvh.joints[c].parent == chain.last && m_boneOfJoint[c].empty() && next < 0)
                    next = static_cast<int>(c);
            }
            if (next < 0)
                break;
            chain.last = next;
            m_boneOfJoint[next] = bone;
            changed = true;
        }
        if (restSpan(bvh, rest, chain.first, chain.last) < kTiny) {
            for (int j = chain.last; j >= 0; j = j == chain.first ? -1 : bvh.joints[j].parent)
                m_boneOfJoint[j].clear();
            chain = Chain{};
            changed = true;
        }
    }
    if (!changed)
        return;
    m_chains.erase(std::remove_if(m_chains.begin(), m_chains.end(), [](const auto &c) { return !c.second.isValid(); }),
                   m_chains.end());
    m_unmapped.clear();
    for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
        if (m_boneOfJoint[j].empty())
            m_unmapped.push_back(bvh.joints[j].name);
    }
}

void BoneMap::fillFromStructure(const BvhData &bvh, const std::vector<std::string> &boneNames)
{
    auto needed = [&](const std::string &bone) { return contains(boneNames, bone) && !chainOf(bone).isValid(); };
    bool any = false;
    for (const char *bone : {"hip", "abdomen", "chest", "lThigh", "rThigh", "lShin", "rShin", "lShldr", "rShldr",
                             "lForeArm", "rForeArm"})
        any = any || needed(bone);
    if (!any)
        return;

    const int count = static_cast<int>(bvh.joints.size());
    const std::vector<DzVec3> rest = bvh.restPositions();
    std::vector<int> childCount(count, 0);
    for (int j = 1; j < count; ++j)
        ++childCount[bvh.joints[j].parent];
    auto tip = [&](int j) { return bvh.joints[j].hasEndSite ? rest[j] + bvh.joints[j].endSite : rest[j]; };
    auto path = [&](int j) {
        std::vector<int> p;
        for (; j >= 0; j = bvh.joints[j].parent)
            p.push_back(j);
        std::reverse(p.begin(), p.end());
        return p;
    };
    auto divergence = [](const std::vector<int> &a, const std::vector<int> &b) {
        std::size_t i = 0;
        while (i < a.size() && i < b.size() && a[i] == b[i])
            ++i;
        return i;
    };
    // Length of a joint's segment along a path: to the next joint, or to its tip.
    auto segment = [&](const std::vector<int> &p, std::size_t i) {
        const DzVec3 end = i + 1 < p.size() ? rest[p[i + 1]] : tip(p[i]);
        return double((end - rest[p[i]]).length());
    };
    constexpr double kTiny = 1e-4;

    int head = -1, leftFoot = -1, rightFoot = -1;
    for (int j = 0; j < count; ++j) {
        if (childCount[j] > 0)
            continue;
        if (head < 0 || tip(j).m_y > tip(head).m_y)
            head = j;
        if (tip(j).m_y < rest[0].m_y) {
            int &foot = tip(j).m_x > 0.0f ? leftFoot : rightFoot;
            if (foot < 0 || tip(j).m_y < tip(foot).m_y)
                foot = j;
        }
    }
    if (head < 0)
        return;
    const std::vector<int> spine = path(head);
    int leftHand = -1, rightHand = -1;
    for (int j = 0; j < count; ++j) {
        if (childCount[j] > 0 || j == head || j == leftFoot || j == rightFoot || tip(j).m_y < rest[0].m_y)
            continue;
        const std::vector<int> p = path(j);
        if (divergence(p, spine) < 2)
            continue;  // hangs from the root: not an arm
        int &hand = tip(j).m_x > 0.0f ? leftHand : rightHand;
        if (hand < 0 || std::abs(tip(j).m_x) > std::abs(tip(hand).m_x))
            hand = j;
    }

    bool assigned = false;
    // Gives bone the joints p[from..to] when it needs them and all are free.
    auto give = [&](const std::string &bone, const std::vector<int> &p, std::size_t from, std::size_t to) {
        if (from > to || to >= p.size() || !needed(bone))
            return;
        for (std::size_t i = from; i <= to; ++i) {
            if (!m_boneOfJoint[p[i]].empty())
                return;
        }
        for (std::size_t i = from; i <= to; ++i)
            m_boneOfJoint[p[i]] = bone;
        m_chains.emplace_back(bone, Chain{p[from], p[to]});
        assigned = true;
    };
    auto nonZero = [&](const std::vector<int> &p, std::size_t from) {
        std::vector<std::size_t> out;
        for (std::size_t i = from; i < p.size(); ++i) {
            if (segment(p, i) > kTiny)
                out.push_back(i);
        }
        return out;
    };
    // A limb: the two longest consecutive segments, what comes before and after.
    auto limb = [&](int end, const char *side, const char *before, const char *upper, const char *lower,
                    const char *next, const char *last) {
        if (end < 0)
            return;
        const std::vector<int> p = path(end);
        const std::vector<std::size_t> parts = nonZero(p, divergence(p, spine));
        if (parts.size() < 2)
            return;
        // The last two consecutive segments longer than 15 % of the
        // path (a long collar comes before them, hand and fingers after),
        // else the longest consecutive pair.
        double total = 0.0;
        for (std::size_t i : parts)
            total += segment(p, i);
        std::size_t best = parts.size();
        for (std::size_t k = parts.size() - 1; k-- > 0;) {
            if (segment(p, parts[k]) > 0.15 * total && segment(p, parts[k + 1]) > 0.15 * total) {
                best = k;
                break;
            }
        }
        if (best == parts.size()) {
            best = 0;
            for (std::size_t k = 1; k + 1 < parts.size(); ++k) {
                if (segment(p, parts[k]) + segment(p, parts[k + 1])
                    > segment(p, parts[best]) + segment(p, parts[best + 1]))
                    best = k;
            }
        }
        const std::string s = side;
        if (best > 0)
            give(s + before, p, parts[best - 1], parts[best - 1]);
        give(s + upper, p, parts[best], parts[best]);
        give(s + lower, p, parts[best + 1], parts[best + 1]);
        if (best + 2 < parts.size())
            give(s + next, p, parts[best + 2], parts[best + 2]);
        if (last && best + 3 < parts.size())
            give(s + last, p, parts[best + 3], parts[best + 3]);
    };
    limb(leftFoot, "l", "Buttock", "Thigh", "Shin", "Foot", "Toe");
    limb(rightFoot, "r", "Buttock", "Thigh", "Shin", "Foot", "Toe");
    limb(leftHand, "l", "Collar", "Shldr", "ForeArm", "Hand", nullptr);
    limb(rightHand, "r", "Collar", "Shldr", "ForeArm", "Hand", nullptr);

    // The spine: the root, then abdomen and chest up to where the arms
    // branch, then the neck up to the head's joint.
    give(boneNames.front(), spine, 0, 0);
    std::size_t branch = spine.size();
    for (int hand : {leftHand, rightHand}) {
        if (hand >= 0)
            branch = std::min(branch, divergence(path(hand), spine));
    }
    const std::vector<std::size_t> parts = nonZero(spine, 1);
    std::vector<std::size_t> trunk, neck;
    for (std::size_t i : parts)
        (i < branch ? trunk : neck).push_back(i);
    if (!trunk.empty()) {
        // The abdomen takes about a quarter of the trunk, at least one segment.
        double total = 0.0;
        for (std::size_t i : trunk)
            total += segment(spine, i);
        std::size_t split = 1;
        double sum = segment(spine, trunk[0]);
        for (std::size_t k = 1; k + 1 < trunk.size() && sum + segment(spine, trunk[k]) <= 0.4 * total; ++k) {
            sum += segment(spine, trunk[k]);
            split = k + 1;
        }
        give("abdomen", spine, trunk[0], trunk[split - 1]);
        if (split < trunk.size())
            give("chest", spine, trunk[split], branch - 1);
    }
    if (!neck.empty()) {
        give("head", spine, neck.back(), spine.size() - 1);
        if (neck.size() > 1)
            give("neck", spine, neck.front(), neck[neck.size() - 2]);
    }

    if (!assigned)
        return;
    m_convention += "+structure";
    m_unmapped.clear();
    for (int j = 0; j < count; ++j) {
        if (m_boneOfJoint[j].empty())
            m_unmapped.push_back(bvh.joints[j].name);
    }
}

const std::string &BoneMap::boneOf(int joint) const
{
    if (joint < 0 || joint >= static_cast<int>(m_boneOfJoint.size()))
        return kNone;
    return m_boneOfJoint[joint];
}

BoneMap::Chain BoneMap::chainOf(std::string_view bone) const
{
    for (const auto &c : m_chains) {
        if (c.first == bone)
            return c.second;
    }
    return {};
}

BoneMap::Assignments BoneMap::assignments(const BvhData &bvh) const
{
    Assignments out;
    for (std::size_t j = 0; j < bvh.joints.size(); ++j)
        out.emplace_back(bvh.joints[j].name, boneOf(static_cast<int>(j)));
    return out;
}

} // namespace trelvo::motion
