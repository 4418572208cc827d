#pragma once

#include "dznumericproperty.h"

#include <vector>

// An animatable float: a static value, optional limits with a clamp switch,
// and keys (time -> value) kept sorted by time, at most one per time.
//
// Value at a time t:
//  - no keys: the static value;
//  - before the first key: the first key's value; after the last: the last's;
//  - on a key: that key's value; between two keys: linear interpolation.
// getValue() is the value at the scene's current time (time 0 without a scene).
//
// Writing: setValue(v) sets the static value (with keys present it has no
// visible effect until the keys are gone). setValue(t, v) sets or replaces
// the key at t; on a property that is not animatable it sets the static
// value instead.
//
// Clamping happens on write: while clamping is on and min <= max, every value
// written (static value and keys) is brought into [min, max] before it is
// stored. Values stored earlier are not rewritten when clamping is switched
// on or the limits change; reads return exactly what is stored (or its
// interpolation). New properties have no limits (min = -FLT_MAX, max = FLT_MAX)
// and clamping off.
//
// Non-finite values (NaN, infinity) are refused: the write is ignored.
class DzFloatProperty : public DzNumericProperty
{
    Q_OBJECT
public:
    explicit DzFloatProperty(const QString &name = QString(), float value = 0.0f,
                             bool animatable = true, QObject *parent = nullptr);
    ~DzFloatProperty() override;

    float getValue() const;
    float getValue(DzTime time) const;
    // The static value (what is shown while there are no keys).
    float getStaticValue() const { return m_value; }
    void setValue(float value);
    void setValue(DzTime time, float value);
    // Room for count keys, so that adding them one by one (a bake) does not
    // reallocate.
    void reserveKeys(size_t count);

    // The value a reset goes back to; also the initial static value.
    float getDefaultValue() const { return m_default; }
    void setDefaultValue(float value) { m_default = value; }

    // Refuses (ignores, with a warning in the host log) non-finite limits and
    // min > max.
    void setMinMax(float min, float max);
    float getMin() const { return m_min; }
    float getMax() const { return m_max; }
    void setIsClamped(bool clamped) { m_clamped = clamped; }
    bool isClamped() const { return m_clamped; }

    int getNumKeys() const { return static_cast<int>(m_keys.size()); }
    // Time/value of key i (0-based, in time order); 0 for an index out of range.
    DzTime getKeyTime(int i) const;
    float getKeyValue(int i) const;
    // Index of the key exactly at `time`, or -1.
    int findKeyIndex(DzTime time) const;
    // Index of the last key at or before `time`; -1 before the first key or
    // without keys.
    int getKeyIndex(DzTime time) const;
    // (first key time, last key time), or (0, 0) without keys.
    DzTimeRange getKeyRange() const;
    // Removes the key at exactly `time`; false if there is none.
    bool removeKey(DzTime time);
    void deleteKeys(const DzTimeRange &range) override;
    void deleteAllKeys();
    bool isKeyed() const override { return !m_keys.empty(); }

    struct Key {
        DzTime time;
        float value;
    };
    // Replaces the whole state at once (used by undo); keys are sorted and
    // de-duplicated (the last of equal times wins), no clamping is applied.
    void restoreState(float staticValue, const std::vector<Key> &keys);
    const std::vector<Key> &getKeys() const { return m_keys; }

protected:
    void recordEditState() override;
    DzUndoItem *createEditUndoItem() override;
    void discardEditState() override;

private:
    friend class DzNode;
    float clampValue(float v) const;
    // The key write of setValue(time, value) without signals (animatable
    // properties only); whether the keys changed.
    bool storeKey(DzTime time, float value);

    std::vector<Key> m_keys;
    // Index of the key storeKey() wrote last (a hint; checked before use).
    size_t m_lastWritten = 0;
    float m_value;
    float m_default;
    float m_min;
    float m_max;
    bool m_clamped = false;

    // State kept between beginEdit() and finishEdit().
    bool m_hasEditState = false;
    float m_editValue = 0.0f;
    std::vector<Key> m_editKeys;
};
