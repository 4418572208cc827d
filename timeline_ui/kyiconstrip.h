#pragma once
// The button icons of the timeline pane's row: one strip of 275 × 29
// pixels, black and grey line art on a transparent background, from which
// each button takes a 28-pixel-high slice.

#include <QIcon>
#include <QPixmap>

enum class KyIcon { Loop, GotoStart, PlayStop, GotoEnd, Split, Join, Crop };

// The whole strip (drawn once).
const QPixmap &kyIconStrip();
// The slice of one button: (x, width) of the strip, 28 pixels from the top.
QIcon kyIcon(KyIcon icon);
