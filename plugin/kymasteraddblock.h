#pragma once

#include "dzaction.h"

// "Add kinBlock…": block files chosen in a file dialog go onto the current
// figure's kinTimeline at the playhead (the pane's context menu has it too).
class KyMasterAddBlock : public DzAction
{
    Q_OBJECT
public:
    KyMasterAddBlock();

protected slots:
    void executeAction() override;
};
