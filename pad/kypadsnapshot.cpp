#include "kypadsnapshot.h"

#include "kypadlayer.h"
#include "kypadnodedata.h"
#include "kypadpose.h"

#include "dzfloatproperty.h"
#include "dzundostack.h"
#include "dzundostackhold.h"

KyPadNodeSnapshot KyPadNodeSnapshot::of(const KyPadNodeData &data)
{
    KyPadNodeSnapshot s;
    s.pos = data.pos;
    s.scale = data.scale;
    s.genScale = data.genScale;
    s.rot = data.rot;
    for (DzFloatProperty *p : data.propKeys()) {
        double v = 0.0;
        data.propValue(p, &v);
        s.props.emplace_back(QPointer<DzFloatProperty>(p), v);
    }
    return s;
}

KyPadNodeData *KyPadNodeSnapshot::make() const
{
    auto *d = new KyPadNodeData;
    d->pos = pos;
    d->scale = scale;
    d->genScale = genScale;
    d->rot = rot;
    for (const auto &entry : props) {
        if (entry.first)
            d->setPropValue(entry.first, entry.second);
    }
    return d;
}

bool KyPadNodeSnapshot::operator==(const KyPadNodeSnapshot &o) const
{
    return pos == o.pos && scale == o.scale && genScale == o.genScale && rot == o.rot && props == o.props;
}

KyPadPoseSnapshot KyPadPoseSnapshot::of(const KyPadPose &pose)
{
    KyPadPoseSnapshot s;
    s.x = pose.x;
    s.y = pose.y;
    s.block = pose.block();
    s.backwardCompatible = pose.backwardCompatible;
    for (int i = 0; i < pose.numNodeData(); ++i) {
        if (const KyPadNodeData *d = pose.nodeData(i))
            s.nodes.emplace_back(KyPadNodeSnapshot::of(*d));
        else
            s.nodes.emplace_back(std::nullopt);
    }
    return s;
}

bool KyPadPoseSnapshot::operator==(const KyPadPoseSnapshot &o) const
{
    return x == o.x && y == o.y && block == o.block && backwardCompatible == o.backwardCompatible
        && nodes == o.nodes;
}

bool KyPadLayerSnapshot::operator==(const KyPadLayerSnapshot &o) const
{
    return name == o.name && zoom == o.zoom && originX == o.originX && originY == o.originY
        && poses == o.poses && selected == o.selected && cursorKeys == o.cursorKeys;
}

KyPadLayerUndoItem::KyPadLayerUndoItem(KyPadLayer *layer, KyPadLayerSnapshot before, KyPadLayerSnapshot after,
                                       const QString &caption)
    : m_layer(layer), m_before(std::move(before)), m_after(std::move(after)), m_caption(caption)
{
}

void KyPadLayerUndoItem::undo()
{
    if (m_layer)
        m_layer->restore(m_before);
}

void KyPadLayerUndoItem::redo()
{
    if (m_layer)
        m_layer->restore(m_after);
}

KyPadLayerEdit::KyPadLayerEdit(KyPadLayer *layer)
    : m_layer(layer)
{
    if (layer && !dzUndoStack->isUndoing())
        m_before = std::make_unique<KyPadLayerSnapshot>(layer->snapshot());
}

KyPadLayerEdit::~KyPadLayerEdit() = default;

void KyPadLayerEdit::commit(const QString &caption)
{
    if (!m_layer || !m_before || dzUndoStack->isUndoing())
        return;
    KyPadLayerSnapshot after = m_layer->snapshot();
    if (after == *m_before)
        return;
    DzUndoStackHold hold;
    dzUndoStack->push(new KyPadLayerUndoItem(m_layer, std::move(*m_before), std::move(after), caption));
    hold.accept(caption);
    m_before.reset();
}
