// Block core benchmarks: sampling a 53-bone block (the standard skeleton
// without its root marker) of rotation-vector records with keys every 33
// ms, at increasing times (playback) and at random times (scrubbing); the
// engine during a fade; reading block files; and the square root.
//
// Time per iteration is time per evaluated pose; "per_bone" divides it by
// the 53 bones. The sampling benchmarks count the allocations made while
// sampling (after the first sample, which builds the chain's sampler) and
// fail when there are any; their "RecordByRecord" twins give the same
// samples evaluated one record after the other, as before samplers.
#include "blockfile.h"
#include "chainsampler.h"
#include "channelstore.h"
#include "engine.h"
#include "evaluation.h"
#include "fileaccess.h"
#include "nodetable.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
size_t g_allocations = 0;
} // namespace

void *operator new(size_t size)
{
    ++g_allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr int kBones = 53;
constexpr int kClipMs = 10000;
constexpr int kKeyStepMs = 33;

// A 10 s block: hip translation, then a rotation record for each of the 53
// bones of the standard list, every bone swinging about its own axis.
int makeBlock(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const int slot = allocateSlot();
    const auto &names = standardNodeNames();
    for (int t = 0; t <= kClipMs; t += kKeyStepMs)
        addTranslationKey(slot, "hip", t, static_cast<float>(std::sin(t * 0.002) * 5.0), 99.24f,
                          static_cast<float>(t) * 0.1f);
    for (int b = 1; b <= kBones; ++b) {
        double ax = unit(random), ay = unit(random), az = unit(random);
        const double length = std::sqrt(ax * ax + ay * ay + az * az) + 1e-9;
        ax /= length;
        ay /= length;
        az /= length;
        const double amplitude = 10.0 + 60.0 * std::fabs(unit(random));
        const double frequency = 0.5 + 2.0 * std::fabs(unit(random));
        const double phase = 3.0 * unit(random);
        for (int t = 0; t <= kClipMs; t += kKeyStepMs) {
            const double angle = amplitude * std::sin(frequency * t / 1000.0 * 6.283185307 + phase);
            addRotationKey(slot, names[b], t, static_cast<float>(angle), static_cast<float>(ax),
                           static_cast<float>(ay), static_cast<float>(az));
        }
    }
    return slot;
}

struct Fixture {
    int block;
    int other;
};

const Fixture &fixture()
{
    static const Fixture f = [] {
        registerStandardNodes();
        return Fixture{makeBlock(1), makeBlock(2)};
    }();
    return f;
}

void perBone(benchmark::State &state)
{
    state.counters["per_bone"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBones,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Samples the fixture block at each time the generator gives, in the mode
// asked for; after the first sample (which builds the chain's sampler) no
// sample may allocate.
template <class NextTime>
void sampleLoop(benchmark::State &state, SamplingMode mode, NextTime next)
{
    const int slot = fixture().block;
    const SamplingMode before = samplingMode();
    setSamplingMode(mode);
    sampleSlot(slot, 0);
    const size_t allocationsBefore = g_allocations;
    for (auto _ : state)
        benchmark::DoNotOptimize(sampleSlot(slot, next()));
    const size_t allocations = g_allocations - allocationsBefore;
    setSamplingMode(before);
    perBone(state);
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations > 0)
        state.SkipWithError("sampling allocated");
}

void sampleIncreasing(benchmark::State &state, SamplingMode mode)
{
    const int step = static_cast<int>(state.range(0));
    int t = 0;
    sampleLoop(state, mode, [&] {
        const int now = t;
        t += step;
        if (t > kClipMs)
            t -= kClipMs;
        return now;
    });
}

void sampleRandom(benchmark::State &state, SamplingMode mode)
{
    std::mt19937 random(42);
    std::vector<int> times(8192);
    for (int &t : times)
        t = static_cast<int>(random() % (kClipMs + 1));
    size_t i = 0;
    sampleLoop(state, mode, [&] {
        const int t = times[i];
        i = (i + 1) & (times.size() - 1);
        return t;
    });
}

void BM_SampleIncreasingTimes(benchmark::State &state)
{
    sampleIncreasing(state, bestSamplingMode());
}
BENCHMARK(BM_SampleIncreasingTimes)->Arg(7)->Arg(16)->Arg(33);

void BM_SampleRandomTimes(benchmark::State &state)
{
    sampleRandom(state, bestSamplingMode());
}
BENCHMARK(BM_SampleRandomTimes);

void BM_SampleIncreasingTimesScalar(benchmark::State &state)
{
    sampleIncreasing(state, SamplingMode::Scalar);
}
BENCHMARK(BM_SampleIncreasingTimesScalar)->Arg(7)->Arg(16)->Arg(33);

void BM_SampleRandomTimesScalar(benchmark::State &state)
{
    sampleRandom(state, SamplingMode::Scalar);
}
BENCHMARK(BM_SampleRandomTimesScalar);

void BM_SampleIncreasingTimesAvx2(benchmark::State &state)
{
    if (!samplingModeAvailable(SamplingMode::Avx2))
        state.SkipWithError("no AVX2 here");
    sampleIncreasing(state, SamplingMode::Avx2);
}
BENCHMARK(BM_SampleIncreasingTimesAvx2)->Arg(7)->Arg(16)->Arg(33);

void BM_SampleIncreasingTimesRecordByRecord(benchmark::State &state)
{
    sampleIncreasing(state, SamplingMode::RecordByRecord);
}
BENCHMARK(BM_SampleIncreasingTimesRecordByRecord)->Arg(7)->Arg(16)->Arg(33);

void BM_SampleRandomTimesRecordByRecord(benchmark::State &state)
{
    sampleRandom(state, SamplingMode::RecordByRecord);
}
BENCHMARK(BM_SampleRandomTimesRecordByRecord);

// A fade of 30 s from one block into the other, advanced 1 ms at a time:
// every step evaluates the incoming block, applies its root offsets and
// blends all 54 entries.
void BM_EngineAdvanceDuringFade(benchmark::State &state)
{
    const Fixture &f = fixture();
    const Vec3f pos{10, 0, 5};
    const Vec3f up{0, 1, 0};
    const Vec3f shift{0, 0, 100};
    engineReset();
    engineStart(f.other, 0, 0, 300, 100, pos, 30, up, shift, false);
    engineAdvance(500);
    engineStart(f.block, 0, 30000, 300, 100, pos, 30, up, shift, false);
    for (auto _ : state) {
        engineAdvance(1);
        if (!engineState().outgoingRecords) {
            engineStart(f.other, 0, 30000, 300, 100, pos, 30, up, shift, false);
            engineStart(f.block, 0, 30000, 300, 100, pos, 30, up, shift, false);
        }
    }
    perBone(state);
}
BENCHMARK(BM_EngineAdvanceDuringFade);

// The timeline's seek: restart the block, name its predecessor and advance
// by 0, which evaluates both blocks and blends them.
void BM_EngineSeekWithPreviousBlock(benchmark::State &state)
{
    const Fixture &f = fixture();
    const Vec3f pos{10, 0, 5};
    const Vec3f up{0, 1, 0};
    engineReset();
    int local = 0;
    for (auto _ : state) {
        engineStart(f.block, local, 0, 300, 100, pos, 30, up, Vec3f(), true);
        engineSetPrevious(f.other, 9000, 0, Vec3f(), 0, up, Vec3f(), false);
        engineAdvance(0);
        local = (local + 7) % 300;
    }
    perBone(state);
}
BENCHMARK(BM_EngineSeekWithPreviousBlock);

void BM_ReadBlockFromMemory(benchmark::State &state)
{
    const std::vector<uint8_t> image = serializeChain(slotRecords(fixture().block));
    for (auto _ : state) {
        ChannelRecord *chain = parseBlockBytes(image.data(), image.size(), nullptr);
        benchmark::DoNotOptimize(chain);
        freeChain(chain);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
    state.counters["file_bytes"] = static_cast<double>(image.size());
}
BENCHMARK(BM_ReadBlockFromMemory);

void BM_ReadBlockFromDisk(benchmark::State &state)
{
    const std::vector<uint8_t> image = serializeChain(slotRecords(fixture().block));
    char path[] = "/tmp/bench_block_XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    replaceFileContents(path, image.data(), image.size(), nullptr);
    for (auto _ : state) {
        ChannelRecord *chain = readBlockFile(path, nullptr);
        benchmark::DoNotOptimize(chain);
        freeChain(chain);
    }
    unlink(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_ReadBlockFromDisk);

// Read, bind to the node table and evaluate at 0: what KyBlock::get does.
void BM_LoadBlockIntoSlot(benchmark::State &state)
{
    const std::vector<uint8_t> image = serializeChain(slotRecords(fixture().block));
    char path[] = "/tmp/bench_block_XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    replaceFileContents(path, image.data(), image.size(), nullptr);
    const int slot = allocateSlot();
    for (auto _ : state)
        benchmark::DoNotOptimize(loadBlockIntoSlot(slot, path, nullptr));
    unlink(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_LoadBlockIntoSlot);

Fixed digitByDigitSqrt(Fixed a)
{
    uint32_t root = 0, remHi = 0, remLo = static_cast<uint32_t>(a);
    for (int round = 0; round < 24; ++round) {
        remHi = (remHi << 2) | (remLo >> 30);
        remLo <<= 2;
        root <<= 1;
        const uint32_t testDiv = (root << 1) + 1;
        if (remHi >= testDiv) {
            remHi -= testDiv;
            root += 1;
        }
    }
    return static_cast<Fixed>(root);
}

template <Fixed (*Sqrt)(Fixed)>
void BM_Sqrt(benchmark::State &state)
{
    std::mt19937 random(3);
    std::vector<Fixed> inputs(4096);
    for (Fixed &v : inputs)
        v = static_cast<Fixed>(random() & 0x3FFFFFFF);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sqrt(inputs[i]));
        i = (i + 1) & 4095;
    }
}
BENCHMARK_TEMPLATE(BM_Sqrt, fxSqrt);
BENCHMARK_TEMPLATE(BM_Sqrt, digitByDigitSqrt);

} // namespace

BENCHMARK_MAIN();
