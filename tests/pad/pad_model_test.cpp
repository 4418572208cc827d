// Dots and their pose snapshots, layers, masks, the cursor track and the
// undo steps of pad edits.
#include "padtestsupport.h"

#include "dzbone.h"
#include "dzundostackhold.h"

using PadModel = PadTest;

TEST_F(PadModel, CaptureAndApplyRoundTrip)
{
    DzSkeleton *figure = addFigure();
    const QList<DzNode *> nodes = kyPadNodeList(figure);
    DzNode *shoulder = figure->findNodeChild(QStringLiteral("lShldr"), true);
    DzNode *hip = figure->findNodeChild(QStringLiteral("hip"));
    const std::pair<DzFloatProperty *, float> values[] = { { shoulder->getXRotControl(), 25.0f },
        { shoulder->getZRotControl(), -40.0f }, { hip->getYPosControl(), 3.5f },
        { hip->getScaleControl(), 1.2f }, { morph(figure, "Smile"), 0.75f },
        { morph(figure, "MouthOpen"), 0.0f }, { hip->getZPosControl(), -2.0f } };
    for (const auto &[property, value] : values)
        property->setValue(value);
    KyPadPose pose(nullptr, 4.0f, 5.0f, figure, true);
    EXPECT_EQ(pose.numNodeData(), nodes.size());
    for (const auto &[property, value] : values)
        property->setValue(property->getDefaultValue() + 0.3f);
    pose.apply();
    for (const auto &[property, value] : values)
        EXPECT_NEAR(property->getValue(), value, 1e-3f) << property->getName().toStdString();
    // Converting keeps the pose and stores the control values it gives.
    pose.convertLocalTransforms();
    for (const auto &[property, value] : values)
        EXPECT_NEAR(property->getValue(), value, 1e-3f) << property->getName().toStdString();
    EXPECT_NEAR(pose.nodeData(nodes.indexOf(hip))->pos.m_z, -2.0f, 1e-4f);

    // Lookups by name; the figure's own entry through isTopLevel.
    KyPadNodeData *top = pose.findNodeData(QString(), true);
    EXPECT_EQ(top, pose.nodeData(nodes.size() - 1));
    EXPECT_EQ(pose.findNodeData(QString(), false), nullptr);
    EXPECT_EQ(pose.findNodeData(QStringLiteral("lShldr")), pose.nodeData(nodes.indexOf(shoulder)));

    // addPropVal addresses a morph by its own name; an unknown name does nothing.
    top->addPropVal(figure, QStringLiteral("MouthOpen"), 0.4);
    double v = 0.0;
    EXPECT_TRUE(top->propValue(morph(figure, "MouthOpen"), &v));
    EXPECT_DOUBLE_EQ(v, 0.4);
    const int before = top->numPropValues();
    top->addPropVal(figure, QStringLiteral("NoSuchThing"), 1.0);
    EXPECT_EQ(top->numPropValues(), before);
}

TEST_F(PadModel, NewPosesAndScriptPosesConvert)
{
    DzSkeleton *figure = addFigure();
    KyPadLayer *layer = m_pane->layersOf(figure).first();
    KyPadPose *fresh = layer->newPose(3, 4);

    // A script sets a local transform; adding the pose converts it into
    // control values and poses the figure.
    DzNode *shoulder = figure->findNodeChild(QStringLiteral("lShldr"), true);
    const DzQuat q(DzVec3(0, 0, 1), 0.5);
    fresh->setNodeData(QStringLiteral("lShldr"), DzVec3(1, 2, 3), DzVec3(1, 1, 1), 1.0, q);
    layer->addPose(fresh);
    EXPECT_TRUE(shoulder->getLocalRot().isSameRotation(q, 1e-5));
    EXPECT_FLOAT_EQ(shoulder->getXPosControl()->getValue(), 1.0f);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Add Pose"));

    // A drop captures and never converts: the figure stays as it is.
    shoulder->getXPosControl()->setValue(9.0f);
    KyPadPose *dropped = layer->addPose(static_cast<KyBlock *>(nullptr), 50, 60);
    EXPECT_EQ(layer->selectedPose(), dropped);
    EXPECT_FLOAT_EQ(shoulder->getXPosControl()->getValue(), 9.0f);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Add kinBlock"));

    // Removing another dot keeps the selection; removing the selected clears it.
    layer->removePose(fresh);
    EXPECT_EQ(layer->selectedPose(), dropped);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Delete Selected kinBlock"));
    ASSERT_TRUE(dzUndoStack->undo());
    ASSERT_EQ(layer->poses().size(), 2);
    EXPECT_TRUE(layer->poses()[0]->findNodeData(QStringLiteral("lShldr"))->rot.isSameRotation(q, 1e-5));
    EXPECT_EQ(layer->selectedPose(), layer->poses()[1]);
    layer->removePose(layer->selectedPose());
    EXPECT_EQ(layer->selectedPose(), nullptr);
}

TEST_F(PadModel, GrownFigureIsSkippedNotOverrun)
{
    DzSkeleton *figure = addFigure();
    KyPadPose pose(nullptr, 0, 0, figure, true);
    const int stored = pose.numNodeData();
    // The figure gains a bone after the capture: the figure's own entry
    // moves one past the stored data.
    auto *extra = new DzBone(QStringLiteral("tail"));
    figure->addNodeChild(extra);
    ASSERT_EQ(kyPadNodeList(figure).size(), stored + 1);
    figure->getXPosControl()->setValue(7.0f);

    pose.apply(); // skips the figure node
    EXPECT_FLOAT_EQ(figure->getXPosControl()->getValue(), 7.0f);
    pose.convertLocalTransforms();
    EXPECT_FLOAT_EQ(figure->getXPosControl()->getValue(), 7.0f);
    EXPECT_EQ(pose.findNodeData(QString(), true), nullptr);

    // A layer's masks cover the grown figure, also with a dot of no figure.
    KyPadLayer *layer = m_pane->layersOf(figure).first();
    layer->addPose(new KyPadPose(nullptr, 0, 0, nullptr, false), false);
    layer->addPose(new KyPadPose(nullptr, 0, 0, figure, true), false);
    EXPECT_EQ(layer->transformMask().size(), static_cast<size_t>(stored + 1));
}

TEST_F(PadModel, LayerClaimsWhatVariesAndClearsOnlyThat)
{
    DzSkeleton *figure = addFigure();
    KyPadLayer *layer = m_pane->layersOf(figure).first();
    DzNode *shoulder = figure->findNodeChild(QStringLiteral("lShldr"), true);
    DzNode *knee = figure->findNodeChild(QStringLiteral("rShin"), true);
    ASSERT_TRUE(shoulder && knee);
    DzFloatProperty *smile = morph(figure, "Smile");
    DzFloatProperty *eyes = morph(figure, "EyesClosed");

    eyes->setValue(0.5f);
    layer->addPose(static_cast<KyBlock *>(nullptr), 0, 0);
    shoulder->getZRotControl()->setValue(30.0f);
    smile->setValue(1.0f);
    layer->addPose(static_cast<KyBlock *>(nullptr), 50, 0);

    const QList<DzNode *> nodes = kyPadNodeList(figure);
    const int si = nodes.indexOf(shoulder), ki = nodes.indexOf(knee), fi = nodes.indexOf(figure);
    EXPECT_TRUE(layer->transformMask()[si]);
    EXPECT_FALSE(layer->transformMask()[ki]);
    EXPECT_TRUE(layer->propertyMask()[fi]);
    EXPECT_EQ(layer->varyingProperties(fi, kyPadProperties(figure)), QList<DzFloatProperty *> { smile });

    // Keys everywhere; the layer clears the shoulder and the smile in range.
    for (DzTime t : { 0, 2400, 9600 }) {
        shoulder->getZRotControl()->setValue(t, 10.0f);
        knee->getXRotControl()->setValue(t, 10.0f);
        smile->setValue(t, 0.2f);
        eyes->setValue(t, 0.2f);
    }
    for (DzTime t : { 2400, 4800, 9600 }) // the end of the range is cleared too
        layer->cursor()->insertKey(new DzPointKey0(1, 1, t));
    dzUndoStack->clear();
    layer->clearAnimation(DzTimeRange(0, 4800));
    // The eyes are the same in every dot: not the layer's.
    const auto keyCounts = [&] {
        return std::tuple(shoulder->getZRotControl()->getNumKeys(), smile->getNumKeys(),
            knee->getXRotControl()->getNumKeys(), eyes->getNumKeys(), layer->cursor()->keys().count());
    };
    EXPECT_EQ(keyCounts(), std::tuple(1, 1, 3, 3, 1));

    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("Clear Layer Animation"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(keyCounts(), std::tuple(3, 3, 3, 3, 3));

    // Clear Layer: one step, undone in full.
    layer->clearPoses();
    EXPECT_TRUE(layer->poses().isEmpty());
    EXPECT_FALSE(layer->transformMask()[si]);
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(layer->poses().size(), 2);
    EXPECT_TRUE(layer->transformMask()[si]);
}

TEST_F(PadModel, CursorTrackKeysAndTheirUndo)
{
    DzPointControl0 track;
    {
        DzUndoStackHold hold;
        track.insertKey(new DzPointKey0(0.0f, 4.0f, 0));
        track.insertKey(new DzPointKey0(10.0f, 8.0f, 4800));
        hold.accept(QStringLiteral("keys"));
    }
    // Between keys linear; before the first held; after the last unchanged.
    for (const auto &[time, at] : { std::pair { 1200, QPointF(2.5, 5) }, { 6000, QPointF(2.5, 5) },
             { -100, QPointF(0, 4) }, { 4800, QPointF(10, 8) } }) {
        track.evaluate(time);
        EXPECT_EQ(QPointF(track.x, track.y), at) << time;
    }

    // A key at an existing time replaces it, as one undoable step.
    {
        DzUndoStackHold hold;
        track.insertKey(new DzPointKey0(20.0f, 0.0f, 4800));
        hold.accept(QStringLiteral("replace"));
    }
    EXPECT_EQ(track.keys().count(), 2);
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_FLOAT_EQ(track.findKey(4800)->x, 10.0f);
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_TRUE(track.keys().isEmpty());
}
