#pragma once

// Puts BVH motion on a host figure as keys, the way a user's import does.
//
// The figure's rest skeleton (FigureTarget) is the retargeting target; the
// motion is resampled to the scene's frame rate (its time step, 160 ticks =
// 30 fps by default) and written from startTime on, one key per frame:
// setLocalRot(time, q) on every bone the file drives (the host stores q as
// Euler angles in the bone's own rotation order) and setLocalPos(time, p) on
// the hip. Existing rotation keys of the driven bones, and translation keys
// of the hip, inside the written range are removed first so that no stale key
// sits between two new ones. Bones the file does not drive keep their
// animation. Nothing is written when the import is refused.

#include "bvhdata.h"
#include "retargeter.h"

#include <dztime.h>

#include <filesystem>
#include <string>
#include <vector>

class DzSkeleton;

namespace trelvo::motion {

struct MotionImportOptions
{
    // Rest-pose frame 0, time range, source frame rate, mapping, scale and
    // placement; the output frame time is replaced by the scene's time step.
    RetargetOptions retarget;
    DzTime startTime = 0;  // tick of the first key
};

struct MotionImportReport
{
    int framesWritten = 0;
    DzTimeRange range;                        // first and last key, ticks
    double scale = 1.0;                       // file units to figure units
    std::vector<std::string> unmappedJoints;  // joints of the file that drive nothing
    std::vector<std::string> undrivenBones;   // bones of the figure nothing drives
    std::string convention;                   // how the joints were mapped (BoneMap::convention)
    BoneMap::Assignments mapping;             // every joint with the bone it drives
    bool droppedFirstFrame = false;           // frame 0 was a rest pose and left out
    double sourceFrameTime = 0.0;             // seconds per source frame used
    std::vector<std::string> warnings;        // what the reader passed over, parts left undriven
};

// What an import would do, for a user to check before importing.
struct MotionImportPreview
{
    std::string error;                        // why the import would be refused; empty when it would not
    std::string convention;                   // BoneMap::convention()
    BoneMap::Assignments mapping;             // every joint of the file with the bone it drives
    std::vector<std::string> boneNames;       // the figure's bones, "hip" first
    std::vector<std::string> unmappedJoints;
    std::vector<std::string> undrivenBones;
    // A leg, an arm or the spine left (partly) undriven, one sentence each.
    std::vector<std::string> warnings;
    bool firstFrameIsRestPose = false;
    int frames = 0;
    double fileFrameTime = 0.0;               // seconds per frame, as the file says
};

// Sentences for the parts of the figure (legs, arms, spine) with bones in
// undriven, naming the bones; parts the figure lacks are not mentioned.
std::vector<std::string> undrivenPartWarnings(const std::vector<std::string> &undriven,
                                              const std::vector<std::string> &boneNames);

class MotionImporter
{
public:
    // The mapping, warnings and refusal an import of bvh onto figure with
    // these options would have; writes nothing.
    static MotionImportPreview preview(const BvhData &bvh, const DzSkeleton *figure,
                                       const MotionImportOptions &options = {});

    bool importBvh(const BvhData &bvh, DzSkeleton *figure, const MotionImportOptions &options = {});
    // Reads the file with BvhReader first; its errors name the line.
    bool importFile(const std::filesystem::path &path, DzSkeleton *figure, const MotionImportOptions &options = {});

    const MotionImportReport &report() const { return m_report; }
    const std::string &errorString() const { return m_error; }

private:
    MotionImportReport m_report;
    std::string m_error;
};

} // namespace trelvo::motion
