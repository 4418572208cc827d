#pragma once
// KyTrackGeometry: the pixel arithmetic of a track view, free of widgets so
// that tests call it directly. One value, the zoom (pixels per second of
// timeline time, 40 by default, 10 … 400), scales every conversion; at 40
// every result is the track's classic ms × 40 / 1000 arithmetic exactly.
//
// x values are contents pixels (the scroll offset already added); tile-local
// values are pixels from the tile's left edge. Products are formed in 64 bits
// and saturated, divisions truncate toward zero.

#include <set>

class KyBlock;
class KyTrack;

struct KyTrackGeometry {
    static constexpr int kDefaultPixelsPerSecond = 40;
    static constexpr int kMinPixelsPerSecond = 10;
    static constexpr int kMaxPixelsPerSecond = 400;

    // Clamped into the range above.
    explicit KyTrackGeometry(int pixelsPerSecond = kDefaultPixelsPerSecond);
    int pixelsPerSecond() const { return m_pps; }

    int msToPx(int ms) const;
    int pxToMs(int px) const;

    // Tile of block index: x = start in pixels, width = visible length.
    int tileX(const KyTrack &track, int index) const;
    int tileWidth(const KyTrack &track, int index) const;
    // Index before which a block inserted at x goes: the first tile whose
    // horizontal centre lies right of x, else count().
    int insertIndexAt(const KyTrack &track, int x) const;
    // Where a moved block lands, as the index among the other blocks: the
    // block is taken out (everything after it closes up), x shrinks by the
    // block's width when the block lay left of x, and the first remaining
    // tile whose centre lies right of x is the one it goes before.
    int moveIndexAt(const KyTrack &track, int from, int x) const;
    // The gap of a slide: max(0, x − pressX − slideOffset) in ms, where
    // slideOffset is the pixel where the previous block ends.
    int slideGap(int x, int pressX, int slideOffset) const;
    // The block whose tile spans x strictly (left < x < right), the last one
    // in track order; −1 when none.
    int tileUnder(const KyTrack &track, int x) const;

    // Ruler seek and playhead drag: x limited to the larger of the track
    // length and the play range end (both given here in ms), then to 0.
    int seekX(int x, int trackLengthMs, int playEndMs) const;

    // Handles of a block; tile-local pointer x in, new values out.
    // Left adjuster: the new inPoint (ms), x = inPointAtPress in pixels +
    // pointerX, kept within 0 … min(outPoint, one clip pass) − 8 pixels.
    int leftAdjusterInPoint(const KyBlock &block, int inPointAtPress, int pointerX) const;
    // Right adjuster: the new visible length in pixels, pointerX kept within
    // 8 … 30000 pixels and snapped back onto a loop boundary when it lies
    // less than 300 ms past it.
    int rightAdjusterX(const KyBlock &block, int pointerX) const;
    // Blend handle: the new blendIn (ms), pointerX kept within the tile and
    // one clip pass.
    int blendInAt(const KyBlock &block, int tileWidth, int pointerX) const;
    // The x positions (tile pixels) of the loop marks: none unless outPoint
    // passes one clip pass.
    std::set<int> loopMarks(const KyBlock &block) const;

private:
    int m_pps;
};
