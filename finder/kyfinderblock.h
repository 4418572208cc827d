#pragma once
// KyFinderBlock: one tile of the browser's strip, showing a library block
// (owned by the block registry). Hovering previews the block on the
// selected figure at normal speed, a double-click appends it at the current
// track's playhead, and a drag carries the text "KyFinderBlock" with the
// tile as its source (receivers take the block from block()).

#include <QWidget>

class KyBlock;
class KyFinderView;
class QMimeData;

class KyFinderBlock : public QWidget
{
    Q_OBJECT
public:
    KyFinderBlock(KyBlock *block, KyFinderView *view, QWidget *parent = nullptr);

    KyBlock *block() const { return m_block; }
    QString label() const;
    bool isPressed() const { return m_pressed; }
    // The payload of a drag from this tile: the text "KyFinderBlock" (the
    // receiver takes the block from the drag's source, this tile).
    QMimeData *dragPayload() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void preview();

    KyBlock *m_block;
    KyFinderView *m_view;
    bool m_pressed = false;
    int m_pressX = 0;
    int m_pressY = 0;
};

// The library block a drag carries when its source is a browser tile, else
// null. Tracks call this on a "KyFinderBlock" drop.
KyBlock *kyFinderBlockOf(QObject *dragSource);
