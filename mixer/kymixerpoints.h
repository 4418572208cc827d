#pragma once
// The mouse-driven block mixer of the main pane's surface: up to 100 points,
// each holding a block dropped from a track. Moving the mouse plays the
// block of the nearest point (Manhattan distance; the current point counts
// 20 pixels nearer, so the mouse must clearly move to another point), at a
// speed that follows the mouse.
//
// Each point keeps its own copy of the dropped block, so removing the tile
// from its track later cannot leave a point with a dangling block.

#include <QPoint>

#include <memory>
#include <vector>

class KyBlock;

class KyMixerPoints
{
public:
    static constexpr int kMaxPoints = 100;
    static constexpr int kCurrentBonus = 20;

    // Adds a point with a copy of block; false (nothing added) when all 100
    // points are in use.
    bool add(const QPoint &position, const KyBlock &block);
    int count() const { return static_cast<int>(m_points.size()); }
    int current() const { return m_current; }
    void setCurrent(int index);
    QPoint position(int index) const;
    KyBlock *block(int index) const;

    // The point the mouse at pos plays: the nearest by Manhattan distance,
    // the current one counted 20 pixels nearer; −1 without points.
    int pick(const QPoint &pos) const;

    // The drag velocity after a move of distance pixels in elapsedMs
    // (elapsedMs ≤ 0 on the first move counts as the fastest): speed =
    // 5 × distance / elapsed, at most 1.25; velocity = 0.05 × speed + 0.95 ×
    // previous velocity.
    static float nextVelocity(float velocity, int distance, int elapsedMs);

private:
    struct Point {
        QPoint position;
        std::unique_ptr<KyBlock> block;
    };
    std::vector<Point> m_points;
    int m_current = 0;
};
