#include "motionimporter.h"

#include "bvhreader.h"
#include "figuretarget.h"

#include <dzbone.h>
#include <dzfloatproperty.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <climits>

namespace trelvo::motion {

namespace {

DzTime timeStepFor(const DzSkeleton *figure)
{
    if (figure->getScene())
        return figure->getScene()->getTimeStep();
    return dzScene ? dzScene->getTimeStep() : 160;
}

} // namespace

bool MotionImporter::importFile(const std::filesystem::path &path, DzSkeleton *figure,
                                const MotionImportOptions &options)
{
    BvhReader reader;
    BvhData bvh;
    if (!reader.readFile(path, bvh)) {
        m_report = {};
        m_error = reader.errorString();
        return false;
    }
    if (!importBvh(bvh, figure, options))
        return false;
    m_report.warnings = reader.warnings();
    return true;
}

bool MotionImporter::importBvh(const BvhData &bvh, DzSkeleton *figure, const MotionImportOptions &options)
{
    m_report = {};
    m_error.clear();
    FigureTarget target;
    if (!FigureTarget::fromFigure(figure, target, &m_error))
        return false;

    const DzTime step = timeStepFor(figure);
    RetargetOptions retarget = options.retarget;
    retarget.frameTime = static_cast<double>(step) / DZ_TICKS_PER_SECOND;
    Retargeter retargeter(bvh, target.skeleton, retarget);
    MotionClip clip;
    if (!retargeter.isValid() || !retargeter.run(clip)) {
        m_error = retargeter.errorString();
        return false;
    }
    const long long last = static_cast<long long>(options.startTime) + static_cast<long long>(clip.frameCount - 1) * step;
    if (last > INT_MAX || options.startTime < INT_MIN / 2) {
        m_error = "the motion would end beyond the last representable time; start it earlier";
        return false;
    }
    const DzTimeRange range(options.startTime, static_cast<DzTime>(last));

    for (int b = 0; b < clip.boneCount(); ++b) {
        if (!clip.driven[b])
            continue;
        DzBone *bone = target.bones[b];
        bone->getXRotControl()->deleteKeys(range);
        bone->getYRotControl()->deleteKeys(range);
        bone->getZRotControl()->deleteKeys(range);
        if (b == 0) {
            bone->getXPosControl()->deleteKeys(range);
            bone->getYPosControl()->deleteKeys(range);
            bone->getZPosControl()->deleteKeys(range);
        }
        for (int f = 0; f < clip.frameCount; ++f) {
            const DzTime time = options.startTime + f * step;
            bone->setLocalRot(time, clip.rotation(f, b));
            if (b == 0) {
                bone->setLocalPos(time, clip.rootPositions[f]);
            }
        }
    }

    m_report.framesWritten = clip.frameCount;
    m_report.range = range;
    m_report.scale = retargeter.scale();
    m_report.unmappedJoints = retargeter.unmappedJoints();
    m_report.undrivenBones = retargeter.undrivenBones();
    m_report.convention = retargeter.boneMap().convention();
    m_report.mapping = retargeter.boneMap().assignments(bvh);
    m_report.droppedFirstFrame = retargeter.droppedFirstFrame();
    m_report.sourceFrameTime = retarget.sourceFrameTime > 0.0 ? retarget.sourceFrameTime : bvh.frameTime;
    return true;
}

} // namespace trelvo::motion
