#include "studiohelp.h"

#include "dzplugin.h"
#include "pluginhost.h"

#include <QDir>

QString StudioHelp::aboutText(const QString &version, const QString &contentDir)
{
    return QStringLiteral("Trelvo Studio %1\n\nPose and animate figures, and compose their animation from "
                          "recorded motion blocks with the Trelvo plug-in.\n\nContent folder: %2")
        .arg(version, QDir::toNativeSeparators(contentDir));
}

QString StudioHelp::pluginsText(const PluginHost &plugins, const QStringList &problems)
{
    QStringList lines;
    for (const PluginHost::Installed &p : plugins.installed()) {
        if (!p.plugin)
            continue;
        lines << QStringLiteral("%1 %2 (%3)")
                     .arg(p.plugin->getName(), p.plugin->getVersionString(),
                         QDir::toNativeSeparators(p.libraryPath));
        // Descriptions are written for a rich-text host.
        QString description = p.plugin->getDescription();
        description.remove(QStringLiteral("<br>"));
        if (!description.trimmed().isEmpty())
            lines << QStringLiteral("    %1").arg(description.trimmed());
        lines << QStringLiteral("    %1 classes, %2 panes, %3 actions")
                     .arg(p.plugin->getNumClassFactories())
                     .arg(p.panes.size())
                     .arg(p.actions.size());
    }
    if (lines.isEmpty())
        lines << QStringLiteral("No plug-in is loaded.");
    if (!problems.isEmpty())
        lines << QString() << QStringLiteral("Problems at start-up:") << problems;
    return lines.join(QLatin1Char('\n'));
}

QString StudioHelp::controlsText()
{
    return QStringLiteral("Viewport\n"
                          "  Click a joint or bone: select that bone\n"
                          "  Double-click a bone: select its figure\n"
                          "  Click the ring under a figure: select the figure\n"
                          "  Drag (left or right button): orbit\n"
                          "  Shift+drag or middle drag: pan\n"
                          "  Wheel: zoom    F: frame the selection    Home: reset the view\n\n"
                          "Animation\n"
                          "  Space: play / pause    Alt+Left / Alt+Right: previous / next frame\n"
                          "  Ctrl+K: set key    Ctrl+Shift+K: delete key\n"
                          "  Parameters: the diamond beside a value sets or deletes its key;\n"
                          "  right-click a value for more.");
}
