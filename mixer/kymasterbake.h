#pragma once
// Bakes every timeline into host keys, frame by frame.

#include "dzaction.h"

class KyMasterBake : public DzAction
{
    Q_OBJECT
public:
    KyMasterBake();

protected slots:
    void executeAction() override;
};
