#pragma once
// Helpers shared by the stock block tests: trelvo-kba and trelvo-compose run
// in-process and a block's pose at a clip time through the block core's
// sampling. The tool, block and test headers they all use come with it.

#include "../motion/motiontestdata.h"
#include "kbatool.h"

#include <dzquat.h>
#include <dzvec3.h>
#include <kyblock.h>

#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

using motiontest::degreesBetween;

struct SampledPose {
    std::map<QString, DzQuat> rotations; // host convention (axis sign restored)
    std::map<QString, DzVec3> positions;
};

// The tools run in-process; their messages land in *messages when given.
int runKba(const QStringList &args, QString *messages = nullptr);
int compose(const QStringList &args, QString *messages = nullptr);

// The pose of a loaded block at timeMs (sampleSlot), keyed by node name.
SampledPose samplePose(int slot, int timeMs);

QString contentDir();
QString mocap(const char *name); // a shipped BVH take
bool writeText(const QString &path, const QByteArray &text);
