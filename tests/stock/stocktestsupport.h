#pragma once
// Helpers shared by the stock block tests: trelvo-kba and trelvo-compose run
// in-process, a block's pose at a clip time through the block core's
// sampling, and the reference the import roads are measured against.

#include <QString>
#include <QStringList>

#include <dzquat.h>
#include <dzvec3.h>

#include <functional>
#include <map>

class DzSkeleton;

struct SampledPose {
    std::map<QString, DzQuat> rotations;  // host convention (axis sign restored)
    std::map<QString, DzVec3> positions;
};

// The tools run in-process; their messages land in *messages when given.
int runKba(const QStringList &args, QString *messages = nullptr);
int compose(const QStringList &args, QString *messages = nullptr);

// The pose of a loaded block at timeMs (sampleSlot), keyed by node name.
SampledPose samplePose(int slot, int timeMs);

double degreesBetween(const DzQuat &a, const DzQuat &b);

QString contentDir();
QString mocap(const char *name);  // a shipped BVH take
bool writeText(const QString &path, const QByteArray &text);

// A take imported onto the standard figure as keys, one per 160 ticks: what a
// block made from the same take must play back.
class ReferenceImport
{
public:
    ReferenceImport(const char *take, double fromSeconds, double toSeconds);
    ~ReferenceImport();

    int frames() const { return m_frames; }

    // Compares `frames` sampled poses with the keys: the worst bone rotation
    // difference in degrees, and the worst hip coordinate difference in cm,
    // the hip measured from where it started, lifted by hipLift.
    struct Difference {
        double degrees = 0.0;
        double hip = 0.0;
        QString worstBone;
    };
    Difference compare(int frames, double hipLift, const std::function<SampledPose(int frame)> &sample) const;

private:
    DzSkeleton *m_figure = nullptr;
    int m_frames = 0;
};
