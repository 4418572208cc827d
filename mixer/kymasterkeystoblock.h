#pragma once
// Samples the selected figure's host keys into a new block file.

#include "dzaction.h"

class KyMasterKeysToBlock : public DzAction
{
    Q_OBJECT
public:
    KyMasterKeysToBlock();

protected slots:
    void executeAction() override;
};
