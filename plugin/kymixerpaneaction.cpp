#include "kymixerpaneaction.h"

KyMixerPaneAction::KyMixerPaneAction()
    : DzPaneAction(QStringLiteral("KyMixerPane"))
{
    setObjectName(QStringLiteral("KyMixerPaneAction"));
}
