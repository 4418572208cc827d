#pragma once

#include "kyfactory.h"

#include <QtGlobal>

#include <cstddef>

class DzPlugin;

// The plug-in's entry points, exported with C linkage.
extern "C" {
// The SDK version the plug-in was built against: 0x02000200.
Q_DECL_EXPORT unsigned int getSDKVersion();
// The plug-in definition, built when the library is loaded; the host never
// deletes it. Every call returns the same object.
Q_DECL_EXPORT DzPlugin *getPluginDefinition();
}

// Every class the host can create, in the order the definition lists their
// factories, with the identifiers that scenes and the host store.
constexpr std::size_t kFactoryTableSize = 37;
extern const KyFactoryRow kFactoryTable[kFactoryTableSize];
