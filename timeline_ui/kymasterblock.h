#pragma once
// KyMasterBlock: the tile of one placed block on a track, (outPoint −
// inPoint) × 40 / 1000 pixels wide and 28 high. It shows the block's label
// and loop marks, previews the figure under the pointer (skimming), selects
// on click (Shift or Control extend the selection), removes the selection on
// Delete or Backspace, and opens the block parameter dialog from its
// "Properties" menu item or a double-click.
//
// The block belongs to the track; the tile only shows it.

#include <QWidget>

class KyBlock;
class KyMasterLayout;
class QMenu;

class KyMasterBlock : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 28;

    KyMasterBlock(KyMasterLayout *track, KyBlock *block, QWidget *parent = nullptr);

    KyMasterLayout *trackLayout() const { return m_layout; }
    KyBlock *block() const { return m_block; }
    QMenu *contextMenu() const { return m_menu; }
    // The block has left the track; the tile is about to go.
    void detachBlock() { m_block = nullptr; }

    // The label shown for a block name: without a leading "s_", cut to 15
    // characters followed by "...", underscores as spaces.
    static QString labelFor(const QString &name);
    // The x positions (tile pixels) of the loop marks: none unless outPoint
    // passes one clip pass (clipLength / speed).
    static QList<int> loopMarks(const KyBlock &block);

public slots:
    void properties();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool isHighlighted() const;

    KyMasterLayout *m_layout;
    KyBlock *m_block;
    bool m_pressed = false;
    int m_pressX = 0;
    int m_pressY = 0;
    QMenu *m_menu;
};
