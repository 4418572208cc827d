#pragma once

// Builds the BVH form of a clip on its target skeleton, for export.
//
// The joints are the skeleton's bones under their own names and in their
// own hierarchy. Each OFFSET is the bone's origin minus its parent's; the
// root has OFFSET 0 0 0 and six channels, Xposition Yposition Zposition
// carrying the root joint's position in figure space (origin plus local
// position, so readers that add the OFFSET and readers that replace it
// agree), followed by its rotation channels. Every other bone has three
// rotation channels. Rotation channels follow the bone's own rotation order
// (ZXY gives "Zrotation Xrotation Yrotation"); angles are degrees, each
// kept within half a turn of the previous frame's so that tools that
// interpolate the channels see no flips. Bones without children get an End
// Site at their end point. The frame time is the clip's.

#include "bvhdata.h"
#include "motionclip.h"
#include "targetskeleton.h"

#include <string>

namespace trelvo::motion {

// False (with error) when the skeleton is invalid, has more than one root
// bone, or the clip was not made for it.
bool bvhFromClip(const TargetSkeleton &skeleton, const MotionClip &clip, BvhData &out, std::string *error = nullptr);

} // namespace trelvo::motion
