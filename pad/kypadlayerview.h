#pragma once
// KyPadLayerView: the canvas of one pad layer - a blue grid on a light
// ground, one dot per pose with its block's name above it and, in Preview
// and Record kinBlock modes, the cursor. It turns mouse, wheel and drops
// into calls on the layer (kypadlayer.h) and its view geometry
// (kypadmath.h); it holds no state of the pad beyond the gesture under way.
//
// Mouse: Ctrl+drag zooms about the centre, Alt+drag or the middle button
// pans, the wheel zooms (forward zooms out). Edit mode: a click on a dot
// selects it and poses the figure from it (Shift: stores the figure's pose
// in it instead), dragging moves it, a right click opens the dot's menu; a
// right click on the empty pad opens the pad's menu. Preview and Record
// kinBlock: pressing on a pad with two or more dots starts the performance,
// the cursor follows the mouse, releasing ends it.

#include <QFrame>
#include <QPointer>

#include <functional>
#include <memory>

#include "kypadlayer.h"
class KyPadLayerEdit;
class KyPadPose;
class QMenu;

class KyPadLayerView : public QFrame
{
    Q_OBJECT
public:
    // Fixed sizes (pixels) of a dot and of the cursor.
    static constexpr int kDotSize = 12;
    static constexpr int kCursorSize = 14;
    // Context menu kinds.
    enum MenuKind { PadMenu = 0, PerformanceMenu = 1, DotMenu = 2 };

    explicit KyPadLayerView(KyPadLayer *layer, QWidget *parent = nullptr);
    ~KyPadLayerView() override;

    KyPadLayer *layer() const { return m_layer.data(); }
    bool cursorMoved() const { return m_cursorMoved; }

    // Pops up the menu of `kind` at the global position; returns the index
    // of the chosen entry, −1 when the menu closed without a choice or there
    // is no action manager.
    int doContextMenu(int globalX, int globalY, int kind);
    // Replaces how menus are shown (tests answer them); null restores exec().
    using MenuRunner = std::function<QAction *(QMenu *menu, const QPoint &globalPos)>;
    static void setMenuRunner(MenuRunner runner);

    // A drop of a text drag at a widget pixel: "KyMasterBlock" or
    // "KyFinderBlock" from `source` adds a dot for the block there (the
    // pixel taken as the pad point). False when nothing was added.
    bool dropText(const QString &text, QObject *source, const QPoint &pixel);

    QSize sizeHint() const override { return QSize(300, 300); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    int mode() const;
    bool usable() const;

    QPointer<KyPadLayer> m_layer;
    bool m_editPress = false;
    bool m_cursorMoved = false;
    bool m_zoomDragging = false;
    bool m_panning = false;
    float m_zoomAtPress = 1.0f;
    float m_originAtPress[2] = {0.0f, 0.0f};
    int m_pressX = 0;
    int m_pressY = 0;
    // The dot being dragged in Edit mode, and the undo step of its move.
    std::unique_ptr<KyPadLayerEdit> m_moveEdit;
};
