#pragma once

// Order of three Euler rotations, written the way BVH lists its rotation
// channels: the first axis is the outermost. An order XYZ with angles
// (ax, ay, az) is the rotation R = Rx(ax) * Ry(ay) * Rz(az), so a vector is
// turned about Z first and about X last. Angles are always given per axis
// (x, y, z), whatever the order.

#include <optional>
#include <string_view>

namespace trelvo::motion {

enum class EulerOrder { XYZ, XZY, YXZ, YZX, ZXY, ZYX };

// Axis indices (0 = X, 1 = Y, 2 = Z), outermost first.
struct EulerAxes
{
    int first;
    int second;
    int third;
};

constexpr EulerAxes eulerAxes(EulerOrder order)
{
    switch (order) {
    case EulerOrder::XYZ: return {0, 1, 2};
    case EulerOrder::XZY: return {0, 2, 1};
    case EulerOrder::YXZ: return {1, 0, 2};
    case EulerOrder::YZX: return {1, 2, 0};
    case EulerOrder::ZXY: return {2, 0, 1};
    case EulerOrder::ZYX: return {2, 1, 0};
    }
    return {0, 1, 2};
}

// The order whose axes are a, b, c (outermost first), or nothing when the
// three are not a permutation of X, Y, Z.
std::optional<EulerOrder> eulerOrderFromAxes(int a, int b, int c);

// "XYZ", "ZXY", ...
std::string_view eulerOrderName(EulerOrder order);

// Parses "XYZ" style names (case-insensitive); nothing when not an order.
std::optional<EulerOrder> eulerOrderFromName(std::string_view name);

} // namespace trelvo::motion
