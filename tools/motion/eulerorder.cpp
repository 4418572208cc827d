#include "eulerorder.h"

#include <array>

namespace trelvo::motion {

namespace {

constexpr std::array<EulerOrder, 6> kOrders = {EulerOrder::XYZ, EulerOrder::XZY, EulerOrder::YXZ,
                                               EulerOrder::YZX, EulerOrder::ZXY, EulerOrder::ZYX};

int axisFromLetter(char c)
{
    switch (c) {
    case 'x': case 'X': return 0;
    case 'y': case 'Y': return 1;
    case 'z': case 'Z': return 2;
    default: return -1;
    }
}

} // namespace

std::optional<EulerOrder> eulerOrderFromAxes(int a, int b, int c)
{
    for (EulerOrder order : kOrders) {
        const EulerAxes axes = eulerAxes(order);
        if (axes.first == a && axes.second == b && axes.third == c)
            return order;
    }
    return std::nullopt;
}

std::string_view eulerOrderName(EulerOrder order)
{
    switch (order) {
    case EulerOrder::XYZ: return "XYZ";
    case EulerOrder::XZY: return "XZY";
    case EulerOrder::YXZ: return "YXZ";
    case EulerOrder::YZX: return "YZX";
    case EulerOrder::ZXY: return "ZXY";
    case EulerOrder::ZYX: return "ZYX";
    }
    return "XYZ";
}

std::optional<EulerOrder> eulerOrderFromName(std::string_view name)
{
    if (name.size() != 3)
        return std::nullopt;
    return eulerOrderFromAxes(axisFromLetter(name[0]), axisFromLetter(name[1]), axisFromLetter(name[2]));
}

} // namespace trelvo::motion
