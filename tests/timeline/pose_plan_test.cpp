// Posing resolves a figure's bones once and keeps that plan while nothing
// changes: renames, new and deleted bones and a changed node table must
// still reach the right bones.
#include "timelinetestsupport.h"

#include "kyevaluator.h"
#include "kytime.h"

#include "dzbone.h"
#include "dzfloatproperty.h"
#include "dzskeleton.h"

class PosePlan : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_track->appendBlock(*makeBlock(QStringLiteral("body"), fullBody(2000)), true);
    }

    // Evaluates at ms and says whether node got a key there.
    bool posedAt(DzNode *node, int ms)
    {
        m_timeline->goSeek(ms, true, false);
        m_timeline->evaluateAll(ms);
        return node->getXRotControl()->findKeyIndex(snappedTicks(ms)) >= 0;
    }

    DzNode *bone(const char *name) const { return m_figure->findNodeChild(QString::fromLatin1(name), true); }
};

TEST_F(PosePlan, FollowsRenamesAndHierarchyChanges)
{
    DzNode *forearm = bone("lForeArm");
    ASSERT_NE(forearm, nullptr);
    EXPECT_TRUE(posedAt(forearm, 100));
    const DzQuat expected = tableRotation(QStringLiteral("lForeArm"));
    EXPECT_LT(angleBetween(forearm->getLocalRot(snappedTicks(100)), expected), 0.05);

    forearm->setName(QStringLiteral("lForeArmRenamed"));
    EXPECT_FALSE(posedAt(forearm, 200)) << "a name the engine does not drive";
    forearm->setName(QStringLiteral("lForeArm"));
    EXPECT_TRUE(posedAt(forearm, 300));

    // A bone moved under a prop (not a bone) is no longer part of the figure.
    DzNode *hand = bone("lHand");
    auto *prop = new DzNode(QStringLiteral("prop"));
    forearm->addNodeChild(prop);
    prop->addNodeChild(hand);
    EXPECT_FALSE(posedAt(hand, 400));
    EXPECT_TRUE(posedAt(forearm, 400));
    forearm->addNodeChild(hand);
    EXPECT_TRUE(posedAt(hand, 500));

    // Deleted bones are dropped; the rest is posed as before.
    delete bone("rHand");
    EXPECT_TRUE(posedAt(bone("rForeArm"), 600));
    EXPECT_EQ(bone("rHand"), nullptr);
}

TEST_F(PosePlan, FingersMaskedBelowTheHandsOnly)
{
    m_timeline->setMaskFingers(true);
    EXPECT_TRUE(posedAt(bone("lHand"), 100));
    EXPECT_FALSE(posedAt(bone("lIndex1"), 200));
    EXPECT_TRUE(posedAt(bone("rForeArm"), 300));
    m_timeline->setMaskFingers(false);
    EXPECT_TRUE(posedAt(bone("lIndex1"), 400));
}
