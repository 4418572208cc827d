#pragma once
// The steps of evaluating a keyed record, shared by the record-by-record
// evaluation and the chain sampler (which takes one key search and one
// interpolation factor for all records keyed at the same times). Every
// step is the 16.16 arithmetic of fixedpoint.h, defined to the bit.

#include "channelrecord.h"
#include "fixedpoint.h"

// The key pair for time t: advances the remembered index cursor while t
// lies after the next key, restarting from 0 when t is before key cursor.
// On keys whose times never decrease (sorted) the walk is replaced, after a
// few steps, by a bisection that lands on the same index (the first c with
// t at or before key c + 1); unsorted keys are walked one by one. n > 0.
template <class Key>
inline int findKeyPair(const Key *k, int n, int32_t &cursor, int t, bool sorted)
{
    int c = cursor;
    if (c < 0 || c >= n)
        c = 0;
    if (t < k[c].time)
        c = 0;
    if (sorted) {
        int steps = 0;
        while (c < n - 1 && t > k[c + 1].time) {
            if (++steps > 4) {
                int lo = c + 1, hi = n - 1;
                while (lo < hi) {
                    const int mid = lo + (hi - lo) / 2;
                    if (t <= k[mid + 1].time)
                        hi = mid;
                    else
                        lo = mid + 1;
                }
                c = lo;
                break;
            }
            ++c;
        }
    } else {
        while (c < n - 1 && t > k[c + 1].time)
            ++c;
    }
    cursor = c;
    return c;
}

// Where t lies between key c and the next: interpolate is false after the
// last key and between keys of equal time (the factor is then 0); u is
// (t − time c) / (time c+1 − time c) in 16.16, unclamped.
struct KeyStep {
    int c = 0;
    Fixed u = 0;
    bool interpolate = false;
};

template <class Key>
inline KeyStep keyStepAt(const Key *k, int n, int c, int t)
{
    KeyStep s;
    s.c = c;
    if (c < n - 1 && k[c + 1].time != k[c].time) {
        s.interpolate = true;
        s.u = fxDiv(fxSub(t, k[c].time), fxSub(k[c + 1].time, k[c].time));
    }
    return s;
}

// For keys more than half a turn apart: q may stand for the same rotation as
// a vector one turn shorter or longer; takes whichever of q, the longer and
// the shorter is nearest to p, a later one only when strictly nearer.
void nearestTurn(const Fixed p[3], Fixed q[3]);

// d = q − p of a rotation-vector key pair, q being key `next` brought to the
// turn nearest p when the two lie more than 180 apart: the vector at factor
// u is then p + u × d.
inline void rotationKeyDelta(const Fixed p[3], const Fixed next[3], Fixed d[3])
{
    Fixed q[3] = {next[0], next[1], next[2]};
    if (sumAbsDiff(p, q) > kFixed180)
        nearestTurn(p, q);
    d[0] = fxSub(q[0], p[0]);
    d[1] = fxSub(q[1], p[1]);
    d[2] = fxSub(q[2], p[2]);
}

// out = p + fxMul(u, d), component by component.
inline void offsetVector(const Fixed p[3], const Fixed d[3], Fixed u, Fixed out[3])
{
    out[0] = fxAdd(p[0], fxMul(u, d[0]));
    out[1] = fxAdd(p[1], fxMul(u, d[1]));
    out[2] = fxAdd(p[2], fxMul(u, d[2]));
}

// The rotation of an interpolated rotation vector: angle = its length and
// axis = v × fxRecip(length); the zero vector is angle 0 about +Y.
inline Rotation rotationOfVector(const Fixed v[3])
{
    Rotation r;
    const Fixed length = fxLength3(v[0], v[1], v[2]);
    if (length != 0)
        rotationFromVector(v, length, &r.angle, r.axis);
    return r;
}

// Writes a type-1 record's translation for a key step into its node (the
// factor clamped to 0 before the first key) and returns the ms left until
// the record's last key.
int applyTranslationStep(ChannelRecord &r, const KeyStep &s, int t);
