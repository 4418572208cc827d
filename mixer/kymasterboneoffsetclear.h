#pragma once
// Switches the offset tool off and clears the figure's rotational offsets.

#include "dzaction.h"

class KyMasterBoneOffsetClear : public DzAction
{
    Q_OBJECT
public:
    KyMasterBoneOffsetClear();

protected slots:
    void executeAction() override;
};
