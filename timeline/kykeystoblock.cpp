#include "kykeystoblock.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kyposer.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"

#include "channelstore.h"
#include "kyblock.h"

#include "dzbone.h"
#include "dznode.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QFile>
#include <QFileInfo>

#include <cstdint>

namespace {

constexpr float kDegreesPerRadian = 57.29578f;

} // namespace

void sampleNode(DzTime t, DzTime rangeStart, DzNode *node, KyBlock &block,
                const FigureBinding *binding, bool isRoot, const DzVec3 &startPos)
{
    if (!node)
        return;
    const bool bone = qobject_cast<DzBone *>(node) != nullptr;
    if (!bone && !(isRoot && qobject_cast<DzSkeleton *>(node)))
        return;

    const QString name = node->getName();
    const int keyMs = ticksToMs(static_cast<DzTime>(static_cast<int64_t>(t) - rangeStart));

    float scale = 1.0f;
    float heel = 0.0f;
    if (binding) {
        // The figure's own scale, not the value the last evaluation left:
        // keys made by hand on a figure never posed by the timeline still
        // come back figure-neutral.
        scale = binding->skeleton() ? figureScaleOf(binding->skeleton()) : binding->m_figureScale;
        heel = binding->m_heelOffset;
    }

    if (isRoot) {
        const DzVec3 p = node->getLocalPos(t);
        block.addTranslationKey(name, keyMs, (p.m_x - startPos.m_x) / scale,
                                p.m_y / scale + kReferenceHipHeight, (p.m_z - startPos.m_z) / scale);
    }

    DzQuat q = node->getLocalRot(t);
    if (binding) {
        q = removeHeelOffset(name, heel, q);
        const auto offset = binding->m_rotationalOffsets.find(node);
        if (offset != binding->m_rotationalOffsets.end())
            q = offset->second.conjugate() * q;
    }
    DzVec3 axis;
    double radians = 0.0;
    q.getValue(axis, radians);
    block.addRotationKey(name, keyMs, static_cast<float>(radians) * kDegreesPerRadian, -axis.m_x,
                         -axis.m_y, -axis.m_z);

    for (int i = 0; i < node->getNumNodeChildren(); ++i)
        sampleNode(t, rangeStart, node->getNodeChild(i), block, binding, false, startPos);
}

int sampleRange(DzNode *start, const DzTimeRange &range, KyBlock &block, const FigureBinding *binding)
{
    if (!start)
        return 0;
    const DzVec3 startPos = start->getLocalPos(range.getStart());
    int samples = 0;
    for (int64_t t = range.getStart(); t < range.getEnd() && samples < kMaxSamples;
         t += kSampleStepTicks) {
        sampleNode(static_cast<DzTime>(t), range.getStart(), start, block, binding, true, startPos);
        ++samples;
    }
    return samples;
}

QString blockFileNameFor(const QString &answer)
{
    QString name = answer;
    if (name.endsWith(QLatin1String(".kba")))
        name.chop(4);
    return name + QLatin1String(".kba");
}

KyBlock *createKinBlockFromScene(const DzTimeRange *range, const KyTimeline *timeline,
                                 const QString &startFolder)
{
    DzNode *selected = dzScene ? dzScene->getPrimarySelection() : nullptr;
    if (!selected) {
        kyMessage(QStringLiteral("Nothing selected, can't extract keyframes."));
        return nullptr;
    }
    DzNode *top = topNodeOf(selected);
    if (!top)
        return nullptr;
    DzSkeleton *skeleton = qobject_cast<DzSkeleton *>(top);
    if (!skeleton
        && !kyQuestion(QStringLiteral(
            "Non-skeletal objects are not supported yet.  Create an kinBlock anyway?")))
        return nullptr;
    DzNode *start = top->findNodeChild(QStringLiteral("hip"), false);
    if (!start)
        start = top;

    KySaveFileRequest request;
    request.caption = QStringLiteral("Choose save file");
    request.startPath = startFolder + QLatin1String("/") + QLatin1String("unnamed");
    request.filter = QStringLiteral("kinBlocks (*.kba)");
    request.dialogName = QStringLiteral("save file dialog");
    const QString answer = kySaveFileName(request);
    if (answer.isEmpty())
        return nullptr;
    const QString path = blockFileNameFor(answer);
    if (QFile::exists(path) && !kyQuestion(QStringLiteral("Save over existing?")))
        return nullptr;

    const FigureBinding *binding = nullptr;
    if (timeline && skeleton) {
        const int index = timeline->findBinding(skeleton);
        binding = timeline->binding(index);
    }

    KyBlock *block = KyBlock::create();
    const DzTimeRange sampled = range ? *range : dzScene->getPlayRange();
    const bool cut = sampleRange(start, sampled, *block, binding) == kMaxSamples
                     && sampled.getStart() + int64_t(kMaxSamples) * kSampleStepTicks < sampled.getEnd();
    block->clipLength = durationOf(block->clipHandle);
    if (block->clipLength <= 0) {
        // The block stays registered (the registry never lets go) but keeps
        // an empty path, so no later lookup by path can find it.
        kyMessage(QStringLiteral("Unexpected Error:  No keyframes extracted."));
        return nullptr;
    }
    block->path = path;
    block->name = QFileInfo(path).baseName();
    block->outPoint = block->loopLength();
    QString error;
    if (!block->save(&error)) {
        block->path.clear();
        kyMessage(QStringLiteral("The kinBlock could not be saved: %1").arg(error));
        return nullptr;
    }
    if (cut) {
        // A record holds a fixed number of keys; say so rather than hand
        // back a shorter block as if it were the whole range.
        const qint64 askedMs = (qint64(sampled.getEnd()) - sampled.getStart()) * 1000 / 4800;
        kyMessage(QStringLiteral("A kinBlock holds at most %1 keys per record: the block keeps %2 ms of the %3 ms asked for.")
                      .arg(kMaxSamples)
                      .arg(block->clipLength)
                      .arg(askedMs));
    }
    return block;
}
