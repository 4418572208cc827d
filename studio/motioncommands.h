#pragma once

#include "dztime.h"
#include "motionimporter.h"

#include <QString>

class DzScene;
class DzSkeleton;

// File -> Import Motion (BVH) and Export Motion (BVH) on the host's figures,
// through the motion library (motion/).
class MotionCommands {
public:
    // Reads a BVH file and keys it onto `figure` from `startTime` on, one key
    // per scene frame. The whole import is one undo step, "Import Motion".
    // When the motion runs past the scene's animation range, the animation
    // and play ranges are extended to its end. False with *error when the
    // file cannot be read or does not fit the figure; nothing changes then.
    // *summary (when given) receives a line for the status bar. options
    // carries the frame rate, first-frame rule and mapping; its start time
    // is replaced by startTime.
    static bool importMotion(DzScene *scene, const QString &path, DzSkeleton *figure, DzTime startTime,
        QString *error, QString *summary = nullptr, const trelvo::motion::MotionImportOptions &options = {});

    // Writes the figure's animation over `range` (ticks) as BVH at the
    // scene's frame rate, atomically.
    static bool exportMotion(DzScene *scene, const QString &path, const DzSkeleton *figure,
        const DzTimeRange &range, QString *error);

    static QString fileFilter();
};
