#include "kymasterclearkeys.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"

KyMasterClearKeys::KyMasterClearKeys()
    : DzAction(QStringLiteral("Delete DS Keyframes"), QStringLiteral("Delete DS Keyframes"))
{
    setObjectName(QStringLiteral("KyMasterClearKeys"));
}

void KyMasterClearKeys::executeAction()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterClearKeys::executeAction()"))
        pane->clearDSKeys();
}
