#pragma once

// Writes a host figure's animation as BVH that other tools read: the
// figure's bones under their own (standard) names and hierarchy, OFFSETs
// from the bone origins, the hip with six channels and every other bone
// with three rotation channels in its own rotation order (see
// bvhfromclip.h). The figure is sampled at range start + k * step for every
// such tick up to the range end (inclusive); 160 ticks make 30 fps. Values
// are the bones' local transforms, so the result is in figure space: the
// figure node's own placement in the scene is not part of it, and bones'
// translations other than the hip's are not either (BVH has no room for
// them).

#include "bvhdata.h"

#include <dztime.h>

#include <filesystem>
#include <string>

class DzSkeleton;

namespace trelvo::motion {

struct MotionExportOptions
{
    DzTime step = 160;  // ticks per frame
};

class MotionExporter
{
public:
    // Largest number of frames one export samples.
    static constexpr int kMaxFrames = 1 << 20;

    bool exportBvh(const DzSkeleton *figure, const DzTimeRange &range, BvhData &out,
                   const MotionExportOptions &options = {});
    // exportBvh, then an atomic write of the file.
    bool exportFile(const std::filesystem::path &path, const DzSkeleton *figure, const DzTimeRange &range,
                    const MotionExportOptions &options = {});

    const std::string &errorString() const { return m_error; }

private:
    std::string m_error;
};

} // namespace trelvo::motion
