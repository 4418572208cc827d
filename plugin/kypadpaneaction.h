#pragma once

#include "dzpaneaction.h"

// Shows and hides the pose pad pane ("KyPadPane").
class KyPadPaneAction : public DzPaneAction {
    Q_OBJECT
public:
    KyPadPaneAction();
};
