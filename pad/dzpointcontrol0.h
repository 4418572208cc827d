#pragma once
// The pad cursor's track: the cursor's current position in pad units and a
// list of time keys (DzPointKey0), kept sorted by time, at most one per
// time. Inserting and removing keys pushes undo items while the host's undo
// stack takes items; the track changes either way.

#include "dztime.h"
#include "dzundoitem.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

struct DzPointKey0 {
    DzPointKey0(float x_ = 0.0f, float y_ = 0.0f, DzTime time_ = 0)
        : x(x_), y(y_), time(time_)
    {
    }
    float x;
    float y;
    DzTime time;
};

// Owns its keys, sorted by time.
class DzPointKeyList0
{
public:
    // 0 for equal times, 1 when a's time is greater, −1 otherwise.
    static int compareItems(const DzPointKey0 &a, const DzPointKey0 &b);

    int count() const { return static_cast<int>(m_keys.size()); }
    bool isEmpty() const { return m_keys.empty(); }
    DzPointKey0 *at(int i) const;
    void append(DzPointKey0 *key);
    void sort();
    // Removes and deletes; false when the key is not in the list.
    bool remove(DzPointKey0 *key);
    void clear() { m_keys.clear(); }

private:
    std::vector<std::unique_ptr<DzPointKey0>> m_keys;
};

class DzPointControl0 : public QObject
{
    Q_OBJECT
public:
    explicit DzPointControl0(QObject *parent = nullptr);

    float x = 0.0f;
    float y = 0.0f;

    const DzPointKeyList0 &keys() const { return m_keys; }

    // x, y = the track's value at t: a key's own position, or the linear
    // interpolation between the keys around t. Before the first key the
    // first key's position is held; after the last, and without keys,
    // x and y keep their values.
    void evaluate(DzTime t);
    DzPointKey0 *findKey(DzTime t) const;
    // (first key's time, last key's time); (0, 0) without keys.
    DzTimeRange keyRange() const;
    // Takes ownership; a key at the same time is removed first.
    void insertKey(DzPointKey0 *key);
    // Removes and deletes the key (ignored for a key not on the track).
    void removeKey(DzPointKey0 *key);
    void removeKeyAt(DzTime t);
    // Every key with start ≤ time ≤ end.
    void removeKeys(const DzTimeRange &range);
    void removeAllKeys();

signals:
    void keysChanged();

private:
    DzPointKeyList0 m_keys;
};

// Undo items of the cursor keys; they hold the track weakly, so an item that
// outlives its layer does nothing.
class DzControlInsertKeyUndoItem0 : public DzUndoItem
{
public:
    DzControlInsertKeyUndoItem0(DzPointControl0 *control, float x, float y, DzTime time);
    void undo() override;
    void redo() override;

private:
    QPointer<DzPointControl0> m_control;
    float m_x;
    float m_y;
    DzTime m_time;
};

class DzControlRemoveKeyUndoItem0 : public DzUndoItem
{
public:
    DzControlRemoveKeyUndoItem0(DzPointControl0 *control, float x, float y, DzTime time);
    void undo() override;
    void redo() override;

private:
    QPointer<DzPointControl0> m_control;
    float m_x;
    float m_y;
    DzTime m_time;
};
