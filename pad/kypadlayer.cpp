#include "kypadlayer.h"

#include "kypadhooks.h"
#include "kypadnodedata.h"
#include "kypadnodelist.h"
#include "kypadpaneinterface.h"
#include "kypadpose.h"
#include "kypadsections.h"
#include "kypadsnapshot.h"

#include "figurebinding.h"
#include "kymixercore.h"
#include "kyposer.h"
#include "kytime.h"
#include "kytimeline.h"

#include "engine.h"
#include "kyblock.h"

#include "dzapp.h"
#include "dzaudioclip.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dzundostack.h"
#include "dzundostackhold.h"
#include "dzviewportmgr.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFillUndoDelayMs = 500;

DzViewportMgr *viewportMgr()
{
    return dzApp ? dzApp->getViewportMgr() : nullptr;
}

} // namespace

KyPadLayer::KyPadLayer()
    : m_cursor(new DzPointControl0(this))
    , m_updateTimer(new QTimer(this))
    , m_undoTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("KyPadLayer"));
    init();
}

KyPadLayer::KyPadLayer(KyPadPaneInterface *pane, QObject *parent, const QString &name)
    : m_name(name)
    , m_cursor(new DzPointControl0(this))
    , m_updateTimer(new QTimer(this))
    , m_undoTimer(new QTimer(this))
{
    setParent(parent);
    setObjectName(QStringLiteral("Layer"));
    setPane(pane);
    init();
}

void KyPadLayer::init()
{
    m_updateTimer->setInterval(0);
    m_undoTimer->setSingleShot(true);
    connect(m_updateTimer, &QTimer::timeout, this, &KyPadLayer::timerUpdate);
    connect(m_undoTimer, &QTimer::timeout, this, &KyPadLayer::undoTimeout);
    connect(m_cursor, &DzPointControl0::keysChanged, this, &KyPadLayer::changed);
}

KyPadLayer::~KyPadLayer()
{
    m_updateTimer->stop();
    // A hold left open would swallow every later undo item.
    if (m_editHold)
        endEditHold(QStringLiteral("kinPading"));
    if (m_dragging) {
        if (DzViewportMgr *mgr = viewportMgr())
            mgr->endManipulation();
        if (KyMixerCore *core = kyPadMixerCore()) {
            core->setRecordingRequested(false);
            core->setDragVelocity(0.0f);
        }
    }
    const QList<KyPadPose *> poses = m_poses;
    m_poses.clear();
    m_selectedPose = nullptr;
    qDeleteAll(poses);
}

void KyPadLayer::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged(name);
}

KyPadPaneInterface *KyPadLayer::pane() const
{
    if (m_paneObject)
        return m_pane;
    return kyPadPaneInterface();
}

void KyPadLayer::setPane(KyPadPaneInterface *pane)
{
    m_pane = pane;
    m_paneObject = dynamic_cast<QObject *>(pane);
}

std::vector<KyPadDot> KyPadLayer::dots() const
{
    std::vector<KyPadDot> d;
    d.reserve(static_cast<size_t>(m_poses.size()));
    for (const KyPadPose *p : m_poses)
        d.push_back(KyPadDot{p->x, p->y});
    return d;
}

void KyPadLayer::setSelectedPose(KyPadPose *pose)
{
    if (pose && !m_poses.contains(pose))
        return;
    if (pose == m_selectedPose)
        return;
    m_selectedPose = pose;
    emit changed();
}

KyPadPose *KyPadLayer::hitTest(float px, float py) const
{
    const int i = kyPadHitTest(dots(), px, py);
    return i >= 0 ? m_poses[i] : nullptr;
}

void KyPadLayer::setFigure(DzNode *figure)
{
    if (figure != m_figure) {
        m_figure = figure;
        updateMasks();
    }
    emit changed();
}

void KyPadLayer::resetMasks()
{
    if (!figure())
        return;
    const size_t n = static_cast<size_t>(kyPadNodeList(figure()).size());
    m_transformMask.assign(n, false);
    m_propertyMask.assign(n, false);
}

QList<DzFloatProperty *> KyPadLayer::varyingProperties(int i, const QList<DzFloatProperty *> &props) const
{
    QList<DzFloatProperty *> varying;
    for (DzFloatProperty *p : props) {
        bool have = false;
        double first = 0.0;
        for (const KyPadPose *pose : m_poses) {
            const KyPadNodeData *d = pose->nodeData(i);
            double v = 0.0;
            if (!d || !d->propValue(p, &v))
                continue;
            if (!have) {
                have = true;
                first = v;
            } else if (v != first) {
                varying.append(p);
                break;
            }
        }
    }
    return varying;
}

void KyPadLayer::updateMasks()
{
    resetMasks();
    if (!figure())
        return;
    const QList<DzNode *> nodes = kyPadNodeList(figure());
    for (int i = 0; i < nodes.size(); ++i) {
        bool differs = false;
        const KyPadPose *reference = nullptr;
        for (const KyPadPose *pose : m_poses) {
            if (!pose->nodeData(i))
                continue;
            if (!reference)
                reference = pose;
            else if (!reference->sameTransform(*pose, i)) {
                differs = true;
                break;
            }
        }
        const bool recorded = std::any_of(m_recordedNodes.begin(), m_recordedNodes.end(),
                                          [&](const QPointer<DzNode> &n) { return n == nodes[i]; });
        m_transformMask[static_cast<size_t>(i)] = differs || recorded;
        m_propertyMask[static_cast<size_t>(i)] = !varyingProperties(i, kyPadProperties(nodes[i])).isEmpty();
    }
}

void KyPadLayer::clearPoses()
{
    KyPadLayerEdit edit(this);
    const QList<KyPadPose *> poses = m_poses;
    m_poses.clear();
    m_selectedPose = nullptr;
    qDeleteAll(poses);
    updateMasks();
    emit changed();
    edit.commit(QStringLiteral("Clear Layer"));
}

void KyPadLayer::clearAnimation(const DzTimeRange &range)
{
    updateMasks();
    DzUndoStackHold hold;
    if (figure()) {
        const QList<DzNode *> nodes = kyPadNodeList(figure());
        for (int i = 0; i < nodes.size() && i < static_cast<int>(m_transformMask.size()); ++i) {
            DzNode *node = nodes[i];
            if (m_transformMask[static_cast<size_t>(i)]) {
                node->beginEdit();
                node->clearAnimData(range);
                node->finishEdit();
            }
            if (m_propertyMask[static_cast<size_t>(i)]) {
                for (DzFloatProperty *p : varyingProperties(i, kyPadProperties(node))) {
                    p->beginEdit();
                    p->deleteKeys(range);
                    p->finishEdit();
                }
            }
        }
    }
    m_cursor->removeKeys(range);
    hold.accept(QStringLiteral("Clear Layer Animation"));
    emit changed();
}

void KyPadLayer::movePose(KyPadPose *pose, float x, float y)
{
    if (!pose || !m_poses.contains(pose) || !std::isfinite(x) || !std::isfinite(y))
        return;
    pose->x = x;
    pose->y = y;
    emit changed();
}

void KyPadLayer::applyPose(KyPadPose *pose)
{
    if (!pose || !figure())
        return;
    const QList<DzNode *> nodes = kyPadNodeList(figure());
    DzUndoStackHold hold;
    for (DzNode *n : nodes)
        n->beginEdit();
    pose->apply();
    for (DzNode *n : nodes)
        n->finishEdit();
    hold.accept(QStringLiteral("kinPad Apply Pose"));
}

KyPadPose *KyPadLayer::newPose(int x, int y)
{
    return new KyPadPose(nullptr, static_cast<float>(x), static_cast<float>(y), figure(), false);
}

KyPadPose *KyPadLayer::addPose(KyBlock *block, int x, int y)
{
    KyPadLayerEdit edit(this);
    auto *pose = new KyPadPose(block, static_cast<float>(x), static_cast<float>(y), figure(), true);
    addPose(pose, false);
    if (!m_poses.contains(pose))
        return nullptr;
    m_selectedPose = pose;
    emit changed();
    edit.commit(QStringLiteral("kinPad Add kinBlock"));
    return pose;
}

void KyPadLayer::addPose(KyPadPose *pose)
{
    KyPadLayerEdit edit(this);
    addPose(pose, true);
    edit.commit(QStringLiteral("kinPad Add Pose"));
}

void KyPadLayer::addPose(KyPadPose *pose, bool backwardCompatible)
{
    if (!pose || m_poses.contains(pose))
        return;
    if (pose->parent() && pose->parent() != this) {
        dzWarning(QStringLiteral("KyPadLayer::addPose(): the pose belongs to another layer"));
        return;
    }
    pose->setParent(this);
    m_poses.append(pose);
    emit changed();
    if (backwardCompatible)
        pose->convertLocalTransforms();
    updateMasks();
}

void KyPadLayer::takePose(KyPadPose *pose)
{
    if (pose == m_selectedPose)
        m_selectedPose = nullptr;
    m_poses.removeAll(pose);
}

void KyPadLayer::removePose(KyPadPose *pose)
{
    if (!pose || !m_poses.contains(pose))
        return;
    KyPadLayerEdit edit(this);
    takePose(pose);
    delete pose;
    updateMasks();
    emit changed();
    edit.commit(QStringLiteral("Delete Selected kinBlock"));
}

void KyPadLayer::setPose(KyPadPose *pose)
{
    if (!pose || !m_poses.contains(pose))
        return;
    KyPadLayerEdit edit(this);
    pose->capture();
    updateMasks();
    edit.commit(QStringLiteral("Update Selected kinBlock"));
}

void KyPadLayer::zoomToFit()
{
    m_view.zoomToFit(dots());
    emit changed();
}

void KyPadLayer::centerView()
{
    m_view.centerView(dots());
    emit changed();
}

void KyPadLayer::resetView()
{
    m_view.resetView();
    emit changed();
}

void KyPadLayer::zoomOutToFit()
{
    m_view.zoomOutToFit(dots());
    emit changed();
}

// --- playback and recording --------------------------------------------------

KyPadSpeedState &KyPadLayer::speedState()
{
    static KyPadSpeedState state;
    return state;
}

bool KyPadLayer::dragStart(float px, float py)
{
    if (!figure() || m_poses.size() < 2 || m_dragging)
        return false;
    m_dragging = true;
    m_cursorFrames.clear();
    m_updateTimer->start(0);
    m_dragClock.restart();
    m_pressTime = m_currentTime = dzScene ? dzScene->getTime() : 0;
    if (dzScene) {
        m_rangesAtPress[0] = dzScene->getAnimRange();
        m_rangesAtPress[1] = dzScene->getPlayRange();
    }
    beginEditHold();
    if (DzViewportMgr *mgr = viewportMgr())
        mgr->startManipulation();
    m_cursor->x = px;
    m_cursor->y = py;
    KyPadPaneInterface *p = pane();
    if (p && p->playAudio() && dzScene && dzScene->getAudio()) {
        DzAudioClip *clip = dzScene->getAudio();
        const DzTime position = dzScene->getTime() + dzScene->getTimeStep() * dzScene->getAudioStartFrame();
        if (position < clip->getLength()) {
            clip->setPosition(position);
            clip->setValue(1.0);
            clip->start();
        }
    }
    emit changed();
    return true;
}

void KyPadLayer::moveCursor(float px, float py)
{
    if (!std::isfinite(px) || !std::isfinite(py))
        return;
    m_cursor->x = px;
    m_cursor->y = py;
    emit changed();
}

void KyPadLayer::timerUpdate()
{
    if (!dzScene)
        return;
    const DzTimeRange play = dzScene->getPlayRange();
    m_dragClock.restart();
    if (play.contains(m_pressTime))
        updatePlayback();
}

int KyPadLayer::playingIndex() const
{
    for (int i = 0; i < m_poses.size(); ++i) {
        if (m_poses[i]->block() && m_poses[i]->block()->isCurrent())
            return i;
    }
    return -1;
}

int KyPadLayer::chooseAndStart()
{
    const int chosen = kyPadChooseDot(dots(), playingIndex(), m_cursor->x, m_cursor->y);
    if (chosen >= 0) {
        KyBlock *block = m_poses[chosen]->block();
        if (block && !block->isCurrent())
            block->startOn(0, -1);
    }
    return chosen;
}

void KyPadLayer::updatePlayback()
{
    if (m_poses.isEmpty() || !figure())
        return;
    const int chosen = chooseAndStart();
    KyPadSpeedState &state = speedState();
    if (kyPadUpdateSpeed(state, m_cursor->x, m_cursor->y, kyPadNow())) {
        KyPadPaneInterface *p = pane();
        if (p && !p->mouseControlsSpeed())
            state.playbackSpeed = 1.0f;
        if (p)
            p->showSpeed(kyPadSpeedText(state.playbackSpeed));
        if (chosen >= 0 && m_poses[chosen]->block()) {
            if (KyMixerCore *core = kyPadMixerCore()) {
                core->setRecordingRequested(p && p->mode() == KyPadPaneInterface::RecordMode);
                core->setDragVelocity(state.playbackSpeed);
            }
        }
    }
    recordCursorFrames();
}

void KyPadLayer::recordCursorFrames()
{
    KyMixerCore *core = kyPadMixerCore();
    if (!m_dragging || !core || !core->isRecording())
        return;
    const KyRecordingBuffers &buffers = core->recordingBuffers();
    const size_t frames = static_cast<size_t>(buffers.frameCount());
    if (m_cursorFrames.size() > frames)
        m_cursorFrames.clear(); // a new recording began
    while (m_cursorFrames.size() < frames)
        m_cursorFrames.emplace_back(m_cursor->x, m_cursor->y, 0);
    KyPadPaneInterface *p = pane();
    if (p && p->extendFrames() && frames > 0)
        extendRangesTo(buffers.frameTimes(m_pressTime).back());
}

void KyPadLayer::extendRangesTo(DzTime end)
{
    if (!dzScene)
        return;
    const DzTimeRange anim = dzScene->getAnimRange();
    if (anim.getEnd() < end)
        dzScene->setAnimRange(DzTimeRange(anim.getStart(), end));
    const DzTimeRange play = dzScene->getPlayRange();
    if (play.getEnd() < end)
        dzScene->setPlayRange(DzTimeRange(play.getStart(), end));
}

void KyPadLayer::dragEnd()
{
    m_updateTimer->stop();
    if (!m_dragging)
        return;
    KyMixerCore *core = kyPadMixerCore();
    const bool anyPlaying = playingIndex() >= 0;
    if (core && (anyPlaying || core->isRecordingRequested() || core->isRecording())) {
        recordCursorFrames();
        const bool recording = core->isRecording();
        std::vector<DzTime> times;
        QList<QPointer<DzNode>> written;
        if (recording) {
            const KyRecordingBuffers &buffers = core->recordingBuffers();
            times = buffers.frameTimes(dzScene ? dzScene->getTime() : 0);
            for (int i = 0; i < buffers.nodeCount(); ++i)
                written.append(buffers.node(i));
        }
        core->setRecordingRequested(false);
        core->setDragVelocity(0.0f);
        // Write the take now, inside this drag's undo step; a timeline
        // update that was due first may take one more round.
        for (int round = 0; round < 2 && core->isRecording(); ++round)
            core->animUpdate();
        if (!times.empty()) {
            const size_t n = std::min(times.size(), m_cursorFrames.size());
            for (size_t i = 0; i < n; ++i)
                m_cursor->insertKey(new DzPointKey0(m_cursorFrames[i].x, m_cursorFrames[i].y, times[i]));
            for (const QPointer<DzNode> &node : written) {
                if (node && !m_recordedNodes.contains(node))
                    m_recordedNodes.append(node);
            }
            updateMasks();
            KyPadPaneInterface *p = pane();
            if (p && !p->extendFrames() && dzScene) {
                dzScene->setAnimRange(m_rangesAtPress[0]);
                dzScene->setPlayRange(m_rangesAtPress[1]);
            }
        }
    }
    m_dragging = false;
    m_cursorFrames.clear();
    endEditHold(QStringLiteral("kinPading"));
    if (DzViewportMgr *mgr = viewportMgr())
        mgr->endManipulation();
    if (dzScene && dzScene->getAudio())
        dzScene->getAudio()->stop();
    emit changed();
}

void KyPadLayer::beginEditHold()
{
    // Only a fill can still be open here (a drag closes its own): close it
    // as its own step before bracketing anew.
    if (m_editHold) {
        m_undoTimer->stop();
        endEditHold(QStringLiteral("kinPad Fill Frames"));
    }
    updateMasks();
    if (figure()) {
        const QList<DzNode *> nodes = kyPadNodeList(figure());
        for (int i = 0; i < nodes.size(); ++i) {
            nodes[i]->beginEdit();
            m_editNodes.append(nodes[i]);
            for (DzFloatProperty *p : varyingProperties(i, kyPadProperties(nodes[i]))) {
                p->beginEdit();
                m_editProperties.append(p);
            }
        }
    }
    m_editHold = new DzUndoStackHold;
}

void KyPadLayer::endEditHold(const QString &caption)
{
    // Exactly the nodes and properties the hold began an edit on, even when
    // the figure changed meanwhile.
    for (const QPointer<DzNode> &n : std::as_const(m_editNodes)) {
        if (n)
            n->finishEdit();
    }
    for (const QPointer<DzFloatProperty> &p : std::as_const(m_editProperties)) {
        if (p)
            p->finishEdit();
    }
    m_editNodes.clear();
    m_editProperties.clear();
    if (m_editHold) {
        m_editHold->accept(caption);
        delete m_editHold;
        m_editHold = nullptr;
    }
}

void KyPadLayer::undoTimeout()
{
    endEditHold(QStringLiteral("kinPad Fill Frames"));
}

void KyPadLayer::followTime(DzTime t)
{
    m_cursor->evaluate(t);
    KyPadPaneInterface *p = pane();
    if (p && p->fillFrames()) {
        m_currentTime = t;
        const DzTimeRange range = m_cursor->keyRange();
        if (m_editHold)
            m_undoTimer->start(kFillUndoDelayMs);
        if (range.getStart() != range.getEnd() && range.contains(t) && !recordedNear(t)) {
            if (!m_editHold) {
                beginEditHold();
                m_undoTimer->start(kFillUndoDelayMs);
            }
            fillFrame(t);
        }
    }
    emit changed();
}

// Whether the recording left a frame near t. Recorded frames last their
// real duration (33 ms is 158 ticks), so they rarely fall on a host frame
// exactly; a host frame was skipped only when no key lies within half a
// frame of it - otherwise every frame would be filled over the take.
bool KyPadLayer::recordedNear(DzTime t) const
{
    const DzTime half = std::max<DzTime>(hostTimeStep() / 2, 1);
    for (int i = 0; i < m_cursor->keys().count(); ++i) {
        const DzTime d = m_cursor->keys().at(i)->time - t;
        if (d > -half && d < half)
            return true;
    }
    return false;
}

// Plays the dot nearest to the replayed cursor and poses the figure at t:
// in Record kinBlock mode as keys (the skipped frame gets its keys), in
// Preview as a short preview that the main pane undoes again. The main
// pane's drag velocity is left alone, so nothing keeps moving afterwards.
void KyPadLayer::fillFrame(DzTime t)
{
    if (m_poses.isEmpty() || !figure())
        return;
    const int chosen = chooseAndStart();
    if (chosen < 0 || !m_poses[chosen]->block())
        return;
    KyMixerCore *core = kyPadMixerCore();
    KyTimeline *timeline = core ? core->timeline() : nullptr;
    DzSkeleton *skeleton = figure()->getSkeleton();
    FigureBinding *binding = timeline && skeleton ? timeline->binding(timeline->findBinding(skeleton)) : nullptr;
    if (!binding)
        return;
    const int stepMs = ticksToMs(hostTimeStep());
    engineAdvance(static_cast<int>(static_cast<float>(stepMs) * speedState().playbackSpeed));
    PoseOptions options;
    options.maskFingers = timeline->maskFingers();
    KyPadPaneInterface *p = pane();
    const bool keep = p && p->mode() == KyPadPaneInterface::RecordMode;
    ::applyPose(*binding, snappedMs(ticksToMs(t)), keep ? 0 : kPadKeyHold, options);
}

// --- snapshots ----------------------------------------------------------------

KyPadLayerSnapshot KyPadLayer::snapshot() const
{
    KyPadLayerSnapshot s;
    s.name = m_name;
    s.zoom = m_view.zoom();
    s.originX = m_view.originX();
    s.originY = m_view.originY();
    for (const KyPadPose *p : m_poses)
        s.poses.push_back(KyPadPoseSnapshot::of(*p));
    s.selected = m_poses.indexOf(m_selectedPose);
    for (int i = 0; i < m_cursor->keys().count(); ++i) {
        const DzPointKey0 *k = m_cursor->keys().at(i);
        s.cursorKeys.emplace_back(k->x, k->y, k->time);
    }
    return s;
}

void KyPadLayer::restore(const KyPadLayerSnapshot &s)
{
    setName(s.name);
    m_view.restore(s.zoom, s.originX, s.originY);
    const QList<KyPadPose *> old = m_poses;
    m_poses.clear();
    m_selectedPose = nullptr;
    qDeleteAll(old);
    for (const KyPadPoseSnapshot &ps : s.poses) {
        auto *pose = new KyPadPose(ps.block, ps.x, ps.y, nullptr, false);
        pose->setFigure(figure());
        pose->backwardCompatible = ps.backwardCompatible;
        for (size_t i = 0; i < ps.nodes.size(); ++i) {
            if (ps.nodes[i])
                pose->setNodeDataAt(static_cast<int>(i), ps.nodes[i]->make());
        }
        pose->setParent(this);
        m_poses.append(pose);
    }
    if (s.selected >= 0 && s.selected < m_poses.size())
        m_selectedPose = m_poses[s.selected];
    // Dot edits leave the keys alone, so this matters only when a whole
    // layer comes back (undoing Delete Layer).
    if (snapshot().cursorKeys != s.cursorKeys) {
        m_cursor->removeAllKeys();
        for (const auto &k : s.cursorKeys)
            m_cursor->insertKey(new DzPointKey0(std::get<0>(k), std::get<1>(k), std::get<2>(k)));
    }
    updateMasks();
    emit changed();
}

// --- persistence ----------------------------------------------------------------

void KyPadLayer::save(DzOutFile *file)
{
    file->writeStringSection(kSectionLayerName, m_name);
    file->startSection(kSectionLayerView);
    file->writeFloat(m_view.zoom());
    file->writeFloat(m_view.originX());
    file->writeFloat(m_view.originY());
    file->endSection();
    file->writePointerSection(kSectionLayerFigure, figure());
    file->startSection(kSectionLayerPoses);
    for (int i = 0; i < m_poses.size(); ++i)
        file->writePointer(m_poses[i], static_cast<short>(i));
    file->endSection();
    DzBase::save(file);
}

void KyPadLayer::loadSection(DzInFile *file, short id)
{
    switch (id) {
    case kSectionLayerName:
        setName(file->readString());
        break;
    case kSectionLayerView: {
        const float zoom = file->readFloat();
        const float ox = file->readFloat();
        const float oy = file->readFloat();
        m_view.restore(zoom, ox, oy);
        break;
    }
    case kSectionLayerFigure:
        file->readPointer();
        break;
    case kSectionLayerPoses:
        while (file->readPointer() == 0) {
        }
        break;
    default:
        DzBase::loadSection(file, id);
    }
}

void KyPadLayer::setPointer(const DzInFile *file, short section, short id, DzBase *object)
{
    if (section == kSectionLayerFigure) {
        if (auto *node = qobject_cast<DzNode *>(DzBase::assertCast(object, "DzNode")))
            setFigure(node);
        return;
    }
    if (section == kSectionLayerPoses) {
        auto *pose = qobject_cast<KyPadPose *>(DzBase::assertCast(object, "KyPadPose"));
        // A dot referenced twice (or by two layers) is taken only once.
        if (!pose || pose->parent() || m_poses.contains(pose))
            return;
        pose->setParent(this);
        m_poses.append(pose);
        return;
    }
    DzBase::setPointer(file, section, id, object);
}

void KyPadLayer::postLoad()
{
    // The dots' values are all read by now: claim from them.
    updateMasks();
}
