#pragma once
// Option: new blocks reorient their facing (flag 4).

#include "dzaction.h"

class KyMasterFacing : public DzAction
{
    Q_OBJECT
public:
    KyMasterFacing();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
