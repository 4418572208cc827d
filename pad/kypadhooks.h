#pragma once
// Where the pad reaches the rest of the plug-in: the main pane's logic (its
// recording request and drag velocity, the animation update) and the
// wall-clock millisecond timer. Both are replaceable so that scripted
// sessions and tests drive the pad with their own core and a fake clock.

#include <functional>

class KyMixerCore;
class KyPadPaneInterface;

// The main pane's core, or null.
KyMixerCore *kyPadMixerCore();
void kyPadSetMixerCoreProvider(std::function<KyMixerCore *()> provider);

// Milliseconds of the pad's clock (the engine's elapsedMs() by default).
int kyPadNow();
// Null restores the default.
void kyPadSetClock(std::function<int()> clock);

// How kyPadPaneInterface() finds the pad pane. The pane manager belongs to
// the widgets, so the pad pane installs a lookup through it when it is
// made; until then, and after a null lookup, there is no pane.
void kyPadSetPaneLookup(std::function<KyPadPaneInterface *()> lookup);
