#pragma once
// KyPadPane ("kinPad"): the pose pad's pane - the figure chooser, the mode
// buttons (Edit, Preview, Record kinBlock), the playback-speed row and a
// stack of layer groups, one per figure in the scene. It follows the scene
// (figures added and removed, the primary selection, the time, clearing),
// gives every figure its "kinPadData" item, and offers the layer commands
// as slots (the scripting interface) and, through KyPadActionBase, as host
// actions.

#include "kypadpaneinterface.h"

#include "dzpane.h"
#include "dztime.h"

#include <QMap>
#include <QPointer>

#include "dznode.h"
class DzNodeMenu;
class DzScript;
class KyPadLayer;
class KyPadLayerGroup;
class KyPadLayerView;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QStackedWidget;

class KyPadPane : public DzPane, public KyPadPaneInterface
{
    Q_OBJECT
public:
    KyPadPane();
    ~KyPadPane() override;

    void buildOptionsMenu(DzActionMenu *menu) const override;
    bool useOptionsAsContextMenu() const override { return true; }

    // KyPadPaneInterface
    int mode() const override;
    bool playAudio() const override { return m_playAudio; }
    bool fillFrames() const override { return m_fillFrames; }
    bool extendFrames() const override { return m_extendFrames; }
    bool mouseControlsSpeed() const override;
    void showSpeed(const QString &text) override;
    bool hasLayerGroup(DzNode *figure) const override;
    QList<KyPadLayer *> layersOf(DzNode *figure) const override;
    bool adoptLayers(DzNode *figure, const QList<KyPadLayer *> &layers) override;

    DzNodeMenu *nodeMenu() const { return m_nodeMenu; }
    QCheckBox *mouseSpeedBox() const { return m_mouseSpeed; }
    QLabel *speedLabel() const { return m_speedValue; }
    DzNode *currentNode() const { return m_currentNode.data(); }

    // Asks for a layer name (tests answer it): the text, or a null string
    // when cancelled.
    using NamePrompt = std::function<QString(const QString &proposal)>;
    static void setNamePrompt(NamePrompt prompt);

public slots:
    void buildNodeList();
    void nodeAdded(DzNode *node);
    void nodeRemoved(DzNode *node);
    void primarySelectionChanged(DzNode *node);
    void timeChanged(DzTime t);
    KyPadLayerGroup *getLayerGroupByNode(DzNode *node) const;
    KyPadLayerGroup *getActiveLayerGroup() const;
    KyPadLayer *getActiveLayer() const;
    KyPadLayerView *getActiveLayerView() const;
    KyPadLayer *addLayer(DzNode *node, QString name);
    void addLayer();
    void renameLayer();
    void deleteLayer();
    void deleteAllLayers(DzNode *node);
    void deleteEmptyDefaultLayer(DzNode *node);
    void clearLayer();
    void clearLayerAnimation();
    bool playAudio();
    void setPlayAudio(bool on);
    bool fillFrames();
    void setFillFrames(bool on);
    bool extendFrames();
    void setExtendFrames(bool on);
    int mode();
    void setMode(int mode);
    void saveStateScript(DzScript &script);
    void sceneCleared();

signals:
    void playAudioChanged(bool on);
    void fillFramesChanged(bool on);
    void extendFramesChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void selectNode(DzNode *node);
    void restoreFigure();
    void sceneLoaded();

private:
    QString askName(const QString &proposal) const;

    DzNodeMenu *m_nodeMenu;
    QWidget *m_mainBox;
    QButtonGroup *m_modeGroup;
    QLabel *m_speedCaption;
    QLabel *m_speedValue;
    QCheckBox *m_mouseSpeed;
    QStackedWidget *m_stack;
    QMap<DzNode *, QPointer<KyPadLayerGroup>> m_groups;
    QPointer<DzNode> m_currentNode;
    bool m_playAudio = true;
    bool m_fillFrames = true;
    bool m_extendFrames = true;
};
