#include "kytime.h"

#include "dzscene.h"

#include <cstdint>
#include <limits>

namespace {

int saturate(int64_t v)
{
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

} // namespace

DzTime msToTicks(int ms)
{
    return saturate(static_cast<int64_t>(ms) * kTicksPerSecond / 1000);
}

int ticksToMs(DzTime ticks)
{
    return saturate(static_cast<int64_t>(ticks) * 1000 / kTicksPerSecond);
}

DzTime snapTicks(DzTime ticks, DzTime step)
{
    const int64_t s = step < 1 ? 1 : step;
    return saturate((static_cast<int64_t>(ticks) + s / 2) / s * s);
}

DzTime snappedTicks(int ms, DzTime step)
{
    return snapTicks(msToTicks(ms), step);
}

int snappedMs(int ms, DzTime step)
{
    return ticksToMs(snappedTicks(ms, step));
}

DzTime hostTimeStep()
{
    return dzScene ? dzScene->getTimeStep() : 160;
}

DzTime snappedTicks(int ms)
{
    return snappedTicks(ms, hostTimeStep());
}

int snappedMs(int ms)
{
    return snappedMs(ms, hostTimeStep());
}

int msToPixels(int ms)
{
    return saturate(static_cast<int64_t>(ms) * kPixelsPerSecond / 1000);
}

int pixelsToMs(int px)
{
    return saturate(static_cast<int64_t>(px) * 1000 / kPixelsPerSecond);
}

int hostSnappedMs()
{
    if (!dzScene)
        return 0;
    return snappedMs(ticksToMs(dzScene->getTime()), dzScene->getTimeStep());
}
