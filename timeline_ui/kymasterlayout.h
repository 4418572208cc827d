#pragma once
// KyMasterLayout: one figure's track as a widget (object name "Skeletal"), a
// scroll area whose contents paint the ruler, the white band and the end of
// the host's animation range, and hold the playhead, a tile (KyMasterBlock)
// per placed block at y = 37 and the handles of the current tile.
//
// It wraps a KyTrack that the timeline owns: every change goes through the
// track, and the widgets follow its signals. Pixel arithmetic is the pane's
// KyTrackGeometry (zoom); every user edit made here is one undo step.
//
// Entry points for other parts of the program (the block library browser,
// scene loading, the pane's menus): insertBlockAt(), insertAtPlayhead(),
// insertFiles() and addBlocksFromDialog(). They refuse the track shown while
// no figure is chosen, record one undo step "Add kinBlock" and re-pose the
// figure.

#include "kytrackgeometry.h"

#include <QList>
#include <QMap>
#include <QScrollArea>

#include <memory>

class KyBlock;
class KyMaster;
class KyMasterAdjuster;
class KyMasterBlend;
class KyMasterBlock;
class KyMasterPlayhead;
class KyTrack;
class KyTrackContents;
class KyTrackEdit;
class QMimeData;

class KyMasterLayout : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int kTileY = 37;
    static constexpr int kPlayheadY = 21;
    static constexpr int kAdjusterY = 45;
    static constexpr int kBlendY = 68;
    static constexpr int kRulerTop = 13;
    static constexpr int kRulerBottom = 30; // exclusive
    // Time 0 lies this many pixels right of the contents' left edge, so that
    // the playhead and the left adjuster at time 0 are not cut off. "Track
    // x" below is contents x minus this: pixels from time 0.
    static constexpr int kOriginX = 6;

    KyMasterLayout(KyTrack *track, KyMaster *master, QWidget *parent = nullptr);
    ~KyMasterLayout() override;

    KyTrack *track() const { return m_track; }
    KyMaster *master() const { return m_master; }
    int bindingIndex() const;
    KyTrackGeometry geometry() const;
    // The tile of a block of this track, or null.
    KyMasterBlock *tileFor(const KyBlock *block) const;
    // Tiles in track order.
    QList<KyMasterBlock *> tiles() const;
    // Horizontal scroll offset of the contents (pixels).
    int scrollOffset() const;
    QWidget *contents() const;
    KyMasterPlayhead *playhead() const { return m_playhead; }
    // Null unless a current tile shows its handles.
    KyMasterBlend *blendHandle() const { return m_blend; }
    KyMasterAdjuster *leftAdjuster() const { return m_left; }
    KyMasterAdjuster *rightAdjuster() const { return m_right; }

    // --- inserting blocks --------------------------------------------------------
    // A copy of block, with the pane's default reorientation flags, goes
    // before the first tile whose centre lies right of track x. On the
    // track without a figure "No skeleton selected" is shown and nothing
    // happens (null). Returns the placed block.
    KyBlock *insertBlockAt(int trackX, const KyBlock &block, bool keepKeys = false);
    // The same at the playhead, which then moves to the end of the new block
    // so that further inserts line up; does nothing on the figure-less track.
    // (The library's double-click uses this. Scene loading places blocks
    // with KyTrack::appendBlock instead: no undo step, flags kept.)
    KyBlock *insertAtPlayhead(const KyBlock &block, bool keepKeys = false);
    // Loads block files and inserts them one after another at track x
    // (at the playhead when x is negative), as one undo step. Files that
    // cannot be read are named in one message. Returns how many were placed.
    int insertFiles(const QStringList &paths, int trackX = -1);
    // "Add kinBlock…": a file dialog in the content's kinBlocks/Trelvo
    // folder; the chosen files go in at the playhead.
    void addBlocksFromDialog();

    // --- gestures (tiles, handles and the ruler call these) -----------------------
    // Seeks to the frame under track x (limited to the track and the play
    // range) and moves the playhead there.
    void seekRuler(int trackX);
    // Previews the figure at ms and scrolls it into view.
    void skimTo(int ms);
    // A drop of "KyMasterBlock" at track x: the selected tiles as one run
    // in their order (two or more selected), else the source block.
    void moveTiles(int dropX, KyBlock *source);
    // Removes the selected blocks (Delete on a tile) as one undo step.
    void deleteSelected();
    // Opens and commits the undo step of a gesture that spans several events.
    void beginEdit();
    void commitEdit(const QString &caption);
    // Handles re-placed after the current tile changed size or place.
    void placeHandles();
    // Zoom by steps (positive: in), keeping the time under viewport x.
    void zoomBy(int steps, int viewportX);
    // The contents resized to the track and the zoom, tiles re-placed.
    void relayoutView();

    // Drops (the contents call these): text "KyMasterBlock" moves tiles of
    // this track; "text/uri-list" with .kba files, or a source object with a
    // "kyBlockPath" property (a library tile), inserts those blocks.
    bool canDrop(const QMimeData *data) const;
    void drop(const QMimeData *data, QObject *source, int trackX);

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

protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addTile(KyBlock *block);
    void removeTile(KyBlock *block);
    void rebuildTiles();
    void refreshTiles();
    void currentChanged(KyBlock *block);
    void destroyHandles();
    void playheadMoved(int ms);
    // Scrolls track x into view at the playhead's height.
    void showX(int x);

    KyTrack *m_track;
    KyMaster *m_master;
    KyTrackContents *m_contents;
    QMap<const KyBlock *, KyMasterBlock *> m_tiles;
    KyMasterPlayhead *m_playhead;
    KyMasterBlend *m_blend = nullptr;
    KyMasterAdjuster *m_left = nullptr;
    KyMasterAdjuster *m_right = nullptr;
    std::unique_ptr<KyTrackEdit> m_edit;
};
