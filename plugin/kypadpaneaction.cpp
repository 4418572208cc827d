#include "kypadpaneaction.h"

KyPadPaneAction::KyPadPaneAction()
    : DzPaneAction(QStringLiteral("KyPadPane"))
{
    setObjectName(QStringLiteral("KyPadPaneAction"));
}
