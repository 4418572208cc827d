#pragma once
// Option: new blocks reorient their horizontal position (flag 1).

#include "kymasteroption.h"

class KyMasterHor : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterHor();
};
