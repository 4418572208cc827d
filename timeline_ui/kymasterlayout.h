#pragma once
// KyMasterLayout: one figure's track as a widget (object name "Skeletal"), a
// scroll area whose contents hold a tile (KyMasterBlock) per placed block at
// y = 37, positioned from the block start times (40 pixels per second).
//
// It wraps a KyTrack that the timeline owns: every change goes through the
// track, and the tiles follow its signals. The parameter slots the block
// dialog connects to are forwarded to the track.

#include <QList>
#include <QMap>
#include <QScrollArea>

class KyBlock;
class KyMaster;
class KyMasterBlock;
class KyTrack;

class KyMasterLayout : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int kTileY = 37;
    static constexpr int kPlayheadY = 21;

    KyMasterLayout(KyTrack *track, KyMaster *master, QWidget *parent = nullptr);
    ~KyMasterLayout() override;

    KyTrack *track() const { return m_track; }
    KyMaster *master() const { return m_master; }
    int bindingIndex() const;
    // The tile of a block of this track, or null.
    KyMasterBlock *tileFor(const KyBlock *block) const;
    // Tiles in track order.
    QList<KyMasterBlock *> tiles() const;
    // Horizontal scroll offset of the contents (pixels).
    int scrollOffset() const;
    QWidget *contents() const { return m_contents; }

public slots:
    void flagsHor(bool on);
    void flagsFacing(bool on);
    void flagsIHor(bool on);
    void speedChanged(int percent);
    void iblend_vChanged(int ms);
    void rotyOffsetChanged(int degrees);
    void posxOffsetChanged(int value);
    void posyOffsetChanged(int value);
    void poszOffsetChanged(int value);
    void mirrorChanged(bool on);

private:
    void addTile(KyBlock *block);
    void removeTile(KyBlock *block);
    void placeTiles();
    void refreshTiles();
    void focusCurrent(KyBlock *block);

    KyTrack *m_track;
    KyMaster *m_master;
    QWidget *m_contents;
    QMap<const KyBlock *, KyMasterBlock *> m_tiles;
};
