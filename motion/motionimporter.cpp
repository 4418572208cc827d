#include "motionimporter.h"

#include "bvhreader.h"
#include "figuretarget.h"

#include <dzbone.h>
#include <dzfloatproperty.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <algorithm>
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

std::vector<std::string> undrivenPartWarnings(const std::vector<std::string> &undriven,
                                              const std::vector<std::string> &boneNames)
{
    struct Part
    {
        const char *name;
        std::vector<const char *> bones;
    };
    const Part parts[] = {{"left leg", {"lThigh", "lShin", "lFoot"}},  {"right leg", {"rThigh", "rShin", "rFoot"}},
                          {"left arm", {"lShldr", "lForeArm", "lHand"}}, {"right arm", {"rShldr", "rForeArm", "rHand"}},
                          {"spine", {"abdomen", "chest", "neck", "head"}}};
    std::vector<std::string> out;
    for (const Part &part : parts) {
        std::string missing;
        for (const char *bone : part.bones) {
            const bool present = std::find(boneNames.begin(), boneNames.end(), bone) != boneNames.end();
            if (present && std::find(undriven.begin(), undriven.end(), bone) != undriven.end())
                missing += (missing.empty() ? "" : ", ") + std::string(bone);
        }
        if (!missing.empty())
            out.push_back("The " + std::string(part.name) + " is not driven by the file (" + missing
                          + "): it keeps its pose.");
    }
    return out;
}

MotionImportPreview MotionImporter::preview(const BvhData &bvh, const DzSkeleton *figure,
                                            const MotionImportOptions &options)
{
    MotionImportPreview p;
    p.frames = bvh.frameCount;
    p.fileFrameTime = bvh.frameTime;
    FigureTarget target;
    if (!FigureTarget::fromFigure(figure, target, &p.error))
        return p;
    for (const TargetBone &bone : target.skeleton.bones)
        p.boneNames.push_back(bone.name);
    Retargeter retargeter(bvh, target.skeleton, options.retarget);
    p.error = retargeter.errorString();
    p.convention = retargeter.boneMap().convention();
    p.mapping = retargeter.boneMap().assignments(bvh);
    p.unmappedJoints = retargeter.boneMap().unmapped();
    for (const std::string &bone : p.boneNames) {
        if (!retargeter.boneMap().chainOf(bone).isValid())
            p.undrivenBones.push_back(bone);
    }
    p.warnings = undrivenPartWarnings(p.undrivenBones, p.boneNames);
    p.firstFrameIsRestPose = retargeter.firstFrameIsRestPose();
    return p;
}

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
    m_report.warnings.insert(m_report.warnings.begin(), reader.warnings().begin(), reader.warnings().end());
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
    std::vector<std::string> boneNames;
    for (const TargetBone &bone : target.skeleton.bones)
        boneNames.push_back(bone.name);
    m_report.warnings = undrivenPartWarnings(m_report.undrivenBones, boneNames);
    m_report.mapping = retargeter.boneMap().assignments(bvh);
    m_report.droppedFirstFrame = retargeter.droppedFirstFrame();
    m_report.sourceFrameTime = retarget.sourceFrameTime > 0.0 ? retarget.sourceFrameTime : bvh.frameTime;
    return true;
}

} // namespace trelvo::motion
