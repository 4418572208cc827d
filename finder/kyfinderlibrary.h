#pragma once
// The block library browser's rules without its widgets: the root folders
// kept in the application settings, the listing of a folder's block files,
// tile labels, tooltips and filtering, where tiles go in the strip and when
// a press on a tile becomes a drag.

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

class KyBlock;

// --- root folders ----------------------------------------------------------
// Settings path and key pattern of the root folders ("Trelvo", "root%1").
QString kyFinderSettingsPath();
QString kyFinderRootKey(int index);
// The stored root paths in tree order: keys root0, root1, … up to the first
// missing or empty one. Paths are returned as stored (they may no longer
// exist; the tree skips those).
QStringList kyFinderReadRoots();
// Stores paths as root0 … root(n−1) and removes the key root(n), so that a
// list that shrank by one ends where it should.
void kyFinderWriteRoots(const QStringList &absolutePaths);

// --- the files of a folder ---------------------------------------------------
struct KyFinderRefusal {
    QString path;   // the file
    QString reason; // why it could not be read
};

struct KyFinderListing {
    std::vector<KyBlock *> blocks; // registry blocks (not owned), name order
    std::vector<KyFinderRefusal> refused;
};

// Reads every "*.kba" file of folder (name order ignoring case) through the
// block registry. Files that do not load are listed with their reason.
KyFinderListing kyFinderList(const QString &folder);

// The text the strip shows as its tooltip for refused files; empty when
// every file loaded.
QString kyFinderRefusalText(const std::vector<KyFinderRefusal> &refused);

// --- tiles ----------------------------------------------------------------------
// A tile's label: without a leading "s_", cut to 15 characters followed by
// "...", underscores as spaces.
QString kyFinderLabel(const QString &name);
// The block name with underscores as spaces (the tile's help text).
QString kyFinderHelpText(const QString &name);
// Tooltip: the help text and the shown length, e.g. "walk fast (1.27 s)".
QString kyFinderToolTip(const KyBlock &block);
// Whether a block shows under a filter text (case-insensitive part of the
// name, underscores and spaces alike); an empty filter shows everything.
bool kyFinderMatches(const KyBlock &block, const QString &filter);

// Tile placement in the strip's contents (pixels): the first tile at
// (10, 7); after a tile of size tile at at, the next goes below it, unless
// it would come within tile height + 7 of the strip's bottom (viewHeight),
// then it starts a new column 10 pixels to the right.
QPoint kyFinderFirstTilePosition();
QPoint kyFinderNextTilePosition(const QPoint &at, const QSize &tile, int viewHeight);

// A press becomes a drag once the pointer has moved startDistance or more
// (Manhattan length) from where it was pressed.
bool kyFinderDragStarts(const QPoint &press, const QPoint &now, int startDistance);

// The drag payloads recognised by the strip and the tracks.
inline const char *kyFinderDragText()
{
    return "KyFinderBlock";
}
inline const char *kyPlacedBlockDragText()
{
    return "KyMasterBlock";
}
