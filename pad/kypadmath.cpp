#include "kypadmath.h"

#include "kyblock.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int truncToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

bool usableZoom(float z)
{
    return std::isfinite(z) && z > 0.0f;
}

} // namespace

void KyPadViewGeometry::setSize(int width, int height)
{
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
}

void KyPadViewGeometry::padToView(float px, float py, int *ix, int *iy) const
{
    *ix = truncToInt((static_cast<double>(px) - m_originX) * m_zoom);
    *iy = truncToInt((static_cast<double>(py) - m_originY) * m_zoom);
}

QPointF KyPadViewGeometry::viewToPad(int ix, int iy) const
{
    return QPointF(static_cast<float>(ix) / m_zoom + m_originX, static_cast<float>(iy) / m_zoom + m_originY);
}

void KyPadViewGeometry::setOrigin(float x, float y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    m_originX = x;
    m_originY = y;
}

void KyPadViewGeometry::zoomAt(float z, int ix, int iy)
{
    if (!usableZoom(z))
        return;
    const QPointF p = viewToPad(ix, iy);
    m_zoom = z;
    setOrigin(static_cast<float>(p.x() - static_cast<float>(ix) / z),
              static_cast<float>(p.y() - static_cast<float>(iy) / z));
}

void KyPadViewGeometry::restore(float zoom, float originX, float originY)
{
    if (!usableZoom(zoom) || !std::isfinite(originX) || !std::isfinite(originY))
        return;
    m_zoom = zoom;
    m_originX = originX;
    m_originY = originY;
}

void KyPadViewGeometry::resetView()
{
    setOrigin(0.0f, 0.0f);
    zoomAt(1.0f, 0, 0);
}

void KyPadViewGeometry::fitView(bool zoomToBox, bool centerOnBox, const std::vector<KyPadDot> &dots)
{
    if ((!zoomToBox && !centerOnBox) || dots.empty())
        return;
    float minX = dots.front().x, maxX = minX, minY = dots.front().y, maxY = minY;
    for (const KyPadDot &d : dots) {
        minX = std::min(minX, d.x);
        maxX = std::max(maxX, d.x);
        minY = std::min(minY, d.y);
        maxY = std::max(maxY, d.y);
    }
    const float left = minX - kFitMargin;
    const float top = minY - kFitMargin;
    const float bw = (maxX + kFitMargin) - left;
    const float bh = (maxY + kFitMargin) - top;
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    if (zoomToBox)
        zoomAt(std::min(w / bw, h / bh), 0, 0);
    if (centerOnBox)
        setOrigin(left + bw * 0.5f - (w / m_zoom) * 0.5f, top + bh * 0.5f - (h / m_zoom) * 0.5f);
}

void KyPadViewGeometry::zoomOutToFit(const std::vector<KyPadDot> &dots)
{
    const float z0 = m_zoom;
    fitView(true, true, dots);
    if (z0 < m_zoom) {
        zoomAt(z0, 0, 0);
        centerView(dots);
    }
}

float KyPadViewGeometry::gridSpacing() const
{
    return std::max(m_zoom * kGridStep, 1.0f);
}

float KyPadViewGeometry::wheelZoom(int delta) const
{
    return m_zoom * std::pow(2.0f, static_cast<float>(-delta) * 0.0015f);
}

float KyPadViewGeometry::dragZoom(float z0, int dy)
{
    return z0 * std::pow(2.0f, static_cast<float>(dy) * 0.01f);
}

int kyPadHitTest(const std::vector<KyPadDot> &dots, float px, float py)
{
    for (size_t i = 0; i < dots.size(); ++i) {
        if (std::fabs(dots[i].x - px) <= KyPadViewGeometry::kHitRadius
            && std::fabs(dots[i].y - py) <= KyPadViewGeometry::kHitRadius)
            return static_cast<int>(i);
    }
    return -1;
}

int kyPadChooseDot(const std::vector<KyPadDot> &dots, int playing, float cx, float cy)
{
    auto squared = [&](const KyPadDot &d) {
        const double dx = static_cast<double>(cx) - d.x;
        const double dy = static_cast<double>(cy) - d.y;
        return dx * dx + dy * dy;
    };
    double best = 100000.0;
    int chosen = -1;
    if (playing >= 0 && playing < static_cast<int>(dots.size())) {
        chosen = playing;
        best = squared(dots[static_cast<size_t>(playing)]);
    }
    for (size_t i = 0; i < dots.size(); ++i) {
        const double s = squared(dots[i]);
        if (best > s + 10.0) {
            chosen = static_cast<int>(i);
            best = s;
        }
    }
    return chosen;
}

bool kyPadUpdateSpeed(KyPadSpeedState &state, float cx, float cy, int nowMs)
{
    const float dx = cx - state.lastX;
    const float dy = cy - state.lastY;
    float dist = std::min(std::sqrt(dx * dx + dy * dy), 30.0f);
    if (!std::isfinite(dist))
        dist = 0.0f;
    float dt = static_cast<float>(nowMs - state.lastTime);
    if (dt <= 0.0f)
        dt = 1.0f;
    else if (dt > 100.0f)
        dt = 100.0f;
    const bool moved = dist > 0.0f;
    if (moved) {
        float target = dt <= 0.0001f ? 2.0f : 5.0f * dist / dt;
        target = std::min(target, 2.0f);
        state.acceleration = std::clamp((target - state.playbackSpeed) / dt, -0.001f, 0.001f);
        state.playbackSpeed += state.acceleration * dt;
    }
    state.lastX = cx;
    state.lastY = cy;
    state.lastTime = nowMs;
    return moved;
}

QString kyPadSpeedText(float speed)
{
    return QStringLiteral("%1%").arg(QString::number(static_cast<int>(speed * 100.0f), 10));
}

QString kyPadDotLabel(const QString &blockName)
{
    return kyBlockLabel(blockName);
}
