#include "kypadhooks.h"
#include "kypadpaneinterface.h"

#include "engine.h"


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

std::function<KyPadPaneInterface *()> &paneLookup()
{
    static std::function<KyPadPaneInterface *()> lookup;
    return lookup;
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
    return paneLookup() ? paneLookup()() : nullptr;
}

void kyPadSetPaneLookup(std::function<KyPadPaneInterface *()> lookup)
{
    paneLookup() = std::move(lookup);
}
