#pragma once
// Option: previewing with the mouse (skimming).

#include "kymasteroption.h"

class KyMasterSkimming : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterSkimming();
};
