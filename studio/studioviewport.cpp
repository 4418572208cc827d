#include "studioviewport.h"

#include "dzbone.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "framemath.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDragThreshold = 4; // pixels before a press becomes a drag
constexpr double kGridHalfSize = 400.0; // cm
constexpr double kGridStep = 25.0; // cm
constexpr int kMajorEvery = 4; // a major line every metre

struct BonePalette {
    QColor fill, outline, joint;
};

const BonePalette kPlainFigure { QColor(178, 184, 194), QColor(92, 98, 108), QColor(226, 229, 234) };
const BonePalette kSelectedFigure { QColor(125, 182, 250), QColor(48, 96, 160), QColor(214, 233, 255) };
const BonePalette kSelectedBone { QColor(255, 176, 64), QColor(160, 96, 0), QColor(255, 222, 160) };

QString viewName(ViewCamera::View view)
{
    switch (view) {
    case ViewCamera::Perspective:
        return QStringLiteral("Perspective");
    case ViewCamera::Front:
        return QStringLiteral("Front");
    case ViewCamera::Back:
        return QStringLiteral("Back");
    case ViewCamera::Left:
        return QStringLiteral("Left");
    case ViewCamera::Right:
        return QStringLiteral("Right");
    case ViewCamera::Top:
        return QStringLiteral("Top");
    }
    return QString();
}

// The tapered bone: widest a fifth of the way from the joint, pointed at the
// end, like the usual octahedral bone seen from the side.
QPolygonF boneShape(const QPointF &a, const QPointF &b, double width)
{
    const QPointF d = b - a;
    const double len = std::hypot(d.x(), d.y());
    if (len < 1e-6)
        return QPolygonF();
    const QPointF n(-d.y() / len, d.x() / len);
    const QPointF wide = a + d * 0.2;
    const double half = std::min(width * 0.5, len * 0.35);
    QPolygonF poly;
    poly << a << wide + n * half << b << wide - n * half;
    return poly;
}

} // namespace

StudioViewport::StudioViewport(DzScene *scene, QWidget *parent)
    : QWidget(parent)
    , m_scene(scene)
    , m_viewName(viewName(ViewCamera::Perspective))
{
    setObjectName(QStringLiteral("StudioViewport"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QString());
    if (m_scene) {
        connect(m_scene, &DzScene::timeChanged, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::nodeTransformChanged, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::nodeListChanged, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::nodeSelectionListChanged, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::primarySelectionChanged, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::updateRequested, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::sceneCleared, this, &StudioViewport::onSceneChanged);
        connect(m_scene, &DzScene::sceneLoaded, this, &StudioViewport::onSceneChanged);
    }
}

void StudioViewport::onSceneChanged()
{
    update();
}

void StudioViewport::setView(ViewCamera::View view)
{
    m_camera.setView(view);
    m_viewName = viewName(view);
    update();
    emit cameraChanged();
}

void StudioViewport::setGridShown(bool shown)
{
    if (shown == m_showGrid)
        return;
    m_showGrid = shown;
    update();
}

void StudioViewport::frameSelection()
{
    if (!m_scene)
        return;
    DzNode *primary = m_scene->getPrimarySelection();
    DzSkeleton *figure = primary ? primary->getSkeleton() : nullptr;
    const DzTime time = m_scene->getTime();
    bool any = false;
    DzVec3 lo, hi;
    auto grow = [&](const DzVec3 &p) {
        if (!any) {
            lo = hi = p;
            any = true;
            return;
        }
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], p[i]);
            hi[i] = std::max(hi[i], p[i]);
        }
    };
    for (DzNode *node : m_scene->getNodeList()) {
        if (node->isHidden())
            continue;
        if (figure && node->getSkeleton() != figure)
            continue;
        if (primary && !figure && node != primary)
            continue;
        grow(node->getWSPos(time));
        if (qobject_cast<DzBone *>(node))
            grow(node->getWSEndPoint(time));
    }
    if (!any)
        return;
    m_camera.frame(lo, hi, QSizeF(size()));
    update();
    emit cameraChanged();
}

void StudioViewport::rebuild(const QSize &size)
{
    m_drawList.build(m_scene, m_camera, QSizeF(size), m_scene ? m_scene->getTime() : 0);
}

DzNode *StudioViewport::nodeAt(const QPoint &pos)
{
    rebuild(size());
    return m_drawList.pick(QPointF(pos));
}

bool StudioViewport::jointPosition(const DzNode *bone, QPointF *pos)
{
    rebuild(size());
    for (const ViewportDrawList::Bone &b : m_drawList.bones()) {
        if (b.node == bone && b.jointVisible) {
            if (pos)
                *pos = b.joint;
            return true;
        }
    }
    return false;
}

QImage StudioViewport::renderImage(const QSize &requested)
{
    const QSize size = requested.isEmpty() ? this->size() : requested;
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    paintScene(painter, image.size());
    painter.end();
    return image;
}

void StudioViewport::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintScene(painter, size());
}

void StudioViewport::paintScene(QPainter &painter, const QSize &size)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    rebuild(size);
    paintBackground(painter, size);
    if (m_showGrid)
        paintGrid(painter, size);
    paintFigures(painter);
    paintAxes(painter, size);
    paintOverlay(painter, size);
}

void StudioViewport::paintBackground(QPainter &painter, const QSize &size)
{
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0.0, QColor(74, 81, 92));
    sky.setColorAt(1.0, QColor(30, 33, 38));
    painter.fillRect(QRect(QPoint(0, 0), size), sky);
}

void StudioViewport::paintGrid(QPainter &painter, const QSize &size)
{
    const QSizeF vp(size);
    const int lines = int(kGridHalfSize / kGridStep);
    const QColor minor(72, 78, 88);
    const QColor major(98, 105, 117);
    for (int pass = 0; pass < 2; ++pass) {
        // Minor lines first so that major lines cover them.
        for (int i = -lines; i <= lines; ++i) {
            const bool isMajor = i % kMajorEvery == 0;
            if ((pass == 0) == isMajor || i == 0)
                continue;
            painter.setPen(QPen(isMajor ? major : minor, isMajor ? 1.2 : 1.0));
            const float c = float(i * kGridStep);
            const float h = float(kGridHalfSize);
            QPointF a, b;
            if (m_camera.projectSegment(DzVec3(c, 0, -h), DzVec3(c, 0, h), vp, &a, &b))
                painter.drawLine(a, b);
            if (m_camera.projectSegment(DzVec3(-h, 0, c), DzVec3(h, 0, c), vp, &a, &b))
                painter.drawLine(a, b);
        }
    }
    // The axes through the origin: X red, Z blue.
    const float h = float(kGridHalfSize);
    QPointF a, b;
    painter.setPen(QPen(QColor(170, 80, 80), 1.6));
    if (m_camera.projectSegment(DzVec3(-h, 0, 0), DzVec3(h, 0, 0), vp, &a, &b))
        painter.drawLine(a, b);
    painter.setPen(QPen(QColor(80, 110, 180), 1.6));
    if (m_camera.projectSegment(DzVec3(0, 0, -h), DzVec3(0, 0, h), vp, &a, &b))
        painter.drawLine(a, b);
}

void StudioViewport::paintFigures(QPainter &painter)
{
    DzNode *primary = m_scene ? m_scene->getPrimarySelection() : nullptr;
    DzSkeleton *selectedFigure = primary ? primary->getSkeleton() : nullptr;

    auto paletteFor = [&](const DzNode *node, const DzSkeleton *figure) -> const BonePalette & {
        if (node == primary || (node && node->isSelected()))
            return kSelectedBone;
        if (figure && figure == selectedFigure)
            return kSelectedFigure;
        return kPlainFigure;
    };

    // Figure rings and other nodes' markers lie under the bones.
    for (const ViewportDrawList::Marker &m : m_drawList.markers()) {
        const bool selected = m.node == primary;
        const bool ofSelected = m.isFigure && m.node == selectedFigure;
        QColor c
            = selected ? kSelectedBone.fill : (ofSelected ? kSelectedFigure.fill : QColor(140, 146, 156));
        painter.setPen(QPen(c, selected ? 2.4 : 1.4));
        QColor f = c;
        f.setAlpha(selected ? 60 : 28);
        painter.setBrush(f);
        painter.drawPolygon(m.ring);
    }

    // Bones far to near, then joint dots far to near, selected bone on top.
    QList<const ViewportDrawList::Bone *> order;
    for (const ViewportDrawList::Bone &b : m_drawList.bones())
        order.append(&b);
    std::stable_sort(order.begin(), order.end(),
        [](const ViewportDrawList::Bone *x, const ViewportDrawList::Bone *y) { return x->depth > y->depth; });
    std::stable_partition(
        order.begin(), order.end(), [&](const ViewportDrawList::Bone *b) { return b->node != primary; });

    for (const ViewportDrawList::Bone *b : order) {
        if (!b->segmentVisible)
            continue;
        const BonePalette &pal = paletteFor(b->node, b->figure);
        const QPolygonF shape = boneShape(b->segmentA, b->segmentB, b->width);
        if (shape.isEmpty() || b->width < 2.5) {
            painter.setPen(QPen(pal.fill, 2.0, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(b->segmentA, b->segmentB);
            continue;
        }
        painter.setPen(QPen(pal.outline, 1.0));
        painter.setBrush(pal.fill);
        painter.drawPolygon(shape);
    }
    std::stable_sort(
        order.begin(), order.end(), [](const ViewportDrawList::Bone *x, const ViewportDrawList::Bone *y) {
            return x->jointDepth > y->jointDepth;
        });
    std::stable_partition(
        order.begin(), order.end(), [&](const ViewportDrawList::Bone *b) { return b->node != primary; });
    for (const ViewportDrawList::Bone *b : order) {
        if (!b->jointVisible)
            continue;
        const BonePalette &pal = paletteFor(b->node, b->figure);
        painter.setPen(QPen(pal.outline, 1.0));
        painter.setBrush(pal.joint);
        const double r = b->node == primary ? b->jointRadius + 1.5 : b->jointRadius;
        painter.drawEllipse(b->joint, r, r);
    }
}

void StudioViewport::paintAxes(QPainter &painter, const QSize &size)
{
    // A small orientation gizmo in the lower left corner: the world axes as
    // seen by the camera.
    ViewCamera gizmo;
    gizmo.setOrbit(m_camera.getYaw(), m_camera.getPitch(), 100.0);
    gizmo.setTarget(DzVec3());
    const QSizeF vp(size);
    const QPointF origin = gizmo.project(DzVec3(), vp).point;
    const QPointF anchor(44.0, size.height() - 44.0);
    struct Axis {
        DzVec3 dir;
        QColor color;
        const char *label;
    };
    const Axis axes[] = { { DzVec3(1, 0, 0), QColor(230, 90, 90), "X" },
        { DzVec3(0, 1, 0), QColor(110, 200, 110), "Y" }, { DzVec3(0, 0, 1), QColor(100, 140, 240), "Z" } };
    QFont font = painter.font();
    font.setPointSizeF(8.0);
    font.setBold(true);
    painter.setFont(font);
    for (const Axis &axis : axes) {
        const ViewCamera::Projected p = gizmo.project(axis.dir * 12.0f, vp);
        if (!p.visible)
            continue;
        QPointF d = p.point - origin;
        const double len = std::hypot(d.x(), d.y());
        if (len > 1e-6)
            d *= 26.0 / std::max(len, 26.0 * 0.15) * std::min(1.0, len / 20.0);
        painter.setPen(QPen(axis.color, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(anchor, anchor + d);
        painter.drawText(QRectF(anchor + d * 1.25 - QPointF(6, 7), QSizeF(12, 14)), Qt::AlignCenter,
            QString::fromLatin1(axis.label));
    }
}

void StudioViewport::paintOverlay(QPainter &painter, const QSize &size)
{
    QFont font = painter.font();
    font.setPointSizeF(9.0);
    font.setBold(false);
    painter.setFont(font);
    const QColor text(214, 218, 224);
    const QColor dim(150, 156, 166);
    const int margin = 10;

    painter.setPen(text);
    painter.drawText(
        QRect(margin, margin, size.width() / 2, 20), Qt::AlignLeft | Qt::AlignVCenter, m_viewName);

    if (m_scene) {
        const int frame = FrameMath::frameForTime(m_scene->getTime(), m_scene->getTimeStep());
        painter.drawText(QRect(size.width() / 2, margin, size.width() / 2 - margin, 20),
            Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Frame %1").arg(frame));

        QString selection = QStringLiteral("Nothing selected");
        if (DzNode *primary = m_scene->getPrimarySelection()) {
            DzSkeleton *figure = primary->getSkeleton();
            selection = (figure && figure != primary)
                ? figure->getLabel() + QStringLiteral("  \u203a  ") + primary->getLabel()
                : primary->getLabel();
        } else if (m_scene->getNumNodes() == 0) {
            selection = QStringLiteral("Empty scene \u2014 add a figure from the Figures menu");
        }
        painter.setPen(text);
        painter.drawText(QRect(margin, margin + 20, size.width() - 2 * margin, 20),
            Qt::AlignLeft | Qt::AlignVCenter, selection);
    }

    painter.setPen(dim);
    painter.drawText(QRect(90, size.height() - 26, size.width() - 90 - margin, 20),
        Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral(
            "Click: select \u00b7 Drag: orbit \u00b7 Shift+drag: pan \u00b7 Wheel: zoom \u00b7 F: frame"));
}

void StudioViewport::selectOnly(DzScene *scene, DzNode *node)
{
    if (!scene)
        return;
    if (!node) {
        scene->setPrimarySelection(nullptr);
        return;
    }
    // Primary first, then drop the others: the primary never changes twice.
    scene->setPrimarySelection(node);
    for (int i = scene->getNumSelectedNodes() - 1; i >= 0; --i) {
        DzNode *other = scene->getSelectedNode(i);
        if (other && other != node)
            scene->selectNode(other, false);
    }
}

void StudioViewport::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = m_lastPos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Pending;
        m_panDrag = event->modifiers() & Qt::ShiftModifier;
    } else if (event->button() == Qt::MiddleButton) {
        m_drag = Drag::Pan;
    } else if (event->button() == Qt::RightButton) {
        m_drag = Drag::Orbit;
    }
    event->accept();
}

void StudioViewport::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_drag == Drag::Pending && (pos - m_pressPos).manhattanLength() >= kDragThreshold)
        m_drag = m_panDrag ? Drag::Pan : Drag::Orbit;
    const QPoint delta = pos - m_lastPos;
    m_lastPos = pos;
    if (m_drag == Drag::Orbit) {
        m_camera.orbit(delta.x(), delta.y());
        m_viewName = viewName(ViewCamera::Perspective);
    } else if (m_drag == Drag::Pan) {
        m_camera.pan(delta.x(), delta.y(), QSizeF(size()));
    } else {
        return;
    }
    update();
    emit cameraChanged();
}

void StudioViewport::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::Pending && event->button() == Qt::LeftButton)
        selectOnly(m_scene, nodeAt(event->position().toPoint()));
    m_drag = Drag::None;
    event->accept();
}

void StudioViewport::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    DzNode *node = nodeAt(event->position().toPoint());
    if (node && node->getSkeleton())
        selectOnly(m_scene, node->getSkeleton());
    // The second release of a double click must not select the bone again.
    m_drag = Drag::None;
    event->accept();
}

void StudioViewport::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0.0) {
        m_camera.zoom(steps);
        update();
        emit cameraChanged();
    }
    event->accept();
}

void StudioViewport::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F:
        frameSelection();
        break;
    case Qt::Key_Home:
        setView(ViewCamera::Perspective);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
