#include "kymasterfootoffset.h"

#include "kymixeraccess.h"
#include "kydialogrunner.h"
#include "kymasterfootdialog.h"
#include "kymixerpane.h"

KyMasterFootOffset::KyMasterFootOffset()
    : DzAction(QStringLiteral("High Heel Offset"), QStringLiteral("High Heel Offset"))
{
    setObjectName(QStringLiteral("KyMasterFootOffset"));
}

void KyMasterFootOffset::executeAction()
{
    if (!kyCurrentFigure("KyMasterFootOffset::executeAction()"))
        return;
    KyMasterFootDialog dialog(KyMixerPane::instance()->master());
    kyRunDialog(dialog);
}
