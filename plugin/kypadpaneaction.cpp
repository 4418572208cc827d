#include "kypadpaneaction.h"

KyPadPaneAction::KyPadPaneAction()
    : DzPaneAction(QStringLiteral("KyPadPane"))
{
    setObjectName(QStringLiteral("KyPadPaneAction"));
    // The menu shows the pane's caption, not its class name.
    setText(QStringLiteral("kinPad"));
}
