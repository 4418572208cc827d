// Exhaustive check of the chain sampler's vector square root and reciprocal
// against fxSqrt and fxRecip: every one of the 2^32 possible sums of
// squares, and with it every root the reciprocal can be taken of. Prints the first mismatch and exits 1; exits 0 when all agree and 77
// when the processor has no AVX2 (nothing to check). Takes some seconds.
#include "chainsampler.h"
#include "fixedpoint.h"

#include <cstdio>
#include <vector>

int main()
{
    if (!vectorSamplingAvailable()) {
        std::printf("no AVX2 here: the vector arithmetic is not used\n");
        return 77;
    }
    constexpr Fixed kRoots = 1 << 24;
    std::vector<Fixed> recipOfLength(kRoots);
    for (Fixed r = 1; r < kRoots; ++r)
        recipOfLength[static_cast<size_t>(r)] = fxRecip(2 * r);
    constexpr size_t kBatch = 1 << 16;
    std::vector<Fixed> sums(kBatch), roots(kBatch), recips(kBatch);
    std::vector<bool> rootSeen(kRoots);
    for (uint64_t base = 0; base < (UINT64_C(1) << 32); base += kBatch) {
        for (size_t i = 0; i < kBatch; ++i)
            sums[i] = static_cast<Fixed>(static_cast<uint32_t>(base + i));
        vectorRootAndRecip(sums.data(), roots.data(), recips.data(), kBatch);
        for (size_t i = 0; i < kBatch; ++i) {
            const Fixed root = fxSqrt(sums[i]);
            if (roots[i] != root || (root != 0 && recips[i] != recipOfLength[static_cast<size_t>(root)])) {
                std::printf("mismatch at sum 0x%08x: root %d (fxSqrt %d), reciprocal %d (fxRecip %d)\n",
                            static_cast<unsigned>(sums[i]), roots[i], root, recips[i],
                            root > 0 && root < kRoots ? recipOfLength[static_cast<size_t>(root)] : 0);
                return 1;
            }
            rootSeen[static_cast<size_t>(root)] = true;
        }
    }
    size_t distinct = 0;
    for (bool seen : rootSeen)
        distinct += seen ? 1 : 0;
    std::printf("all 2^32 sums: vector root and reciprocal equal fxSqrt and fxRecip (%zu distinct roots)\n",
                distinct);
    return 0;
}
