#pragma once
// KyFinderView: the tile strip. A filter box and a "Choose a Folder" button
// above a scroll area whose contents hold one KyFinderBlock per block file
// of the folder shown, placed in columns from top to bottom. Files that do
// not load get no tile; they are listed with their reasons in the strip's
// tooltip and in the host's log. A placed block dragged out of a track
// ("KyMasterBlock") and dropped here is removed from its track.

#include "kyfinderlibrary.h"

#include <QWidget>

#include <vector>

class KyFinder;
class KyFinderBlock;
class QLineEdit;
class QScrollArea;
class QToolButton;

class KyFinderView : public QWidget
{
    Q_OBJECT
public:
    explicit KyFinderView(KyFinder *finder, QWidget *parent = nullptr);

    KyFinder *finder() const { return m_finder; }
    QString folder() const { return m_folder; }
    const std::vector<KyFinderBlock *> &tiles() const { return m_tiles; }
    // The tiles the filter lets through, in strip order.
    std::vector<KyFinderBlock *> shownTiles() const;
    const std::vector<KyFinderRefusal> &refused() const { return m_refused; }
    QScrollArea *scrollView() const { return m_scroll; }
    QLineEdit *filterBox() const { return m_filter; }
    QString filter() const;

    // Fills the strip with the tiles of path (remembered as the folder shown).
    void showFolder(const QString &path);
    // Shows the folder holding filePath.
    void showFolderOf(const QString &filePath);
    void setFilter(const QString &text);
    // A placed block's tile (KyMasterBlock, the drag's source) dropped on the
    // strip: its block leaves its track. False when source is no such tile.
    bool dropPlaced(QObject *source);

public slots:
    void chooseFolder();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeTiles();

    KyFinder *m_finder;
    QString m_folder;
    std::vector<KyFinderBlock *> m_tiles;
    std::vector<KyFinderRefusal> m_refused;
    QLineEdit *m_filter;
    QToolButton *m_chooseButton;
    QScrollArea *m_scroll;
    QWidget *m_contents;
};
