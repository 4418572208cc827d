#pragma once
// How the actions reach the main pane and the figure they act on.

struct FigureBinding;
class KyMixerPane;

// The main pane; null (and a line naming the caller in the host's log, for
// example "No KyMixerPane instance found in KyMasterBake::executeAction()")
// when there is none.
KyMixerPane *kyMixerPane(const char *caller);

// The binding of the timeline pane's current track when it has a figure;
// otherwise "No Skeleton Selected" is shown and null returned.
FigureBinding *kyCurrentFigure(const char *caller);
