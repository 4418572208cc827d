#pragma once
// The character rotational-offset tool, on or off.

#include "dzaction.h"

class KyMasterBoneOffsetTool : public DzAction
{
    Q_OBJECT
public:
    KyMasterBoneOffsetTool();
    // Takes its on state from the timeline pane.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};
