// What the viewport draws and what a click on it selects.
#include "dzbone.h"
#include "studiotestsupport.h"
#include "studioviewport.h"
#include "viewportdrawlist.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

class ViewportTest : public FigureTest {
protected:
    void SetUp() override
    {
        FigureTest::SetUp();
        camera.setView(ViewCamera::Front);
    }

    const ViewportDrawList::Bone *find(const ViewportDrawList &list, const QString &name) const
    {
        for (const ViewportDrawList::Bone &b : list.bones())
            if (b.node->getName() == name)
                return &b;
        return nullptr;
    }

    ViewCamera camera;
    const QSizeF view { 900, 700 };
};

} // namespace

TEST_F(ViewportTest, DrawsAndPicksEveryVisibleBoneAndTheFigureRingInThePoseAtTheGivenTime)
{
    DzBone *shoulder = figure->findBone("lShldr");
    shoulder->getZRotControl()->setValue(0, 0.0f);
    shoulder->getZRotControl()->setValue(4800, -80.0f);
    ViewportDrawList atStart, atEnd;
    atStart.build(dzScene, camera, view, 0);
    atEnd.build(dzScene, camera, view, 4800);
    EXPECT_EQ(atStart.bones().size(), figure->getNumBones());
    ASSERT_EQ(atStart.markers().size(), 1);
    // The head is drawn above the hip (screen y grows downwards).
    EXPECT_LT(find(atStart, "head")->joint.y(), find(atStart, "hip")->joint.y());
    const QPointF handStart = find(atStart, "lHand")->joint, handEnd = find(atEnd, "lHand")->joint;
    EXPECT_GT(std::hypot(handStart.x() - handEnd.x(), handStart.y() - handEnd.y()), 40.0)
        << "the arm swings between the two keys";
    EXPECT_EQ(find(atStart, "lShldr")->joint, find(atEnd, "lShldr")->joint);

    // Joints are picked first, then bones, then the figure's ring.
    for (const char *name : { "head", "lForeArm", "rShin", "hip" }) {
        const ViewportDrawList::Bone *b = find(atStart, name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(atStart.pick(b->joint + QPointF(1.0, -1.0)), b->node) << name;
    }
    // The middle of the thigh is far from every joint: the bone shape wins.
    const ViewportDrawList::Bone *thigh = find(atStart, "lThigh");
    EXPECT_EQ(atStart.pick((thigh->segmentA + thigh->segmentB) / 2.0), thigh->node);
    // Inside the ground ring, away from the feet: the figure.
    const QRectF box = atStart.markers().first().ring.boundingRect();
    EXPECT_EQ(atStart.pick(QPointF(box.left() + 6.0, box.center().y())), figure);
    // Empty space.
    EXPECT_EQ(atStart.pick(QPointF(5.0, 5.0)), nullptr);

    // Hidden bones, and what hangs from them, are neither drawn nor picked.
    DzBone *hand = figure->findBone("rHand");
    const QPointF at = find(atStart, "rHand")->joint;
    hand->setHidden(true);
    ViewportDrawList hidden;
    hidden.build(dzScene, camera, view, 0);
    EXPECT_EQ(find(hidden, "rHand"), nullptr);
    EXPECT_EQ(find(hidden, "rThumb1"), nullptr);
    EXPECT_NE(hidden.pick(at), hand);
}

TEST_F(ViewportTest, ClickSelectsTheBoneUnderTheMouseAloneAndDragOrbits)
{
    StudioViewport viewport(dzScene);
    viewport.resize(900, 700);
    viewport.camera().setView(ViewCamera::Front);
    viewport.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewport));

    DzBone *hand = figure->findBone("lHand");
    dzScene->selectNode(figure->findBone("head"));
    QSignalSpy primary(dzScene, &DzScene::primarySelectionChanged);

    QPointF at;
    ASSERT_TRUE(viewport.jointPosition(hand, &at));
    QTest::mouseClick(&viewport, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    EXPECT_EQ(dzScene->getNumSelectedNodes(), 1) << "the click replaces the selection";
    EXPECT_EQ(primary.count(), 1);
    EXPECT_EQ(dzScene->getPrimarySelection(), hand);

    QTest::mouseDClick(&viewport, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    EXPECT_EQ(dzScene->getPrimarySelection(), figure) << "a double click selects the figure";

    QTest::mouseClick(&viewport, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(dzScene->getPrimarySelection(), nullptr) << "a click on empty space clears the selection";

    // A drag orbits the camera and selects nothing.
    const double yaw = viewport.camera().getYaw();
    ASSERT_TRUE(viewport.jointPosition(figure->findBone("chest"), &at));
    QTest::mousePress(&viewport, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    QTest::mouseMove(&viewport, at.toPoint() + QPoint(60, 0));
    QTest::mouseRelease(&viewport, Qt::LeftButton, Qt::NoModifier, at.toPoint() + QPoint(60, 0));
    EXPECT_NE(viewport.camera().getYaw(), yaw);
    EXPECT_EQ(dzScene->getPrimarySelection(), nullptr);
}

TEST_F(ViewportTest, RenderShowsTheSelectionHighlight)
{
    StudioViewport viewport(dzScene);
    viewport.camera().setView(ViewCamera::Front);
    const QImage plain = viewport.renderImage(QSize(320, 240));
    ASSERT_EQ(plain.size(), QSize(320, 240));
    StudioViewport::selectOnly(dzScene, figure->findBone("lThigh"));
    const QImage selected = viewport.renderImage(QSize(320, 240));
    EXPECT_NE(plain, selected);
    int orange = 0; // pixels in the selected bone's fill colour
    for (int i = 0; i < selected.width() * selected.height(); ++i)
        orange += selected.pixelColor(i % selected.width(), i / selected.width()) == QColor(255, 176, 64);
    EXPECT_GT(orange, 10);
}
