#include "evaluation.h"

#include "chainsampler.h"
#include "keyinterpolation.h"
#include "nodetable.h"

#include <cmath>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The angle one turn the other way: a − 360 for a positive angle, else + 360.
inline Fixed otherTurn(Fixed angle)
{
    return angle > 0 ? fxSub(angle, kFixed360) : fxAdd(angle, kFixed360);
}

// Blends from (a0, axis0) towards (a1, axis1) by u through their rotation
// vectors, taking a1 one turn the other way when that lies strictly closer.
// A result shorter than 1/16 degree keeps the earlier rotation.
inline void blendAngleAxis(NodeEntry &e, Fixed a0, const Fixed axis0[3], Fixed a1, const Fixed axis1[3], Fixed u)
{
    Fixed p[3], q[3], alt[3];
    angleAxisVector(a0, axis0, p);
    angleAxisVector(a1, axis1, q);
    angleAxisVector(otherTurn(a1), axis1, alt);
    if (sumAbsDiff(p, alt) < sumAbsDiff(p, q)) {
        q[0] = alt[0];
        q[1] = alt[1];
        q[2] = alt[2];
    }
    Fixed v[3];
    lerpVector(p, q, u, v);
    const Fixed length = fxLength3(v[0], v[1], v[2]);
    if (length < kShortestRotation) {
        e.rotAngle = a0;
        e.rotAxis[0] = axis0[0];
        e.rotAxis[1] = axis0[1];
        e.rotAxis[2] = axis0[2];
    } else {
        rotationFromVector(v, length, &e.rotAngle, e.rotAxis);
    }
    e.nodeFlags |= kNodeRotationSet | kNodeWritten;
}

int evaluateTranslation(ChannelRecord &r, int t)
{
    const int n = static_cast<int>(r.keys.size());
    if (n == 0)
        return 0;
    const ChannelKey *k = r.keys.data();
    const int c = findKeyPair(k, n, r.cursor, t, r.keysSorted);
    return applyTranslationStep(r, keyStepAt(k, n, c, t), t);
}

int evaluateRotationVector(ChannelRecord &r, int t)
{
    const int n = static_cast<int>(r.keys.size());
    if (n == 0)
        return 0;
    const ChannelKey *k = r.keys.data();
    const int c = findKeyPair(k, n, r.cursor, t, r.keysSorted);
    const KeyStep s = keyStepAt(k, n, c, t);
    Fixed d[3] = {0, 0, 0};
    if (s.interpolate)
        rotationKeyDelta(k[c].v, k[c + 1].v, d);
    Fixed v[3];
    offsetVector(k[c].v, d, s.u, v);
    const Rotation rot = rotationOfVector(v);
    NodeEntry &e = *r.target;
    e.rotAngle = rot.angle;
    e.rotAxis[0] = rot.axis[0];
    e.rotAxis[1] = rot.axis[1];
    e.rotAxis[2] = rot.axis[2];
    e.nodeFlags |= kNodeRotationSet | kNodeWritten;
    return c < n - 1 ? 1 : 0;
}

int evaluateAngleAxis(ChannelRecord &r, int t)
{
    const int n = static_cast<int>(r.angleKeys.size());
    if (n == 0)
        return 0;
    const AngleAxisKey *k = r.angleKeys.data();
    const int c = findKeyPair(k, n, r.cursor, t, r.keysSorted);
    const KeyStep s = keyStepAt(k, n, c, t);
    const AngleAxisKey &k0 = k[c];
    const AngleAxisKey &k1 = s.interpolate ? k[c + 1] : k0;
    const Fixed u = s.u < 0 ? 0 : s.u > kFixedOne ? kFixedOne : s.u;
    blendAngleAxis(*r.target, k0.angle, k0.axis, k1.angle, k1.axis, u);
    return c < n - 1 ? 1 : 0;
}

inline int32_t unsigned16(const uint8_t *b)
{
    return (static_cast<int32_t>(b[0]) << 8) | b[1];
}

inline int32_t signed16(const uint8_t *b)
{
    return static_cast<int16_t>(static_cast<uint16_t>((b[0] << 8) | b[1]));
}

inline int32_t unsigned24(const uint8_t *b)
{
    return (static_cast<int32_t>(b[0]) << 16) | (static_cast<int32_t>(b[1]) << 8) | b[2];
}

inline int32_t signed24(const uint8_t *b)
{
    const int32_t v = unsigned24(b);
    return (v & 0x800000) ? v - 0x1000000 : v;
}

int evaluatePackedStream(ChannelRecord &r, int t)
{
    if (r.cursor == 0 || t < r.decoder.time) {
        r.decoder = StreamState();
        r.cursor = kStreamEntriesOffset;
    }
    const uint8_t *bytes = r.stream.data();
    const size_t size = r.stream.size();
    size_t pos = static_cast<size_t>(r.cursor - kStreamEntriesOffset);
    if (r.cursor < kStreamEntriesOffset || pos > size) {
        r.decoder = StreamState();
        pos = 0;
    }
    StreamState prev = r.decoder;
    StreamState next = prev;
    bool exhausted = true;
    while (pos < size) {
        StreamEntry entry;
        const int used = decodeStreamEntry(bytes + pos, size - pos, prev, &entry);
        if (used == 0)
            break; // an entry cut off by the stream end ends the stream
        StreamState decoded;
        decoded.time = entry.time;
        decoded.angle = entry.angle;
        decoded.axis[0] = entry.axis[0];
        decoded.axis[1] = entry.axis[1];
        decoded.axis[2] = entry.axis[2];
        if (entry.time > t) {
            next = decoded;
            exhausted = false;
            break;
        }
        prev = decoded;
        next = decoded;
        pos += static_cast<size_t>(used);
    }
    r.decoder = prev;
    r.cursor = static_cast<int32_t>(kStreamEntriesOffset + pos);

    const Fixed u = next.time == prev.time ? 0 : fxDiv(fxSub(t, prev.time), fxSub(next.time, prev.time));
    blendAngleAxis(*r.target, prev.angle, prev.axis, next.angle, next.axis, u);
    return exhausted ? 0 : 1;
}

void rotationMatrix(double degrees, double x, double y, double z, double out[16])
{
    const double radians = degrees * kPi / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    out[0] = t * x * x + c;
    out[1] = t * x * y + s * z;
    out[2] = t * x * z - s * y;
    out[3] = 0.0;
    out[4] = t * x * y - s * z;
    out[5] = t * y * y + c;
    out[6] = t * y * z + s * x;
    out[7] = 0.0;
    out[8] = t * x * z + s * y;
    out[9] = t * y * z - s * x;
    out[10] = t * z * z + c;
    out[11] = 0.0;
    out[12] = 0.0;
    out[13] = 0.0;
    out[14] = 0.0;
    out[15] = 1.0;
}

void translationMatrix(double x, double y, double z, double out[16])
{
    for (int i = 0; i < 16; ++i)
        out[i] = (i % 5 == 0) ? 1.0 : 0.0;
    out[12] = x;
    out[13] = y;
    out[14] = z;
}

// a = a · b
void multiplyInPlace(double a[16], const double b[16])
{
    double out[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = sum;
        }
    }
    for (int i = 0; i < 16; ++i)
        a[i] = out[i];
}

inline double toDouble(Fixed a)
{
    return static_cast<double>(a) / 65536.0;
}

} // namespace

__attribute__((noinline)) void nearestTurn(const Fixed p[3], Fixed q[3])
{
    const Fixed length = fxLength3(q[0], q[1], q[2]);
    Fixed a[3] = {q[0], q[1], q[2]};
    Fixed b[3] = {q[0], q[1], q[2]};
    if (length != 0) {
        const Fixed inv = fxRecip(length);
        const Fixed shorter = fxSub(length, kFixed360);
        const Fixed longer = fxAdd(length, kFixed360);
        for (int i = 0; i < 3; ++i) {
            const Fixed d = fxMul(q[i], inv);
            a[i] = fxMul(d, shorter);
            b[i] = fxMul(d, longer);
        }
    }
    const Fixed *best = q;
    int64_t bestDistance = sumAbsDiff(p, q);
    const int64_t db = sumAbsDiff(p, b);
    if (db < bestDistance) {
        best = b;
        bestDistance = db;
    }
    if (sumAbsDiff(p, a) < bestDistance)
        best = a;
    if (best != q) {
        q[0] = best[0];
        q[1] = best[1];
        q[2] = best[2];
    }
}

int applyTranslationStep(ChannelRecord &r, const KeyStep &s, int t)
{
    const ChannelKey *k = r.keys.data();
    const ChannelKey &k0 = k[s.c];
    NodeEntry &e = *r.target;
    if (s.interpolate)
        lerpVector(k0.v, k[s.c + 1].v, s.u < 0 ? 0 : s.u, e.pos);
    else {
        e.pos[0] = k0.v[0];
        e.pos[1] = k0.v[1];
        e.pos[2] = k0.v[2];
    }
    e.nodeFlags |= kNodeTranslationSet | kNodeWritten;
    return fxSub(k[r.keys.size() - 1].time, t);
}

int decodeStreamEntry(const uint8_t *bytes, size_t available, const StreamState &prev,
                      StreamEntry *out)
{
    if (available == 0)
        return 0;
    if (bytes[0] < 0x80) {
        if (available < 14)
            return 0;
        out->time = unsigned16(bytes);
        out->angle = unsigned24(bytes + 2);
        out->axis[0] = signed24(bytes + 5);
        out->axis[1] = signed24(bytes + 8);
        out->axis[2] = signed24(bytes + 11);
        return 14;
    }
    if (available < 10)
        return 0;
    out->time = fxAdd(prev.time, bytes[0] & 0x7F);
    out->angle = unsigned24(bytes + 1);
    out->axis[0] = fxAdd(prev.axis[0], signed16(bytes + 4));
    out->axis[1] = fxAdd(prev.axis[1], signed16(bytes + 6));
    out->axis[2] = fxAdd(prev.axis[2], signed16(bytes + 8));
    return 10;
}

int evaluateRecord(ChannelRecord &record, int timeMs)
{
    if (!record.target)
        return 0;
    switch (record.type) {
    case kTranslationRecord:
        return evaluateTranslation(record, timeMs);
    case kAngleAxisRecord:
        return evaluateAngleAxis(record, timeMs);
    case kRotationRecord:
        return evaluateRotationVector(record, timeMs);
    case kPackedStreamRecord:
        return evaluatePackedStream(record, timeMs);
    default:
        return 0;
    }
}

int evaluateChainRecordByRecord(ChannelRecord *first, int timeMs)
{
    int result = 0;
    for (ChannelRecord *r = first; r; r = r->next)
        evaluateChainStep(*r, timeMs, &result);
    return result;
}

int evaluateChain(ChannelRecord *first, int timeMs)
{
    int result = 0;
    if (sampleChain(first, timeMs, &result))
        return result;
    return evaluateChainRecordByRecord(first, timeMs);
}

void mirrorPose()
{
    NodeTable &table = nodeTable();
    for (int i = 0; i < table.count; ++i) {
        NodeEntry &e = table.entries[i];
        e.pos[0] = fxNeg(e.pos[0]);
        e.rotAxis[1] = fxNeg(e.rotAxis[1]);
        e.rotAxis[2] = fxNeg(e.rotAxis[2]);
    }
    // A rotation moves to the other side together with the flag that says it
    // was written, so a one-sided block drives the mirrored side only.
    const auto rotationWritten = [](NodeEntry &e, bool on) {
        e.nodeFlags &= ~(kNodeRotationSet | kNodeWritten);
        if (on)
            e.nodeFlags |= kNodeRotationSet;
        if (e.nodeFlags & (kNodeRotationSet | kNodeTranslationSet))
            e.nodeFlags |= kNodeWritten;
    };
    for (const auto &pair : mirrorPairs()) {
        NodeEntry &l = table.entries[pair.first];
        NodeEntry &r = table.entries[pair.second];
        std::swap(l.rotAngle, r.rotAngle);
        std::swap(l.rotAxis, r.rotAxis);
        const bool lWritten = (l.nodeFlags & kNodeRotationSet) != 0;
        rotationWritten(l, (r.nodeFlags & kNodeRotationSet) != 0);
        rotationWritten(r, lWritten);
    }
}

void turnAboutAxis(double degrees, const Fixed axis[3], const double in[3], double out[3])
{
    double x = toDouble(axis[0]), y = toDouble(axis[1]), z = toDouble(axis[2]);
    const double length = std::sqrt(x * x + y * y + z * z);
    if (degrees == 0.0 || length == 0.0) {
        for (int i = 0; i < 3; ++i)
            out[i] = in[i];
        return;
    }
    double m[16];
    rotationMatrix(degrees, x / length, y / length, z / length, m);
    for (int r = 0; r < 3; ++r)
        out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2];
}

void applyRootOffset(const OffsetTransform &offset)
{
    NodeTable &table = nodeTable();
    if (table.count < 2)
        return;
    NodeEntry &hip = table.entries[1];
    if (offset.rot.angle == 0) {
        // T(p)·T(h) has the translation p + h; the sum is exact in doubles,
        // as the full product would give it, and the rotation stays.
        for (int i = 0; i < 3; ++i)
            hip.pos[i] = toFixed(toDouble(hip.pos[i]) + toDouble(offset.pos[i]));
        return;
    }
    const double alpha = toDouble(offset.rot.angle);
    const double h[3] = {toDouble(hip.pos[0]), toDouble(hip.pos[1]), toDouble(hip.pos[2])};
    double turned[3];
    turnAboutAxis(alpha, offset.rot.axis, h, turned);
    for (int i = 0; i < 3; ++i)
        hip.pos[i] = toFixed(toDouble(offset.pos[i]) + turned[i]);

    // Stored rotations are the inverse of the figure's (posing negates the
    // axis), so turning the figure by α in the world is R(ρ)·R(−α) here.
    double m[16], step[16];
    if (hip.rotAngle != 0)
        rotationMatrix(toDouble(hip.rotAngle), toDouble(hip.rotAxis[0]), toDouble(hip.rotAxis[1]),
                       toDouble(hip.rotAxis[2]), m);
    else
        translationMatrix(0.0, 0.0, 0.0, m);
    rotationMatrix(-alpha, toDouble(offset.rot.axis[0]), toDouble(offset.rot.axis[1]),
                   toDouble(offset.rot.axis[2]), step);
    multiplyInPlace(m, step);
    Matrix4d md;
    for (int i = 0; i < 16; ++i)
        md.m[i] = m[i];
    const Rotation rot = matrixToAxisAngle(md);
    hip.rotAngle = rot.angle;
    hip.rotAxis[0] = rot.axis[0];
    hip.rotAxis[1] = rot.axis[1];
    hip.rotAxis[2] = rot.axis[2];
}
