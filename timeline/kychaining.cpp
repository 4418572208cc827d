#include "kychaining.h"

#include "dzmatrix3.h"
#include "dzquat.h"
#include "dzvec3.h"

namespace {

constexpr float kRadiansPerDegree = 0.017453290f;

DzVec3 toDz(const Vec3f &v)
{
    return DzVec3(v.x, v.y, v.z);
}

} // namespace

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
    Vec3f p;
    float facing = 0.0f;
    Vec3f axis{0.0f, 1.0f, 0.0f};
    BlockEndState previousEnd;
    bool first = true;
    for (KyBlock *block : blocks) {
        if (!block)
            continue;
        if (!first) {
            if (block->flags & KyBlock::ReorientHorizontalPosition) {
                p.x = previousEnd.position.x;
                p.z = previousEnd.position.z;
            }
            if (block->flags & KyBlock::ReorientFacing) {
                facing = previousEnd.facing;
                axis = previousEnd.axis;
            }
        }
        first = false;

        facing += block->facingOffset;
        const DzMatrix3 turn(DzQuat(toDz(axis), -facing * kRadiansPerDegree));
        const DzVec3 offset = turn.multVec(toDz(block->posOffset));
        block->startPos = Vec3f{p.x + offset.m_x, p.y + offset.m_y, p.z + offset.m_z};
        block->startFacing = facing;
        block->startAxis = axis;

        // The end state uses the loop shift of the previous pass: a new
        // looping block passes its displacement on from the next pass.
        BlockEndState end;
        end.position = block->startPos;
        end.facing = facing;
        end.axis = axis;
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
