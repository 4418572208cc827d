#pragma once
// Time and pixel units of the timeline.
//
//  - timeline time: signed 32-bit milliseconds from the start of a track;
//  - host time: ticks, 4800 per second (DzTime);
//  - a snapped time is one brought to the nearest host frame (step ticks);
//  - track pixels: 40 per second of timeline time.
//
// Every product is formed in 64 bits and the result saturated to the int
// range, so a long timeline (ms × 4800 passes 2^31 after about 7.4 minutes)
// never overflows. Divisions truncate toward zero, as integer division does.

#include "dztime.h"

constexpr int kTicksPerSecond = 4800;
constexpr int kPixelsPerSecond = 40;

// ms × 4800 / 1000.
DzTime msToTicks(int ms);
// ticks × 1000 / 4800.
int ticksToMs(DzTime ticks);
// ((ticks + step / 2) / step) × step. A step below 1 is taken as 1.
DzTime snapTicks(DzTime ticks, DzTime step);
// The snapped ticks of a millisecond value, and those ticks back in ms.
DzTime snappedTicks(int ms, DzTime step);
int snappedMs(int ms, DzTime step);
// The same with the scene's time step (160 when there is no scene).
DzTime hostTimeStep();
DzTime snappedTicks(int ms);
int snappedMs(int ms);
// ms × 40 / 1000 and px × 1000 / 40.
int msToPixels(int ms);
int pixelsToMs(int px);
// The scene's current time in snapped milliseconds (0 without a scene).
int hostSnappedMs();
