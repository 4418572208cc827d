#include "retargeter.h"

#include "rotation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace trelvo::motion {

namespace {

constexpr double kTiny = 1e-6;

std::string seconds(double s)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, s, std::chars_format::fixed, 3);
    return std::string(buffer, result.ptr) + " s";
}

} // namespace

Retargeter::Retargeter(const BvhData &bvh, const TargetSkeleton &target, const RetargetOptions &options)
    : m_bvh(bvh), m_target(target), m_options(options)
{
    std::string why;
    if (!bvh.validate(&why)) {
        fail("the motion data is not usable: " + why);
        return;
    }
    if (!target.validate(&why)) {
        fail("the figure's skeleton is not usable: " + why);
        return;
    }
    if (!std::isfinite(options.frameTime) || options.frameTime < 1e-4 || options.frameTime > 60.0) {
        fail("the output frame time must be from 0.0001 to 60 seconds");
        return;
    }
    if (!std::isfinite(options.scale) || options.scale < 0.0) {
        fail("the scale must be a positive number (or 0 for automatic)");
        return;
    }

    m_map = BoneMap(bvh);
    const int boneCount = static_cast<int>(target.bones.size());
    m_chains.resize(boneCount);
    for (int b = 0; b < boneCount; ++b) {
        m_chains[b] = m_map.chainOf(target.bones[b].name);
        if (!m_chains[b].isValid())
            m_undriven.push_back(target.bones[b].name);
    }
    if (!m_chains[0].isValid()) {
        fail("no joint of the file drives the figure's root bone '" + target.bones[0].name + "' (the file's root is '"
             + bvh.joints[0].name + "')");
        return;
    }

    m_jointChildren.resize(bvh.joints.size());
    for (std::size_t j = 1; j < bvh.joints.size(); ++j)
        m_jointChildren[bvh.joints[j].parent].push_back(static_cast<int>(j));

    const std::vector<DzVec3> rest = bvh.restPositions();
    m_corrections.assign(boneCount, DzQuat());
    for (int b = 1; b < boneCount; ++b) {
        if (!m_chains[b].isValid())
            continue;
        const TargetBone &bone = target.bones[b];
        bool found = false;
        DzVec3 figureEnd;
        const DzVec3 fileEnd = fileEndFor(b, rest, figureEnd, found);
        if (found)
            m_corrections[b] = rotationBetween(figureEnd - bone.origin, fileEnd - rest[m_chains[b].first]);
    }

    if (options.scale > 0.0) {
        m_scale = options.scale;
    } else {
        const double fileHeight = fileHipHeightInFigureRest();
        // The figure's hip height is measured like the file's: above its
        // lowest bone tip, so an exported figure reads back at scale 1.
        std::vector<bool> hasChildren(boneCount, false);
        for (int b = 1; b < boneCount; ++b) {
            if (target.bones[b].parent >= 0)
                hasChildren[target.bones[b].parent] = true;
        }
        double lowestTip = std::numeric_limits<double>::infinity();
        for (int b = 0; b < boneCount; ++b) {
            if (!hasChildren[b])
                lowestTip = std::min(lowestTip, double(target.bones[b].end.m_y));
        }
        const double figureHeight = target.bones[0].origin.m_y - lowestTip;
        if (!(fileHeight > kTiny) || !(figureHeight > kTiny)) {
            fail("cannot derive a scale: the file's rest hip height is " + std::to_string(fileHeight)
                 + " and the figure's is " + std::to_string(figureHeight) + "; give a scale");
            return;
        }
        m_scale = figureHeight / fileHeight;
    }
    m_valid = true;
}

bool Retargeter::fail(std::string message)
{
    m_error = std::move(message);
    return false;
}

DzVec3 Retargeter::fileEndFor(int bone, const std::vector<DzVec3> &rest, DzVec3 &figureEnd, bool &found) const
{
    const TargetBone &tb = m_target.bones[bone];
    const double length = (tb.end - tb.origin).length();
    figureEnd = tb.end;
    found = false;
    if (length < kTiny)
        return {};

    // The driven child bone that starts where this bone ends.
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t c = 0; c < m_target.bones.size(); ++c) {
        if (m_target.bones[c].parent != bone || !m_chains[c].isValid())
            continue;
        const double d = (m_target.bones[c].origin - tb.end).length();
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(c);
        }
    }
    const DzVec3 start = rest[m_chains[bone].first];
    if (best >= 0 && bestDistance <= 0.25 * length) {
        // Measure both sides to the child's joint, so that skeletons of the
        // same shape get no correction even where the figure's end point
        // lies a little off its child (hands end short of the fingers).
        const DzVec3 end = rest[m_chains[best].first];
        figureEnd = m_target.bones[best].origin;
        found = (end - start).length() > kTiny && (figureEnd - tb.origin).length() > kTiny;
        return end;
    }

    // Otherwise where the file's chain itself ends: its End Site, or the
    // average of its nearest descendants that are not on top of it
    // (CMU hands branch into fingers through zero-length joints).
    const int last = m_chains[bone].last;
    const BvhJoint &lastJoint = m_bvh.joints[last];
    if (lastJoint.hasEndSite && lastJoint.endSite.length() > kTiny) {
        found = true;
        return rest[last] + lastJoint.endSite;
    }
    std::vector<int> level{last};
    for (int depth = 0; depth < 8 && !level.empty(); ++depth) {
        std::vector<int> next;
        DzVec3 sum;
        int points = 0;
        for (int j : level) {
            for (int c : m_jointChildren[j]) {
                sum += rest[c];
                ++points;
                next.push_back(c);
            }
            if (j != last && m_bvh.joints[j].hasEndSite) {
                sum += rest[j] + m_bvh.joints[j].endSite;
                ++points;
            }
        }
        if (points > 0) {
            const DzVec3 average = sum * (1.0 / points);
            if ((average - start).length() > kTiny) {
                found = true;
                return average;
            }
        }
        level = std::move(next);
    }
    return {};
}

double Retargeter::fileHipHeightInFigureRest() const
{
    // The file's skeleton in the pose that the figure's rest pose stands
    // for: every joint of a driven bone turned by inverse(C(b)), so that
    // W(b) is the identity; joints that drive nothing follow their parent.
    const std::size_t jointCount = m_bvh.joints.size();
    std::vector<DzQuat> world(jointCount);
    std::vector<DzVec3> position(jointCount);
    double lowestEnd = std::numeric_limits<double>::infinity();
    double lowestJoint = std::numeric_limits<double>::infinity();
    for (std::size_t j = 0; j < jointCount; ++j) {
        const BvhJoint &joint = m_bvh.joints[j];
        const DzQuat parentWorld = joint.parent >= 0 ? world[joint.parent] : DzQuat();
        const DzVec3 parentPosition = joint.parent >= 0 ? position[joint.parent] : DzVec3();
        position[j] = parentPosition + parentWorld.multVec(joint.offset);
        const int bone = m_target.find(m_map.boneOf(static_cast<int>(j)));
        world[j] = bone >= 0 && !m_map.boneOf(static_cast<int>(j)).empty() ? m_corrections[bone].conjugate()
                                                                          : parentWorld;
        lowestJoint = std::min(lowestJoint, double(position[j].m_y));
        if (joint.hasEndSite)
            lowestEnd = std::min(lowestEnd, double(position[j].m_y + world[j].multVec(joint.endSite).m_y));
    }
    const double lowest = std::isfinite(lowestEnd) ? lowestEnd : lowestJoint;
    return position[m_chains[0].first].m_y - lowest;
}

void Retargeter::poseAt(int sourceFrame, std::vector<DzQuat> &rotations, DzVec3 &rootPosition) const
{
    if (!m_valid || sourceFrame < 0 || sourceFrame >= m_bvh.frameCount) {
        rotations.assign(m_target.bones.size(), DzQuat());
        rootPosition = DzVec3();
        return;
    }
    const std::size_t jointCount = m_bvh.joints.size();
    std::vector<DzQuat> world(jointCount);
    std::vector<DzVec3> position(jointCount);
    for (std::size_t j = 0; j < jointCount; ++j) {
        const int p = m_bvh.joints[j].parent;
        const DzQuat parentRotation = p >= 0 ? world[p] : DzQuat();
        const DzVec3 parentPosition = p >= 0 ? position[p] : DzVec3();
        position[j] = parentPosition + parentRotation.multVec(m_bvh.localTranslation(sourceFrame, static_cast<int>(j)));
        world[j] = normalized(parentRotation * m_bvh.localRotation(sourceFrame, static_cast<int>(j)));
    }

    const std::size_t boneCount = m_target.bones.size();
    std::vector<DzQuat> boneWorld(boneCount);
    rotations.resize(boneCount);
    for (std::size_t b = 0; b < boneCount; ++b) {
        const int p = m_target.bones[b].parent;
        const DzQuat parentWorld = p >= 0 ? boneWorld[p] : DzQuat();
        boneWorld[b] = m_chains[b].isValid() ? normalized(world[m_chains[b].last] * m_corrections[b]) : parentWorld;
        rotations[b] = normalized(parentWorld.conjugate() * boneWorld[b]);
    }
    rootPosition = position[m_chains[0].first] * m_scale - m_target.bones[0].origin;
}

bool Retargeter::run(MotionClip &clip)
{
    if (!m_valid)
        return false;
    const int first = m_options.dropFirstFrame ? 1 : 0;
    if (m_bvh.frameCount <= first)
        return fail(m_bvh.frameCount == 0 ? "the file has no frames"
                                          : "the file has no frames after its first (T-pose) frame");
    const int last = m_bvh.frameCount - 1;
    const double sourceStep = m_bvh.frameTime;
    const double duration = (last - first) * sourceStep;
    const double from = m_options.fromSeconds;
    if (!std::isfinite(from) || from < 0.0)
        return fail("the range must start at 0 seconds or later");
    if (!std::isfinite(m_options.toSeconds))
        return fail("the range end is not a number");
    if (from > duration + 1e-9)
        return fail("the range starts at " + seconds(from) + ", after the end of the motion at " + seconds(duration));
    const double to = m_options.toSeconds < 0.0 ? duration : std::min(m_options.toSeconds, duration);
    if (to < from)
        return fail("the range ends (" + seconds(to) + ") before it starts (" + seconds(from) + ")");

    const double step = m_options.frameTime;
    const long long count = static_cast<long long>(std::floor((to - from) / step + 1e-6)) + 1;
    const long long boneCount = static_cast<long long>(m_target.bones.size());
    if (count * boneCount > kMaxSamples)
        return fail("the range is too long to import at once (" + std::to_string(count)
                    + " frames); import a shorter range");

    MotionClip out;
    out.frameTime = step;
    out.frameCount = static_cast<int>(count);
    for (int b = 0; b < boneCount; ++b) {
        out.boneNames.push_back(m_target.bones[b].name);
        out.driven.push_back(m_chains[b].isValid() ? 1 : 0);
    }
    out.rotations.resize(static_cast<std::size_t>(count * boneCount));
    out.rootPositions.resize(static_cast<std::size_t>(count));

    // Output times only increase, so two retargeted source frames suffice.
    struct Pose
    {
        int frame = -1;
        std::vector<DzQuat> rotations;
        DzVec3 root;
    };
    Pose cache[2];
    auto pose = [&](int frame) -> const Pose & {
        for (const Pose &p : cache) {
            if (p.frame == frame)
                return p;
        }
        Pose &slot = cache[0].frame < cache[1].frame ? cache[0] : cache[1];
        slot.frame = frame;
        poseAt(frame, slot.rotations, slot.root);
        return slot;
    };

    for (long long k = 0; k < count; ++k) {
        double source = first + (from + k * step) / sourceStep;
        const double nearest = std::round(source);
        if (std::abs(source - nearest) < 1e-4)
            source = nearest;
        int i0 = static_cast<int>(std::floor(source));
        double t = source - i0;
        if (i0 >= last) {
            i0 = last;
            t = 0.0;
        }
        const Pose &a = pose(i0);
        const int frame = static_cast<int>(k);
        if (t == 0.0) {
            for (int b = 0; b < boneCount; ++b)
                out.rotation(frame, b) = a.rotations[b];
            out.rootPositions[frame] = a.root;
        } else {
            const Pose &b = pose(i0 + 1);
            const Pose &a2 = pose(i0);  // still cached: b evicted the older slot
            for (int bone = 0; bone < boneCount; ++bone)
                out.rotation(frame, bone) = DzQuat::slerp(a2.rotations[bone], b.rotations[bone], t);
            out.rootPositions[frame] = a2.root + (b.root - a2.root) * float(t);
        }
        if (frame > 0) {
            for (int b = 0; b < boneCount; ++b) {
                DzQuat &q = out.rotation(frame, b);
                if (q.dot(out.rotation(frame - 1, b)) < 0.0)
                    q = DzQuat(-q.m_x, -q.m_y, -q.m_z, -q.m_w);
            }
        }
    }

    if (m_options.placement == RetargetOptions::Placement::StartAtOrigin) {
        const DzVec3 shift(out.rootPositions[0].m_x, 0.0, out.rootPositions[0].m_z);
        for (DzVec3 &p : out.rootPositions)
            p = p - shift;
    }
    clip = std::move(out);
    return true;
}

} // namespace trelvo::motion
