#include "viewportdrawlist.h"

#include "dzbone.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kJointRadiusCm = 1.8;
constexpr double kBoneWidthRatio = 0.16; // of the bone's length
constexpr double kMaxBoneWidth = 16.0;
constexpr double kRingRadiusCm = 32.0;
constexpr int kRingSegments = 40;
constexpr double kMarkerHalfSize = 5.0;

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    double t = len2 > 0.0 ? QPointF::dotProduct(p - a, ab) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + ab * t);
    return std::hypot(d.x(), d.y());
}

bool isShown(const DzNode *node)
{
    for (const DzNode *n = node; n; n = n->getNodeParent())
        if (n->isHidden())
            return false;
    return true;
}

} // namespace

void ViewportDrawList::clear()
{
    m_bones.clear();
    m_markers.clear();
}

void ViewportDrawList::build(
    const DzScene *scene, const ViewCamera &camera, const QSizeF &viewport, DzTime time)
{
    clear();
    if (!scene || viewport.width() <= 0.0 || viewport.height() <= 0.0)
        return;
    for (DzNode *node : scene->getNodeList()) {
        if (!isShown(node))
            continue;
        if (qobject_cast<DzBone *>(node)) {
            Bone bone;
            bone.node = node;
            bone.figure = node->getSkeleton();
            const DzVec3 joint = node->getWSPos(time);
            const DzVec3 end = node->getWSEndPoint(time);
            const ViewCamera::Projected pj = camera.project(joint, viewport);
            const ViewCamera::Projected pe = camera.project(end, viewport);
            bone.jointVisible = pj.visible;
            bone.joint = pj.point;
            bone.end = pe.visible ? pe.point : pj.point;
            bone.jointDepth = pj.depth;
            bone.depth = (pj.depth + pe.depth) * 0.5;
            const double ppcm = camera.pixelsPerCm(pj.depth, viewport);
            bone.jointRadius = std::clamp(kJointRadiusCm * ppcm, kMinJointRadius, kMaxJointRadius);
            const double lengthCm = (end - joint).length();
            bone.width = std::min(kMaxBoneWidth, lengthCm * kBoneWidthRatio * ppcm);
            bone.segmentVisible = lengthCm > 1e-3
                && camera.projectSegment(joint, end, viewport, &bone.segmentA, &bone.segmentB);
            if (bone.jointVisible || bone.segmentVisible)
                m_bones.append(bone);
            continue;
        }
        Marker marker;
        marker.node = node;
        const DzVec3 centre = node->getWSPos(time);
        const ViewCamera::Projected pc = camera.project(centre, viewport);
        marker.depth = pc.depth;
        if (qobject_cast<DzSkeleton *>(node)) {
            // A ring on the ground under the figure's root (not at hip
            // height): it shows where the figure stands and is easy to hit.
            marker.isFigure = true;
            const DzVec3 ground(centre.x(), 0.0f, centre.z());
            const ViewCamera::Projected pg = camera.project(ground, viewport);
            marker.centre = pg.point;
            marker.depth = pg.depth;
            bool allVisible = pg.visible;
            for (int i = 0; i < kRingSegments && allVisible; ++i) {
                const double a = 2.0 * M_PI * i / kRingSegments;
                const DzVec3 p(ground.x() + float(kRingRadiusCm * std::cos(a)), 0.0f,
                    ground.z() + float(kRingRadiusCm * std::sin(a)));
                const ViewCamera::Projected pp = camera.project(p, viewport);
                allVisible = pp.visible;
                marker.ring << pp.point;
            }
            if (!allVisible)
                continue;
        } else {
            if (!pc.visible)
                continue;
            marker.centre = pc.point;
            const QPointF h(kMarkerHalfSize, kMarkerHalfSize);
            marker.ring = QPolygonF(QRectF(pc.point - h, pc.point + h));
        }
        m_markers.append(marker);
    }
}

DzNode *ViewportDrawList::pick(const QPointF &point) const
{
    // Nearest candidate by screen distance, the camera-nearer one on ties.
    DzNode *best = nullptr;
    double bestDistance = std::numeric_limits<double>::max();
    double bestDepth = std::numeric_limits<double>::max();
    auto consider = [&](DzNode *node, double distance, double depth) {
        if (distance < bestDistance - 1e-9
            || (std::abs(distance - bestDistance) <= 1e-9 && depth < bestDepth)) {
            best = node;
            bestDistance = distance;
            bestDepth = depth;
        }
    };

    for (const Bone &b : m_bones) {
        if (!b.jointVisible)
            continue;
        const double d = std::hypot(point.x() - b.joint.x(), point.y() - b.joint.y());
        if (d <= b.jointRadius + kPickMargin)
            consider(b.node, d, b.jointDepth);
    }
    if (best)
        return best;

    for (const Bone &b : m_bones) {
        if (!b.segmentVisible)
            continue;
        const double d = distanceToSegment(point, b.segmentA, b.segmentB);
        if (d <= std::max(b.width * 0.5, 2.0) + kPickMargin)
            consider(b.node, d, b.depth);
    }
    if (best)
        return best;

    for (const Marker &m : m_markers) {
        if (!m.isFigure && m.ring.containsPoint(point, Qt::OddEvenFill))
            consider(m.node, std::hypot(point.x() - m.centre.x(), point.y() - m.centre.y()), m.depth);
    }
    if (best)
        return best;

    for (const Marker &m : m_markers) {
        if (m.isFigure && m.ring.containsPoint(point, Qt::OddEvenFill))
            consider(m.node, std::hypot(point.x() - m.centre.x(), point.y() - m.centre.y()), m.depth);
    }
    return best;
}
