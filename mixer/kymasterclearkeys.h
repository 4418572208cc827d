#pragma once
// Deletes the selected figure's host keys in the play range.

#include "dzaction.h"

class KyMasterClearKeys : public DzAction
{
    Q_OBJECT
public:
    KyMasterClearKeys();

protected slots:
    void executeAction() override;
};
