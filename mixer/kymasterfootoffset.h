#pragma once
// Opens the high-heel dialog for the current figure.

#include "dzaction.h"

class KyMasterFootOffset : public DzAction
{
    Q_OBJECT
public:
    KyMasterFootOffset();

protected slots:
    void executeAction() override;
};
