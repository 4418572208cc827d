#pragma once
// Shared set-up of the pane tests: the studio window holding the block mixer
// pane, and the timeline pane on its own with a figure and a 1 s walk;
// the widgets and host parts these tests drive.
#include "timelinetestsupport.h"

#include "kydialogrunner.h"
#include "kymaster.h"
#include "kymasterblock.h"
#include "kymasterblockdialog.h"
#include "kymasterfootdialog.h"
#include "kymasterlayout.h"
#include "kymixercore.h"
#include "kymixerpane.h"

#include "dzmainwindow.h"
#include "dzpanemgr.h"
#include "dzundostack.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class MixerPaneTest : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        m_window = std::make_unique<DzMainWindow>();
        m_pane = new KyMixerPane;
        m_window->getPaneMgr()->addPane(m_pane);
    }
    void TearDown() override
    {
        kySetDialogRunner(nullptr);
        m_window.reset();
        TimelineTest::TearDown();
    }
    // The figure selected in the scene; the pane shows its track.
    KyTrack *trackOf(DzSkeleton *figure)
    {
        dzScene->setPrimarySelection(figure);
        return m_pane->timeline()->currentTrack();
    }

    std::unique_ptr<DzMainWindow> m_window;
    KyMixerPane *m_pane = nullptr;
};

class MasterTest : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        m_figure = addFigure();
        m_master = std::make_unique<KyMaster>();
        m_master->resize(900, 140);
        m_master->show();
        m_walk = makeBlock(QStringLiteral("s_walk_fast"), walkZ(100.0f, 1000));
    }
    void TearDown() override
    {
        kySetDialogRunner(nullptr);
        m_master.reset();
        TimelineTest::TearDown();
    }
    // The tile of the current track's i-th block.
    KyMasterBlock *tile(int i)
    {
        return m_master->currentTrack()->tileFor(m_master->timeline()->currentTrack()->blockAt(i));
    }

    DzSkeleton *m_figure = nullptr;
    std::unique_ptr<KyMaster> m_master;
    KyBlock *m_walk = nullptr;
};
