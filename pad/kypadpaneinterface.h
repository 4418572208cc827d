#pragma once
// What the pad's layers and data items need of the pad pane, without its
// widgets: the mode and options, the speed label, and the figure's layer
// group (for saving and for handing loaded layers over). The pane
// implements it; tests may supply their own. Found with kyPadPaneInterface().

#include <QList>
#include <QString>

class DzNode;
class KyPadLayer;

class KyPadPaneInterface
{
public:
    enum Mode { EditMode = 0, PreviewMode = 1, RecordMode = 2 };

    virtual ~KyPadPaneInterface() = default;

    virtual int mode() const = 0;
    virtual bool playAudio() const = 0;
    virtual bool fillFrames() const = 0;
    virtual bool extendFrames() const = 0;
    // The "Mouse Controls Speed" box.
    virtual bool mouseControlsSpeed() const = 0;
    // Shows the playback speed ("100%").
    virtual void showSpeed(const QString &text) = 0;

    // Whether the figure has a layer group; its layers in tab order.
    virtual bool hasLayerGroup(DzNode *figure) const = 0;
    virtual QList<KyPadLayer *> layersOf(DzNode *figure) const = 0;
    // Replaces the figure's layers by `layers` (taking them over). False,
    // nothing taken, when the figure has no group.
    virtual bool adoptLayers(DzNode *figure, const QList<KyPadLayer *> &layers) = 0;
};

// The pane registered with the host's pane manager as "KyPadPane", when it
// implements the interface; otherwise null (see kyPadSetPaneLookup).
KyPadPaneInterface *kyPadPaneInterface();
