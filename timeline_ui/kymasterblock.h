#pragma once
// KyMasterBlock: the tile of one placed block on a track, as wide as the
// block's visible length at the pane's zoom and 28 pixels high. It shows the
// block's label and loop marks, previews the figure under the pointer
// (skimming), selects on click (Shift or Control extend the selection),
// slides (the pane's slide mode) or starts a move drag, removes the
// selection on Delete or Backspace (and keeps those keys from the
// application's own shortcuts while it has the keyboard), and opens the
// block parameter dialog from its "Properties" menu item or a double-click.
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

public slots:
    void properties();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool isHighlighted() const;
    void startMoveDrag();

    KyMasterLayout *m_layout;
    KyBlock *m_block;
    bool m_pressed = false;
    bool m_sliding = false;
    int m_pressX = 0;
    int m_pressY = 0;
    int m_slideOffset = 0;
    QMenu *m_menu;
};
