#pragma once

#include "viewcamera.h"
#include "viewportdrawlist.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

class DzNode;
class DzScene;
class QPainter;

// The 3-D view: a ground grid and every figure's skeleton (tapered bones,
// joint dots, a ring where each figure stands), the selected figure and the
// selected bone highlighted, painted with QPainter so that it works on any
// platform plug-in (xcb, Xvfb, offscreen).
//
// Mouse: a click selects the bone (or figure ring, or node) under the
// cursor as the only and primary selection, a click on empty space clears
// the selection, a double click selects the clicked bone's figure. Left drag
// orbits, middle drag or Shift + left drag pans, the wheel zooms.
class StudioViewport : public QWidget {
    Q_OBJECT
public:
    explicit StudioViewport(DzScene *scene, QWidget *parent = nullptr);

    ViewCamera &camera() { return m_camera; }
    const ViewCamera &camera() const { return m_camera; }

    bool isGridShown() const { return m_showGrid; }

    // The node a click at `pos` (widget coordinates) would select, or null.
    DzNode *nodeAt(const QPoint &pos);
    // Where a bone's joint is drawn (widget coordinates); false when it is not
    // visible.
    bool jointPosition(const DzNode *bone, QPointF *pos);

    // The view as an image of the given size (the widget's own size when
    // empty), drawn exactly as on screen.
    QImage renderImage(const QSize &size = QSize());

    QSize sizeHint() const override { return QSize(640, 480); }
    QSize minimumSizeHint() const override { return QSize(160, 120); }

    // Makes the exclusive selection a click makes: `node` becomes the only
    // selected node and the primary selection (null clears the selection).
    // Emits primarySelectionChanged at most once.
    static void selectOnly(DzScene *scene, DzNode *node);

public slots:
    void setView(ViewCamera::View view);
    // Frames the primary selection's figure (every figure without one).
    void frameSelection();
    void setGridShown(bool shown);

signals:
    void cameraChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Drag { None, Pending, Orbit, Pan };

    void paintScene(QPainter &painter, const QSize &size);
    void paintBackground(QPainter &painter, const QSize &size);
    void paintGrid(QPainter &painter, const QSize &size);
    void paintFigures(QPainter &painter);
    void paintAxes(QPainter &painter, const QSize &size);
    void paintOverlay(QPainter &painter, const QSize &size);
    void rebuild(const QSize &size);
    void onSceneChanged();

    DzScene *m_scene;
    ViewCamera m_camera;
    ViewportDrawList m_drawList;
    QString m_viewName;
    QPoint m_pressPos;
    QPoint m_lastPos;
    Drag m_drag = Drag::None;
    bool m_panDrag = false;
    bool m_showGrid = true;
};
