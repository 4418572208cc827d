#pragma once
// Shared set-up of the timeline tests: a host (DzApp with its scene), the
// node table, prompts answered from a script, stock figures, and small
// blocks made in memory and saved to a temporary folder.

#include "figurebinding.h"
#include "kyblock.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"
#include "vec3f.h"

#include "dzfloatproperty.h"
#include "dzquat.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "dzapp.h"

// Answers questions and file dialogs from queues and records every text.
class ScriptedPrompts : public KyPromptHandler {
public:
    void information(const QString &caption, const QString &text, QObject *) override
    {
        captions << caption;
        messages << text;
    }
    bool question(const QString &caption, const QString &text, QObject *) override
    {
        captions << caption;
        questions << text;
        return next(answers, false);
    }
    QString saveFileName(const KySaveFileRequest &request) override
    {
        fileRequests.push_back(request);
        return next(files, QString());
    }
    QStringList openFileNames(const KySaveFileRequest &request) override
    {
        fileRequests.push_back(request);
        return next(openFiles, QStringList());
    }
    void status(const QString &text) override { statuses << text; }

    std::deque<bool> answers; // empty: No
    std::deque<QString> files; // empty: cancelled
    std::deque<QStringList> openFiles; // empty: cancelled
    QStringList statuses;
    QStringList captions;
    QStringList messages;
    QStringList questions;
    std::vector<KySaveFileRequest> fileRequests;

private:
    // The front of a queue of scripted answers, or `none` when it is empty.
    template <typename T> static T next(std::deque<T> &queue, T none)
    {
        if (queue.empty())
            return none;
        T front = queue.front();
        queue.pop_front();
        return front;
    }
};

// A rotation in block terms: degrees about an axis.
struct BlockRotation {
    float angle = 0.0f;
    Vec3f axis { 0.0f, 1.0f, 0.0f };
};

// What a generated block does over time t (clip ms).
struct MotionPlan {
    int lengthMs = 1000;
    int stepMs = 33;
    std::function<Vec3f(int t)> hip = [](int) { return Vec3f { 0.0f, 99.24f, 0.0f }; };
    std::map<QString, std::function<BlockRotation(int t)>> rotations;

    // The bone turned by `degrees` about axis throughout (block terms).
    MotionPlan &hold(const QString &bone, float degrees, Vec3f axis)
    {
        return ramp(bone, degrees, degrees, axis);
    }
    // The bone turning from `from` to `to` degrees about axis over the clip.
    MotionPlan &ramp(const QString &bone, float from, float to, Vec3f axis);
};

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A stock figure ("standard", "large", "partial") added to the scene.
    DzSkeleton *addFigure(const QString &name = QStringLiteral("standard"));
    // A figure of one bone and no hip, its origin 50 above the ground.
    DzSkeleton *addHiplessFigure(const char *bone);
    // A block made from a motion plan, saved as <temp>/<name>.kba and registered.
    KyBlock *makeBlock(const QString &name, const MotionPlan &motion);
    // Standard motions.
    MotionPlan still(int lengthMs = 1000);
    // Walks `distance` along +Z over the clip, hip rotation fixed.
    MotionPlan walkZ(float distance, int lengthMs = 1000);
    // Turns about +Y to `degrees` over the clip (the heading the engine
    // reads), standing still.
    MotionPlan turnY(float degrees, int lengthMs = 1000);
    // Every standard bone rotated by a distinct, time-varying small angle.
    MotionPlan fullBody(int lengthMs = 1000);

    QString tempPath(const QString &file) const { return m_temp.filePath(file); }
    // Writes bytes to <temp>/<file> and returns its path.
    QString writeTemp(const QString &file, const QByteArray &bytes) const;
    static QString contentDir() { return QStringLiteral(TRELVO_CONTENT_DIR); }

    std::unique_ptr<DzApp> m_app;
    ScriptedPrompts m_prompts;
    QTemporaryDir m_temp;
};

// A standard figure in the scene with a timeline bound to it.
class FigureTimelineTest : public TimelineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    DzSkeleton *m_figure = nullptr;
    std::unique_ptr<KyTimeline> m_timeline;
    KyTrack *m_track = nullptr; // the figure's track
};

// The named bone of a figure, searched at every depth.
DzNode *boneOf(DzSkeleton *figure, const char *name);

// The host rotation a block rotation becomes: DzQuat(−axis, angle).
DzQuat hostRotation(const BlockRotation &r);
// The rotation the node table holds for a bone after evaluation, as a host
// quaternion (identity when it has none).
DzQuat tableRotation(const QString &bone);
// Where the node table puts the hip after evaluation.
Vec3f tableHipPosition();
// Angle between two rotations in degrees (q and −q count as equal).
double angleBetween(const DzQuat &a, const DzQuat &b);
// Every component of got within tolerance of want.
::testing::AssertionResult near(const Vec3f &got, const Vec3f &want, float tolerance);
