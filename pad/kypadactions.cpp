#include "kypadactions.h"

#include "kypadlayer.h"
#include "kypadpane.h"

#include "dzapp.h"
#include "dzlog.h"
#include "dzmainwindow.h"
#include "dzpanemgr.h"

KyPadActionBase::KyPadActionBase(const QString &text, const QString &description)
    : DzAction(text, description)
{
    setActionGroup(QStringLiteral("kinPad"));
}

KyPadPane *KyPadActionBase::findPane() const
{
    if (!dzApp || !dzApp->getInterface() || !dzApp->getInterface()->getPaneMgr())
        return nullptr;
    return qobject_cast<KyPadPane *>(dzApp->getInterface()->getPaneMgr()->findPane(QStringLiteral("KyPadPane")));
}

// --- toggles --------------------------------------------------------------------

KyPadFillFramesAction::KyPadFillFramesAction()
    : KyPadActionBase(QStringLiteral("Fill Skipped Frames"),
                      QStringLiteral("If on, keys are set during playback/scrubbing on frames that were "
                                     "skipped while recording."))
{
    setObjectName(QStringLiteral("KyPadFillFramesAction"));
    setToggleAction(true);
}

void KyPadFillFramesAction::init()
{
    if (KyPadPane *pane = findPane()) {
        setOn(pane->fillFrames());
        connect(pane, &KyPadPane::fillFramesChanged, this, &DzAction::setOn);
    } else {
        dzLog(QStringLiteral("No KyPadPane instance found in KyPadFillFramesAction::init()"));
    }
    DzAction::init();
}

void KyPadFillFramesAction::toggleAction(bool onOff)
{
    if (KyPadPane *pane = findPane()) {
        if (pane->fillFrames() != onOff)
            pane->setFillFrames(onOff);
    } else {
        dzLog(QStringLiteral("No KyPadPane instance found in KyPadFillFramesAction::toggleAction(bool)"));
    }
}

KyPadExtendFramesAction::KyPadExtendFramesAction()
    : KyPadActionBase(QStringLiteral("Extend Frames"),
                      QStringLiteral("If on, the timeline is extended with new frames while recording."))
{
    setObjectName(QStringLiteral("KyPadExtendFramesAction"));
    setToggleAction(true);
}

void KyPadExtendFramesAction::init()
{
    if (KyPadPane *pane = findPane()) {
        setOn(pane->extendFrames());
        connect(pane, &KyPadPane::extendFramesChanged, this, &DzAction::setOn);
    } else {
        dzLog(QStringLiteral("No KyPadPane instance found in KyPadExtendFramesAction::init()"));
    }
    DzAction::init();
}

void KyPadExtendFramesAction::toggleAction(bool onOff)
{
    if (KyPadPane *pane = findPane()) {
        if (pane->extendFrames() != onOff)
            pane->setExtendFrames(onOff);
    } else {
        dzLog(QStringLiteral("No KyPadPane instance found in KyPadExtendFramesAction::toggleAction(bool)"));
    }
}

// --- commands -------------------------------------------------------------------

#define KY_PAD_COMMAND_IMPL(Name, text, description, body)                                                  \
    Name::Name()                                                                                             \
        : KyPadActionBase(QStringLiteral(text), QStringLiteral(description))                                 \
    {                                                                                                        \
        setObjectName(QStringLiteral(#Name));                                                                \
    }                                                                                                        \
    void Name::executeAction()                                                                               \
    {                                                                                                        \
        KyPadPane *pane = findPane();                                                                        \
        if (!pane)                                                                                           \
            return;                                                                                          \
        KyPadLayer *layer = pane->getActiveLayer();                                                          \
        (void)layer;                                                                                         \
        body;                                                                                                \
    }

KY_PAD_COMMAND_IMPL(KyPadZoomToFitAction, "Zoom to Fit", "Zoom so that all kinBlock dots are visible.",
                    if (layer) layer->zoomToFit())
KY_PAD_COMMAND_IMPL(KyPadResetViewAction, "Reset View", "Reset the view to its initial state.",
                    if (layer) layer->resetView())
KY_PAD_COMMAND_IMPL(KyPadCenterViewAction, "Center View",
                    "Center the view around all kinBlock dots without changing zoom.",
                    if (layer) layer->centerView())
KY_PAD_COMMAND_IMPL(KyPadAddLayerAction, "Add Layer", "Add a new layer for the active item.", pane->addLayer())
KY_PAD_COMMAND_IMPL(KyPadDeleteLayerAction, "Delete Layer", "Delete the active layer.", pane->deleteLayer())
KY_PAD_COMMAND_IMPL(KyPadRenameLayerAction, "Rename Layer", "Rename the active layer.", pane->renameLayer())
KY_PAD_COMMAND_IMPL(KyPadClearLayerAction, "Clear Layer", "Remove all kinBlock dots from the active layer.",
                    pane->clearLayer())
KY_PAD_COMMAND_IMPL(KyPadClearLayerAnimationAction, "Clear Layer Animation",
                    "Clear the animation from the parameters which this layer affects.",
                    pane->clearLayerAnimation())
KY_PAD_COMMAND_IMPL(KyPadDeletePoseAction, "Delete Selected kinBlock", "Delete the currently selected kinBlock dot.",
                    if (layer && layer->selectedPose()) layer->removePose(layer->selectedPose()))
KY_PAD_COMMAND_IMPL(KyPadUpdatePoseAction, "Update Selected kinBlock",
                    "Saves the figure's current kinBlock to the selected pose dot.",
                    if (layer && layer->selectedPose()) layer->setPose(layer->selectedPose()))
