#include "chainsampler.h"

#include "evaluation.h"
#include "keyinterpolation.h"
#include "nodetable.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TRELVO_HAVE_VECTOR_KERNELS 1
// GCC 12's AVX-512 intrinsics start from deliberately undefined vectors,
// which its own uninitialised-use check flags inside the header.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace {

// Rows hold, per key pair, p x, y, z then d x, y, z, each `lanes` wide.
constexpr int kRowArrays = 6;
// Lanes (one per rotation record of a group) are padded to whole blocks of
// the widest kernel the processor runs. Within a block of W lanes, kernels
// leave lane L's angle and axis at quad (L % 4) × W/4 + L / 4 of the output:
// the order in which a 4 × W transpose in registers comes out, so that the
// vector kernels store without further shuffles.
int blockWidth();

inline int quadOfLane(int lane, int width)
{
    // width is 8 or 16.
    const int inBlock = lane & (width - 1);
    return lane - inBlock + (inBlock & 3) * (width >> 2) + (inBlock >> 2);
}

// Rows of at most this many bytes are made however few lanes they fill.
constexpr size_t kTinyRows = 1024;

// Once a sampler was found stale, the chain must be sampled this many times
// more (doubling up to the cap) before one is built again.
constexpr uint32_t kMostRunsBeforeBuild = 1u << 16;

// The rotation of p + u × d for each lane, as angle and axis in the quad
// order above. lanes is a multiple of width.
using Kernel = void (*)(const Fixed *row, int lanes, int width, Fixed u, Fixed *out);

void scalarKernel(const Fixed *row, int lanes, int width, Fixed u, Fixed *out)
{
    for (int i = 0; i < lanes; ++i) {
        const Fixed p[3] = {row[i], row[lanes + i], row[2 * lanes + i]};
        const Fixed d[3] = {row[3 * lanes + i], row[4 * lanes + i], row[5 * lanes + i]};
        Fixed v[3];
        offsetVector(p, d, u, v);
        const Rotation r = rotationOfVector(v);
        Fixed *o = out + 4 * quadOfLane(i, width);
        o[0] = r.angle;
        o[1] = r.axis[0];
        o[2] = r.axis[1];
        o[3] = r.axis[2];
    }
}

#ifdef TRELVO_HAVE_VECTOR_KERNELS

#define TRELVO_AVX2 __attribute__((target("avx2")))
#define TRELVO_AVX512 __attribute__((target("avx512f")))

// fxMul in each lane is bits 16 … 47 of the 64-bit signed product. The
// multiplier takes the even lanes; the odd lanes are shifted down for it,
// and their products shifted up, so that those bits land in the lane they
// came from. `odd` is the second factor with its odd lanes already moved
// down (for a factor used three times, or one that is the same in every
// lane, where nothing needs moving).
TRELVO_AVX2 inline __m256i mulFx(__m256i a, __m256i b, __m256i odd)
{
    const __m256i even = _mm256_mul_epi32(a, b);
    const __m256i high = _mm256_mul_epi32(_mm256_srli_epi64(a, 32), odd);
    return _mm256_blend_epi32(_mm256_srli_epi64(even, 16), _mm256_slli_epi64(high, 16), 0xAA);
}

TRELVO_AVX512 inline __m512i mulFx(__m512i a, __m512i b, __m512i odd)
{
    const __m512i even = _mm512_mul_epi32(a, b);
    const __m512i high = _mm512_mul_epi32(_mm512_srli_epi64(a, 32), odd);
    return _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(even, 16), _mm512_slli_epi64(high, 16));
}

// fxMul(v >> 1, v >> 1): the halved square of fxLength3.
TRELVO_AVX2 inline __m256i halfSquare(__m256i v)
{
    const __m256i h = _mm256_srai_epi32(v, 1);
    return mulFx(h, h, _mm256_srli_epi64(h, 32));
}

TRELVO_AVX512 inline __m512i halfSquare(__m512i v)
{
    const __m512i h = _mm512_srai_epi32(v, 1);
    return mulFx(h, h, _mm512_srli_epi64(h, 32));
}

// The root ⌊√(a × 65536)⌋ of unsigned 32-bit sums a, as doubles: the way
// fxSqrt takes it (a × 65536 < 2^48 is exact in a double, the square root
// is correctly rounded and truncates to the integer root).
TRELVO_AVX2 inline __m256d rootOf(__m128i sums)
{
    const __m128i flipped = _mm_xor_si128(sums, _mm_set1_epi32(INT32_MIN));
    const __m256d a = _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
    const __m256d root = _mm256_sqrt_pd(_mm256_mul_pd(a, _mm256_set1_pd(65536.0)));
    return _mm256_round_pd(root, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

TRELVO_AVX512 inline __m512d rootOf(__m256i sums)
{
    const __m512d root = _mm512_sqrt_pd(_mm512_mul_pd(_mm512_cvtepu32_pd(sums), _mm512_set1_pd(65536.0)));
    return _mm512_roundscale_pd(root, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

TRELVO_AVX2 inline __m256i join(__m128i low, __m128i high)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

TRELVO_AVX512 inline __m512i join(__m256i low, __m256i high)
{
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// fxSqrt of each sum, and fxRecip of twice each root r: ⌊2^32 / 2r⌋ =
// ⌊2^31 / r⌋, which the correctly rounded quotient truncates to exactly (the
// quotient lies at least 1/r from the next integer, half an ulp far less).
// r = 1 gives 2^31, which converts to INT32_MIN as the 32-bit truncation in
// fxRecip does; lanes with r = 0 are the caller's to mask.
TRELVO_AVX2 inline void rootAndRecip(__m256i sums, __m256i *roots, __m256i *recips)
{
    const __m256d low = rootOf(_mm256_castsi256_si128(sums));
    const __m256d high = rootOf(_mm256_extracti128_si256(sums, 1));
    *roots = join(_mm256_cvttpd_epi32(low), _mm256_cvttpd_epi32(high));
    const __m256d twoTo31 = _mm256_set1_pd(2147483648.0);
    *recips = join(_mm256_cvttpd_epi32(_mm256_div_pd(twoTo31, low)),
                   _mm256_cvttpd_epi32(_mm256_div_pd(twoTo31, high)));
}

TRELVO_AVX512 inline void rootAndRecip(__m512i sums, __m512i *roots, __m512i *recips)
{
    const __m512d low = rootOf(_mm512_castsi512_si256(sums));
    const __m512d high = rootOf(_mm512_extracti64x4_epi64(sums, 1));
    *roots = join(_mm512_cvttpd_epi32(low), _mm512_cvttpd_epi32(high));
    const __m512d twoTo31 = _mm512_set1_pd(2147483648.0);
    *recips = join(_mm512_cvttpd_epi32(_mm512_div_pd(twoTo31, low)),
                   _mm512_cvttpd_epi32(_mm512_div_pd(twoTo31, high)));
}

TRELVO_AVX2 inline __m256i loadLanes(const Fixed *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

TRELVO_AVX512 inline __m512i loadLanes512(const Fixed *p)
{
    return _mm512_loadu_si512(p);
}

// Eight lanes at a time. In a block of 16 the first eight lanes' quads go
// to quads 0, 1, 4, 5, 8, 9, 12, 13 and the last eight's to 2, 3, 6, 7, …
TRELVO_AVX2 void avx2Kernel(const Fixed *row, int lanes, int width, Fixed u, Fixed *out)
{
    const __m256i factor = _mm256_set1_epi32(u);
    const __m256i one = _mm256_set1_epi32(kFixedOne);
    const int stride = width / 4;
    for (int i = 0; i < lanes; i += 8) {
        const Fixed *at = row + i;
        const __m256i vx = _mm256_add_epi32(loadLanes(at), mulFx(loadLanes(at + 3 * lanes), factor, factor));
        const __m256i vy = _mm256_add_epi32(loadLanes(at + lanes), mulFx(loadLanes(at + 4 * lanes), factor, factor));
        const __m256i vz = _mm256_add_epi32(loadLanes(at + 2 * lanes), mulFx(loadLanes(at + 5 * lanes), factor, factor));
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(halfSquare(vx), halfSquare(vy)), halfSquare(vz));
        __m256i root, inv;
        rootAndRecip(sum, &root, &inv);
        const __m256i invOdd = _mm256_srli_epi64(inv, 32);
        // A zero vector is angle 0 about +Y.
        const __m256i zero = _mm256_cmpeq_epi32(root, _mm256_setzero_si256());
        const __m256i angle = _mm256_add_epi32(root, root);
        const __m256i ax = _mm256_andnot_si256(zero, mulFx(vx, inv, invOdd));
        const __m256i ay = _mm256_blendv_epi8(mulFx(vy, inv, invOdd), one, zero);
        const __m256i az = _mm256_andnot_si256(zero, mulFx(vz, inv, invOdd));
        const __m256i t0 = _mm256_unpacklo_epi32(angle, ax);
        const __m256i t1 = _mm256_unpackhi_epi32(angle, ax);
        const __m256i t2 = _mm256_unpacklo_epi32(ay, az);
        const __m256i t3 = _mm256_unpackhi_epi32(ay, az);
        __m256i *o = reinterpret_cast<__m256i *>(out + 4 * (i - i % width + (i % width) / 4));
        _mm256_storeu_si256(o, _mm256_unpacklo_epi64(t0, t2)); // lanes 0 and 4 of the eight
        _mm256_storeu_si256(o + stride / 2, _mm256_unpackhi_epi64(t0, t2));
        _mm256_storeu_si256(o + stride, _mm256_unpacklo_epi64(t1, t3));
        _mm256_storeu_si256(o + 3 * stride / 2, _mm256_unpackhi_epi64(t1, t3));
    }
}

// Sixteen lanes at a time; width is 16.
TRELVO_AVX512 void avx512Kernel(const Fixed *row, int lanes, int, Fixed u, Fixed *out)
{
    const __m512i factor = _mm512_set1_epi32(u);
    const __m512i one = _mm512_set1_epi32(kFixedOne);
    for (int i = 0; i < lanes; i += 16) {
        const Fixed *at = row + i;
        const __m512i vx = _mm512_add_epi32(loadLanes512(at), mulFx(loadLanes512(at + 3 * lanes), factor, factor));
        const __m512i vy = _mm512_add_epi32(loadLanes512(at + lanes), mulFx(loadLanes512(at + 4 * lanes), factor, factor));
        const __m512i vz = _mm512_add_epi32(loadLanes512(at + 2 * lanes), mulFx(loadLanes512(at + 5 * lanes), factor, factor));
        const __m512i sum = _mm512_add_epi32(_mm512_add_epi32(halfSquare(vx), halfSquare(vy)), halfSquare(vz));
        __m512i root, inv;
        rootAndRecip(sum, &root, &inv);
        const __m512i invOdd = _mm512_srli_epi64(inv, 32);
        const __mmask16 nonzero = _mm512_test_epi32_mask(root, root);
        const __m512i angle = _mm512_add_epi32(root, root);
        const __m512i ax = _mm512_maskz_mov_epi32(nonzero, mulFx(vx, inv, invOdd));
        const __m512i ay = _mm512_mask_blend_epi32(nonzero, one, mulFx(vy, inv, invOdd));
        const __m512i az = _mm512_maskz_mov_epi32(nonzero, mulFx(vz, inv, invOdd));
        const __m512i t0 = _mm512_unpacklo_epi32(angle, ax);
        const __m512i t1 = _mm512_unpackhi_epi32(angle, ax);
        const __m512i t2 = _mm512_unpacklo_epi32(ay, az);
        const __m512i t3 = _mm512_unpackhi_epi32(ay, az);
        Fixed *o = out + 4 * i;
        _mm512_storeu_si512(o, _mm512_unpacklo_epi64(t0, t2)); // lanes 0, 4, 8, 12
        _mm512_storeu_si512(o + 16, _mm512_unpackhi_epi64(t0, t2));
        _mm512_storeu_si512(o + 32, _mm512_unpacklo_epi64(t1, t3));
        _mm512_storeu_si512(o + 48, _mm512_unpackhi_epi64(t1, t3));
    }
}

TRELVO_AVX2 void avx2RootAndRecip(const Fixed *sums, Fixed *roots, Fixed *recips, size_t count)
{
    for (size_t i = 0; i + 8 <= count; i += 8) {
        __m256i root, inv;
        rootAndRecip(loadLanes(sums + i), &root, &inv);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(roots + i), root);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(recips + i), inv);
    }
}

TRELVO_AVX512 void avx512RootAndRecip(const Fixed *sums, Fixed *roots, Fixed *recips, size_t count)
{
    for (size_t i = 0; i + 16 <= count; i += 16) {
        __m512i root, inv;
        rootAndRecip(loadLanes512(sums + i), &root, &inv);
        _mm512_storeu_si512(roots + i, root);
        _mm512_storeu_si512(recips + i, inv);
    }
}

bool cpuHas(SamplingMode mode)
{
    // May run from a static initialiser, before the library's own.
    __builtin_cpu_init();
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 = __builtin_cpu_supports("avx512f");
    return mode == SamplingMode::Avx512 ? avx512 : mode == SamplingMode::Avx2 ? avx2 : true;
}

#else

bool cpuHas(SamplingMode mode)
{
    return mode == SamplingMode::RecordByRecord || mode == SamplingMode::Scalar;
}

#endif

int blockWidth()
{
    static const int width = cpuHas(SamplingMode::Avx512) ? 16 : 8;
    return width;
}

SamplingMode bestMode()
{
    return cpuHas(SamplingMode::Avx512) ? SamplingMode::Avx512
           : cpuHas(SamplingMode::Avx2) ? SamplingMode::Avx2
                                        : SamplingMode::Scalar;
}

SamplingMode g_mode = bestMode();

Kernel kernelFor(SamplingMode mode)
{
#ifdef TRELVO_HAVE_VECTOR_KERNELS
    if (mode == SamplingMode::Avx512)
        return avx512Kernel;
    if (mode == SamplingMode::Avx2)
        return avx2Kernel;
#endif
    (void)mode;
    return scalarKernel;
}

uint32_t timesHash(const ChannelRecord &r)
{
    uint32_t h = 2166136261u;
    for (const ChannelKey &k : r.keys)
        h = (h ^ static_cast<uint32_t>(k.time)) * 16777619u;
    return h;
}

// Angle and axis into the node as one 16-byte store: the four fields lie
// one after the other. (NodeEntry is not standard-layout only because of
// its name pointer, which lies after them.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
constexpr size_t kRotationOffset = offsetof(NodeEntry, rotAngle);
static_assert(offsetof(NodeEntry, rotAxis) == kRotationOffset + sizeof(Fixed), "angle and axis are contiguous");
#pragma GCC diagnostic pop

inline void storeRotation(NodeEntry &e, const Fixed *pose)
{
    std::memcpy(reinterpret_cast<char *>(&e) + kRotationOffset, pose, 4 * sizeof(Fixed));
}

bool sameTimes(const ChannelRecord &a, const ChannelRecord &b)
{
    if (a.keys.size() != b.keys.size())
        return false;
    for (size_t i = 0; i < a.keys.size(); ++i) {
        if (a.keys[i].time != b.keys[i].time)
            return false;
    }
    return true;
}

} // namespace

class ChainSampler {
public:
    explicit ChainSampler(ChannelRecord *first);

    // Whether the chain is still the one this sampler was built from.
    bool fits(const ChannelRecord *first) const;
    void sample(int t, int *result);

    uint32_t epoch = 0;

private:
    struct Group {
        ChannelRecord *lead = nullptr; // its keys' times are every member's
        uint32_t timesHash = 0;
        int keyCount = 0;
        std::vector<ChannelRecord *> rotations;
        int lanes = 0;     // rotations, rounded up to whole lane blocks
        int firstLane = 0; // where the group's results start in m_out
        std::vector<Fixed> rows;
        // Of the current sample: the lead's cursor and sort flag before the
        // search, and the key step found.
        int32_t start = 0;
        bool sorted = true;
        KeyStep step;
    };
    struct Step {
        ChannelRecord *record;
        const Group *group; // null: evaluated on its own
        const Fixed *pose;  // the lane's angle and axis; null for a translation
    };
    // What a record was when the sampler was built.
    struct Seen {
        const ChannelRecord *record;
        int32_t type;
        const ChannelKey *keys;
        size_t keyCount;
        uint32_t editStamp;
    };

    void fillRows(Group &g);

    std::vector<Group> m_groups;
    std::vector<Step> m_steps;
    std::vector<Seen> m_seen;
    std::vector<Fixed> m_out;
};

ChainSampler::ChainSampler(ChannelRecord *first)
{
    // Each record's group and lane in it (−1: none), until the groups stop
    // moving in memory.
    struct Placement {
        int group = -1;
        int lane = -1;
    };
    std::vector<Placement> placements;
    for (ChannelRecord *r = first; r; r = r->next) {
        m_seen.push_back(Seen{r, r->type, r->keys.data(), r->keys.size(), r->editStamp});
        m_steps.push_back(Step{r, nullptr, nullptr});
        Placement step;
        if ((r->type == kTranslationRecord || r->type == kRotationRecord) && !r->keys.empty()) {
            const uint32_t hash = timesHash(*r);
            auto g = std::find_if(m_groups.begin(), m_groups.end(), [&](const Group &g) {
                return g.timesHash == hash && sameTimes(*g.lead, *r);
            });
            if (g == m_groups.end()) {
                m_groups.emplace_back();
                g = m_groups.end() - 1;
                g->lead = r;
                g->timesHash = hash;
                g->keyCount = static_cast<int>(r->keys.size());
            } else if (!g->lead->target && r->target) {
                // An unbound record's cursor never moves: lead with one that does.
                g->lead = r;
            }
            step.group = static_cast<int32_t>(g - m_groups.begin());
            if (r->type == kRotationRecord) {
                step.lane = static_cast<int32_t>(g->rotations.size());
                g->rotations.push_back(r);
            }
        }
        placements.push_back(step);
    }
    int lanes = 0;
    for (size_t index = 0; index < m_groups.size(); ++index) {
        Group &g = m_groups[index];
        const int members = static_cast<int>(g.rotations.size());
        g.lanes = (members + blockWidth() - 1) / blockWidth() * blockWidth();
        // Rows cost 24 bytes a lane per key against a member's 16: a group
        // that would be mostly padding (unless tiny) is left to the
        // record-by-record way, so that the rows never take more than three
        // times the keys they copy.
        const size_t rowBytes = static_cast<size_t>(g.keyCount) * kRowArrays * static_cast<size_t>(g.lanes) * sizeof(Fixed);
        if (g.lanes > 2 * members && rowBytes > kTinyRows) {
            for (Placement &place : placements) {
                if (place.group == static_cast<int>(index) && place.lane >= 0)
                    place = Placement();
            }
            g.rotations.clear();
            g.lanes = 0;
        }
        g.firstLane = lanes;
        lanes += g.lanes;
        fillRows(g);
    }
    m_out.assign(static_cast<size_t>(lanes) * 4, 0);
    for (size_t i = 0; i < m_steps.size(); ++i) {
        const Placement &place = placements[i];
        if (place.group < 0)
            continue;
        const Group &g = m_groups[static_cast<size_t>(place.group)];
        m_steps[i].group = &g;
        if (place.lane >= 0)
            m_steps[i].pose = m_out.data() + 4 * quadOfLane(g.firstLane + place.lane, blockWidth());
    }
}

void ChainSampler::fillRows(Group &g)
{
    const int n = g.keyCount;
    const int lanes = g.lanes;
    g.rows.assign(static_cast<size_t>(n) * kRowArrays * static_cast<size_t>(lanes), 0);
    const ChannelKey *times = g.lead->keys.data();
    for (int c = 0; c < n; ++c) {
        Fixed *row = g.rows.data() + static_cast<size_t>(c) * kRowArrays * static_cast<size_t>(lanes);
        const bool interpolate = keyStepAt(times, n, c, 0).interpolate;
        for (size_t lane = 0; lane < g.rotations.size(); ++lane) {
            const ChannelKey *k = g.rotations[lane]->keys.data();
            Fixed d[3] = {0, 0, 0};
            if (interpolate)
                rotationKeyDelta(k[c].v, k[c + 1].v, d);
            for (int i = 0; i < 3; ++i) {
                row[i * lanes + static_cast<int>(lane)] = k[c].v[i];
                row[(3 + i) * lanes + static_cast<int>(lane)] = d[i];
            }
        }
    }
}

bool ChainSampler::fits(const ChannelRecord *first) const
{
    const ChannelRecord *r = first;
    for (const Seen &seen : m_seen) {
        if (r != seen.record || r->type != seen.type || r->keys.data() != seen.keys
            || r->keys.size() != seen.keyCount || r->editStamp != seen.editStamp)
            return false;
        r = r->next;
    }
    return r == nullptr;
}

void ChainSampler::sample(int t, int *result)
{
    const Kernel kernel = kernelFor(g_mode);
    for (Group &g : m_groups) {
        const ChannelRecord &lead = *g.lead;
        g.start = lead.cursor;
        g.sorted = lead.keysSorted;
        int32_t cursor = g.start;
        const ChannelKey *k = lead.keys.data();
        g.step = keyStepAt(k, g.keyCount, findKeyPair(k, g.keyCount, cursor, t, g.sorted), t);
        if (g.lanes > 0) {
            const size_t row = static_cast<size_t>(g.step.c) * kRowArrays * static_cast<size_t>(g.lanes);
            kernel(g.rows.data() + row, g.lanes, blockWidth(), g.step.u, m_out.data() + 4 * g.firstLane);
        }
    }
    // Writes in chain order, so that records sharing a node end as they
    // would one after the other. Unbound records, and records whose cursor
    // or sort flag parted from their group's, go the record-by-record way.
    for (const Step &step : m_steps) {
        ChannelRecord &r = *step.record;
        const Group *g = step.group;
        if (!g || !r.target || r.cursor != g->start || r.keysSorted != g->sorted) {
            evaluateChainStep(r, t, result);
            continue;
        }
        r.cursor = g->step.c;
        if (!step.pose) {
            *result = applyTranslationStep(r, g->step, t);
            continue;
        }
        NodeEntry &e = *r.target;
        storeRotation(e, step.pose);
        e.nodeFlags |= kNodeRotationSet | kNodeWritten;
    }
}

void SamplerSlot::clear()
{
    delete sampler;
    sampler = nullptr;
}

bool sampleChain(ChannelRecord *first, int timeMs, int *result)
{
    if (!first || g_mode == SamplingMode::RecordByRecord)
        return false;
    SamplerSlot &slot = first->sampler;
    ChainSampler *sampler = slot.sampler;
    const uint32_t epoch = recordEditEpoch();
    if (sampler && sampler->epoch != epoch) {
        if (sampler->fits(first)) {
            sampler->epoch = epoch;
        } else {
            slot.clear();
            sampler = nullptr;
            slot.unchangedRuns = 0;
            slot.runsBeforeBuild = std::min(slot.runsBeforeBuild * 2, kMostRunsBeforeBuild);
        }
    }
    if (!sampler) {
        if (++slot.unchangedRuns < slot.runsBeforeBuild)
            return false;
        sampler = new ChainSampler(first);
        sampler->epoch = epoch;
        slot.sampler = sampler;
    }
    sampler->sample(timeMs, result);
    return true;
}

void setSamplingMode(SamplingMode mode)
{
    g_mode = cpuHas(mode) ? mode : bestMode();
}

SamplingMode samplingMode()
{
    return g_mode;
}

SamplingMode bestSamplingMode()
{
    return bestMode();
}

bool samplingModeAvailable(SamplingMode mode)
{
    return cpuHas(mode);
}

bool vectorRootAndRecip(SamplingMode mode, const Fixed *sums, Fixed *roots, Fixed *recips, size_t count)
{
#ifdef TRELVO_HAVE_VECTOR_KERNELS
    if (mode == SamplingMode::Avx512 && cpuHas(mode)) {
        avx512RootAndRecip(sums, roots, recips, count);
        return true;
    }
    if (mode == SamplingMode::Avx2 && cpuHas(mode)) {
        avx2RootAndRecip(sums, roots, recips, count);
        return true;
    }
#endif
    (void)mode;
    (void)sums;
    (void)roots;
    (void)recips;
    (void)count;
    return false;
}
