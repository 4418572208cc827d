#include "kypadelementdata.h"

#include "kypadlayer.h"
#include "kypadpaneinterface.h"
#include "kypadsections.h"

#include "dzelement.h"
#include "dzinfile.h"
#include "dznode.h"
#include "dzoutfile.h"

KyPadElementData::KyPadElementData()
    : DzElementData(QStringLiteral("kinPadData"), true)
{
}

KyPadElementData::~KyPadElementData()
{
    for (const QPointer<KyPadLayer> &layer : std::as_const(m_loadedLayers)) {
        if (layer && layer->parent() == this)
            delete layer.data();
    }
}

QList<KyPadLayer *> KyPadElementData::pendingLayers() const
{
    QList<KyPadLayer *> layers;
    for (const QPointer<KyPadLayer> &layer : m_loadedLayers) {
        if (layer && layer->parent() == this)
            layers.append(layer.data());
    }
    return layers;
}

QList<KyPadLayer *> KyPadElementData::takePendingLayers()
{
    const QList<KyPadLayer *> layers = pendingLayers();
    for (KyPadLayer *layer : layers)
        layer->setParent(nullptr);
    m_loadedLayers.clear();
    return layers;
}

void KyPadElementData::save(DzOutFile *file)
{
    KyPadPaneInterface *pane = kyPadPaneInterface();
    DzNode *fig = figure();
    QList<KyPadLayer *> layers;
    if (pane && fig && pane->hasLayerGroup(fig))
        layers = pane->layersOf(fig);
    else if (fig)
        layers = pendingLayers(); // not shown yet: written back as they came
    if (!fig || (layers.isEmpty() && !(pane && pane->hasLayerGroup(fig))))
        return;
    file->writePointerSection(kSectionDataFigure, fig);
    file->startSection(kSectionDataLayers);
    for (int i = 0; i < layers.size(); ++i)
        file->writePointer(layers[i], static_cast<short>(i));
    file->endSection();
    DzElementData::save(file);
}

void KyPadElementData::loadSection(DzInFile *file, short id)
{
    switch (id) {
    case kSectionDataFigure:
        file->readPointer();
        break;
    case kSectionDataLayers:
        while (file->readPointer() == 0) {
        }
        break;
    default:
        DzElementData::loadSection(file, id);
    }
}

void KyPadElementData::setPointer(const DzInFile *file, short section, short id, DzBase *object)
{
    if (section == kSectionDataFigure) {
        if (auto *node = qobject_cast<DzNode *>(DzBase::assertCast(object, "DzNode")))
            m_figure = node;
        return;
    }
    if (section == kSectionDataLayers) {
        auto *layer = qobject_cast<KyPadLayer *>(DzBase::assertCast(object, "KyPadLayer"));
        // A layer referenced twice, or by another figure's item, is taken once.
        if (!layer || layer->parent())
            return;
        layer->setParent(this);
        m_loadedLayers.append(layer);
        return;
    }
    DzElementData::setPointer(file, section, id, object);
}

void KyPadElementData::postLoad()
{
    DzNode *fig = figure();
    if (!fig)
        fig = qobject_cast<DzNode *>(getElement());
    if (!fig)
        return;
    m_figure = fig;
    if (DzElementData *old = fig->findDataItem(QStringLiteral("kinPad Spatial Data")))
        fig->removeDataItem(old);
    KyPadPaneInterface *pane = kyPadPaneInterface();
    if (!pane || !pane->hasLayerGroup(fig))
        return;
    const QList<KyPadLayer *> layers = pendingLayers();
    for (KyPadLayer *layer : layers)
        layer->setParent(nullptr);
    if (pane->adoptLayers(fig, layers))
        m_loadedLayers.clear();
    else {
        for (KyPadLayer *layer : layers)
            layer->setParent(this);
    }
}
