#include "dzfloatproperty.h"

#include "dzlog.h"
#include "dzscene.h"
#include "dzundoitem.h"

#include <QPointer>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// Comparators as function objects, so that the searches inline them.
constexpr auto keyBefore = [](const DzFloatProperty::Key &k, DzTime t) { return k.time < t; };
constexpr auto timeBefore = [](DzTime t, const DzFloatProperty::Key &k) { return t < k.time; };

bool sameKeys(const std::vector<DzFloatProperty::Key> &a, const std::vector<DzFloatProperty::Key> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].time != b[i].time || a[i].value != b[i].value)
            return false;
    return true;
}

// Restores a float property's static value and keys as they were before and
// after one edit.
class FloatPropertyEditItem : public DzUndoItem
{
public:
    FloatPropertyEditItem(DzFloatProperty *prop, float beforeValue,
                          std::vector<DzFloatProperty::Key> beforeKeys)
        : m_prop(prop), m_beforeValue(beforeValue), m_beforeKeys(std::move(beforeKeys)),
          m_afterValue(prop->getStaticValue()), m_afterKeys(prop->getKeys())
    {
    }

    void undo() override
    {
        if (m_prop)
            m_prop->restoreState(m_beforeValue, m_beforeKeys);
    }
    void redo() override
    {
        if (m_prop)
            m_prop->restoreState(m_afterValue, m_afterKeys);
    }
    QString getDescription() const override
    {
        return m_prop ? QStringLiteral("Change %1").arg(m_prop->getLabel()) : QString();
    }
    int getSize() const override
    {
        return static_cast<int>(sizeof(*this)
                                + (m_beforeKeys.size() + m_afterKeys.size()) * sizeof(DzFloatProperty::Key));
    }

private:
    QPointer<DzFloatProperty> m_prop;
    float m_beforeValue;
    std::vector<DzFloatProperty::Key> m_beforeKeys;
    float m_afterValue;
    std::vector<DzFloatProperty::Key> m_afterKeys;
};

} // namespace

DzFloatProperty::DzFloatProperty(const QString &name, float value, bool animatable, QObject *parent)
    : DzNumericProperty(name, parent), m_value(std::isfinite(value) ? value : 0.0f),
      m_default(m_value), m_min(-FLT_MAX), m_max(FLT_MAX)
{
    setIsAnimatable(animatable);
}

DzFloatProperty::~DzFloatProperty() = default;

float DzFloatProperty::getValue() const
{
    return getValue(dzScene ? dzScene->getTime() : 0);
}

float DzFloatProperty::getValue(DzTime time) const
{
    if (m_keys.empty())
        return m_value;
    const auto next = std::upper_bound(m_keys.begin(), m_keys.end(), time, timeBefore);
    if (next == m_keys.begin())
        return m_keys.front().value;
    const auto prev = next - 1;
    if (next == m_keys.end() || prev->time == time)
        return prev->value;
    // 64-bit differences: key times may span the whole int range.
    const double f = double(qint64(time) - qint64(prev->time)) / double(qint64(next->time) - qint64(prev->time));
    return float(double(prev->value) + (double(next->value) - double(prev->value)) * f);
}

float DzFloatProperty::clampValue(float v) const
{
    if (m_clamped && m_min <= m_max)
        return std::min(std::max(v, m_min), m_max);
    return v;
}

void DzFloatProperty::setValue(float value)
{
    if (!std::isfinite(value))
        return;
    value = clampValue(value);
    if (value == m_value)
        return;
    m_value = value;
    notifyChanged(false);
}

void DzFloatProperty::setValue(DzTime time, float value)
{
    if (!isAnimatable()) {
        setValue(value);
        return;
    }
    if (storeKey(time, value))
        notifyChanged(true);
}

bool DzFloatProperty::storeKey(DzTime time, float value)
{
    if (!std::isfinite(value))
        return false;
    value = clampValue(value);
    // A bake writes past the last key; playback writes on or just after the
    // key it wrote before. Both go without a search.
    if (m_keys.empty() || m_keys.back().time < time) {
        m_lastWritten = m_keys.size();
        m_keys.push_back(Key{time, value});
        return true;
    }
    size_t at = m_lastWritten;
    if (at + 1 < m_keys.size() && m_keys[at].time < time && m_keys[at + 1].time >= time)
        ++at;
    else if (at >= m_keys.size() || m_keys[at].time != time)
        at = static_cast<size_t>(std::lower_bound(m_keys.begin(), m_keys.end(), time, keyBefore) - m_keys.begin());
    m_lastWritten = at;
    Key &key = m_keys[at];
    if (key.time == time) {
        if (key.value == value)
            return false;
        key.value = value;
    } else {
        m_keys.insert(m_keys.begin() + static_cast<std::ptrdiff_t>(at), Key{time, value});
    }
    return true;
}

void DzFloatProperty::reserveKeys(size_t count)
{
    m_keys.reserve(count);
}

void DzFloatProperty::setMinMax(float min, float max)
{
    if (!std::isfinite(min) || !std::isfinite(max) || min > max) {
        dzWarning(QStringLiteral("DzFloatProperty::setMinMax(): refused limits %1..%2 for \"%3\"")
                      .arg(min).arg(max).arg(getName()));
        return;
    }
    m_min = min;
    m_max = max;
}

DzTime DzFloatProperty::getKeyTime(int i) const
{
    if (i < 0 || i >= getNumKeys())
        return 0;
    return m_keys[static_cast<size_t>(i)].time;
}

float DzFloatProperty::getKeyValue(int i) const
{
    if (i < 0 || i >= getNumKeys())
        return 0.0f;
    return m_keys[static_cast<size_t>(i)].value;
}

int DzFloatProperty::findKeyIndex(DzTime time) const
{
    const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), time, keyBefore);
    if (it != m_keys.end() && it->time == time)
        return static_cast<int>(it - m_keys.begin());
    return -1;
}

int DzFloatProperty::getKeyIndex(DzTime time) const
{
    const auto next = std::upper_bound(m_keys.begin(), m_keys.end(), time, timeBefore);
    return static_cast<int>(next - m_keys.begin()) - 1;
}

DzTimeRange DzFloatProperty::getKeyRange() const
{
    if (m_keys.empty())
        return DzTimeRange(0, 0);
    return DzTimeRange(m_keys.front().time, m_keys.back().time);
}

bool DzFloatProperty::removeKey(DzTime time)
{
    const int i = findKeyIndex(time);
    if (i < 0)
        return false;
    m_keys.erase(m_keys.begin() + i);
    notifyChanged(true);
    return true;
}

void DzFloatProperty::deleteKeys(const DzTimeRange &range)
{
    if (range.isEmpty() || m_keys.empty())
        return;
    const auto first = std::lower_bound(m_keys.begin(), m_keys.end(), range.getStart(), keyBefore);
    const auto last = std::upper_bound(first, m_keys.end(), range.getEnd(), timeBefore);
    if (first == last)
        return;
    m_keys.erase(first, last);
    notifyChanged(true);
}

void DzFloatProperty::deleteAllKeys()
{
    if (m_keys.empty())
        return;
    m_keys.clear();
    notifyChanged(true);
}

void DzFloatProperty::restoreState(float staticValue, const std::vector<Key> &keys)
{
    std::vector<Key> sorted = keys;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Key &a, const Key &b) { return a.time < b.time; });
    // Keep the last of equal times.
    std::vector<Key> unique;
    unique.reserve(sorted.size());
    for (const Key &k : sorted) {
        if (!std::isfinite(k.value))
            continue;
        if (!unique.empty() && unique.back().time == k.time)
            unique.back() = k;
        else
            unique.push_back(k);
    }
    const bool keysDiffer = !sameKeys(unique, m_keys);
    const bool valueDiffers = std::isfinite(staticValue) && staticValue != m_value;
    if (valueDiffers)
        m_value = staticValue;
    if (keysDiffer)
        m_keys.swap(unique);
    if (keysDiffer || valueDiffers)
        notifyChanged(keysDiffer);
}

void DzFloatProperty::recordEditState()
{
    m_hasEditState = true;
    m_editValue = m_value;
    m_editKeys = m_keys;
}

DzUndoItem *DzFloatProperty::createEditUndoItem()
{
    if (!m_hasEditState)
        return nullptr;
    if (m_editValue == m_value && sameKeys(m_editKeys, m_keys))
        return nullptr;
    return new FloatPropertyEditItem(this, m_editValue, m_editKeys);
}

void DzFloatProperty::discardEditState()
{
    m_hasEditState = false;
    m_editKeys.clear();
    m_editKeys.shrink_to_fit();
}
