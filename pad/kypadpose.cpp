#include "kypadpose.h"

#include "kypadnodedata.h"
#include "kypadnodelist.h"
#include "kypadsections.h"

#include "kyblock.h"
#include "kyprompt.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzoutfile.h"
#include "dzscene.h"

#include <QStringList>

#include <cmath>

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
// More node data than any figure can have (the node table holds 800 names).
constexpr int kMaxNodeData = 4096;

QStringList &missingBlocks()
{
    static QStringList list;
    return list;
}

DzQuat controlRotation(DzNode *node)
{
    DzQuat q;
    q.setValue(node->getRotationOrder(), node->getXRotControl()->getValue() * kDegToRad,
               node->getYRotControl()->getValue() * kDegToRad, node->getZRotControl()->getValue() * kDegToRad);
    return q;
}

DzVec3 controlPos(DzNode *node)
{
    return DzVec3(node->getXPosControl()->getValue(), node->getYPosControl()->getValue(),
                  node->getZPosControl()->getValue());
}

void setScaleControls(DzNode *node, const KyPadNodeData &d)
{
    node->getXScaleControl()->setValue(d.scale.m_x);
    node->getYScaleControl()->setValue(d.scale.m_y);
    node->getZScaleControl()->setValue(d.scale.m_z);
    node->getScaleControl()->setValue(static_cast<float>(d.genScale));
}

// The snapshot's values of the node's non-transform properties.
void applyPropertyValues(DzNode *node, const KyPadNodeData &d)
{
    for (DzFloatProperty *p : kyPadProperties(node)) {
        double v = 0.0;
        if (d.propValue(p, &v))
            p->setValue(static_cast<float>(v));
    }
}

} // namespace

QStringList kyPadMissingBlocks()
{
    return missingBlocks();
}

void kyPadReportMissingBlocks()
{
    if (missingBlocks().isEmpty())
        return;
    const QString text = QStringLiteral("These kinBlock files could not be loaded; their dots keep the "
                                        "paths but play nothing:\n")
        + missingBlocks().join(QLatin1Char('\n'));
    missingBlocks().clear();
    kyMessage(text);
}

KyPadPose::KyPadPose(KyBlock *block, float x_, float y_, DzNode *figure, bool captureNow)
    : x(x_), y(y_), m_figure(figure), m_block(block)
{
    if (figure) {
        if (captureNow) {
            capture();
        } else {
            const int n = kyPadNodeList(figure).size();
            for (int i = 0; i < n; ++i)
                setNodeDataAt(i, new KyPadNodeData);
        }
    }
    backwardCompatible = true;
}

KyPadPose::~KyPadPose()
{
    clearNodeData();
}

void KyPadPose::setBlock(KyBlock *block)
{
    m_block = block;
    m_missingPath.clear();
}

QString KyPadPose::blockPath() const
{
    return m_block ? m_block->path : m_missingPath;
}

KyPadNodeData *KyPadPose::nodeData(int i) const
{
    if (i < 0 || i >= numNodeData())
        return nullptr;
    return m_nodeData[static_cast<size_t>(i)];
}

void KyPadPose::setNodeDataAt(int i, KyPadNodeData *data)
{
    if (i < 0 || i >= kMaxNodeData) {
        delete data;
        return;
    }
    if (i >= numNodeData())
        m_nodeData.resize(static_cast<size_t>(i) + 1, nullptr);
    KyPadNodeData *&slot = m_nodeData[static_cast<size_t>(i)];
    if (slot == data)
        return;
    delete slot;
    slot = data;
    if (data)
        data->setParent(this);
}

void KyPadPose::clearNodeData()
{
    for (KyPadNodeData *d : m_nodeData)
        delete d;
    m_nodeData.clear();
}

void KyPadPose::capture()
{
    DzNode *fig = figure();
    if (!fig)
        return;
    clearNodeData();
    const QList<DzNode *> nodes = kyPadNodeList(fig);
    for (int i = 0; i < nodes.size(); ++i) {
        DzNode *node = nodes[i];
        auto *d = new KyPadNodeData;
        d->pos = controlPos(node);
        d->scale = DzVec3(node->getXScaleControl()->getValue(), node->getYScaleControl()->getValue(),
                          node->getZScaleControl()->getValue());
        d->genScale = node->getScaleControl()->getValue();
        d->rot = controlRotation(node);
        for (DzFloatProperty *p : kyPadProperties(node))
            d->setPropValue(p, p->getValue());
        setNodeDataAt(i, d);
    }
}

namespace {

// Calls f(node, data) for each of the figure's pad nodes that has data.
template <class F>
void forEachNodeWithData(const KyPadPose &pose, const QList<DzNode *> &nodes, F f)
{
    for (int i = 0; i < nodes.size(); ++i)
        if (KyPadNodeData *d = pose.nodeData(i))
            f(nodes[i], *d);
}

} // namespace

void KyPadPose::apply()
{
    DzNode *fig = figure();
    if (!fig)
        return;
    forEachNodeWithData(*this, kyPadNodeList(fig), [](DzNode *node, const KyPadNodeData &d) {
        node->getXPosControl()->setValue(d.pos.m_x);
        node->getYPosControl()->setValue(d.pos.m_y);
        node->getZPosControl()->setValue(d.pos.m_z);
        setScaleControls(node, d);
        DzVec3 euler;
        d.rot.getValue(node->getRotationOrder(), euler);
        node->getXRotControl()->setValue(static_cast<float>(euler.m_x * kRadToDeg));
        node->getYRotControl()->setValue(static_cast<float>(euler.m_y * kRadToDeg));
        node->getZRotControl()->setValue(static_cast<float>(euler.m_z * kRadToDeg));
        applyPropertyValues(node, d);
    });
    if (dzScene)
        dzScene->update();
}

void KyPadPose::convertLocalTransforms()
{
    DzNode *fig = figure();
    if (!fig)
        return;
    const QList<DzNode *> nodes = kyPadNodeList(fig);
    forEachNodeWithData(*this, nodes, [](DzNode *node, const KyPadNodeData &d) { applyPropertyValues(node, d); });
    forEachNodeWithData(*this, nodes, [](DzNode *node, KyPadNodeData &d) {
        node->setLocalTransform(d.pos, d.rot, DzMatrix3(true), 1.0);
        setScaleControls(node, d);
        d.pos = controlPos(node);
        d.rot = controlRotation(node);
    });
    if (dzScene)
        dzScene->update();
}

bool KyPadPose::sameTransform(const KyPadPose &other, int i) const
{
    const KyPadNodeData *a = nodeData(i);
    const KyPadNodeData *b = other.nodeData(i);
    if (!a || !b)
        return false;
    constexpr float kTol = 1e-4f;
    return a->pos.isEqual(b->pos, kTol) && a->scale.isEqual(b->scale, kTol)
        && std::fabs(a->genScale - b->genScale) <= kTol && a->rot.isSameRotation(b->rot, 1e-5);
}

void KyPadPose::setNodeData(QString nodeName, DzVec3 pos, DzVec3 scale, double genScale, DzQuat rot)
{
    DzNode *fig = figure();
    if (!fig)
        return;
    const QList<DzNode *> nodes = kyPadNodeList(fig);
    for (int i = 0; i < nodes.size(); ++i) {
        if (nodes[i]->getName() != nodeName)
            continue;
        auto *d = new KyPadNodeData;
        d->pos = pos;
        d->scale = scale;
        d->genScale = genScale;
        d->rot = rot;
        setNodeDataAt(i, d);
    }
}

KyPadNodeData *KyPadPose::findNodeData(QString nodeName)
{
    return findNodeData(nodeName, false);
}

KyPadNodeData *KyPadPose::findNodeData(QString nodeName, bool isTopLevel)
{
    DzNode *fig = figure();
    if (!fig)
        return nullptr;
    const QList<DzNode *> nodes = kyPadNodeList(fig);
    for (int i = 0; i < nodes.size(); ++i) {
        if (nodes[i]->getName() == nodeName || (isTopLevel && !nodes[i]->inherits("DzBone")))
            return nodeData(i);
    }
    return nullptr;
}

void KyPadPose::save(DzOutFile *file)
{
    file->writePointerSection(kSectionPoseFigure, figure());
    file->writeBoolSection(kSectionPoseBackward, false);
    file->startSection(kSectionPosePosition);
    file->writeFloat(x);
    file->writeFloat(y);
    file->endSection();
    const QString path = blockPath();
    if (!path.isEmpty())
        file->writeStringSection(kSectionPoseBlock, path);
    file->writePointerSection(kSectionPoseFigure, figure());
    file->startSection(kSectionPoseNodeData);
    file->writeInt(numNodeData());
    for (int i = 0; i < numNodeData(); ++i)
        file->writePointer(m_nodeData[static_cast<size_t>(i)], static_cast<short>(i));
    file->endSection();
    DzBase::save(file);
}

void KyPadPose::loadSection(DzInFile *file, short id)
{
    switch (id) {
    case kSectionPoseFigure:
        file->readPointer();
        break;
    case kSectionPoseBackward:
        backwardCompatible = file->readBool();
        break;
    case kSectionPosePosition: {
        const float px = file->readFloat();
        const float py = file->readFloat();
        if (std::isfinite(px) && std::isfinite(py)) {
            x = px;
            y = py;
        }
        break;
    }
    case kSectionPoseBlock: {
        const QString path = file->readString();
        m_block = path.isEmpty() ? nullptr : KyBlock::get(path);
        m_missingPath.clear();
        if (!path.isEmpty() && !m_block) {
            m_missingPath = path;
            if (!missingBlocks().contains(path))
                missingBlocks().append(path);
        }
        break;
    }
    case kSectionPoseNodeData: {
        clearNodeData();
        const int n = file->readInt();
        if (n > 0)
            m_nodeData.resize(static_cast<size_t>(std::min(n, kMaxNodeData)), nullptr);
        while (file->readPointer() == 0) {
        }
        break;
    }
    default:
        DzBase::loadSection(file, id);
    }
}

void KyPadPose::setPointer(const DzInFile *file, short section, short id, DzBase *object)
{
    if (section == kSectionPoseFigure) {
        if (auto *node = qobject_cast<DzNode *>(DzBase::assertCast(object, "DzNode")))
            m_figure = node;
        return;
    }
    if (section == kSectionPoseNodeData) {
        auto *d = qobject_cast<KyPadNodeData *>(DzBase::assertCast(object, "KyPadNodeData"));
        // An entry outside the stated count, or data already owned elsewhere
        // (referenced twice), is not taken.
        if (!d || d->parent() || id < 0 || id >= numNodeData())
            return;
        setNodeDataAt(id, d);
        return;
    }
    DzBase::setPointer(file, section, id, object);
}

void KyPadPose::postLoad()
{
    if (backwardCompatible)
        convertLocalTransforms();
}
