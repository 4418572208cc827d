#pragma once

#include "dzpaneaction.h"

// Shows and hides the main pane ("KyMixerPane").
class KyMixerPaneAction : public DzPaneAction {
    Q_OBJECT
public:
    KyMixerPaneAction();
};
