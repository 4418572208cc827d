#include "kymixerpoints.h"

#include "kyblock.h"

#include <algorithm>

bool KyMixerPoints::add(const QPoint &position, const KyBlock &block)
{
    if (count() >= kMaxPoints)
        return false;
    m_points.push_back(Point{position, std::unique_ptr<KyBlock>(block.clone())});
    return true;
}

void KyMixerPoints::setCurrent(int index)
{
    if (index >= 0 && index < count())
        m_current = index;
}

QPoint KyMixerPoints::position(int index) const
{
    if (index < 0 || index >= count())
        return QPoint();
    return m_points[static_cast<size_t>(index)].position;
}

KyBlock *KyMixerPoints::block(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_points[static_cast<size_t>(index)].block.get();
}

int KyMixerPoints::pick(const QPoint &pos) const
{
    if (m_points.empty())
        return -1;
    int best = std::clamp(m_current, 0, count() - 1);
    int bestDistance = (m_points[static_cast<size_t>(best)].position - pos).manhattanLength() - kCurrentBonus;
    for (int i = 0; i < count(); ++i) {
        if (i == best)
            continue;
        const int distance = (m_points[static_cast<size_t>(i)].position - pos).manhattanLength();
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

float KyMixerPoints::nextVelocity(float velocity, int distance, int elapsedMs)
{
    float speed = elapsedMs <= 0 ? 1.25f : 5.0f * static_cast<float>(distance) / static_cast<float>(elapsedMs);
    speed = std::min(speed, 1.25f);
    return 0.05f * speed + 0.95f * velocity;
}
