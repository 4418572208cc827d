#pragma once
// Option: leave the fingers to the host's own animation.

#include "kymasteroption.h"

class KyMasterMaskFingers : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterMaskFingers();
};
