#pragma once

#include <QByteArray>
#include <QString>

// The studio's own settings in the host's application settings, under
// "Studio": window geometry and dock layout, auto-key, the grid, and the
// folder of the last file dialog. Missing or unreadable values give the
// defaults.
class StudioSettings {
public:
    static QByteArray geometry();
    static void setGeometry(const QByteArray &geometry);
    static QByteArray windowState();
    static void setWindowState(const QByteArray &state);
    static bool autoKey();
    static void setAutoKey(bool on);
    static bool showGrid();
    static void setShowGrid(bool on);
    // The last folder used when it still exists, else the home folder.
    static QString lastDirectory();
    // Remembers the folder of `filePath`.
    static void setLastDirectoryOf(const QString &filePath);

    static QString path() { return QStringLiteral("Studio"); }
};
