#include "dzrotationorder.h"

namespace {

struct OrderInfo {
    DzRotationOrder::Order order;
    const char *name;
    DzRotationOrder::Axis axes[3];
};

const OrderInfo kOrders[] = {
    {DzRotationOrder::XYZ, "XYZ", {DzRotationOrder::XAxis, DzRotationOrder::YAxis, DzRotationOrder::ZAxis}},
    {DzRotationOrder::XZY, "XZY", {DzRotationOrder::XAxis, DzRotationOrder::ZAxis, DzRotationOrder::YAxis}},
    {DzRotationOrder::YXZ, "YXZ", {DzRotationOrder::YAxis, DzRotationOrder::XAxis, DzRotationOrder::ZAxis}},
    {DzRotationOrder::YZX, "YZX", {DzRotationOrder::YAxis, DzRotationOrder::ZAxis, DzRotationOrder::XAxis}},
    {DzRotationOrder::ZXY, "ZXY", {DzRotationOrder::ZAxis, DzRotationOrder::XAxis, DzRotationOrder::YAxis}},
    {DzRotationOrder::ZYX, "ZYX", {DzRotationOrder::ZAxis, DzRotationOrder::YAxis, DzRotationOrder::XAxis}},
};

const OrderInfo &info(DzRotationOrder::Order order)
{
    const int i = static_cast<int>(order);
    return kOrders[(i >= 0 && i < 6) ? i : 0];
}

} // namespace

DzRotationOrder::Axis DzRotationOrder::getAxis(int position) const
{
    return info(m_order).axes[(position == 0 || position == 1) ? position : 2];
}

QString DzRotationOrder::toString() const
{
    return QString::fromLatin1(info(m_order).name);
}

DzRotationOrder DzRotationOrder::fromString(const QString &text, bool *ok)
{
    const QString upper = text.trimmed().toUpper();
    for (const OrderInfo &o : kOrders) {
        if (upper == QLatin1String(o.name)) {
            if (ok)
                *ok = true;
            return DzRotationOrder(o.order);
        }
    }
    if (ok)
        *ok = false;
    return DzRotationOrder(XYZ);
}
