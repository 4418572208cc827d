// Undo stack, holds, and the undo items that property and element edits make.
#include "dzfloatproperty.h"
#include "dznode.h"
#include "dzundoitem.h"
#include "dzundostack.h"
#include "dzundostackhold.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <functional>
#include <memory>

namespace {

// Logs "u<name>"/"r<name>" when undone/redone and "d<name>" when deleted.
// Item "P" pushes while being undone, as forward-path code reused by undo
// would, and logs whether the stack took it.
class LogItem : public DzUndoItem {
public:
    LogItem(QStringList *log, const QString &name)
        : m_log(log)
        , m_name(name)
    {
    }
    ~LogItem() override { m_log->append("d" + m_name); }
    void undo() override
    {
        m_log->append("u" + m_name);
        if (m_name != "P")
            return;
        DzUndoStackHold hold;
        m_log->append(dzUndoStack->push(new LogItem(m_log, "x")) ? "pushed" : "refused");
        hold.accept("reentrant");
    }
    void redo() override { m_log->append("r" + m_name); }
    QString getDescription() const override { return m_name; }

private:
    QStringList *m_log;
    QString m_name;
};

class Undo : public ::testing::Test {
protected:
    void SetUp() override
    {
        dzUndoStack->clear();
        dzUndoStack->setMaxSteps(200);
    }
    void TearDown() override { dzUndoStack->clear(); }
    // One accepted step of logging items, one per letter of `names`.
    void step(const QString &caption, const QString &names)
    {
        DzUndoStackHold hold;
        for (QChar c : names)
            dzUndoStack->push(new LogItem(&log, c));
        hold.accept(caption);
    }
    // One accepted step of whatever `what` does to a property or element.
    template <class T> static void edit(T &target, const std::function<void()> &what)
    {
        DzUndoStackHold hold;
        target.beginEdit();
        what();
        target.finishEdit();
        hold.accept("edit");
    }
    QStringList log;
};

} // namespace

TEST_F(Undo, OnlyAnAcceptedHoldMakesAStepAndItUndoesLastFirst)
{
    EXPECT_FALSE(dzUndoStack->push(new LogItem(&log, "a"))); // no hold: refused, not leaked
    {
        DzUndoStackHold hold;
        dzUndoStack->push(new LogItem(&log, "b"));
    } // not accepted: discarded without undoing
    step("nothing", ""); // an accepted hold with nothing in it makes no step
    EXPECT_EQ(dzUndoStack->getNumUndoSteps(), 0);
    QSignalSpy changed(dzUndoStack, &DzUndoStack::stackChanged);
    step("kinPading", "cd");
    EXPECT_GE(changed.count(), 1);
    ASSERT_EQ(dzUndoStack->getNumUndoSteps(), 1);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QString("kinPading"));
    EXPECT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(dzUndoStack->getRedoCaption(), QString("kinPading"));
    EXPECT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(log, QStringList({ "da", "db", "ud", "uc", "rc", "rd" }));
}

TEST_F(Undo, NestedHoldsMakeOneStepAndInnerCancelsStayLocal)
{
    {
        DzUndoStackHold outer;
        dzUndoStack->push(new LogItem(&log, "a"));
        step("inner", "b");
        {
            DzUndoStackHold dropped;
            dzUndoStack->push(new LogItem(&log, "x"));
        }
        dzUndoStack->push(new LogItem(&log, "c"));
        outer.accept("outer");
    }
    ASSERT_EQ(dzUndoStack->getNumUndoSteps(), 1);
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QString("outer"));
    dzUndoStack->undo();
    EXPECT_EQ(log, QStringList({ "dx", "uc", "ub", "ua" }));

    // An outer accept closes inner holds opened later.
    auto outer = std::make_unique<DzUndoStackHold>();
    auto inner = std::make_unique<DzUndoStackHold>();
    dzUndoStack->push(new LogItem(&log, "d"));
    outer->accept("outer");
    EXPECT_FALSE(dzUndoStack->isHoldOpen());
    inner.reset(); // already closed: destroying it changes nothing
    EXPECT_EQ(dzUndoStack->getNumUndoSteps(), 1);
}

TEST_F(Undo, NothingIsRecordedWhileUndoingOrUndoneWhileAHoldIsOpen)
{
    step("p", "P");
    {
        DzUndoStackHold open;
        EXPECT_FALSE(dzUndoStack->undo());
        open.accept("");
    }
    EXPECT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(log, QStringList({ "uP", "dx", "refused" }));
    EXPECT_EQ(dzUndoStack->getNumUndoSteps(), 0);
    EXPECT_EQ(dzUndoStack->getNumRedoSteps(), 1);
}

TEST_F(Undo, NewStepClearsRedoAndOldStepsAreDropped)
{
    step("a", "a");
    step("b", "b");
    dzUndoStack->undo();
    EXPECT_TRUE(dzUndoStack->canRedo());
    step("c", "c");
    EXPECT_FALSE(dzUndoStack->canRedo());
    dzUndoStack->setMaxSteps(2);
    step("d", "d");
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QString("d"));
    EXPECT_EQ(log, QStringList({ "ub", "db", "da" }));
}

TEST_F(Undo, PropertyEditsRecordOnlyWhatChangedFromTheOutermostBegin)
{
    DzFloatProperty p("x", 1.f);
    p.setValue(80, 0.f);
    edit(p, [&] {
        p.setValue(1.f); // no change
        p.finishEdit(); // unmatched afterwards: ignored
    });
    EXPECT_EQ(dzUndoStack->getNumUndoSteps(), 0);
    p.beginEdit();
    p.setValue(2.f);
    p.finishEdit(); // no hold: refused
    EXPECT_FLOAT_EQ(p.getStaticValue(), 2.f);
    edit(p, [&] {
        p.setValue(3.f);
        p.beginEdit(); // nested: recorded once
        p.setValue(4.f);
        p.setValue(160, 1.f);
        p.removeKey(80);
        p.finishEdit();
    });
    ASSERT_EQ(dzUndoStack->getNumUndoSteps(), 1);
    dzUndoStack->undo();
    EXPECT_FLOAT_EQ(p.getStaticValue(), 2.f);
    EXPECT_EQ(p.getKeyRange(), DzTimeRange(80, 80));
    dzUndoStack->redo();
    EXPECT_FLOAT_EQ(p.getStaticValue(), 4.f);
    EXPECT_EQ(p.getKeyRange(), DzTimeRange(160, 160));
}

TEST_F(Undo, ElementEditCoversAllItsPropertiesAsOneItem)
{
    DzNode bone("rShldr");
    bone.setRotationOrder(DzRotationOrder::XYZ);
    edit(bone, [&] {
        bone.setLocalRot(320, DzQuat(DzVec3(0, 0, 1), 1.0));
        bone.setLocalPos(DzVec3(1, 2, 3));
    });
    ASSERT_EQ(dzUndoStack->getNumUndoSteps(), 1);
    dzUndoStack->undo();
    EXPECT_FALSE(bone.getZRotControl()->isKeyed());
    EXPECT_TRUE(bone.getLocalPos().isEqual(DzVec3()));
    dzUndoStack->redo();
    EXPECT_TRUE(bone.getLocalPos().isEqual(DzVec3(1, 2, 3)));
    EXPECT_TRUE(bone.getLocalRot(320).isSameRotation(DzQuat(DzVec3(0, 0, 1), 1.0), 1e-6));
}

TEST_F(Undo, UndoOfADeletedPropertyIsHarmless)
{
    auto p = std::make_unique<DzFloatProperty>("x", 0.f);
    edit(*p, [&] { p->setValue(1.f); });
    p.reset();
    EXPECT_TRUE(dzUndoStack->undo());
    EXPECT_TRUE(dzUndoStack->redo());
}
