#include "stocktestsupport.h"

#include "composer.h"
#include "kbatool.h"

#include <channelstore.h>
#include <fixedpoint.h>
#include <nodetable.h>

#include <QFile>

#include <algorithm>
#include <cmath>

namespace {

int runTool(int (*tool)(const QStringList &, QTextStream &, QTextStream &), const QStringList &args,
    QString *messages)
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int status = tool(args, out, err);
    if (messages)
        *messages = outText + errText;
    return status;
}

} // namespace

int runKba(const QStringList &args, QString *messages)
{
    return runTool(runKbaTool, args, messages);
}

int compose(const QStringList &args, QString *messages)
{
    return runTool(runCompose, args, messages);
}

SampledPose samplePose(int slot, int timeMs)
{
    SampledPose pose;
    clearPoseFlags();
    sampleSlot(slot, timeMs);
    const NodeTable &table = nodeTable();
    for (int i = 0; i < table.count; ++i) {
        const NodeEntry &e = table.entries[i];
        if (!e.name || !(e.nodeFlags & kNodeWritten))
            continue;
        const QString name = QString::fromUtf8(e.name.get());
        if (e.nodeFlags & kNodeRotationSet) {
            // Blocks store the axis negated relative to the host.
            const DzVec3 axis(-toFloat(e.rotAxis[0]), -toFloat(e.rotAxis[1]), -toFloat(e.rotAxis[2]));
            const double radians = toFloat(e.rotAngle) * M_PI / 180.0;
            pose.rotations[name] = axis.length() > 1e-6 ? DzQuat(axis.normalized(), radians) : DzQuat();
        }
        if (e.nodeFlags & kNodeTranslationSet)
            pose.positions[name] = DzVec3(toFloat(e.pos[0]), toFloat(e.pos[1]), toFloat(e.pos[2]));
    }
    return pose;
}

QString contentDir()
{
    return QStringLiteral(TRELVO_CONTENT_DIR);
}

QString mocap(const char *name)
{
    return contentDir() + QStringLiteral("/mocap/bvh/") + QLatin1String(name);
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
