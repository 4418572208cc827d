#pragma once

// Which joints of a BVH skeleton drive which bones of a figure.
//
// Names first. A joint name is compared with the names of one naming
// convention after folding case, dropping a namespace ("mixamorig:") and
// every separator (space, '_', '-', '.'). The conventions known:
// - "figure": the figure's own bone names (hip, abdomen, lThigh, ...);
// - "mixamo": Mixamo and MotionBuilder HumanIK (Hips, Spine, Spine1, Spine2,
//   Neck, Head, LeftShoulder = collar, LeftArm, LeftForeArm, LeftHand,
//   LeftUpLeg, LeftLeg, LeftFoot, LeftToeBase, LeftHandThumb1, ...);
// - "cmu": the CMU BVH release (as mixamo, with LowerBack = abdomen,
//   Spine + Spine1 = chest, Neck + Neck1 = neck, LHipJoint = buttock);
// - "cmu-asf": CMU ASF names as amc-to-bvh converters write them (hip,
//   lhipjoint, lfemur, ltibia, lfoot, ltoes, lowerback, upperback, thorax,
//   lowerneck, upperneck, head, lclavicle, lhumerus, lradius, lwrist, lhand);
// - "biovision": joint-named files, where the name is the joint at the
//   bone's start (LeftHip drives the thigh, LeftShoulder the upper arm,
//   LeftElbow the forearm, Ab, Chest, LeftCollar, LeftKnee, LeftAnkle, ...);
// - "biped": 3ds Max Biped (Bip01, Bip01 Pelvis, Bip01 Spine, Bip01 L Thigh,
//   Bip01 L Calf, Bip01 L UpperArm, Bip01 L Finger0, ...).
// The convention that recognises most joints wins (ties: the order above).
// Left and Right are the performer's sides; the performer faces +Z like the
// figure, so Left maps to the figure's l bones on +X.
//
// Then structure. When names leave the hip, a thigh, a shin, an upper arm,
// a forearm or the spine undriven, the skeleton's shape fills in what it
// can from joints that names left free: the head is the highest tip, the
// feet the lowest tips left (+X) and right, the hands the outermost tips;
// along each path the last two consecutive segments longer than 15 % of
// the path (else the longest pair) are thigh and shin
// (upper arm and forearm), what follows is the foot and toe (hand), what
// comes before the collar or buttock; the spine runs from the root to the
// joint the arms branch from (abdomen, then chest), the neck from there to
// the head's joint.
//
// Several joints may drive one bone when they form a chain: each later
// joint descends from the previous one through joints that drive nothing.
// A joint that would drive a bone already driven elsewhere drives nothing.
// A bone whose joints span no distance in the file (start and end point
// coincide) is not driven: a zero-length joint never drives a bone alone.
//
// An explicit mapping (joint name -> bone name) replaces names and
// structure (zero-length joints still drive nothing alone); it is refused when it names a joint the file lacks or a bone the figure
// lacks, or maps two joints that do not form a chain onto one bone.

#include "bvhdata.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelvo::motion {

class BoneMap
{
public:
    // The bones of the standard figure, "hip" first: the bones a BoneMap
    // maps onto when it is given no figure.
    static const std::vector<std::string> &standardNames();

    // The joints that drive one bone: first is nearest the root, last is the
    // joint whose orientation gives the bone's twist. Both -1 when nothing
    // drives it.
    struct Chain
    {
        int first = -1;
        int last = -1;
        bool isValid() const { return first >= 0; }
    };

    using Assignments = std::vector<std::pair<std::string, std::string>>;  // joint -> bone

    BoneMap() = default;
    // By names, then structure, onto the bones named (the figure's bones).
    explicit BoneMap(const BvhData &bvh, const std::vector<std::string> &boneNames = standardNames());

    // An explicit mapping; false with *error when it cannot be used.
    static bool fromAssignments(const BvhData &bvh, const std::vector<std::string> &boneNames,
                                const Assignments &assignments, BoneMap &out, std::string *error);

    // The bone a joint drives, or empty.
    const std::string &boneOf(int joint) const;
    Chain chainOf(std::string_view bone) const;
    // Names of the joints that drive nothing, in file order, each once.
    const std::vector<std::string> &unmapped() const { return m_unmapped; }
    // "figure", "mixamo", "cmu", "cmu-asf", "biovision", "biped" or
    // "mapping file"; "+structure" is added when the fallback assigned bones.
    const std::string &convention() const { return m_convention; }
    // Every joint with the bone it drives (empty when none), in file order.
    Assignments assignments(const BvhData &bvh) const;

    // Case-, namespace- and separator-insensitive form of a name.
    static std::string foldName(std::string_view name);

private:
    void assign(const BvhData &bvh, const std::vector<std::string> &boneOfJoint);
    void dropZeroLengthBones(const BvhData &bvh, const std::vector<std::string> &boneNames);
    void fillFromStructure(const BvhData &bvh, const std::vector<std::string> &boneNames);

    std::vector<std::string> m_boneOfJoint;
    std::vector<std::pair<std::string, Chain>> m_chains;
    std::vector<std::string> m_unmapped;
    std::string m_convention;
};

} // namespace trelvo::motion
