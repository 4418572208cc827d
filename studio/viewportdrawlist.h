#pragma once

#include "dztime.h"
#include "viewcamera.h"

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QSizeF>

class DzNode;
class DzScene;
class DzSkeleton;

// What the viewport draws, in screen space, for one camera, viewport size and
// scene time: every visible bone as a segment from its joint to its end
// point, every figure as a ring on the ground plane at its root, and every
// other node as a small marker. Painting and mouse picking both work from
// this list, so what is clicked is exactly what was drawn.
class ViewportDrawList {
public:
    struct Bone {
        DzNode *node = nullptr;
        DzSkeleton *figure = nullptr; // null for a bone outside any figure
        QPointF joint; // projected joint (valid when jointVisible)
        QPointF end; // projected end point (valid when jointVisible)
        QPointF segmentA, segmentB; // the bone clipped to the near plane
        double depth = 0.0; // depth of the bone's middle, for sorting
        double jointDepth = 0.0;
        double jointRadius = 0.0; // pixels
        double width = 0.0; // widest point of the tapered shape, pixels
        bool jointVisible = false;
        bool segmentVisible = false;
    };
    struct Marker {
        DzNode *node = nullptr;
        QPolygonF ring; // figures: the ground ring; other nodes: a small square
        QPointF centre;
        double depth = 0.0;
        bool isFigure = false;
    };

    void build(const DzScene *scene, const ViewCamera &camera, const QSizeF &viewport, DzTime time);
    void clear();

    const QList<Bone> &bones() const { return m_bones; }
    const QList<Marker> &markers() const { return m_markers; }

    // The node under `point`: the nearest joint within its dot (plus a small
    // margin), else the nearest bone shape, else a node marker, else a
    // figure ring; null over empty space. Among equally near candidates the
    // one nearer to the camera wins.
    DzNode *pick(const QPointF &point) const;

    // Joint dots and shapes are sized in the world and clamped to these
    // screen sizes (pixels).
    static constexpr double kMinJointRadius = 2.5;
    static constexpr double kMaxJointRadius = 7.0;
    static constexpr double kPickMargin = 4.0;

private:
    QList<Bone> m_bones;
    QList<Marker> m_markers;
};
