// Exhaustive check of the chain sampler's vector square roots and
// reciprocals (AVX2 and AVX-512, those the processor runs) against fxSqrt
// and fxRecip: every one of the 2^32 possible sums of
// squares, and with it every root the reciprocal can be taken of. Prints the first mismatch and exits 1; exits 0 when all agree and 77
// when the processor has no AVX2 (nothing to check). Takes some seconds.
#include "chainsampler.h"
#include "fixedpoint.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr Fixed kRoots = 1 << 24;

bool checkMode(SamplingMode mode, const char *name, const std::vector<Fixed> &recipOfLength)
{
    constexpr size_t kBatch = 1 << 16;
    std::vector<Fixed> sums(kBatch), roots(kBatch), recips(kBatch);
    std::vector<bool> rootSeen(kRoots);
    for (uint64_t base = 0; base < (UINT64_C(1) << 32); base += kBatch) {
        for (size_t i = 0; i < kBatch; ++i)
            sums[i] = static_cast<Fixed>(static_cast<uint32_t>(base + i));
        vectorRootAndRecip(mode, sums.data(), roots.data(), recips.data(), kBatch);
        for (size_t i = 0; i < kBatch; ++i) {
            const Fixed root = fxSqrt(sums[i]);
            if (roots[i] != root || (root != 0 && recips[i] != recipOfLength[static_cast<size_t>(root)])) {
                std::printf("%s: mismatch at sum 0x%08x: root %d (fxSqrt %d), reciprocal %d (fxRecip %d)\n", name,
                            static_cast<unsigned>(sums[i]), roots[i], root, recips[i],
                            root > 0 && root < kRoots ? recipOfLength[static_cast<size_t>(root)] : 0);
                return false;
            }
            rootSeen[static_cast<size_t>(root)] = true;
        }
    }
    size_t distinct = 0;
    for (bool seen : rootSeen)
        distinct += seen ? 1 : 0;
    std::printf("%s: all 2^32 sums give fxSqrt and fxRecip (%zu distinct roots)\n", name, distinct);
    return true;
}

} // namespace

int main()
{
    std::vector<Fixed> recipOfLength(kRoots);
    for (Fixed r = 1; r < kRoots; ++r)
        recipOfLength[static_cast<size_t>(r)] = fxRecip(2 * r);
    int checked = 0;
    bool ok = true;
    for (const auto &[mode, name] : {std::pair{SamplingMode::Avx2, "AVX2"}, std::pair{SamplingMode::Avx512, "AVX-512"}}) {
        if (!samplingModeAvailable(mode)) {
            std::printf("%s: not run by this processor\n", name);
            continue;
        }
        ++checked;
        ok = checkMode(mode, name, recipOfLength) && ok;
    }
    if (checked == 0)
        return 77;
    return ok ? 0 : 1;
}
