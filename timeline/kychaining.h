#pragma once
// Chaining: places every block of a track in one common space, so that each
// block starts where (and facing where) the one before it ended, as far as
// its reorientation flags ask.
//
//   block:   |--- A ---|-- B --|---- C ----|
//   start:   P=0,F=0    P=A.end (flag 1)  ...
//
// Walking the blocks in order with the previous block's start position P,
// facing F (degrees) and axis A, and its end state (E, Fe, Ae):
//  1. the first block starts at P = 0, F = 0, A = (0, 1, 0); a later one
//     keeps P, F, A, then takes E.x/E.z with flag 1 and Fe/Ae with flag 4;
//  2. F += facingOffset;
//  3. startPos = P + R(A, F) × posOffset; startFacing = F; startAxis = A
//     (steps 1 to 3 are KyBlock::placeAfter, which join uses too; F turns
//     the path, the figure and the offset alike, +Z toward +X);
//  4. the end state comes from KyBlock::endPose with the new start transform
//     and the loop shift the block holds now (the previous pass's);
//  5. loopShift = (0, 0, 0), or with flag 8 the x/z of the clip's own
//     displacement over one cycle (KyBlock::cycleEndPose from zero).
// A block whose clip cannot be evaluated (shorter than one ms, no motion)
// ends where it starts and has no loop shift.

#include "kyblock.h"
#include "vec3f.h"

#include <vector>

// Where a block ends: root position, the figure's heading (degrees, snapped
// to 45 by the engine) and its axis.
using BlockEndState = KyPlacement;

// The block's end state from its start transform (false when its clip has
// no evaluable motion; state untouched).
bool blockEndState(const KyBlock &block, BlockEndState *state);
// The clip's own end from a zero start transform, without loops.
bool clipDisplacement(const KyBlock &block, BlockEndState *state);

// Recomputes startPos, startFacing, startAxis and loopShift of the blocks,
// in order. Uses the playback engine's pose evaluation, so the node table
// holds the last evaluated end pose afterwards.
void chainBlocks(const std::vector<KyBlock *> &blocks);
