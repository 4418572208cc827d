#pragma once
// Option: new blocks reorient each loop's horizontal position (flag 8).

#include "dzaction.h"

class KyMasterIntHor : public DzAction
{
    Q_OBJECT
public:
    KyMasterIntHor();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
