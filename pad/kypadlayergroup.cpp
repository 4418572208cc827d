#include "kypadlayergroup.h"

#include "kypadlayer.h"
#include "kypadlayerview.h"
#include "kypadpane.h"
#include "kypadsnapshot.h"

#include "dzapp.h"
#include "dzhelpmgr.h"
#include "dzundostack.h"
#include "dzundostackhold.h"

namespace {

class GroupUndoItem : public DzUndoItem
{
public:
    GroupUndoItem(KyPadLayerGroup *group, KyPadLayerGroup::Snapshot before, KyPadLayerGroup::Snapshot after,
                  const QString &caption)
        : m_group(group), m_before(std::move(before)), m_after(std::move(after)), m_caption(caption)
    {
    }
    void undo() override
    {
        if (m_group)
            m_group->restore(m_before);
    }
    void redo() override
    {
        if (m_group)
            m_group->restore(m_after);
    }
    QString getDescription() const override { return m_caption; }

private:
    QPointer<KyPadLayerGroup> m_group;
    KyPadLayerGroup::Snapshot m_before;
    KyPadLayerGroup::Snapshot m_after;
    QString m_caption;
};

} // namespace

KyPadLayerGroup::KyPadLayerGroup(KyPadPane *pane, DzNode *figure, QWidget *parent, const QString &name)
    : QTabWidget(parent)
    , m_pane(pane)
    , m_figure(figure)
{
    setObjectName(name.isEmpty() ? QStringLiteral("KyPadLayerGroup") : name);
    if (dzApp && dzApp->getHelpMgr())
        dzApp->getHelpMgr()->setOnlineHelp(this);
    addLayer(QString());
}

KyPadLayerGroup::~KyPadLayerGroup()
{
    const QList<KyPadLayer *> all = layers();
    while (count() > 0) {
        QWidget *page = widget(0);
        removeTab(0);
        delete page;
    }
    qDeleteAll(all);
}

QString KyPadLayerGroup::nextLayerName() const
{
    for (int n = 1;; ++n) {
        const QString candidate = tr("Layer %1").arg(n);
        bool taken = false;
        for (int i = 0; i < count() && !taken; ++i)
            taken = tabText(i) == candidate;
        if (!taken)
            return candidate;
    }
}

void KyPadLayerGroup::addTabFor(KyPadLayer *layer)
{
    auto *view = new KyPadLayerView(layer, this);
    const int index = addTab(view, layer->name());
    connect(layer, &KyPadLayer::nameChanged, view, [this, view](const QString &text) {
        const int i = indexOf(view);
        if (i >= 0)
            setTabText(i, text);
    });
    setCurrentIndex(index);
}

KyPadLayer *KyPadLayerGroup::addLayer(const QString &name)
{
    auto *layer = new KyPadLayer(m_pane, this, name.isEmpty() ? nextLayerName() : name);
    layer->setFigure(figure());
    addTabFor(layer);
    return layer;
}

void KyPadLayerGroup::removeLayer(KyPadLayer *layer)
{
    for (int i = 0; i < count(); ++i) {
        if (layerAt(i) == layer) {
            QWidget *page = widget(i);
            removeTab(i);
            delete page;
            delete layer;
            return;
        }
    }
}

void KyPadLayerGroup::deleteActiveLayer()
{
    if (count() > 0)
        removeLayer(activeLayer());
}

void KyPadLayerGroup::deleteAllLayers()
{
    while (count() > 0) {
        KyPadLayer *layer = layerAt(0);
        if (layer) {
            removeLayer(layer);
        } else {
            QWidget *page = widget(0);
            removeTab(0);
            delete page;
        }
    }
}

void KyPadLayerGroup::deleteEmptyDefaultLayer()
{
    if (count() == 1 && tabText(0) == tr("Layer 1") && activeLayer() && activeLayer()->poses().isEmpty())
        removeLayer(activeLayer());
}

void KyPadLayerGroup::renameActiveLayer(const QString &name)
{
    if (KyPadLayer *layer = activeLayer()) {
        layer->setName(name);
        setTabText(currentIndex(), name);
    }
}

KyPadLayerView *KyPadLayerGroup::viewAt(int index) const
{
    return qobject_cast<KyPadLayerView *>(widget(index));
}

KyPadLayer *KyPadLayerGroup::layerAt(int index) const
{
    KyPadLayerView *view = viewAt(index);
    return view ? view->layer() : nullptr;
}

QList<KyPadLayer *> KyPadLayerGroup::layers() const
{
    QList<KyPadLayer *> list;
    for (int i = 0; i < count(); ++i) {
        if (KyPadLayer *layer = layerAt(i))
            list.append(layer);
    }
    return list;
}

void KyPadLayerGroup::adoptLayers(const QList<KyPadLayer *> &layers)
{
    for (KyPadLayer *layer : layers) {
        layer->setParent(this);
        layer->setPane(m_pane);
        if (!layer->figure())
            layer->setFigure(figure());
        addTabFor(layer);
    }
    if (count() > 0)
        setCurrentIndex(0);
}

KyPadLayerGroup::Snapshot KyPadLayerGroup::snapshot() const
{
    Snapshot s;
    for (KyPadLayer *layer : layers())
        s.layers.push_back(layer->snapshot());
    s.current = currentIndex();
    return s;
}

void KyPadLayerGroup::restore(const Snapshot &s)
{
    while (count() > static_cast<int>(s.layers.size()))
        removeLayer(layerAt(count() - 1));
    for (size_t i = 0; i < s.layers.size(); ++i) {
        KyPadLayer *layer = static_cast<int>(i) < count() ? layerAt(static_cast<int>(i))
                                                          : addLayer(s.layers[i].name);
        layer->restore(s.layers[i]);
        setTabText(static_cast<int>(i), s.layers[i].name);
    }
    if (s.current >= 0 && s.current < count())
        setCurrentIndex(s.current);
}

void KyPadLayerGroup::pushStep(Snapshot before, const QString &caption)
{
    if (dzUndoStack->isUndoing())
        return;
    DzUndoStackHold hold;
    dzUndoStack->push(new GroupUndoItem(this, std::move(before), snapshot(), caption));
    hold.accept(caption);
}

KyPadLayer *KyPadLayerGroup::addLayerStep(const QString &name)
{
    Snapshot before = snapshot();
    KyPadLayer *layer = addLayer(name);
    pushStep(std::move(before), QStringLiteral("Add Layer"));
    return layer;
}

void KyPadLayerGroup::renameActiveLayerStep(const QString &name)
{
    if (!activeLayer())
        return;
    Snapshot before = snapshot();
    renameActiveLayer(name);
    pushStep(std::move(before), QStringLiteral("Rename Layer"));
}

void KyPadLayerGroup::deleteActiveLayerStep()
{
    if (count() == 0)
        return;
    Snapshot before = snapshot();
    deleteActiveLayer();
    pushStep(std::move(before), QStringLiteral("Delete Layer"));
}
