#include "recentfiles.h"

#include "dzappsettings.h"

#include <QFileInfo>

namespace {

const QString kPath = QStringLiteral("Studio");

QString keyFor(int i)
{
    return QStringLiteral("recent%1").arg(i);
}

} // namespace

QStringList RecentFiles::files()
{
    DzAppSettings settings(kPath);
    QStringList list;
    for (int i = 0; i < kMaxFiles; ++i) {
        const QString path = settings.getStringValue(keyFor(i));
        if (!path.isEmpty() && !list.contains(path))
            list.append(path);
    }
    return list;
}

void RecentFiles::add(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = files();
    list.removeAll(absolute);
    list.prepend(absolute);
    store(list);
}

void RecentFiles::remove(const QString &path)
{
    QStringList list = files();
    list.removeAll(QFileInfo(path).absoluteFilePath());
    list.removeAll(path);
    store(list);
}

void RecentFiles::clear()
{
    store(QStringList());
}

void RecentFiles::store(const QStringList &files)
{
    DzAppSettings settings(kPath);
    for (int i = 0; i < kMaxFiles; ++i) {
        if (i < files.size())
            settings.setStringValue(keyFor(i), files.at(i));
        else
            settings.removeValue(keyFor(i));
    }
    settings.sync();
}
