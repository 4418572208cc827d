#pragma once

#include "dzvec3.h"

#include <QPointF>
#include <QSizeF>

// The viewport's orbiting perspective camera. World space is the scene's:
// centimetres, Y up, figures facing +Z.
//
// The camera looks at `target` from `distance` cm away. Yaw (degrees) turns
// it about the vertical through the target; yaw 0 looks from +Z, i.e. at a
// figure's front, yaw 90 from +X (the figure's left side). Pitch (degrees,
// clamped to [-89, 89]) raises it above the target. The vertical field of
// view is fixed.
class ViewCamera {
public:
    enum View { Perspective, Front, Back, Left, Right, Top };

    ViewCamera();

    DzVec3 getTarget() const { return m_target; }
    void setTarget(const DzVec3 &target) { m_target = target; }
    double getYaw() const { return m_yaw; }
    double getPitch() const { return m_pitch; }
    double getDistance() const { return m_distance; }
    // Pitch is clamped to [-89, 89], distance to [kMinDistance, kMaxDistance];
    // yaw is kept in (-180, 180]. Non-finite values are ignored.
    void setOrbit(double yawDegrees, double pitchDegrees, double distance);
    double getFieldOfView() const { return kFieldOfView; }

    // The standard views, each aimed at a figure of standard height standing
    // at the origin.
    void setView(View view);

    // Mouse gestures, in pixels of a viewport of the given size.
    void orbit(double dxPixels, double dyPixels);
    void pan(double dxPixels, double dyPixels, const QSizeF &viewport);
    // Positive steps move closer (one wheel notch = 1 step).
    void zoom(double steps);
    // Aims at the centre of the box and backs off until it fits the view.
    void frame(const DzVec3 &boxMin, const DzVec3 &boxMax, const QSizeF &viewport);

    DzVec3 getEye() const;

    struct Projected {
        QPointF point;
        double depth = 0.0; // cm along the view direction; > 0 in front
        bool visible = false; // in front of the near plane
    };
    Projected project(const DzVec3 &world, const QSizeF &viewport) const;
    // Projects a segment after clipping it against the near plane; false
    // when it lies wholly behind it.
    bool projectSegment(
        const DzVec3 &a, const DzVec3 &b, const QSizeF &viewport, QPointF *pa, QPointF *pb) const;
    // Pixels per centimetre at `depth` (for sizing joints and bones).
    double pixelsPerCm(double depth, const QSizeF &viewport) const;

    static constexpr double kFieldOfView = 35.0;
    static constexpr double kNearPlane = 1.0;
    static constexpr double kMinDistance = 10.0;
    static constexpr double kMaxDistance = 20000.0;

private:
    struct Basis {
        DzVec3 eye, right, up, forward;
    };
    Basis basis() const;
    double focalPixels(const QSizeF &viewport) const;
    QPointF toScreen(double x, double y, double z, const QSizeF &viewport) const;

    DzVec3 m_target;
    double m_yaw = 0.0;
    double m_pitch = 0.0;
    double m_distance = 400.0;
};
