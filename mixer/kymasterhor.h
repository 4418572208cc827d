#pragma once
// Option: new blocks reorient their horizontal position (flag 1).

#include "dzaction.h"

class KyMasterHor : public DzAction
{
    Q_OBJECT
public:
    KyMasterHor();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
