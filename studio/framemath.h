#pragma once

#include "dztime.h"

#include <cmath>

// Host time (ticks) and the frames the user sees. A time between two frames
// shows as the nearest frame. A time step below 1 counts as 1.
class FrameMath {
public:
    static int frameForTime(DzTime time, DzTime step)
    {
        return int(std::lround(double(time) / double(step < 1 ? 1 : step)));
    }
    // Saturates instead of overflowing for frames far outside any range.
    static DzTime timeForFrame(int frame, DzTime step)
    {
        const double t = double(frame) * double(step < 1 ? 1 : step);
        if (t > 2147483647.0)
            return 2147483647;
        if (t < -2147483648.0)
            return -2147483647 - 1;
        return DzTime(t);
    }
};
