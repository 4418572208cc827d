#pragma once
// Sets the V4 → A3/S3/D3 conversion table as the figure's rotational offsets.

#include "dzaction.h"

class KyMasterBoneOffsetV4_A3 : public DzAction
{
    Q_OBJECT
public:
    KyMasterBoneOffsetV4_A3();

protected slots:
    void executeAction() override;
};
