#include "kyfinderlibrary.h"

#include "kyblock.h"

#include "dzappsettings.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QFileInfo>

QString kyFinderSettingsPath()
{
    return QStringLiteral("Trelvo");
}

QString kyFinderRootKey(int index)
{
    return QStringLiteral("root%1").arg(index);
}

QStringList kyFinderReadRoots()
{
    DzAppSettings settings;
    settings.pushPath(kyFinderSettingsPath());
    QStringList roots;
    for (int i = 0;; ++i) {
        const QString path = settings.getStringValue(kyFinderRootKey(i));
        if (path.isEmpty())
            break;
        roots.append(path);
    }
    settings.popPath();
    return roots;
}

void kyFinderWriteRoots(const QStringList &absolutePaths)
{
    DzAppSettings settings;
    settings.pushPath(kyFinderSettingsPath());
    for (int i = 0; i < absolutePaths.size(); ++i)
        settings.setStringValue(kyFinderRootKey(i), absolutePaths.at(i));
    settings.removeValue(kyFinderRootKey(static_cast<int>(absolutePaths.size())));
    settings.popPath();
    settings.sync();
}

namespace {

// Files refused before, by path, with the time and size they had then: a
// failed read still takes a slot of the block core's fixed store, so a file
// is not read again until it changes.
struct Refused {
    QDateTime modified;
    qint64 size = 0;
    QString reason;
};

QHash<QString, Refused> &refusedFiles()
{
    static QHash<QString, Refused> files;
    return files;
}

} // namespace

KyFinderListing kyFinderList(const QString &folder)
{
    KyFinderListing listing;
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QStringList{QStringLiteral("*.kba")},
                                                  QDir::Files | QDir::Hidden | QDir::System,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &file : files) {
        const QString path = file.absoluteFilePath();
        const auto known = refusedFiles().constFind(path);
        if (known != refusedFiles().constEnd() && known->modified == file.lastModified()
            && known->size == file.size()) {
            listing.refused.push_back({path, known->reason});
            continue;
        }
        QString error;
        if (KyBlock *block = KyBlock::get(path, &error)) {
            refusedFiles().remove(path);
            listing.blocks.push_back(block);
            continue;
        }
        if (error.isEmpty())
            error = QStringLiteral("not a kinBlock file");
        refusedFiles().insert(path, {file.lastModified(), file.size(), error});
        listing.refused.push_back({path, error});
    }
    return listing;
}

QString kyFinderRefusalText(const std::vector<KyFinderRefusal> &refused)
{
    if (refused.empty())
        return QString();
    QStringList lines;
    lines.append(refused.size() == 1 ? QStringLiteral("1 kinBlock file could not be read:")
                                     : QStringLiteral("%1 kinBlock files could not be read:").arg(refused.size()));
    for (const KyFinderRefusal &r : refused)
        lines.append(QStringLiteral("%1: %2").arg(QFileInfo(r.path).fileName(), r.reason));
    return lines.join(QLatin1Char('\n'));
}

QString kyFinderLabel(const QString &name)
{
    return kyBlockLabel(name);
}

QString kyFinderHelpText(const QString &name)
{
    QString text = name;
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    return text;
}

QString kyFinderToolTip(const KyBlock &block)
{
    const double seconds = (static_cast<double>(block.outPoint) - block.inPoint) / 1000.0;
    return QStringLiteral("%1 (%2 s)").arg(kyFinderHelpText(block.name)).arg(seconds, 0, 'f', 2);
}

bool kyFinderMatches(const KyBlock &block, const QString &filter)
{
    const QString wanted = kyFinderHelpText(filter.trimmed());
    return wanted.isEmpty() || kyFinderHelpText(block.name).contains(wanted, Qt::CaseInsensitive);
}

QPoint kyFinderFirstTilePosition()
{
    return QPoint(10, 7);
}

QPoint kyFinderNextTilePosition(const QPoint &at, const QSize &tile, int viewHeight)
{
    const int below = at.y() + tile.height() + 7;
    if (below < viewHeight - tile.height() - 7)
        return QPoint(at.x(), below);
    return QPoint(at.x() + tile.width() + 10, 7);
}

bool kyFinderDragStarts(const QPoint &press, const QPoint &now, int startDistance)
{
    return (now - press).manhattanLength() >= startDistance;
}
