// Deferred change signals, the write path posing uses (three controls, one
// notification) and the Euler angles a node reuses for a repeated rotation.
#include "dzfloatproperty.h"
#include "dznode.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

TEST(ChangeBatch, SignalsOncePerChangedObjectWithFinalValues)
{
    DzNode node(QStringLiteral("n"));
    DzFloatProperty *x = node.getXRotControl();
    QSignalSpy values(x, &DzProperty::currentValueChanged);
    QSignalSpy keys(x, &DzProperty::keysChanged);
    QSignalSpy transform(&node, &DzNode::transformChanged);
    float seen = 0.0f;
    QObject::connect(x, &DzProperty::currentValueChanged, x, [&] { seen = x->getValue(40); });
    {
        DzChangeBatch outer;
        {
            DzChangeBatch inner;
            x->setValue(40, 1.0f);
            node.getYRotControl()->setValue(40, 2.0f);
        }
        EXPECT_EQ(values.count(), 0) << "an inner batch does not end the deferral";
        x->setValue(40, 3.0f);
        x->setValue(80, 4.0f);
    }
    EXPECT_EQ(values.count(), 1);
    EXPECT_EQ(keys.count(), 1);
    EXPECT_EQ(transform.count(), 1) << "one per node, not per control";
    EXPECT_EQ(seen, 3.0f);

    // Without a batch every write signals, as before.
    x->setValue(120, 5.0f);
    x->setValue(1.0f);
    EXPECT_EQ(values.count(), 3);
    EXPECT_EQ(keys.count(), 2);
    EXPECT_EQ(transform.count(), 3);
}

TEST(ChangeBatch, KeyedTransformWritesSignalEachChangedControlOnce)
{
    DzNode node(QStringLiteral("n"));
    node.setLocalPos(40, DzVec3(1, 2, 3));
    QSignalSpy x(node.getXPosControl(), &DzProperty::keysChanged);
    QSignalSpy y(node.getYPosControl(), &DzProperty::keysChanged);
    QSignalSpy z(node.getZPosControl(), &DzProperty::keysChanged);
    QSignalSpy transform(&node, &DzNode::transformChanged);
    const auto counts = [&] { return std::vector<int> { int(x.count()), int(y.count()), int(z.count()) }; };
    node.setLocalPos(40, DzVec3(1, 2, 5));
    EXPECT_EQ(counts(), (std::vector<int> { 0, 0, 1 }));
    node.setLocalPos(40, DzVec3(6, 7, 5));
    EXPECT_EQ(counts(), (std::vector<int> { 1, 1, 1 }));
    node.setLocalPos(40, DzVec3(6, 7, 5)); // unchanged: nothing to say
    EXPECT_EQ(transform.count(), 2);
}

TEST(ChangeBatch, SurvivesObjectsDeletedAndWritesMadeWhileSignalling)
{
    auto *doomed = new DzNode(QStringLiteral("doomed"));
    DzNode other(QStringLiteral("other"));
    QSignalSpy otherTransform(&other, &DzNode::transformChanged);
    // A receiver that writes again while the batch is being flushed: the write
    // still reaches its observers.
    QObject::connect(other.getXPosControl(), &DzProperty::currentValueChanged, &other,
        [&] { other.getYPosControl()->setValue(7.0f); });
    QSignalSpy y(other.getYPosControl(), &DzProperty::currentValueChanged);
    {
        DzChangeBatch batch;
        doomed->getXPosControl()->setValue(1.0f);
        other.getXPosControl()->setValue(2.0f);
        delete doomed;
    }
    EXPECT_EQ(y.count(), 1);
    EXPECT_EQ(other.getYPosControl()->getValue(), 7.0f);
    EXPECT_GE(otherTransform.count(), 1);
}

// Keys written in any order (appends, rewrites, inserts before the last
// write) end up as a plain sorted write of the last value per time, and each
// keyed rotation reads back as written.
TEST(KeyWrites, AnyOrderGivesTheSortedKeys)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        DzNode node;
        node.setRotationOrder(round % 2 ? DzRotationOrder::YZX : DzRotationOrder::ZXY);
        DzFloatProperty *p = node.getXRotControl();
        std::map<DzTime, float> expected;
        for (int i = 0; i < 200; ++i) {
            const DzTime time = static_cast<DzTime>(random() % 40) * 160 - 800;
            const DzQuat q(DzVec3(1.0f, 0.4f, -0.3f), static_cast<double>(random() % 1000) / 100.0);
            node.setLocalRot(time, q);
            EXPECT_TRUE(node.getLocalRot(time).isSameRotation(q, 1e-5));
            expected[time] = p->getValue(time);
        }
        using Keys = std::vector<std::pair<DzTime, float>>;
        Keys keys;
        for (const DzFloatProperty::Key &k : p->getKeys())
            keys.emplace_back(k.time, k.value);
        EXPECT_EQ(keys, Keys(expected.begin(), expected.end()));
    }
}

// The Euler angles a node reuses equal a fresh conversion bit for bit, also
// where only the sign of a zero differs or the rotation order changed.
TEST(EulerReuse, MatchesAFreshConversion)
{
    const DzQuat zero(0.0, 0.0, 0.0, -1.0), negativeZero(-0.0, 0.0, -0.0, -1.0);
    const DzQuat turn(DzVec3(0.3f, 1.0f, -0.2f), 2.5), lock(DzVec3(0.0f, 1.0f, 0.0f), M_PI / 2);
    const auto degrees = [](float radians) { return float(radians * (180.0 / M_PI)); };
    for (DzRotationOrder::Order order :
        { DzRotationOrder::XYZ, DzRotationOrder::ZXY, DzRotationOrder::YZX }) {
        DzNode node;
        for (const DzQuat &q : { zero, negativeZero, zero, turn, turn, lock }) {
            // The same rotation again in another order, then back.
            for (DzRotationOrder::Order o : { order, DzRotationOrder::ZYX, order }) {
                node.setRotationOrder(o);
                node.setLocalRot(q);
                DzVec3 e;
                q.getValue(node.getRotationOrder(), e);
                EXPECT_TRUE(DzVec3(node.getXRotControl()->getValue(0), node.getYRotControl()->getValue(0),
                                node.getZRotControl()->getValue(0))
                    == DzVec3(degrees(e.m_x), degrees(e.m_y), degrees(e.m_z)))
                    << node.getRotationOrder().toString().toStdString();
            }
        }
    }
}
