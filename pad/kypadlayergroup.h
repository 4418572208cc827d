#pragma once
// KyPadLayerGroup: one figure's pad layers as the tabs of a tab widget, each
// page the layer's canvas. A new group starts with one layer, "Layer 1".
//
// Adding, renaming and deleting layers from the user's commands are undo
// steps (addLayerStep and friends), made of snapshots of all the group's
// layers; undo and redo restore the layers by position.

#include <QPointer>
#include <QTabWidget>

#include <vector>

class DzNode;
class KyPadLayer;
class KyPadLayerView;
class KyPadPane;
struct KyPadLayerSnapshot;

class KyPadLayerGroup : public QTabWidget
{
    Q_OBJECT
public:
    KyPadLayerGroup(KyPadPane *pane, DzNode *figure, QWidget *parent = nullptr, const QString &name = QString());
    ~KyPadLayerGroup() override;

    DzNode *figure() const { return m_figure.data(); }
    KyPadPane *pane() const { return m_pane; }

    // The first "Layer %1" (1, 2, 3 …) that no tab is labelled with.
    QString nextLayerName() const;
    // An empty name becomes nextLayerName(). The new layer's tab is shown.
    KyPadLayer *addLayer(const QString &name);
    void removeLayer(KyPadLayer *layer);
    void deleteActiveLayer();
    void deleteAllLayers();
    // Removes the only tab when it is "Layer 1" without dots.
    void deleteEmptyDefaultLayer();
    void renameActiveLayer(const QString &name);

    KyPadLayer *layerAt(int index) const;
    KyPadLayerView *viewAt(int index) const;
    KyPadLayer *activeLayer() const { return layerAt(currentIndex()); }
    QList<KyPadLayer *> layers() const;
    // Takes the layers over as tabs (they must have no owner).
    void adoptLayers(const QList<KyPadLayer *> &layers);

    // The same as undo steps with the actions' captions.
    KyPadLayer *addLayerStep(const QString &name);
    void renameActiveLayerStep(const QString &name);
    void deleteActiveLayerStep();

    struct Snapshot {
        std::vector<KyPadLayerSnapshot> layers;
        int current = -1;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot &snapshot);

private:
    void addTabFor(KyPadLayer *layer);
    void pushStep(Snapshot before, const QString &caption);

    KyPadPane *m_pane;
    QPointer<DzNode> m_figure;
};
