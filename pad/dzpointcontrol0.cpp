#include "dzpointcontrol0.h"

#include "dzundostack.h"

#include <algorithm>

int DzPointKeyList0::compareItems(const DzPointKey0 &a, const DzPointKey0 &b)
{
    if (a.time == b.time)
        return 0;
    return a.time > b.time ? 1 : -1;
}

DzPointKey0 *DzPointKeyList0::at(int i) const
{
    if (i < 0 || i >= count())
        return nullptr;
    return m_keys[static_cast<size_t>(i)].get();
}

void DzPointKeyList0::append(DzPointKey0 *key)
{
    if (key)
        m_keys.emplace_back(key);
}

void DzPointKeyList0::sort()
{
    std::stable_sort(m_keys.begin(), m_keys.end(),
                     [](const auto &a, const auto &b) { return compareItems(*a, *b) < 0; });
}

bool DzPointKeyList0::remove(DzPointKey0 *key)
{
    auto it = std::find_if(m_keys.begin(), m_keys.end(), [key](const auto &k) { return k.get() == key; });
    if (it == m_keys.end())
        return false;
    m_keys.erase(it);
    return true;
}

DzPointControl0::DzPointControl0(QObject *parent)
    : QObject(parent)
{
}

void DzPointControl0::evaluate(DzTime t)
{
    if (DzPointKey0 *key = findKey(t)) {
        x = key->x;
        y = key->y;
        return;
    }
    if (m_keys.isEmpty())
        return;
    const DzPointKey0 *prev = m_keys.at(0);
    if (t < prev->time) {
        // Before the first key there is no interval: hold the first key.
        x = prev->x;
        y = prev->y;
        return;
    }
    for (int i = 0; i < m_keys.count(); ++i) {
        const DzPointKey0 *k = m_keys.at(i);
        if (t < k->time) {
            const double f = static_cast<double>(t - prev->time) / static_cast<double>(k->time - prev->time);
            x = static_cast<float>(prev->x + (k->x - prev->x) * f);
            y = static_cast<float>(prev->y + (k->y - prev->y) * f);
            return;
        }
        prev = k;
    }
}

DzPointKey0 *DzPointControl0::findKey(DzTime t) const
{
    for (int i = 0; i < m_keys.count(); ++i) {
        if (m_keys.at(i)->time == t)
            return m_keys.at(i);
    }
    return nullptr;
}

DzTimeRange DzPointControl0::keyRange() const
{
    if (m_keys.isEmpty())
        return DzTimeRange(0, 0);
    return DzTimeRange(m_keys.at(0)->time, m_keys.at(m_keys.count() - 1)->time);
}

void DzPointControl0::insertKey(DzPointKey0 *key)
{
    if (!key)
        return;
    if (DzPointKey0 *old = findKey(key->time))
        removeKey(old);
    if (dzUndoStack->canPushItems())
        dzUndoStack->push(new DzControlInsertKeyUndoItem0(this, key->x, key->y, key->time));
    m_keys.append(key);
    m_keys.sort();
    emit keysChanged();
}

void DzPointControl0::removeKey(DzPointKey0 *key)
{
    if (!key || !findKey(key->time) || findKey(key->time) != key)
        return;
    if (dzUndoStack->canPushItems())
        dzUndoStack->push(new DzControlRemoveKeyUndoItem0(this, key->x, key->y, key->time));
    m_keys.remove(key);
    emit keysChanged();
}

void DzPointControl0::removeKeyAt(DzTime t)
{
    if (DzPointKey0 *key = findKey(t))
        removeKey(key);
}

void DzPointControl0::removeKeys(const DzTimeRange &range)
{
    for (int i = m_keys.count() - 1; i >= 0; --i) {
        DzPointKey0 *k = m_keys.at(i);
        if (range.getStart() <= k->time && k->time <= range.getEnd())
            removeKey(k);
    }
}

void DzPointControl0::removeAllKeys()
{
    while (!m_keys.isEmpty())
        removeKey(m_keys.at(m_keys.count() - 1));
}

DzControlInsertKeyUndoItem0::DzControlInsertKeyUndoItem0(DzPointControl0 *control, float x, float y,
                                                         DzTime time)
    : m_control(control), m_x(x), m_y(y), m_time(time)
{
}

void DzControlInsertKeyUndoItem0::undo()
{
    if (m_control)
        m_control->removeKeyAt(m_time);
}

void DzControlInsertKeyUndoItem0::redo()
{
    if (m_control)
        m_control->insertKey(new DzPointKey0(m_x, m_y, m_time));
}

DzControlRemoveKeyUndoItem0::DzControlRemoveKeyUndoItem0(DzPointControl0 *control, float x, float y,
                                                         DzTime time)
    : m_control(control), m_x(x), m_y(y), m_time(time)
{
}

void DzControlRemoveKeyUndoItem0::undo()
{
    if (m_control)
        m_control->insertKey(new DzPointKey0(m_x, m_y, m_time));
}

void DzControlRemoveKeyUndoItem0::redo()
{
    if (m_control)
        m_control->removeKeyAt(m_time);
}
