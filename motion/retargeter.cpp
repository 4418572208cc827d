#include "retargeter.h"

#include "rotation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace trelvo::motion {

namespace {

constexpr double kTiny = 1e-6;
// Largest joint rotation of a frame that still counts as a rest pose.
constexpr double kRestPoseRadians = 15.0 * 3.14159265358979323846 / 180.0;

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

    if (!std::isfinite(options.sourceFrameTime) || options.sourceFrameTime < 0.0 || options.sourceFrameTime > 60.0) {
        fail("the source frame time must be from 0 to 60 seconds (0: the file's)");
        return;
    }
    std::vector<std::string> boneNames;
    for (const TargetBone &bone : target.bones)
        boneNames.push_back(bone.name);
    if (options.mapping) {
        if (!BoneMap::fromAssignments(bvh, boneNames, *options.mapping, m_map, &why)) {
            fail("the mapping cannot be used: " + why);
            return;
        }
    } else {
        m_map = BoneMap(bvh, boneNames);
    }
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

    if (!options.mapping) {
        auto undriven = [&](std::initializer_list<const char *> bones) {
            bool present = false;
            for (const char *b : bones) {
                if (target.find(b) >= 0) {
                    present = true;
                    if (m_map.chainOf(b).isValid())
                        return false;
                }
            }
            return present;
        };
        const char *hint = "; give a mapping (trelvo-kba bvh-map prints the one in use, as JSON to edit)";
        if (undriven({"lThigh", "lShin", "rThigh", "rShin"})) {
            fail("no joint of the file drives either of the figure's legs (mapped as '" + m_map.convention() + "')"
                 + hint);
            return;
        }
        if (undriven({"abdomen", "chest", "neck"})) {
            fail("no joint of the file drives the figure's spine (mapped as '" + m_map.convention() + "')" + hint);
            return;
        }
    }

    m_jointChildren.resize(bvh.joints.size());
    for (std::size_t j = 1; j < bvh.joints.size(); ++j)
        m_jointChildren[bvh.joints[j].parent].push_back(static_cast<int>(j));

    const std::vector<DzVec3> rest = bvh.restPositions();
    m_corrections.assign(boneCount, DzQuat());
    m_ends.assign(boneCount, End());
    for (int b = 1; b < boneCount; ++b) {
        if (!m_chains[b].isValid())
            continue;
        m_ends[b] = fileEndFor(b, rest);
        const End &end = m_ends[b];
        if (!end.found)
            continue;
        const DzVec3 fileEnd = end.joint >= 0 ? rest[end.joint] : rest[m_chains[b].last] + end.offset;
        m_corrections[b] = rotationBetween(end.figureDirection, fileEnd - rest[m_chains[b].first]);
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

Retargeter::End Retargeter::fileEndFor(int bone, const std::vector<DzVec3> &rest) const
{
    const TargetBone &tb = m_target.bones[bone];
    const double length = (tb.end - tb.origin).length();
    End end;
    end.figureDirection = tb.end - tb.origin;
    if (length < kTiny)
        return end;

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
        end.joint = m_chains[best].first;
        end.figureDirection = m_target.bones[best].origin - tb.origin;
        end.found = (rest[end.joint] - start).length() > kTiny && end.figureDirection.length() > kTiny;
        return end;
    }

    // Otherwise where the file's chain itself ends: its End Site, or the
    // average of its nearest descendants that are not on top of it
    // (CMU hands branch into fingers through zero-length joints).
    const int last = m_chains[bone].last;
    const BvhJoint &lastJoint = m_bvh.joints[last];
    if (lastJoint.hasEndSite && (rest[last] + lastJoint.endSite - start).length() > kTiny) {
        end.found = true;
        end.offset = lastJoint.endSite;
        return end;
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
            const DzVec3 average = sum * (1.0f / points);
            if ((average - start).length() > kTiny) {
                end.found = true;
                end.offset = average - rest[last];
                return end;
            }
        }
        level = std::move(next);
    }
    return end;
}

bool Retargeter::firstFrameIsRestPose() const
{
    if (m_bvh.frameCount < 2)
        return false;
    const float *values = m_bvh.frame(0);
    bool nearZero = true, wholeDegrees = true, anyTurned = false;
    for (std::size_t j = 0; j < m_bvh.joints.size(); ++j) {
        const BvhJoint &joint = m_bvh.joints[j];
        for (std::size_t c = 0; c < joint.channels.size(); ++c) {
            if (!isRotation(joint.channels[c]))
                continue;
            const double v = values[joint.firstChannel + c];
            wholeDegrees = wholeDegrees && std::abs(v - std::round(v)) < 1e-4;
            anyTurned = anyTurned || v != 0.0;
        }
        // Near zero: within a few degrees, as a captured T-pose's fingers and
        // feet are, while any moving frame turns some joint much further.
        const DzQuat q = m_bvh.localRotation(0, static_cast<int>(j));
        nearZero = nearZero && 2.0 * std::acos(std::min(1.0, std::abs(q.m_w))) < kRestPoseRadians;
    }
    // A hand-written pose only counts when the next frame is not one too.
    if (wholeDegrees && anyTurned) {
        const float *next = m_bvh.frame(1);
        bool nextWhole = true;
        for (int c = 0; c < m_bvh.channelCount; ++c)
            nextWhole = nextWhole && std::abs(next[c] - std::round(next[c])) < 1e-4;
        wholeDegrees = !nextWhole;
    }
    return nearZero || wholeDegrees;
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
        if (!m_chains[b].isValid()) {
            boneWorld[b] = parentWorld;
        } else {
            // The chain's end joint gives the twist; the bone is then turned
            // the shortest way onto where its end point is in this frame,
            // which a chain that bends (or joints between the bone and its
            // child) moves away from where the rest correction expects it.
            const int last = m_chains[b].last;
            boneWorld[b] = normalized(world[last] * m_corrections[b]);
            const End &end = m_ends[b];
            if (b > 0 && end.found) {
                const DzVec3 tip = end.joint >= 0 ? position[end.joint] : position[last] + world[last].multVec(end.offset);
                const DzVec3 aimed = boneWorld[b].multVec(end.figureDirection);
                boneWorld[b] = normalized(rotationBetween(aimed, tip - position[m_chains[b].first]) * boneWorld[b]);
            }
        }
        rotations[b] = normalized(parentWorld.conjugate() * boneWorld[b]);
    }
    rootPosition = position[m_chains[0].first] * m_scale - m_target.bones[0].origin;
}

bool Retargeter::run(MotionClip &clip)
{
    if (!m_valid)
        return false;
    if (m_bvh.frameCount == 0)
        return fail("the file has no frames");
    m_firstFrame = m_options.dropFirstFrame && firstFrameIsRestPose() ? 1 : 0;
    const int first = m_firstFrame;
    const int last = m_bvh.frameCount - 1;
    const double sourceStep = m_options.sourceFrameTime > 0.0 ? m_options.sourceFrameTime : m_bvh.frameTime;
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
