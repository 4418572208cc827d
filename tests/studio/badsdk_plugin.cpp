// A plug-in built against another SDK major version, which the studio must
// refuse with a clear message.
#include "dzplugin.h"

#include <QtGlobal>

extern "C" {
Q_DECL_EXPORT unsigned int getSDKVersion()
{
    return 0x03000000u;
}

Q_DECL_EXPORT DzPlugin *getPluginDefinition()
{
    static DzPlugin plugin(QStringLiteral("BadSdk"));
    return &plugin;
}
}
