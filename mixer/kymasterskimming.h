#pragma once
// Option: previewing with the mouse (skimming).

#include "dzaction.h"

class KyMasterSkimming : public DzAction
{
    Q_OBJECT
public:
    KyMasterSkimming();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
