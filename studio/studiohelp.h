#pragma once

#include <QString>
#include <QStringList>

class PluginHost;

// The texts of the Help menu.
class StudioHelp {
public:
    static QString aboutText(const QString &version, const QString &contentDir);
    // Every installed plug-in with its version, library, description and
    // what it brought; then the start-up problems, if any.
    static QString pluginsText(const PluginHost &plugins, const QStringList &problems);
    static QString controlsText();
};
