#pragma once
// Set-up of the pad tests: the timeline tests' host and figures, a stand-in
// pad pane (mode, options and a list of layers per figure) or the pad pane in
// a host window, the main pane's core on a fake clock, and the stock blocks.
// The pad and host headers most tests need come with it and the timeline
// tests' support header.

#include "../timeline/timelinetestsupport.h"

#include "kymixercore.h"
#include "kypadhooks.h"
#include "kypadlayer.h"
#include "kypadnodedata.h"
#include "kypadnodelist.h"
#include "kypadpaneinterface.h"
#include "kypadpose.h"

#include "dzpane.h"
#include "dzundostack.h"

#include <QMap>

class DzMainWindow;

class FakePadPane : public DzPane, public KyPadPaneInterface {
    Q_OBJECT
public:
    FakePadPane();
    ~FakePadPane() override;

    int mode() const override { return padMode; }
    bool playAudio() const override { return true; }
    bool fillFrames() const override { return fill; }
    bool extendFrames() const override { return extend; }
    bool mouseControlsSpeed() const override { return mouseSpeed; }
    void showSpeed(const QString &text) override { speedText = text; }
    bool hasLayerGroup(DzNode *figure) const override { return groups.contains(figure); }
    QList<KyPadLayer *> layersOf(DzNode *figure) const override { return groups.value(figure); }
    bool adoptLayers(DzNode *figure, const QList<KyPadLayer *> &layers) override;

    // A new group with one layer, "Layer 1".
    void addGroup(DzNode *figure);

    int padMode = EditMode;
    bool fill = true;
    bool extend = true;
    bool mouseSpeed = true;
    QString speedText;
    QMap<DzNode *, QList<KyPadLayer *>> groups;
};

class PadTest : public TimelineTest {
protected:
    // With the stand-in pane.
    void SetUp() override;
    void TearDown() override;
    // The host and the pad's data classes, without a pane.
    void setUpHost();

    // The main pane's core over a timeline bound to `figure`, on m_now.
    void makeCore(DzNode *figure);
    static KyBlock *stockBlock(const QString &name);
    // The value channel of one of the figure's morphs ("Smile", ...).
    static DzFloatProperty *morph(DzNode *figure, const char *name);

    FakePadPane *m_pane = nullptr;
    DzMainWindow *m_window = nullptr; // deleted on tear-down when a test made one
    std::unique_ptr<KyTimeline> m_timeline;
    std::unique_ptr<KyMixerCore> m_core;
    int m_now = 1000;
    KyBlock *m_walk = nullptr; // s_walk_01
    KyBlock *m_run = nullptr; // s_run_01
};
