#pragma once
// Snapshots of a layer's dots and view, and the undo step made of two of
// them. Undo restores the snapshot taken before the edit, redo the one
// after. An item whose layer is gone does nothing.

#include "dzquat.h"
#include "dzundoitem.h"
#include "dzvec3.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

class DzFloatProperty;
class KyBlock;
class KyPadLayer;
class KyPadNodeData;
class KyPadPose;

struct KyPadNodeSnapshot {
    DzVec3 pos;
    DzVec3 scale;
    double genScale = 1.0;
    DzQuat rot;
    std::vector<std::pair<QPointer<DzFloatProperty>, double>> props;

    static KyPadNodeSnapshot of(const KyPadNodeData &data);
    KyPadNodeData *make() const;
    bool operator==(const KyPadNodeSnapshot &o) const;
};

struct KyPadPoseSnapshot {
    float x = 0.0f;
    float y = 0.0f;
    KyBlock *block = nullptr;
    bool backwardCompatible = false;
    std::vector<std::optional<KyPadNodeSnapshot>> nodes;

    static KyPadPoseSnapshot of(const KyPadPose &pose);
    bool operator==(const KyPadPoseSnapshot &o) const;
};

struct KyPadLayerSnapshot {
    QString name;
    float zoom = 1.0f;
    float originX = 0.0f;
    float originY = 0.0f;
    std::vector<KyPadPoseSnapshot> poses;
    int selected = -1;
    // The cursor track's keys (x, y, time).
    std::vector<std::tuple<float, float, int>> cursorKeys;

    bool operator==(const KyPadLayerSnapshot &o) const;
    bool operator!=(const KyPadLayerSnapshot &o) const { return !(*this == o); }
};

class KyPadLayerUndoItem : public DzUndoItem
{
public:
    KyPadLayerUndoItem(KyPadLayer *layer, KyPadLayerSnapshot before, KyPadLayerSnapshot after,
                       const QString &caption);
    void undo() override;
    void redo() override;
    QString getDescription() const override { return m_caption; }

private:
    QPointer<KyPadLayer> m_layer;
    KyPadLayerSnapshot m_before;
    KyPadLayerSnapshot m_after;
    QString m_caption;
};

// One edit of a layer's dots as one undo step: takes the snapshot when
// made, and commit(caption) pushes the step when something changed (inside
// a hold of its own, so that it is a step even when nothing else is open).
class KyPadLayerEdit
{
public:
    explicit KyPadLayerEdit(KyPadLayer *layer);
    ~KyPadLayerEdit();
    KyPadLayerEdit(const KyPadLayerEdit &) = delete;
    KyPadLayerEdit &operator=(const KyPadLayerEdit &) = delete;
    void commit(const QString &caption);

private:
    QPointer<KyPadLayer> m_layer;
    std::unique_ptr<KyPadLayerSnapshot> m_before;
};
