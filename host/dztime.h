#pragma once

#include <QMetaType>

// Host time: ticks, 4800 per second. A frame is DzScene::getTimeStep() ticks
// (160 by default, 30 frames per second).
using DzTime = int;

constexpr DzTime DZ_TICKS_PER_SECOND = 4800;

// A closed time interval [start, end] in ticks. Ends are inclusive. A range
// whose end lies before its start contains no time at all.
class DzTimeRange
{
public:
    DzTimeRange() = default;
    DzTimeRange(DzTime start, DzTime end) : m_start(start), m_end(end) {}

    DzTime getStart() const { return m_start; }
    DzTime getEnd() const { return m_end; }
    void setStart(DzTime t) { m_start = t; }
    void setEnd(DzTime t) { m_end = t; }
    // end - start (negative for a reversed range).
    DzTime getDuration() const { return m_end - m_start; }
    bool contains(DzTime t) const { return m_start <= t && t <= m_end; }
    bool isEmpty() const { return m_end < m_start; }

    bool operator==(const DzTimeRange &o) const { return m_start == o.m_start && m_end == o.m_end; }
    bool operator!=(const DzTimeRange &o) const { return !(*this == o); }

private:
    DzTime m_start = 0;
    DzTime m_end = 0;
};

Q_DECLARE_METATYPE(DzTimeRange)
