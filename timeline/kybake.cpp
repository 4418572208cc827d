#include "kybake.h"

#include "figurebinding.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "engine.h"
#include "kyblock.h"
#include "nodetable.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dznode.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <functional>

namespace {

void clearTree(DzNode *node, const DzTimeRange &range)
{
    node->clearAnimData(range);
    for (int i = 0; i < node->getNumNodeChildren(); ++i)
        clearTree(node->getNodeChild(i), range);
}

// Makes room for a key per frame on the controls a bake writes, so that the
// bake does not reallocate key arrays as it goes.
void reserveBakeKeys(KyTimeline &timeline, size_t frames)
{
    auto reserve = [frames](DzNode *node, bool rotation) {
        for (int axis = 0; axis < 3; ++axis) {
            DzFloatProperty *control = transformControl(node, rotation, axis);
            control->reserveKeys(static_cast<size_t>(control->getNumKeys()) + frames);
        }
    };
    for (int i = 0; i < timeline.bindingCount(); ++i) {
        FigureBinding *binding = timeline.binding(i);
        if (!binding || !binding->skeleton())
            continue;
        const FigureBinding::PosePlan &plan = binding->posePlan();
        if (plan.root && plan.rootTableIndex >= 0) {
            reserve(plan.root, false);
            reserve(plan.root, true);
        }
        for (const FigureBinding::PosedBone &posed : plan.bones)
            if (posed.tableIndex >= 0)
                reserve(posed.bone, true);
    }
}

} // namespace

int bakeTimeline(KyTimeline &timeline)
{
    if (!dzScene)
        return 0;
    const DzTime end = dzScene->getAnimRange().getEnd();
    if (end < 1)
        return 0;
    const DzTime step = hostTimeStep();
    reserveBakeKeys(timeline, static_cast<size_t>((static_cast<int64_t>(end) + step - 1) / step));
    // Observers hear of the baked keys once, at the end.
    DzChangeBatch batch;
    int frames = 0;
    for (int64_t t = 0; t < end; t += step) {
        timeline.goSeek(snappedMs(ticksToMs(static_cast<DzTime>(t))), false, false);
        // A seek to the time already current (after a skim) leaves the
        // target elsewhere, and the frame would be written as a preview that
        // is taken back later; the bake's keys must stay.
        timeline.alignTargetToCurrent();
        timeline.evaluateAll(timeline.currentTime());
        ++frames;
    }
    return frames;
}

DzNode *topNodeOf(DzNode *node)
{
    int steps = 0;
    while (node && node->getNodeParent()) {
        if (++steps > 100)
            return nullptr;
        node = node->getNodeParent();
    }
    return node;
}

bool clearDSKeys(const DzTimeRange *range)
{
    DzNode *selected = dzScene ? dzScene->getPrimarySelection() : nullptr;
    if (!selected) {
        kyMessage(QStringLiteral("Nothing selected."));
        return false;
    }
    DzNode *top = topNodeOf(selected);
    if (!top)
        return false;
    if (!kyQuestion(QStringLiteral("Are you sure you want to delete all the keyframes on this skeleton?")))
        return false;
    DzNode *start = top->findNodeChild(QStringLiteral("hip"), false);
    if (!start)
        start = top;
    clearTree(start, range ? *range : dzScene->getPlayRange());
    return true;
}

void clearHostAnimation(DzNode *skeleton, KyBlock &block, const DzTimeRange &range)
{
    if (!skeleton)
        return;
    // Which nodes the block drives is what the engine writes for it.
    block.startOn(0, -1);
    engineAdvance(0);
    std::function<void(DzNode *)> visit = [&](DzNode *node) {
        float angle = 0.0f, ax = 0.0f, ay = 0.0f, az = 0.0f;
        if (nodeRotation(node->getName(), &angle, &ax, &ay, &az))
            node->clearAnimData(range);
        for (int i = 0; i < node->getNumNodeChildren(); ++i)
            visit(node->getNodeChild(i));
    };
    visit(skeleton);
}

void trimTimelineRange(const KyTimeline &timeline)
{
    if (!dzScene)
        return;
    const DzTimeRange play = dzScene->getPlayRange();
    const DzTimeRange anim = dzScene->getAnimRange();
    const bool same = play == anim;
    DzTime end = msToTicks(timeline.longestTrack());
    if (end < 4801)
        end = 4800;
    const DzTimeRange trimmed(anim.getStart(), end);
    dzScene->setAnimRange(trimmed);
    if (same)
        dzScene->setPlayRange(trimmed);
}
