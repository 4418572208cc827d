#pragma once
// Switches the offset tool off and clears the figure's rotational offsets.

#include "dzaction.h"

class KyMasterBoneOffsetNone : public DzAction
{
    Q_OBJECT
public:
    KyMasterBoneOffsetNone();

protected slots:
    void executeAction() override;
};
