#pragma once
// Option: leave the fingers alone when posing.

#include "dzaction.h"

class KyMasterMaskFingers : public DzAction
{
    Q_OBJECT
public:
    KyMasterMaskFingers();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
