#include "viewcamera.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kOrbitDegreesPerPixel = 0.4;
constexpr double kZoomFactorPerStep = 0.85;
// A figure of standard height: aim a little below the chest.
const DzVec3 kFigureCentre(0.0f, 90.0f, 0.0f);
constexpr double kFigureViewDistance = 380.0;

double wrapDegrees(double deg)
{
    deg = std::fmod(deg, 360.0);
    if (deg <= -180.0)
        deg += 360.0;
    else if (deg > 180.0)
        deg -= 360.0;
    return deg;
}

} // namespace

ViewCamera::ViewCamera()
{
    setView(Perspective);
}

void ViewCamera::setOrbit(double yawDegrees, double pitchDegrees, double distance)
{
    if (std::isfinite(yawDegrees))
        m_yaw = wrapDegrees(yawDegrees);
    if (std::isfinite(pitchDegrees))
        m_pitch = std::clamp(pitchDegrees, -89.0, 89.0);
    if (std::isfinite(distance))
        m_distance = std::clamp(distance, kMinDistance, kMaxDistance);
}

void ViewCamera::setView(View view)
{
    m_target = kFigureCentre;
    switch (view) {
    case Perspective:
        setOrbit(28.0, 12.0, kFigureViewDistance);
        break;
    case Front:
        setOrbit(0.0, 0.0, kFigureViewDistance);
        break;
    case Back:
        setOrbit(180.0, 0.0, kFigureViewDistance);
        break;
    case Left:
        setOrbit(90.0, 0.0, kFigureViewDistance);
        break;
    case Right:
        setOrbit(-90.0, 0.0, kFigureViewDistance);
        break;
    case Top:
        setOrbit(0.0, 89.0, kFigureViewDistance);
        break;
    }
}

void ViewCamera::orbit(double dxPixels, double dyPixels)
{
    // Dragging right swings the camera to the left around the target, so the
    // scene appears to turn with the mouse.
    setOrbit(
        m_yaw - dxPixels * kOrbitDegreesPerPixel, m_pitch + dyPixels * kOrbitDegreesPerPixel, m_distance);
}

void ViewCamera::pan(double dxPixels, double dyPixels, const QSizeF &viewport)
{
    const double f = focalPixels(viewport);
    if (f <= 0.0 || !std::isfinite(dxPixels) || !std::isfinite(dyPixels))
        return;
    // Move the target so that the point under the cursor at the target's
    // depth follows the mouse.
    const double cmPerPixel = m_distance / f;
    const Basis b = basis();
    m_target -= b.right * float(dxPixels * cmPerPixel);
    m_target += b.up * float(dyPixels * cmPerPixel);
}

void ViewCamera::zoom(double steps)
{
    if (!std::isfinite(steps))
        return;
    setOrbit(m_yaw, m_pitch, m_distance * std::pow(kZoomFactorPerStep, steps));
}

void ViewCamera::frame(const DzVec3 &boxMin, const DzVec3 &boxMax, const QSizeF &viewport)
{
    const DzVec3 centre = (boxMin + boxMax) * 0.5f;
    const double radius = std::max(10.0, double((boxMax - boxMin).length()) * 0.5);
    if (!std::isfinite(centre.x()) || !std::isfinite(centre.y()) || !std::isfinite(centre.z())
        || !std::isfinite(radius))
        return;
    m_target = centre;
    double halfFov = kFieldOfView * 0.5 * kDegToRad;
    if (viewport.width() > 0 && viewport.height() > 0 && viewport.width() < viewport.height())
        halfFov = std::atan(std::tan(halfFov) * viewport.width() / viewport.height());
    setOrbit(m_yaw, m_pitch, radius / std::sin(halfFov) * 1.05);
}

ViewCamera::Basis ViewCamera::basis() const
{
    const double yaw = m_yaw * kDegToRad;
    const double pitch = m_pitch * kDegToRad;
    const DzVec3 offset(float(std::cos(pitch) * std::sin(yaw)), float(std::sin(pitch)),
        float(std::cos(pitch) * std::cos(yaw)));
    Basis b;
    b.eye = m_target + offset * float(m_distance);
    b.forward = -offset;
    // Pitch never reaches 90, so forward is never parallel to Y.
    b.right = b.forward.cross(DzVec3(0.0f, 1.0f, 0.0f)).normalized();
    b.up = b.right.cross(b.forward).normalized();
    return b;
}

DzVec3 ViewCamera::getEye() const
{
    return basis().eye;
}

double ViewCamera::focalPixels(const QSizeF &viewport) const
{
    if (viewport.height() <= 0.0)
        return 0.0;
    return viewport.height() * 0.5 / std::tan(kFieldOfView * 0.5 * kDegToRad);
}

QPointF ViewCamera::toScreen(double x, double y, double z, const QSizeF &viewport) const
{
    const double f = focalPixels(viewport);
    return QPointF(viewport.width() * 0.5 + x * f / z, viewport.height() * 0.5 - y * f / z);
}

ViewCamera::Projected ViewCamera::project(const DzVec3 &world, const QSizeF &viewport) const
{
    const Basis b = basis();
    const DzVec3 d = world - b.eye;
    Projected p;
    p.depth = d.dot(b.forward);
    p.visible = p.depth >= kNearPlane && viewport.height() > 0.0;
    if (p.visible)
        p.point = toScreen(d.dot(b.right), d.dot(b.up), p.depth, viewport);
    return p;
}

bool ViewCamera::projectSegment(
    const DzVec3 &a, const DzVec3 &b, const QSizeF &viewport, QPointF *pa, QPointF *pb) const
{
    if (viewport.height() <= 0.0)
        return false;
    const Basis cam = basis();
    auto toView = [&](const DzVec3 &w) {
        const DzVec3 d = w - cam.eye;
        return DzVec3(d.dot(cam.right), d.dot(cam.up), d.dot(cam.forward));
    };
    DzVec3 va = toView(a);
    DzVec3 vb = toView(b);
    const float nearZ = float(kNearPlane);
    if (va.z() < nearZ && vb.z() < nearZ)
        return false;
    if (va.z() < nearZ || vb.z() < nearZ) {
        const float t = (nearZ - va.z()) / (vb.z() - va.z());
        const DzVec3 cut = va + (vb - va) * t;
        if (va.z() < nearZ)
            va = cut;
        else
            vb = cut;
    }
    if (pa)
        *pa = toScreen(va.x(), va.y(), va.z(), viewport);
    if (pb)
        *pb = toScreen(vb.x(), vb.y(), vb.z(), viewport);
    return true;
}

double ViewCamera::pixelsPerCm(double depth, const QSizeF &viewport) const
{
    if (depth < kNearPlane)
        depth = kNearPlane;
    return focalPixels(viewport) / depth;
}
