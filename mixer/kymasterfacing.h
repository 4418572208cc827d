#pragma once
// Option: new blocks reorient their facing (flag 4).

#include "kymasteroption.h"

class KyMasterFacing : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterFacing();
};
