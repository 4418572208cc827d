#include "motionexporter.h"

#include "bvhfromclip.h"
#include "bvhwriter.h"
#include "figuretarget.h"
#include "nodekeyreader.h"

#include <dzbone.h>
#include <dzskeleton.h>

namespace trelvo::motion {

bool MotionExporter::exportBvh(const DzSkeleton *figure, const DzTimeRange &range, BvhData &out,
                               const MotionExportOptions &options)
{
    m_error.clear();
    if (options.step < 1) {
        m_error = "the time step must be at least one tick";
        return false;
    }
    if (range.isEmpty()) {
        m_error = "the time range is empty";
        return false;
    }
    const long long frames = static_cast<long long>(range.getEnd() - static_cast<long long>(range.getStart()))
            / options.step + 1;
    if (frames > kMaxFrames) {
        m_error = "the time range holds " + std::to_string(frames) + " frames; export at most "
            + std::to_string(kMaxFrames) + " at once";
        return false;
    }
    FigureTarget target;
    if (!FigureTarget::fromFigure(figure, target, &m_error))
        return false;

    MotionClip clip;
    clip.frameTime = static_cast<double>(options.step) / DZ_TICKS_PER_SECOND;
    clip.frameCount = static_cast<int>(frames);
    for (const TargetBone &bone : target.skeleton.bones) {
        clip.boneNames.push_back(bone.name);
        clip.driven.push_back(1);
    }
    clip.rotations.reserve(static_cast<std::size_t>(frames) * clip.boneNames.size());
    clip.rootPositions.reserve(static_cast<std::size_t>(frames));
    std::vector<NodeKeyReader> keys(target.bones.begin(), target.bones.end());
    for (long long f = 0; f < frames; ++f) {
        const DzTime time = static_cast<DzTime>(range.getStart() + f * options.step);
        for (NodeKeyReader &bone : keys) {
            DzQuat q = bone.localRot(time);
            clip.rotations.push_back(q.normalize());
        }
        clip.rootPositions.push_back(keys[0].localPos(time));
    }
    return bvhFromClip(target.skeleton, clip, out, &m_error);
}

bool MotionExporter::exportFile(const std::filesystem::path &path, const DzSkeleton *figure,
                                const DzTimeRange &range, const MotionExportOptions &options)
{
    BvhData bvh;
    if (!exportBvh(figure, range, bvh, options))
        return false;
    BvhWriter writer;
    if (!writer.writeFile(path, bvh)) {
        m_error = writer.errorString();
        return false;
    }
    return true;
}

} // namespace trelvo::motion
