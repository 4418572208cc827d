#pragma once
// Option: trim the host's animation range to the tracks after changes.

#include "dzaction.h"

class KyMasterTrimTimeline : public DzAction
{
    Q_OBJECT
public:
    KyMasterTrimTimeline();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
