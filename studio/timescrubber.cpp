#include "timescrubber.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

TimeScrubber::TimeScrubber(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TimeScrubber"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click or drag to go to a frame"));
}

double TimeScrubber::xForFrame(double frame, int first, int last, int width, int margin)
{
    const double usable = std::max(1, width - 2 * margin);
    if (last <= first)
        return margin;
    return margin + (frame - first) * usable / (double(last) - double(first));
}

qint64 TimeScrubber::tickStep(int first, int last, double trackWidth)
{
    const double span = std::max(1.0, double(last) - double(first));
    const double pxPerFrame = std::max(1.0, trackWidth) / span;
    // 1, 2, 5, 10, 15, 30, 60, 150, 300, 600, 1500, 3000, then 5000, 10000,
    // 25000, 50000...
    // up to a step wider than any range, so ticks stay at least 6 px apart.
    static const qint64 kFixed[] = { 1, 2, 5, 10, 15, 30, 60, 150, 300, 600, 1500, 3000 };
    for (qint64 s : kFixed) {
        if (pxPerFrame * double(s) >= 6.0)
            return s;
    }
    for (qint64 s = 5000;; s *= 10) {
        for (qint64 m : { qint64(1), qint64(2), qint64(5) }) {
            if (pxPerFrame * double(s * m) >= 6.0 || s * m >= (qint64(1) << 33))
                return s * m;
        }
    }
}

int TimeScrubber::frameAt(double x, int first, int last, int width, int margin)
{
    if (last <= first || !std::isfinite(x))
        return first;
    const double usable = std::max(1, width - 2 * margin);
    const double f = first + (x - margin) * (double(last) - double(first)) / usable;
    return int(std::clamp<double>(std::lround(f), first, last));
}

void TimeScrubber::setAnimRange(int first, int last)
{
    if (last < first)
        std::swap(first, last);
    m_first = first;
    m_last = last;
    update();
}

void TimeScrubber::setPlayRange(int first, int last)
{
    if (last < first)
        std::swap(first, last);
    m_playFirst = first;
    m_playLast = last;
    update();
}

void TimeScrubber::setCurrentFrame(int frame)
{
    if (frame == m_current)
        return;
    m_current = frame;
    update();
}

void TimeScrubber::setKeyFrames(const QList<int> &frames)
{
    m_keys = frames;
    update();
}

void TimeScrubber::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int w = width();
    const int h = height();
    const QPalette pal = palette();
    auto x = [&](double frame) { return xForFrame(frame, m_first, m_last, w, kMargin); };

    const QRectF track(kMargin, 4, std::max(1, w - 2 * kMargin), h - 8);
    p.setPen(Qt::NoPen);
    p.setBrush(pal.color(QPalette::Base).darker(108));
    p.drawRoundedRect(track.adjusted(-kMargin + 2, 0, kMargin - 2, 0), 4, 4);

    // The play range.
    const double px0 = x(std::max(m_playFirst, m_first));
    const double px1 = x(std::min(m_playLast, m_last));
    if (px1 >= px0) {
        QColor band = pal.color(QPalette::Highlight);
        band.setAlpha(60);
        p.setBrush(band);
        p.drawRect(QRectF(px0, track.top(), std::max(1.0, px1 - px0), track.height()));
    }

    // Frame ticks: every frame when there is room, else every 5, 10, 30...
    const qint64 minorStep = tickStep(m_first, m_last, track.width());
    const qint64 labelStep = minorStep * (minorStep == 15 ? 2 : 5);
    QFont f = font();
    f.setPointSizeF(std::max(6.5, f.pointSizeF() * 0.8));
    p.setFont(f);
    const QColor tick = pal.color(QPalette::Text);
    // 64-bit frames: a range ending at the largest int must not wrap.
    const qint64 firstTick = qint64(std::ceil(double(m_first) / double(minorStep))) * minorStep;
    for (qint64 fr = firstTick; fr <= m_last; fr += minorStep) {
        const double tx = x(double(fr));
        const bool labelled = fr % labelStep == 0;
        QColor c = tick;
        c.setAlpha(labelled ? 170 : 80);
        p.setPen(QPen(c, 1.0));
        p.drawLine(QPointF(tx, track.bottom()), QPointF(tx, track.bottom() - (labelled ? 9 : 5)));
        if (labelled) {
            p.drawText(QRectF(tx - 30, track.top() + 1, 60, 12), Qt::AlignHCenter | Qt::AlignTop,
                QString::number(fr));
        }
    }

    // Keys of the selection.
    p.setPen(QPen(QColor(120, 80, 10), 1.0));
    p.setBrush(QColor(240, 170, 50));
    for (int k : std::as_const(m_keys)) {
        if (k < m_first || k > m_last)
            continue;
        const QPointF c(x(k), track.bottom() - 3.5);
        QPainterPath diamond;
        diamond.moveTo(c + QPointF(0, -4));
        diamond.lineTo(c + QPointF(4, 0));
        diamond.lineTo(c + QPointF(0, 4));
        diamond.lineTo(c + QPointF(-4, 0));
        diamond.closeSubpath();
        p.drawPath(diamond);
    }

    // The playhead.
    if (m_current >= m_first && m_current <= m_last) {
        const double cx = x(m_current);
        p.setPen(QPen(QColor(220, 60, 50), 2.0));
        p.drawLine(QPointF(cx, 2), QPointF(cx, h - 2));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 60, 50));
        QPainterPath head;
        head.moveTo(cx - 5, 1);
        head.lineTo(cx + 5, 1);
        head.lineTo(cx, 7);
        head.closeSubpath();
        p.drawPath(head);
    }
}

void TimeScrubber::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_scrubbing = true;
    emit scrubStarted();
    emit frameRequested(frameAt(event->position().x(), m_first, m_last, width(), kMargin));
}

void TimeScrubber::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_scrubbing)
        return;
    emit frameRequested(frameAt(event->position().x(), m_first, m_last, width(), kMargin));
}

void TimeScrubber::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_scrubbing)
        return;
    m_scrubbing = false;
    emit scrubFinished();
}
