#pragma once

#include <QString>
#include <QStringList>

// The recently opened or saved scene files, newest first, kept in the
// application settings under "Studio/recent0" ... At most kMaxFiles; a file
// appears once (compared by absolute path).
class RecentFiles {
public:
    static QStringList files();
    // Moves `path` to the front.
    static void add(const QString &path);
    static void remove(const QString &path);
    static void clear();

    static constexpr int kMaxFiles = 8;

private:
    static void store(const QStringList &files);
};
