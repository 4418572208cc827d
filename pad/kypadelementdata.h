#pragma once
// KyPadElementData ("kinPadData"): the data item a figure carries so that
// its pad layers travel with the scene file. At run time the layers live in
// the figure's layer group in the pad pane; this item writes references to
// them when the figure is saved, and on loading collects the layers read
// back and hands them to the group.
//
// When the figure has no layer group yet as the load finishes, the item
// keeps the loaded layers (pendingLayers) until the pad pane takes them
// (the pane does when it meets the figure); an item destroyed before that
// deletes them.

#include "dzelementdata.h"
#include "dznode.h"

#include <QList>
#include <QPointer>

class DzNode;
class KyPadLayer;

class KyPadElementData : public DzElementData
{
    Q_OBJECT
public:
    KyPadElementData();
    ~KyPadElementData() override;

    DzNode *figure() const { return m_figure.data(); }
    void setFigure(DzNode *figure) { m_figure = figure; }

    // Loaded layers no group has taken yet; takePendingLayers hands them over.
    QList<KyPadLayer *> pendingLayers() const;
    QList<KyPadLayer *> takePendingLayers();

    void save(DzOutFile *file) override;
    void loadSection(DzInFile *file, short id) override;
    void setPointer(const DzInFile *file, short section, short id, DzBase *object) override;
    void postLoad() override;

private:
    QPointer<DzNode> m_figure;
    QList<QPointer<KyPadLayer>> m_loadedLayers;
};
