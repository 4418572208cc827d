#pragma once
// Registers a widget's or action's online help with the host's help manager
// (the same text as short and long help). Nothing happens without a host.

#include <QString>

class QObject;

void kySetOnlineHelp(QObject *object, const QString &text);
