#include "kyhelp.h"

#include "dzapp.h"
#include "dzhelpmgr.h"

void kySetOnlineHelp(QObject *object, const QString &text)
{
    if (dzApp && dzApp->getHelpMgr())
        dzApp->getHelpMgr()->setOnlineHelp(object, text);
}
