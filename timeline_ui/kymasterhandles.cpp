#include "kymasterhandles.h"

#include "kymaster.h"
#include "kymasterblock.h"
#include "kymasterlayout.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"
#include "kytrackhost.h"

#include "kyblock.h"

#include "dzscene.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>

namespace {

QPolygon polygon(std::initializer_list<QPoint> points)
{
    return QPolygon(QList<QPoint>(points));
}

} // namespace

KyMasterShape::KyMasterShape(KyMasterLayout *layout, const QPolygon &shape, const QSize &size, QWidget *parent)
    : QWidget(parent)
    , m_layout(layout)
    , m_shape(shape)
{
    setFixedSize(size);
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setBrush(Qt::color1);
    painter.setPen(Qt::color1);
    painter.drawPolygon(m_shape);
    painter.end();
    setMask(mask);
}

QColor KyMasterShape::colour() const
{
    return m_hovered ? Qt::red : Qt::black;
}

void KyMasterShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setBrush(colour());
    painter.setPen(colour());
    painter.drawPolygon(m_shape);
}

void KyMasterShape::enterEvent(QEnterEvent *)
{
    m_hovered = true;
    update();
}

void KyMasterShape::leaveEvent(QEvent *)
{
    m_hovered = false;
    update();
}

// --- playhead ---------------------------------------------------------------

KyMasterPlayhead::KyMasterPlayhead(KyMasterLayout *layout, QWidget *parent)
    : KyMasterShape(layout, polygon({{0, 0}, {0, 3}, {4, 12}, {8, 3}, {8, 0}}), QSize(9, 13), parent)
{
    setObjectName(QStringLiteral("playhead"));
    setCursor(Qt::SizeHorCursor);
}

QColor KyMasterPlayhead::colour() const
{
    return QColor(84, 118, 173);
}

void KyMasterPlayhead::mousePressEvent(QMouseEvent *)
{
    m_dragging = true;
    m_lengthAtPress = m_layout->track()->length();
}

void KyMasterPlayhead::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QPoint p = m_layout->contents()->mapFromGlobal(event->globalPosition().toPoint());
    // The track length is the one at the press, so a drag past the end of a
    // track that grows meanwhile still stops where it began to.
    const KyTrackGeometry g = m_layout->geometry();
    int playEnd = 0;
    if (dzScene) {
        const DzTimeRange play = dzScene->getPlayRange();
        const DzTime length = play.getEnd() > play.getStart() ? play.getEnd() - play.getStart() : 0;
        playEnd = ticksToMs(play.getStart() + length);
    }
    const int x = g.seekX(p.x() - KyMasterLayout::kOriginX, m_lengthAtPress, playEnd);
    m_layout->track()->setPlayhead(snappedMs(g.pxToMs(x)), true);
}

void KyMasterPlayhead::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

// --- blend handle -------------------------------------------------------------

KyMasterBlend::KyMasterBlend(KyMasterLayout *layout, QWidget *parent)
    : KyMasterShape(layout, polygon({{4, 0}, {8, 6}, {4, 12}, {0, 6}}), QSize(9, 13), parent)
{
    setObjectName(QStringLiteral("blend"));
    setToolTip(QStringLiteral("Blend-in length"));
}

void KyMasterBlend::mousePressEvent(QMouseEvent *)
{
    m_dragging = true;
    m_layout->track()->setHandleDrag(true);
    m_layout->beginEdit();
}

void KyMasterBlend::mouseMoveEvent(QMouseEvent *event)
{
    KyTrack *track = m_layout->track();
    KyBlock *block = track->currentBlock();
    KyMasterBlock *tile = m_layout->tileFor(block);
    if (!m_dragging || !tile)
        return;
    const KyTrackGeometry g = m_layout->geometry();
    const int pointer = tile->mapFromGlobal(event->globalPosition().toPoint()).x();
    const int blend = g.blendInAt(*block, tile->width(), pointer);
    track->setBlendIn(block, blend);
    move(tile->x() + g.msToPx(block->blendIn) - 4, y());
    m_layout->skimTo(g.pxToMs(tile->x() - KyMasterLayout::kOriginX) + block->blendIn + 35);
}

void KyMasterBlend::mouseReleaseEvent(QMouseEvent *)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_layout->track()->setHandleDrag(false);
    m_layout->commitEdit(QStringLiteral("Set kinBlock Blend"));
}

// --- adjusters -------------------------------------------------------------------

KyMasterAdjuster::KyMasterAdjuster(KyMasterLayout *layout, QWidget *parent)
    : KyMasterShape(layout,
                    polygon({{9, 0}, {13, 7}, {9, 14}, {9, 0}, {5, 0}, {1, 7}, {5, 14}, {5, 0}}),
                    QSize(kWidth, 16), parent)
{
    setCursor(Qt::SizeHorCursor);
}

int KyMasterAdjuster::tileX(QMouseEvent *event) const
{
    KyMasterBlock *tile = m_layout->tileFor(m_layout->track()->currentBlock());
    return tile ? tile->mapFromGlobal(event->globalPosition().toPoint()).x() : 0;
}

void KyMasterAdjuster::mousePressEvent(QMouseEvent *)
{
    KyTrack *track = m_layout->track();
    KyBlock *block = track->currentBlock();
    KyMasterBlock *tile = m_layout->tileFor(block);
    if (!tile)
        return;
    m_dragging = true;
    m_inPointAtPress = block->inPoint;
    track->setHandleDrag(true);
    m_startAtPress = m_layout->geometry().pxToMs(tile->x() - KyMasterLayout::kOriginX);
    m_lengthAtPress = block->outPoint - block->inPoint;
    m_layout->beginEdit();
}

void KyMasterAdjuster::mouseReleaseEvent(QMouseEvent *)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    KyTrack *track = m_layout->track();
    track->setHandleDrag(false);
    if (KyBlock *block = track->currentBlock())
        kyClearHostAnimationUnder(*track, *block, m_startAtPress, m_startAtPress + m_lengthAtPress);
    if (track->timeline())
        track->timeline()->requestDelayedTrim();
    m_layout->commitEdit(caption());
}

void KyMasterLAdjuster::mouseMoveEvent(QMouseEvent *event)
{
    KyTrack *track = m_layout->track();
    KyBlock *block = track->currentBlock();
    KyMasterBlock *tile = m_layout->tileFor(block);
    if (!m_dragging || !tile)
        return;
    const KyTrackGeometry g = m_layout->geometry();
    const int in = g.leftAdjusterInPoint(*block, m_inPointAtPress, tileX(event));
    track->setInOut(block, in, block->outPoint);
    const int start = g.pxToMs(tile->x() - KyMasterLayout::kOriginX);
    m_layout->skimTo(start);
    m_layout->skimTo(start + 50);
}

QString KyMasterLAdjuster::caption() const
{
    return QStringLiteral("Trim kinBlock Start");
}

void KyMasterRAdjuster::mouseMoveEvent(QMouseEvent *event)
{
    KyTrack *track = m_layout->track();
    KyBlock *block = track->currentBlock();
    KyMasterBlock *tile = m_layout->tileFor(block);
    if (!m_dragging || !tile)
        return;
    const KyTrackGeometry g = m_layout->geometry();
    const int x = g.rightAdjusterX(*block, tileX(event));
    track->setInOut(block, block->inPoint, g.pxToMs(x) + block->inPoint);
    move(tile->x() + x - (kWidth + 1) / 2, y());
    const int trackX = m_layout->contents()->mapFromGlobal(event->globalPosition().toPoint()).x()
        - KyMasterLayout::kOriginX;
    m_layout->skimTo(g.pxToMs(trackX) - 20);
}

QString KyMasterRAdjuster::caption() const
{
    return QStringLiteral("Set kinBlock End");
}
