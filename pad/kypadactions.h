#pragma once
// The pad's host actions. Each finds the pad pane through the host's pane
// manager ("KyPadPane") when it runs and does nothing without one; the layer
// commands act on the pane's active group or layer.

#include "dzaction.h"

class KyPadPane;

class KyPadActionBase : public DzAction
{
    Q_OBJECT
public:
    KyPadActionBase(const QString &text, const QString &description);
    // The pad pane, or null.
    virtual KyPadPane *findPane() const;
};

class KyPadFillFramesAction : public KyPadActionBase
{
    Q_OBJECT
public:
    KyPadFillFramesAction();
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};

class KyPadExtendFramesAction : public KyPadActionBase
{
    Q_OBJECT
public:
    KyPadExtendFramesAction();
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;
};

#define KY_PAD_COMMAND(Name)                                                                                 \
    class Name : public KyPadActionBase                                                                      \
    {                                                                                                        \
        Q_OBJECT                                                                                             \
    public:                                                                                                  \
        Name();                                                                                              \
                                                                                                             \
    protected slots:                                                                                         \
        void executeAction() override;                                                                      \
    };

KY_PAD_COMMAND(KyPadZoomToFitAction)
KY_PAD_COMMAND(KyPadResetViewAction)
KY_PAD_COMMAND(KyPadCenterViewAction)
KY_PAD_COMMAND(KyPadAddLayerAction)
KY_PAD_COMMAND(KyPadDeleteLayerAction)
KY_PAD_COMMAND(KyPadRenameLayerAction)
KY_PAD_COMMAND(KyPadClearLayerAction)
KY_PAD_COMMAND(KyPadClearLayerAnimationAction)
KY_PAD_COMMAND(KyPadDeletePoseAction)
KY_PAD_COMMAND(KyPadUpdatePoseAction)

#undef KY_PAD_COMMAND
