#pragma once
// Option: new blocks reorient their internal horizontal position (flag 8).

#include "kymasteroption.h"

class KyMasterIntHor : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterIntHor();
};
