#include "kychaining.h"

bool blockEndState(const KyBlock &block, BlockEndState *state)
{
    BlockEndState s;
    if (!block.endPose(&s.position, &s.facing, &s.axis, false))
        return false;
    *state = s;
    return true;
}

bool clipDisplacement(const KyBlock &block, BlockEndState *state)
{
    BlockEndState s;
    if (!block.cycleEndPose(&s.position, &s.facing, &s.axis, true))
        return false;
    *state = s;
    return true;
}

void chainBlocks(const std::vector<KyBlock *> &blocks)
{
    KyPlacement from;
    BlockEndState previousEnd;
    bool first = true;
    for (KyBlock *block : blocks) {
        if (!block)
            continue;
        from = block->placeAfter(from, first ? nullptr : &previousEnd);
        first = false;

        // The end state uses the loop shift of the previous pass: a new
        // looping block passes its displacement on from the next pass.
        BlockEndState end;
        end.position = block->startPos;
        end.facing = block->startFacing;
        end.axis = block->startAxis;
        blockEndState(*block, &end);
        previousEnd = end;

        block->loopShift = Vec3f();
        if (block->flags & KyBlock::ReorientInternalHorizontalPosition) {
            BlockEndState cycle;
            if (clipDisplacement(*block, &cycle)) {
                block->loopShift.x = cycle.position.x;
                block->loopShift.z = cycle.position.z;
            }
        }
    }
}
