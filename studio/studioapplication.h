#pragma once

#include "studiocommandline.h"

// Start-up of trelvo-studio: command line, display check, the host
// application object, content folder, main window, plug-ins, the first
// scene, and the --screenshot mode.
//
// Exit codes: 0 normal end (or --help/--version, or a screenshot written),
// 1 no display or the screenshot could not be written, 2 a command-line
// error.
class StudioApplication {
public:
    static int run(int argc, char **argv);

    // Milliseconds the studio lets the event loop run before a --screenshot
    // is taken, so that panes, layouts and delayed plug-in work settle.
    static constexpr int kScreenshotDelayMs = 600;
};
