// Nodes: hierarchy, controls, local and world transforms on the standard
// figure, element data, morphs.
#include "dzbone.h"
#include "dzelementdata.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "hostmodeltestsupport.h"

#include <QPointer>

TEST(Node, HierarchyRefusesCyclesMovesChildrenAndFollowsWeakly)
{
    DzNode root("root");
    auto *a = new DzNode("a");
    auto *b = new DzNode("b");
    EXPECT_TRUE(root.addNodeChild(a));
    EXPECT_TRUE(a->addNodeChild(b));
    EXPECT_FALSE(b->addNodeChild(&root)); // would make a cycle
    EXPECT_EQ(root.findNodeChild("b"), nullptr);
    EXPECT_EQ(root.findNodeChild("b", true), b);
    // Moving b to root detaches it from a.
    EXPECT_TRUE(root.addNodeChild(b));
    EXPECT_EQ(a->getNumNodeChildren(), 0);
    EXPECT_EQ(b->getNodeParent(), &root);
    // Deleting a child leaves no dangling entry in its parent.
    delete a;
    EXPECT_EQ(root.getNumNodeChildren(), 1);
    EXPECT_EQ(root.getNodeChild(0), b);
    // The checked cast refuses another class.
    EXPECT_EQ(DzBase::assertCast(b, "DzNode"), b);
    EXPECT_EQ(DzBase::assertCast(b, "DzSkeleton"), nullptr);

    // Follow targets are weak; a figure never follows itself.
    auto *target = new DzSkeleton("body");
    DzSkeleton clothes("shirt");
    clothes.setFollowTarget(target);
    clothes.setFollowTarget(&clothes); // ignored
    EXPECT_EQ(clothes.getFollowTarget(), target);
    auto *bone = new DzBone("a");
    DzBone follower("b");
    follower.setFollowBone(bone);
    delete target;
    delete bone;
    EXPECT_EQ(clothes.getFollowTarget(), nullptr);
    EXPECT_EQ(follower.getFollowBone(), nullptr);
}

TEST(Node, SkeletonMembershipBoneOrderAndMorphs)
{
    auto fig = loadFigure();
    ASSERT_TRUE(fig);
    DzNode *hand = fig->findNodeChild("lHand", true);
    ASSERT_TRUE(hand);
    EXPECT_EQ(hand->getSkeleton(), fig.get());

    const QList<DzBone *> bones = fig->getAllBones();
    ASSERT_EQ(bones.size(), 53);
    EXPECT_EQ(bones.first()->getName(), QString("hip"));
    // Depth first: every bone comes after its parent.
    for (int i = 0; i < bones.size(); ++i) {
        auto *parentBone = qobject_cast<DzBone *>(bones[i]->getNodeParent());
        if (parentBone) {
            EXPECT_LT(bones.indexOf(parentBone), i) << bones[i]->getName().toStdString();
        }
    }
    // A prop parented to a bone is not a bone of the figure.
    auto *prop = new DzNode("sword");
    hand->addNodeChild(prop);
    prop->addNodeChild(new DzBone("swordTip"));
    EXPECT_EQ(fig->getAllBones().size(), 53);

    // A morph's value channel is clamped and takes the morph's label.
    auto *smile = qobject_cast<DzMorph *>(fig->getObject()->findModifier("Smile"));
    ASSERT_TRUE(smile);
    DzFloatProperty *ch = smile->getValueChannel();
    ch->setValue(3.f);
    EXPECT_FLOAT_EQ(ch->getValue(), 1.f);
    smile->setLabel("Grin");
    EXPECT_EQ(ch->getLabel(), QString("Grin"));
}

TEST(LocalTransform, PositionScaleAndTransformAtOnceScalingAboutTheJoint)
{
    DzNode n("n");
    n.setLocalPos(480, DzVec3(4, 5, 6));
    expectVec(n.getLocalPos(480), 4, 5, 6);
    EXPECT_EQ(n.getXPosControl()->getNumKeys(), 1);

    n.setLocalTransform(
        DzVec3(0, 0, 0), DzQuat(DzVec3(0, 0, 1), rad(45)), DzMatrix3::scale(DzVec3(2, 3, 4)), 0.5);
    expectVec(n.getLocalScale(), 1.f, 1.5f, 2.f);
    EXPECT_FLOAT_EQ(n.getScaleControl()->getValue(), 0.5f);
    EXPECT_NEAR(n.getZRotControl()->getValue(), 45.f, 1e-4f);
    // Scale matrices that also rotate still give the axis lengths.
    n.setLocalTransform(
        DzVec3(), DzQuat(), DzMatrix3(DzQuat(DzVec3(0, 1, 0), 0.3)) * DzMatrix3::scale(DzVec3(2, 2, 2)), 1.0);
    expectVec(n.getLocalScale(), 2, 2, 2);
}

TEST(WorldTransform, ShoulderSwingsTheHandHipMovesAndTurnsTheFigure)
{
    auto fig = loadFigure();
    ASSERT_TRUE(fig);
    DzNode *shldr = fig->findNodeChild("rShldr", true);
    DzNode *hand = fig->findNodeChild("rHand", true);
    ASSERT_TRUE(shldr && hand);
    // At rest every joint sits at its origin.
    expectVec(hand->getWSPos(0), hand->getOrigin().m_x, hand->getOrigin().m_y, hand->getOrigin().m_z);
    // +90 degrees about Z turns the right arm (pointing -X) straight down.
    shldr->setLocalRot(DzQuat(DzVec3(0, 0, 1), rad(90)));
    const DzVec3 s = shldr->getOrigin(), h = hand->getOrigin();
    const float reach = s.m_x - h.m_x; // arm length along -X
    expectVec(hand->getWSPos(0), s.m_x, s.m_y - reach, h.m_z);
    // The shoulder joint itself does not move.
    expectVec(shldr->getWSPos(0), s.m_x, s.m_y, s.m_z);
    // The hand's end point follows too.
    const DzVec3 end = hand->getEndPoint();
    expectVec(hand->getWSEndPoint(0), s.m_x, s.m_y - (s.m_x - end.m_x), end.m_z);
    // Keyed from 0 to 90 degrees: halfway the arm is at 45.
    shldr->setLocalRot(0, DzQuat());
    shldr->setLocalRot(4800, DzQuat(DzVec3(0, 0, 1), rad(90)));
    const float c = float(std::cos(rad(45)));
    expectVec(hand->getWSPos(2400), s.m_x - reach * c, s.m_y - reach * c, h.m_z);

    // The hip moves and turns the whole figure, the swung arm with it.
    DzNode *hip = fig->findNodeChild("hip");
    const DzVec3 ho = hip->getOrigin();
    hip->setLocalPos(DzVec3(0, -10, 5));
    expectVec(hip->getWSPos(0), ho.m_x, ho.m_y - 10, ho.m_z + 5);
    expectVec(hand->getWSPos(0), h.m_x, h.m_y - 10, h.m_z + 5);
    // Turning +90 degrees about Y takes +X to -Z; the arm turns after its own swing.
    hip->setLocalPos(DzVec3());
    const DzQuat turn(DzVec3(0, 1, 0), rad(90));
    hip->setLocalRot(turn);
    const DzVec3 down = DzVec3(s.m_x, s.m_y - reach, h.m_z) - ho;
    expectVec(hand->getWSPos(4800), ho.m_x + down.m_z, ho.m_y + down.m_y, ho.m_z - down.m_x);
    EXPECT_TRUE(hand->getWSRot(4800).isSameRotation(turn * DzQuat(DzVec3(0, 0, 1), rad(90)), 1e-6));
}

TEST(Node, ClearAnimDataRemovesKeysInRangeFromAllOwnProperties)
{
    DzNode n("n");
    n.addProperty(new DzFloatProperty("Blink", 0.f));
    for (int i = 0; i < n.getNumProperties(); ++i) {
        for (DzTime t : { 0, 160, 320, 480 })
            qobject_cast<DzFloatProperty *>(n.getProperty(i))->setValue(t, 1.f);
    }
    n.clearAnimData(DzTimeRange(160, 320));
    for (int i = 0; i < n.getNumProperties(); ++i) {
        auto *p = qobject_cast<DzFloatProperty *>(n.getProperty(i));
        EXPECT_EQ(p->getNumKeys(), 2) << p->getName().toStdString();
        EXPECT_EQ(p->findKeyIndex(480), 1);
    }
}

namespace {

// Data items of one name replace each other where unique, live side by side otherwise.
template <class Item, class Owner> void expectUniqueItemsReplaceEarlierOnes(Owner &owner)
{
    auto *first = new Item("KyMixer-data", true);
    ASSERT_TRUE(owner.addDataItem(first));
    QPointer<Item> watch(first);
    auto *second = new Item("KyMixer-data", true);
    ASSERT_TRUE(owner.addDataItem(second));
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(owner.findDataItem("KyMixer-data"), second);
    EXPECT_FALSE(owner.addDataItem(second)); // already attached
    owner.addDataItem(new Item("note", false));
    owner.addDataItem(new Item("note", false));
    EXPECT_EQ(owner.getNumDataItems(), 3);
}

} // namespace

TEST(DataItems, OwnedAndUniqueByNameOnNodesAndScenes)
{
    DzNode node("fig");
    expectUniqueItemsReplaceEarlierOnes<DzElementData>(node);
    DzElementData *item = node.findDataItem("KyMixer-data");
    EXPECT_TRUE(node.takeDataItem(item));
    EXPECT_EQ(item->getElement(), nullptr);
    delete item;
    DzScene scene;
    expectUniqueItemsReplaceEarlierOnes<DzSceneData>(scene);
    EXPECT_TRUE(scene.removeDataItem(scene.findDataItem("KyMixer-data")));
    EXPECT_EQ(scene.findDataItem("KyMixer-data"), nullptr);
}

TEST(Element, PropertiesHaveOneOwner)
{
    DzNode n("fig"), other("other");
    auto *p = new DzFloatProperty("Blink");
    EXPECT_TRUE(n.addProperty(p));
    EXPECT_FALSE(other.addProperty(p));
    QPointer<DzFloatProperty> watch(p);
    EXPECT_TRUE(n.removeProperty(p));
    EXPECT_TRUE(watch.isNull());
}
