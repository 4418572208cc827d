#include "kymasteraddblock.h"

#include "kymaster.h"
#include "kymixeraccess.h"
#include "kymixerpane.h"

KyMasterAddBlock::KyMasterAddBlock()
    : DzAction(QStringLiteral("Add kinBlock\u2026"), QStringLiteral("Add kinBlock files to the current kinTimeline at the playhead"))
{
    setObjectName(QStringLiteral("KyMasterAddBlock"));
}

void KyMasterAddBlock::executeAction()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterAddBlock::executeAction()"))
        pane->master()->addBlock();
}
