#include "dzscene.h"

#include "dzaudioclip.h"
#include "dzfloatproperty.h"
#include "dzmodifier.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscenedata.h"
#include "dzscript.h"

#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

DzScene *dzScene = nullptr;

namespace {

const DzTimeRange kDefaultRange(0, DZ_TICKS_PER_SECOND);
constexpr DzTime kDefaultTimeStep = 160;

} // namespace

DzScene::DzScene(QObject *parent)
    : DzBase(parent), m_timer(new QTimer(this)), m_playRange(kDefaultRange), m_animRange(kDefaultRange)
{
    qRegisterMetaType<DzTime>("DzTime");
    qRegisterMetaType<DzTimeRange>("DzTimeRange");
    qRegisterMetaType<DzVec3>("DzVec3");
    qRegisterMetaType<DzQuat>("DzQuat");
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &DzScene::advanceFrame);
    restartTimerInterval();
    dzScene = this;
}

DzScene::~DzScene()
{
    m_timer->stop();
    // Nodes are QObject children; detach them first so their destructors do
    // not call back into this half-destroyed scene.
    const QList<DzNode *> nodes = m_nodes;
    m_nodes.clear();
    m_selected.clear();
    QList<DzNode *> owned;
    for (DzNode *n : nodes) {
        n->setSceneInternal(nullptr);
        if (!n->getNodeParent() && n->parent() == this)
            owned.append(n);
    }
    // Deleting a top node deletes its descendants with it.
    qDeleteAll(owned);
    if (dzScene == this)
        dzScene = nullptr;
}

// --- time ---------------------------------------------------------------------

void DzScene::setTime(DzTime time)
{
    if (time == m_time)
        return;
    m_time = time;
    emit timeChanged(time);
}

void DzScene::setTimeStep(DzTime step)
{
    if (step < 1 || step == m_timeStep)
        return;
    m_timeStep = step;
    restartTimerInterval();
    emit timeStepChanged(step);
}

void DzScene::restartTimerInterval()
{
    // One frame of real time, at least 1 ms.
    const double ms = double(m_timeStep) * 1000.0 / DZ_TICKS_PER_SECOND;
    m_timer->setInterval(std::max(1, int(std::lround(ms))));
}

static DzTimeRange ordered(const DzTimeRange &r)
{
    return r.getEnd() < r.getStart() ? DzTimeRange(r.getEnd(), r.getStart()) : r;
}

void DzScene::setPlayRange(const DzTimeRange &range)
{
    const DzTimeRange r = ordered(range);
    if (r == m_playRange)
        return;
    m_playRange = r;
    markModified();
    emit playRangeChanged(r);
}

void DzScene::setAnimRange(const DzTimeRange &range)
{
    const DzTimeRange r = ordered(range);
    if (r == m_animRange)
        return;
    m_animRange = r;
    markModified();
    emit animRangeChanged(r);
}

// --- playback -----------------------------------------------------------------

void DzScene::play(bool fromCurrent)
{
    if (m_timer->isActive())
        return;
    if (!fromCurrent || !m_playRange.contains(m_time) || m_time >= m_playRange.getEnd())
        setTime(m_playRange.getStart());
    if (m_audio) {
        const qint64 pos = qint64(m_time) + qint64(m_timeStep) * m_audioStartFrame;
        if (pos >= 0 && pos < m_audio->getLength()) {
            m_audio->setPosition(DzTime(pos));
            m_audio->setValue(1.0);
            m_audio->start();
        }
    }
    m_timer->start();
    emit playbackStarted();
}

void DzScene::pause()
{
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    if (m_audio)
        m_audio->stop();
    emit playbackStopped();
}

bool DzScene::isPlaying() const
{
    return m_timer->isActive();
}

void DzScene::loopPlayback(bool onOff)
{
    if (onOff == m_looping)
        return;
    m_looping = onOff;
    emit loopPlaybackChanged(onOff);
}

void DzScene::advanceFrame()
{
    if (!isPlaying())
        return;
    const DzTime start = m_playRange.getStart();
    const DzTime end = m_playRange.getEnd();
    if (m_time < start || m_time > end) {
        // Someone moved the time out of the range while playing.
        setTime(start);
        return;
    }
    if (m_time >= end) {
        if (m_looping)
            setTime(start);
        else
            pause();
        return;
    }
    const DzTime next = DzTime(std::min<qint64>(qint64(m_time) + m_timeStep, end));
    setTime(next);
    // setTime's receivers may have paused or moved the time; only stop at the
    // end we actually reached.
    if (m_time >= end && !m_looping)
        pause();
}

// --- nodes ----------------------------------------------------------------------

bool DzScene::addNode(DzNode *node)
{
    if (!node || node->getScene())
        return false;
    QList<DzNode *> added;
    for (DzNode *n : node->getNodesInHierarchy()) {
        if (n->getScene())
            continue;
        n->setSceneInternal(this);
        m_nodes.append(n);
        connectNode(n);
        added.append(n);
    }
    if (!node->getNodeParent())
        node->setParent(this);
    for (DzNode *n : added)
        emit nodeAdded(n);
    emit nodeListChanged();
    markModified();
    return true;
}

void DzScene::connectNode(DzNode *node)
{
    // The node relays its transform changes and marks the scene modified for
    // its own properties (DzNode::signalTransform, propertyChanged), without
    // a connection each.
    auto watch = [this](const DzElement *element) {
        for (DzProperty *p : element->getProperties()) {
            // A key change signals currentValueChanged() too.
            connect(p, &DzProperty::currentValueChanged, this, &DzScene::markModified);
        }
    };
    if (DzObject *obj = node->getObject())
        for (int i = 0; i < obj->getNumModifiers(); ++i)
            watch(obj->getModifier(i));
}

void DzScene::collectRemoval(DzNode *node, QList<DzNode *> &out) const
{
    // Deepest first, so that receivers never see a node whose children are
    // already gone while it is still listed: the hierarchy lists parents
    // before their children, so read it backwards.
    const QList<DzNode *> all = node->getNodesInHierarchy();
    for (qsizetype i = all.size() - 1; i >= 0; --i) {
        if (all[i]->getScene() == this)
            out.append(all[i]);
    }
}

bool DzScene::removeNode(DzNode *node)
{
    if (!node || node->getScene() != this)
        return false;
    removeNodeInternal(node, true);
    return true;
}

void DzScene::removeNodeInternal(DzNode *node, bool emitListChanged)
{
    if (DzNode *parent = node->getNodeParent())
        parent->removeNodeChild(node);
    QList<DzNode *> gone;
    collectRemoval(node, gone);

    // One pass over each list, so that removing a large hierarchy stays
    // linear.
    const QSet<DzNode *> goneSet(gone.begin(), gone.end());
    DzNode *oldPrimary = getPrimarySelection();
    const bool selectionChanged = m_selected.removeIf([&](DzNode *n) {
        if (!goneSet.contains(n))
            return false;
        n->setSelectedFlag(false);
        return true;
    }) > 0;
    if (selectionChanged) {
        emit nodeSelectionListChanged();
        setPrimaryAfterChange(oldPrimary);
    }

    m_nodes.removeIf([&](DzNode *n) { return goneSet.contains(n); });
    for (DzNode *n : gone) {
        n->setSceneInternal(nullptr);
        disconnect(n, nullptr, this, nullptr);
        for (DzProperty *p : n->getProperties())
            disconnect(p, nullptr, this, nullptr);
        if (DzObject *obj = n->getObject())
            for (int i = 0; i < obj->getNumModifiers(); ++i)
                for (DzProperty *p : obj->getModifier(i)->getProperties())
                    disconnect(p, nullptr, this, nullptr);
        emit nodeRemoved(n);
    }
    node->setParent(nullptr);
    node->deleteLater();
    if (emitListChanged)
        emit nodeListChanged();
    markModified();
}

void DzScene::nodeDestroyed(DzNode *node)
{
    const bool wasListed = m_nodes.removeOne(node);
    DzNode *oldPrimary = getPrimarySelection();
    if (m_selected.removeOne(node)) {
        emit nodeSelectionListChanged();
        setPrimaryAfterChange(oldPrimary);
    }
    if (wasListed)
        emit nodeListChanged();
}

DzNode *DzScene::getNode(int i) const
{
    if (i < 0 || i >= m_nodes.size())
        return nullptr;
    return m_nodes.at(i);
}

DzNode *DzScene::findNode(const QString &name) const
{
    for (DzNode *n : m_nodes)
        if (n->getName() == name)
            return n;
    return nullptr;
}

// --- selection ------------------------------------------------------------------

void DzScene::setPrimaryAfterChange(DzNode *oldPrimary)
{
    DzNode *now = getPrimarySelection();
    if (now != oldPrimary)
        emit primarySelectionChanged(now);
}

void DzScene::selectNode(DzNode *node, bool onOff)
{
    if (!node || node->getScene() != this)
        return;
    DzNode *oldPrimary = getPrimarySelection();
    if (onOff) {
        if (m_selected.contains(node))
            return;
        m_selected.append(node);
    } else if (!m_selected.removeOne(node)) {
        return;
    }
    node->setSelectedFlag(onOff);
    emit nodeSelectionListChanged();
    setPrimaryAfterChange(oldPrimary);
}

void DzScene::selectAllNodes(bool onOff)
{
    DzNode *oldPrimary = getPrimarySelection();
    bool changed = false;
    if (onOff) {
        for (DzNode *n : m_nodes) {
            if (!m_selected.contains(n)) {
                m_selected.append(n);
                n->setSelectedFlag(true);
                changed = true;
            }
        }
    } else {
        const QList<DzNode *> was = m_selected;
        m_selected.clear();
        for (DzNode *n : was)
            n->setSelectedFlag(false);
        changed = !was.isEmpty();
    }
    if (!changed)
        return;
    emit nodeSelectionListChanged();
    setPrimaryAfterChange(oldPrimary);
}

DzNode *DzScene::getSelectedNode(int i) const
{
    if (i < 0 || i >= m_selected.size())
        return nullptr;
    return m_selected.at(i);
}

void DzScene::setPrimarySelection(DzNode *node)
{
    if (!node) {
        selectAllNodes(false);
        return;
    }
    if (node->getScene() != this || node == getPrimarySelection())
        return;
    DzNode *oldPrimary = getPrimarySelection();
    // Moving it to the end of the list makes it the most recent selection.
    const bool wasSelected = m_selected.removeOne(node);
    m_selected.append(node);
    if (!wasSelected)
        node->setSelectedFlag(true);
    emit nodeSelectionListChanged();
    setPrimaryAfterChange(oldPrimary);
}

// --- data items -------------------------------------------------------------------

bool DzScene::addDataItem(DzSceneData *item)
{
    if (!item || m_dataItems.contains(item) || qobject_cast<DzScene *>(item->parent()))
        return false;
    if (item->isUnique()) {
        const QString name = item->getName();
        for (int i = m_dataItems.size() - 1; i >= 0; --i) {
            if (m_dataItems.at(i)->getName() == name)
                delete m_dataItems.takeAt(i);
        }
    }
    item->setParent(this);
    m_dataItems.append(item);
    emit sceneDataListChanged();
    return true;
}

bool DzScene::removeDataItem(DzSceneData *item)
{
    if (!item || !m_dataItems.removeOne(item))
        return false;
    delete item;
    emit sceneDataListChanged();
    return true;
}

DzSceneData *DzScene::findDataItem(const QString &name) const
{
    for (DzSceneData *d : m_dataItems)
        if (d->getName() == name)
            return d;
    return nullptr;
}

DzSceneData *DzScene::getDataItem(int i) const
{
    if (i < 0 || i >= m_dataItems.size())
        return nullptr;
    return m_dataItems.at(i);
}

// --- whole scene ----------------------------------------------------------------------

void DzScene::clear()
{
    emit sceneClearStarting();
    pause();
    selectAllNodes(false);
    bool hadNodes = false;
    while (!m_nodes.isEmpty()) {
        // Remove from a top node of some hierarchy, so each subtree goes at once.
        DzNode *n = m_nodes.first();
        while (n->getNodeParent() && n->getNodeParent()->getScene() == this)
            n = n->getNodeParent();
        removeNodeInternal(n, false);
        hadNodes = true;
    }
    if (hadNodes)
        emit nodeListChanged();
    if (!m_dataItems.isEmpty()) {
        qDeleteAll(m_dataItems);
        m_dataItems.clear();
        emit sceneDataListChanged();
    }
    setAudio(nullptr);
    m_audioStartFrame = 0;
    setTime(0);
    setTimeStep(kDefaultTimeStep);
    setPlayRange(kDefaultRange);
    setAnimRange(kDefaultRange);
    setModified(false);
    emit sceneCleared();
}

void DzScene::notifyLoadStarting()
{
    m_loading = true;
    emit sceneLoadStarting();
}

void DzScene::notifyLoaded()
{
    m_loading = false;
    setModified(false);
    emit sceneLoaded();
}

void DzScene::update()
{
    emit updateRequested();
}

void DzScene::buildStateScript(DzScript &script)
{
    emit saveStateScript(script);
}

void DzScene::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

// --- audio ------------------------------------------------------------------------------

void DzScene::setAudio(DzAudioClip *clip)
{
    if (clip == m_audio)
        return;
    delete m_audio;
    m_audio = clip;
    if (m_audio)
        m_audio->setParent(this);
    emit audioChanged();
}

void DzScene::setAudioStartFrame(int frame)
{
    if (frame == m_audioStartFrame)
        return;
    m_audioStartFrame = frame;
    emit audioChanged();
}
