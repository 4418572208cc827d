// Float property semantics: static value, keys, interpolation, lookup,
// removal, clamping and change signals.
#include "dzfloatproperty.h"
#include "dzscene.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cmath>
#include <limits>
#include <memory>

namespace {

std::unique_ptr<DzFloatProperty> keyed(std::initializer_list<std::pair<DzTime, float>> keys)
{
    auto p = std::make_unique<DzFloatProperty>("p", 0.0f);
    for (const auto &k : keys)
        p->setValue(k.first, k.second);
    return p;
}

} // namespace

TEST(FloatProperty, InterpolatesBetweenKeysAndHoldsOutside)
{
    // value
    //  20 |            *-----------  (held after the last key)
    //  10 |  *--------/
    //     +--0-------160----320----
    auto p = keyed({ { 0, 10.f }, { 320, 20.f } });
    const struct {
        DzTime t;
        float v;
    } table[] = { { -500, 10.f }, { 0, 10.f }, { 80, 12.5f }, { 160, 15.f }, { 319, 19.96875f },
        { 320, 20.f }, { 9999, 20.f } };
    for (const auto &row : table)
        EXPECT_FLOAT_EQ(p->getValue(row.t), row.v) << "t=" << row.t;
    // With keys, the static value is not what is shown.
    p->setValue(99.f);
    EXPECT_FLOAT_EQ(p->getValue(160), 15.f);
    EXPECT_FLOAT_EQ(p->getStaticValue(), 99.f);
    // Extreme key times do not overflow the span.
    const int kMax = std::numeric_limits<int>::max();
    EXPECT_NEAR(keyed({ { -kMax - 1, 0.f }, { kMax, 1.f } })->getValue(0), 0.5f, 1e-6f);
    // The current value follows the scene's time.
    DzScene scene;
    scene.setTime(160);
    EXPECT_FLOAT_EQ(p->getValue(), 15.f);
}

TEST(FloatProperty, KeysStaySortedReplaceAndLookUpByTime)
{
    auto p = keyed({ { 480, 3.f }, { 0, 1.f }, { 160, 9.f } });
    p->setValue(160, 2.f); // replaces the key
    ASSERT_EQ(p->getNumKeys(), 3);
    EXPECT_EQ(p->getKeyTime(2), 480);
    EXPECT_FLOAT_EQ(p->getKeyValue(1), 2.f);
    EXPECT_EQ(p->getKeyTime(3), 0); // out of range
    EXPECT_EQ(p->getKeyRange(), DzTimeRange(0, 480));
    // findKeyIndex: exact only.
    EXPECT_EQ(p->findKeyIndex(160), 1);
    EXPECT_EQ(p->findKeyIndex(161), -1);
    // getKeyIndex: last key at or before the time.
    const struct {
        DzTime t;
        int index;
    } table[] = { { -1, -1 }, { 0, 0 }, { 159, 0 }, { 160, 1 }, { 479, 1 }, { 480, 2 }, { 100000, 2 } };
    for (const auto &row : table)
        EXPECT_EQ(p->getKeyIndex(row.t), row.index) << "t=" << row.t;
    EXPECT_EQ(DzFloatProperty().getKeyIndex(0), -1);

    // Restoring a saved state sorts the keys and keeps the last of a time.
    p->restoreState(3.f, { { 320, 1.f }, { 0, 2.f }, { 320, 5.f } });
    ASSERT_EQ(p->getNumKeys(), 2);
    EXPECT_EQ(p->getKeyTime(0), 0);
    EXPECT_FLOAT_EQ(p->getKeyValue(1), 5.f);
    EXPECT_FLOAT_EQ(p->getStaticValue(), 3.f);
}

TEST(FloatProperty, RemovesKeysByTimeAndByInclusiveRange)
{
    auto p = keyed({ { 0, 0.f }, { 160, 1.f }, { 320, 2.f }, { 480, 3.f }, { 640, 4.f } });
    EXPECT_FALSE(p->removeKey(100));
    EXPECT_TRUE(p->removeKey(0));
    EXPECT_EQ(p->getNumKeys(), 4);
    // Both ends inclusive: 160 and 480 go, 640 stays.
    p->deleteKeys(DzTimeRange(160, 480));
    ASSERT_EQ(p->getNumKeys(), 1);
    EXPECT_EQ(p->getKeyTime(0), 640);
    p->deleteKeys(DzTimeRange(640, 640));
    EXPECT_FALSE(p->isKeyed());
    // Without keys the static value shows again.
    p->setValue(5.f);
    EXPECT_FLOAT_EQ(p->getValue(640), 5.f);
}

TEST(FloatProperty, ClampsOnWriteOnlyWhileClampingIsOnAndRefusesBadInput)
{
    DzFloatProperty p("Blink", 0.f);
    p.setMinMax(0.f, 1.f);
    p.setValue(2.f); // clamping off: stored as given
    EXPECT_FLOAT_EQ(p.getValue(), 2.f);
    p.setIsClamped(true);
    EXPECT_FLOAT_EQ(p.getValue(), 2.f); // existing values are not rewritten
    p.setValue(-3.f);
    EXPECT_FLOAT_EQ(p.getValue(), 0.f);
    p.setValue(160, 1.5f);
    EXPECT_FLOAT_EQ(p.getKeyValue(0), 1.f);
    p.setIsClamped(false);
    p.setValue(160, 1.5f);
    EXPECT_FLOAT_EQ(p.getKeyValue(0), 1.5f);

    // Bad input is refused.
    p.setValue(std::numeric_limits<float>::quiet_NaN());
    p.setValue(std::numeric_limits<float>::infinity());
    p.setValue(0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(p.getStaticValue(), 0.f);
    EXPECT_EQ(p.getNumKeys(), 1);
    p.setMinMax(5.f, 1.f); // min > max refused
    EXPECT_EQ(p.getMin(), 0.f);
    // Not animatable: a keyed write sets the static value.
    DzFloatProperty still("still", 0.f, false);
    still.setValue(480, 3.f);
    EXPECT_EQ(still.getNumKeys(), 0);
    EXPECT_FLOAT_EQ(still.getValue(), 3.f);
}

TEST(FloatProperty, SignalsOnlyRealChanges)
{
    DzFloatProperty p("x", 0.f);
    QSignalSpy value(&p, &DzProperty::currentValueChanged);
    QSignalSpy keys(&p, &DzProperty::keysChanged);
    p.setValue(0.f); // same value
    EXPECT_EQ(value.count(), 0);
    p.setValue(1.f);
    EXPECT_EQ(value.count(), 1);
    EXPECT_EQ(keys.count(), 0);
    p.setValue(160, 2.f);
    p.setValue(160, 2.f); // same key
    EXPECT_EQ(keys.count(), 1);
    EXPECT_TRUE(p.removeKey(160));
    EXPECT_EQ(keys.count(), 2);
    p.deleteKeys(DzTimeRange(0, 1000)); // nothing to delete
    EXPECT_EQ(keys.count(), 2);
}
