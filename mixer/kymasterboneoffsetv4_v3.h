#pragma once
// Sets the V4 → V3 conversion table as the figure's rotational offsets.

#include "dzaction.h"

class KyMasterBoneOffsetV4_V3 : public DzAction
{
    Q_OBJECT
public:
    KyMasterBoneOffsetV4_V3();

protected slots:
    void executeAction() override;
};
