#include "kymixeraccess.h"

#include "figurebinding.h"
#include "kymixerpane.h"
#include "kyprompt.h"
#include "kytimeline.h"

#include "dzlog.h"

KyMixerPane *kyMixerPane(const char *caller)
{
    KyMixerPane *pane = KyMixerPane::instance();
    if (!pane)
        dzWarning(QStringLiteral("No KyMixerPane instance found in %1").arg(QLatin1String(caller)));
    return pane;
}

FigureBinding *kyCurrentFigure(const char *caller)
{
    KyMixerPane *pane = kyMixerPane(caller);
    if (!pane)
        return nullptr;
    FigureBinding *binding = pane->timeline()->currentBinding();
    if (!binding || !binding->skeleton()) {
        kyMessage(QStringLiteral("No Skeleton Selected"));
        return nullptr;
    }
    return binding;
}
