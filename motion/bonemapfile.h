#pragma once

// The mapping of a BVH file's joints onto a figure's bones as JSON, the form
// `trelvo-kba bvh-map` prints and `import-bvh --map` reads:
//
// {"format": "trelvo-bvh-map", "version": 1, "convention": "cmu",
//  "joints": {"Hips": "hip", "LowerBack": "abdomen", "LeftFingerBase": null, ...},
//  "unmappedJoints": ["LeftFingerBase", ...], "undrivenBones": ["lMid1", ...]}
//
// Only "joints" is read back (null or "" for a joint that drives nothing;
// joints left out drive nothing); the rest is there for the reader. Several
// joints may name one bone when they form a chain, each below the last.

#include "bonemap.h"
#include "bvhdata.h"

#include <string>
#include <vector>

namespace trelvo::motion {

// The report of map on bvh for a figure with boneNames, joints in file
// order, bones in figure order, ending with a newline.
std::string boneMapJson(const BvhData &bvh, const BoneMap &map, const std::vector<std::string> &boneNames);

// Parses a mapping; false with *error (naming what is wrong) on bad JSON,
// a wrong format tag or version, a missing "joints" object or a value that
// is neither a string nor null. Whether the joints and bones exist is
// BoneMap::fromAssignments' to check.
bool parseBoneMapJson(const std::string &text, BoneMap::Assignments &out, std::string *error);

// The figure's bones that no joint drives, in figure order.
std::vector<std::string> undrivenBones(const BoneMap &map, const std::vector<std::string> &boneNames);

} // namespace trelvo::motion
