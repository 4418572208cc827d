#include "kymasterkeystoblock.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"

KyMasterKeysToBlock::KyMasterKeysToBlock()
    : DzAction(QStringLiteral("Create kinBlock From DS Keyframes"), QStringLiteral("Create kinBlock From DS Keyframes"))
{
    setObjectName(QStringLiteral("KyMasterKeysToBlock"));
}

void KyMasterKeysToBlock::executeAction()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterKeysToBlock::executeAction()"))
        pane->createKinBlockFromScene();
}
