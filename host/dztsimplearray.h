#pragma once

#include "dzlog.h"

#include <vector>

// A growable array whose storage grows by a fixed step (`growBy` elements at
// a time). Reading with at() outside 0..count()-1 writes "Illegal array index
// in DzTSimpleArray::at()" to the host log and returns a default-constructed
// value instead of reading past the end.
template <typename T>
class DzTSimpleArray
{
public:
    explicit DzTSimpleArray(int growBy = 16) : m_growBy(growBy > 0 ? growBy : 16) {}

    void append(const T &value)
    {
        if (m_items.size() == m_items.capacity())
            m_items.reserve(m_items.capacity() + static_cast<size_t>(m_growBy));
        m_items.push_back(value);
    }
    int count() const { return static_cast<int>(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    int capacity() const { return static_cast<int>(m_items.capacity()); }
    int growBy() const { return m_growBy; }

    T at(int index) const
    {
        if (index < 0 || index >= count()) {
            dzWarning(QStringLiteral("Illegal array index in DzTSimpleArray::at()"));
            return T();
        }
        return m_items[static_cast<size_t>(index)];
    }
    // Replaces element `index`; an index outside the array is logged like
    // at() and changes nothing. Returns whether it was stored.
    bool set(int index, const T &value)
    {
        if (index < 0 || index >= count()) {
            dzWarning(QStringLiteral("Illegal array index in DzTSimpleArray::set()"));
            return false;
        }
        m_items[static_cast<size_t>(index)] = value;
        return true;
    }
    void clear() { m_items.clear(); }

private:
    std::vector<T> m_items;
    int m_growBy;
};
