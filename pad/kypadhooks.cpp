#include "kypadhooks.h"
#include "kypadpaneinterface.h"

#include "engine.h"

#include "dzapp.h"
#include "dzmainwindow.h"
#include "dzpane.h"
#include "dzpanemgr.h"

namespace {

std::function<KyMixerCore *()> &coreProvider()
{
    static std::function<KyMixerCore *()> provider;
    return provider;
}

std::function<int()> &padClock()
{
    static std::function<int()> c;
    return c;
}

} // namespace

KyMixerCore *kyPadMixerCore()
{
    return coreProvider() ? coreProvider()() : nullptr;
}

void kyPadSetMixerCoreProvider(std::function<KyMixerCore *()> provider)
{
    coreProvider() = std::move(provider);
}

int kyPadNow()
{
    return padClock() ? padClock()() : static_cast<int>(elapsedMs());
}

void kyPadSetClock(std::function<int()> c)
{
    padClock() = std::move(c);
}

KyPadPaneInterface *kyPadPaneInterface()
{
    if (!dzApp || !dzApp->getInterface() || !dzApp->getInterface()->getPaneMgr())
        return nullptr;
    DzPane *pane = dzApp->getInterface()->getPaneMgr()->findPane(QStringLiteral("KyPadPane"));
    return dynamic_cast<KyPadPaneInterface *>(pane);
}
