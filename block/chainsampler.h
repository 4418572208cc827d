#pragma once
// The chain sampler: what evaluateChain uses for a chain that is sampled
// (playback, scrubbing, baking, the engine's fades).
//
// Records of types 1 and 3 whose keys lie at identical times form a group:
// one key search (from the cursor of the group's first bound record) and
// one interpolation factor serve every record of the group. A group's
// rotation keys are copied at build time into rows of structure-of-arrays
// data, one row per key pair: the earlier key's vector p and the step d to
// the next key (already brought to the nearest turn), so that the rotation
// of p + u × d — length through the square root, axis through the
// reciprocal — is computed for eight (AVX2) or sixteen (AVX-512) bones at a
// time where the processor has them, with scalar arithmetic elsewhere. The
// copy takes at most three times the memory of the keys it copies: the
// rotations of groups too small to fill half their vector lanes are
// evaluated record by record.
// Every lane gives the same bits as the record-by-record evaluation: the
// vector square root and division are correctly rounded IEEE operations on
// the same exact double inputs that fxSqrt uses, and truncate to the same
// integers (bench/block/check_sampling_arithmetic tries every input).
//
// Nodes are written in chain order and every record's cursor ends as the
// record-by-record evaluation leaves it: a record whose cursor or sort flag
// differs from its group's lead is evaluated on its own, as are
// records of other types. The sampler notices any change made through
// appendKey, updateKeysSorted or noteRecordsChanged (channelrecord.h) and
// is then checked against the chain, and rebuilt when it no longer fits.
//
// After it is built, sampling allocates nothing.

#include "channelrecord.h"

#include <cstddef>

// Evaluates the chain at timeMs (clip ms) through its sampler, exactly as
// evaluateChainRecordByRecord would, and stores that function's result.
// The sampler is built at the chain's first sample (the only sample that
// allocates). False, having done nothing, when sampling is set to
// RecordByRecord, and for a while after a sampler went stale.
bool sampleChain(ChannelRecord *first, int timeMs, int *result);

// How chains are evaluated: record by record; through samplers with scalar
// arithmetic; or through samplers with AVX2 or AVX-512 arithmetic. The
// default is the best the processor runs. For checks and benchmarks: every
// mode gives the same results. A mode the processor lacks is not taken.
enum class SamplingMode { RecordByRecord, Scalar, Avx2, Avx512 };
void setSamplingMode(SamplingMode mode);
SamplingMode samplingMode();
SamplingMode bestSamplingMode();
bool samplingModeAvailable(SamplingMode mode);

// The vector arithmetic's square root and reciprocal of mode (Avx2 or
// Avx512), for the exhaustive check: roots[i] = fxSqrt(sums[i]) and, where
// that root r is not 0, recips[i] = fxRecip(2 r). count must be a multiple
// of 16. False, doing nothing, when the processor lacks the mode.
bool vectorRootAndRecip(SamplingMode mode, const Fixed *sums, Fixed *roots, Fixed *recips, size_t count);
