#pragma once

// A float triple: positions in centimetres, axes, per-cycle displacements.
struct Vec3f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};
