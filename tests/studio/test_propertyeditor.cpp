// Hand posing and keying: what an edit writes and the undo steps it leaves.
#include "dzbone.h"
#include "propertyeditor.h"
#include "propertyeditsession.h"
#include "studiotestsupport.h"

#include <limits>

namespace {

class PropertyEditorTest : public FigureTest {
protected:
    DzBone *forearm() const { return figure->findBone("lForeArm"); }
    DzUndoStack *undo = DzUndoStack::instance();
};

} // namespace

TEST_F(PropertyEditorTest, GroupsTransformsOtherPropertiesAndMorphs)
{
    const QList<PropertyEditor::Group> figureGroups = PropertyEditor::groupsFor(figure);
    ASSERT_EQ(figureGroups.size(), 5);
    EXPECT_EQ(figureGroups[4].title, "Morphs");
    EXPECT_EQ(PropertyEditor::nodeOf(smile()), figure) << "the node of a morph channel is its figure";

    // A bone has only its transform controls; a hidden control is left out.
    forearm()->getXScaleControl()->setHidden(true);
    const QList<DzFloatProperty *> bone = PropertyEditor::propertiesOf(forearm());
    EXPECT_EQ(bone.size(), 9);
    EXPECT_FALSE(bone.contains(forearm()->getXScaleControl()));
}

TEST_F(PropertyEditorTest, EditWritesStaticValueUntilAnimatedEachAsOneUndoStep)
{
    DzFloatProperty *bend = forearm()->getZRotControl();
    ASSERT_TRUE(PropertyEditor::setValue(bend, 960, 30.0f, false));
    EXPECT_EQ(bend->getNumKeys(), 0) << "without auto-key an unanimated value stays static";
    EXPECT_FLOAT_EQ(bend->getValue(0), 30.0f);

    ASSERT_TRUE(PropertyEditor::setValue(bend, 960, 45.0f, true));
    EXPECT_EQ(bend->getNumKeys(), 1) << "auto-key keys the edit";
    EXPECT_FLOAT_EQ(bend->getValue(960), 45.0f);

    // Once animated, an edit always keys (a static value would not show).
    ASSERT_TRUE(PropertyEditor::setValue(bend, 1920, -10.0f, false));
    EXPECT_EQ(bend->getNumKeys(), 2);
    EXPECT_FLOAT_EQ(bend->getValue(1920), -10.0f);

    EXPECT_FALSE(PropertyEditor::setValue(bend, 0, std::numeric_limits<float>::quiet_NaN(), true));
    EXPECT_EQ(bend->getNumKeys(), 2);

    // Each edit is one undo step with a caption.
    ASSERT_EQ(undo->getNumUndoSteps(), 3);
    EXPECT_EQ(undo->getUndoCaption(), "Change Left Forearm Z Rotate");
    PropertyEditor::setValue(smile(), 0, 0.5f, false);
    EXPECT_EQ(undo->getUndoCaption(), "Change Smile");
    ASSERT_TRUE(undo->undo());
    EXPECT_FLOAT_EQ(smile()->getValue(), 0.0f);
    ASSERT_TRUE(undo->undo());
    EXPECT_EQ(bend->getNumKeys(), 1);
}

TEST_F(PropertyEditorTest, SetAndDeleteKeysOfTheWholeNode)
{
    figure->getYRotControl()->setValue(20.0f);
    const int keyed = PropertyEditor::setKeys(figure, 1600);
    EXPECT_EQ(keyed, PropertyEditor::propertiesOf(figure).size());
    EXPECT_EQ(undo->getUndoCaption(), "Set Key");
    EXPECT_EQ(figure->getYRotControl()->findKeyIndex(1600), 0);
    EXPECT_FLOAT_EQ(figure->getYRotControl()->getKeyValue(0), 20.0f) << "keys take the current value";
    EXPECT_EQ(smile()->findKeyIndex(1600), 0) << "morphs are keyed with their figure";

    EXPECT_EQ(PropertyEditor::deleteKeys(figure, 1600), keyed);
    EXPECT_EQ(undo->getUndoCaption(), "Delete Key");
    EXPECT_FALSE(figure->getYRotControl()->isKeyed());
    EXPECT_EQ(PropertyEditor::deleteKeys(figure, 1600), 0);
    EXPECT_EQ(undo->getNumUndoSteps(), 2) << "deleting nothing leaves no step";

    ASSERT_TRUE(undo->undo());
    EXPECT_TRUE(figure->getYRotControl()->isKeyed());
    EXPECT_TRUE(smile()->isKeyed());
}

TEST_F(PropertyEditorTest, ToggleKeyKeyStateDeleteAllAndResetPose)
{
    DzFloatProperty *twist = forearm()->getXRotControl();
    ASSERT_TRUE(PropertyEditor::toggleKey(twist, 320));
    EXPECT_EQ(PropertyEditor::keyState(twist, 320), PropertyEditor::KeyState::KeyHere);
    EXPECT_EQ(PropertyEditor::keyState(twist, 0), PropertyEditor::KeyState::Animated);
    ASSERT_TRUE(PropertyEditor::toggleKey(twist, 320));
    EXPECT_EQ(PropertyEditor::keyState(twist, 320), PropertyEditor::KeyState::None);
    EXPECT_EQ(undo->getNumUndoSteps(), 2);

    // Deleting all keys keeps the value seen when the keys went.
    DzFloatProperty *bend = forearm()->getZRotControl();
    bend->setValue(0, 10.0f);
    bend->setValue(4800, 50.0f);
    dzScene->setTime(2400);
    EXPECT_EQ(PropertyEditor::deleteAllKeys(bend), 2);
    EXPECT_FALSE(bend->isKeyed());
    EXPECT_FLOAT_EQ(bend->getValue(), 30.0f);

    // Reset Pose returns every property to its default.
    forearm()->getYPosControl()->setValue(3.0f);
    EXPECT_EQ(PropertyEditor::resetNode(forearm(), 0, false), 10);
    EXPECT_FLOAT_EQ(forearm()->getYPosControl()->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(bend->getValue(), 0.0f);
    EXPECT_EQ(undo->getUndoCaption(), "Reset Pose");
    undo->undo();
    EXPECT_FLOAT_EQ(bend->getValue(), 30.0f);
}

TEST_F(PropertyEditorTest, DragSessionIsOneStep)
{
    DzFloatProperty *bend = forearm()->getZRotControl();
    {
        PropertyEditSession drag;
        ASSERT_TRUE(drag.begin(bend, 0, true));
        for (float v : { 5.0f, 10.0f, 20.0f, 35.0f })
            EXPECT_TRUE(drag.set(v));
        EXPECT_EQ(undo->getNumUndoSteps(), 0) << "nothing is recorded mid-drag";
        drag.commit();
        EXPECT_FALSE(drag.set(1.0f)) << "a committed session writes nothing more";
    }
    ASSERT_EQ(undo->getNumUndoSteps(), 1);
    EXPECT_EQ(undo->getUndoCaption(), "Change Left Forearm Z Rotate");
    EXPECT_FLOAT_EQ(bend->getValue(0), 35.0f);
    undo->undo();
    EXPECT_FALSE(bend->isKeyed());
    EXPECT_FLOAT_EQ(bend->getValue(0), 0.0f);

    // A session left open when it goes away still ends as one step.
    {
        PropertyEditSession drag;
        drag.begin(bend, 0, false);
        drag.set(12.0f);
    }
    EXPECT_EQ(undo->getNumUndoSteps(), 1);
    EXPECT_FALSE(undo->isHoldOpen());
}
