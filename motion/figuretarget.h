#pragma once

// The rest skeleton of a host figure as retargeting data, with the bones it
// came from.

#include "targetskeleton.h"

#include <dzrotationorder.h>

#include <string>
#include <vector>

class DzBone;
class DzSkeleton;

namespace trelvo::motion {

struct FigureTarget
{
    TargetSkeleton skeleton;     // one TargetBone per bone, same order as bones
    std::vector<DzBone *> bones; // the figure's bones, "hip" first

    // Every bone of the figure (DzSkeleton::getAllBones) with its origin, end
    // point, rotation order and nearest bone ancestor, "hip" moved to the
    // front. Refuses (false, error) a null figure, a figure without a
    // "hip" bone, and one whose hip hangs below another bone.
    static bool fromFigure(const DzSkeleton *figure, FigureTarget &out, std::string *error = nullptr);
};

} // namespace trelvo::motion
