#include "kymasterblock.h"

#include "channelstore.h"

#include "kydialogrunner.h"
#include "kyhelp.h"
#include "kymaster.h"
#include "kymasterblockdialog.h"
#include "kymasterlayout.h"
#include "kytimeline.h"
#include "kytrack.h"
#include "kytrackedit.h"

#include "kyblock.h"

#include <QApplication>
#include <QBitmap>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kTileColour(83, 137, 231);

void drawTileShape(QPainter &painter, const QSize &size)
{
    painter.drawRoundedRect(QRectF(0, 0, size.width() - 1, size.height() - 1), 10, 40, Qt::RelativeSize);
}

bool isDeleteKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
}

} // namespace

namespace {

bool hasNoMotion(const KyBlock &block)
{
    return slotRecords(block.clipHandle) == nullptr;
}

} // namespace

KyMasterBlock::KyMasterBlock(KyMasterLayout *track, KyBlock *block, QWidget *parent)
    : QWidget(parent)
    , m_layout(track)
    , m_block(block)
    , m_menu(new QMenu(this))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    m_menu->addAction(QStringLiteral("Properties"), this, &KyMasterBlock::properties);
    QString help = block->name;
    help.replace(QLatin1Char('_'), QLatin1Char(' '));
    kySetOnlineHelp(this, help);
    if (hasNoMotion(*block))
        setToolTip(QStringLiteral("Missing kinBlock file: %1").arg(block->path));
}

QString KyMasterBlock::labelFor(const QString &name)
{
    return kyBlockLabel(name);
}

bool KyMasterBlock::isHighlighted() const
{
    const KyTrack *track = m_layout->track();
    return m_block && (track->currentBlock() == m_block || track->isSelected(m_block));
}

bool KyMasterBlock::event(QEvent *event)
{
    // Delete and Backspace belong to the tile while it has the keyboard: the
    // application's own Delete shortcut (delete the figure) must not fire.
    if (event->type() == QEvent::ShortcutOverride && m_block && isDeleteKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    // The full name and the placement, for tiles too short for their label.
    if (event->type() == QEvent::ToolTip && m_block) {
        const QString text = QStringLiteral("%1\n%2 s at %3 %")
                                 .arg(labelFor(m_block->name))
                                 .arg((m_block->outPoint - m_block->inPoint) / 1000.0, 0, 'f', 2)
                                 .arg(static_cast<int>(m_block->speed * 100.0f + 0.5f));
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void KyMasterBlock::paintEvent(QPaintEvent *)
{
    if (!m_block)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A placement whose block file was missing when the scene was opened is
    // kept greyed: it shows where the motion belongs but plays nothing.
    painter.setBrush(hasNoMotion(*m_block) ? QColor(Qt::gray) : kTileColour);
    painter.setPen(isHighlighted() ? QPen(Qt::black, 2) : QPen(Qt::gray));
    drawTileShape(painter, size());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::black);
    for (int x : m_layout->geometry().loopMarks(*m_block)) {
        if (x >= 0 && x < width())
            painter.drawLine(x, 4, x, height() - 4);
    }
    painter.setPen(Qt::white);
    const QRect box(2, 0, width() - 5, height() - 1);
    const QString label = labelFor(m_block->name);
    // A short tile (a short block, or zoomed out) elides rather than cuts
    // the label in the middle of a letter.
    painter.drawText(box, Qt::AlignCenter, painter.fontMetrics().elidedText(label, Qt::ElideRight, box.width()));
}

void KyMasterBlock::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setBrush(Qt::color1);
    painter.setPen(Qt::color1);
    drawTileShape(painter, size());
    painter.end();
    setMask(shape);
}

void KyMasterBlock::mousePressEvent(QMouseEvent *event)
{
    if (!m_block)
        return;
    m_pressed = true;
    m_pressX = static_cast<int>(event->position().x());
    m_pressY = static_cast<int>(event->position().y());
    m_slideOffset = x() - KyMasterLayout::kOriginX - m_layout->geometry().msToPx(m_block->gap);
    m_sliding = event->button() == Qt::LeftButton && m_layout->master()->slideMode();
    if (m_sliding)
        m_layout->beginEdit();
}

void KyMasterBlock::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_block)
        return;
    // The pointer in track pixels (from time 0).
    const int pointer = x() - KyMasterLayout::kOriginX + static_cast<int>(event->position().x());
    if (!m_pressed) {
        // The time under the pointer: tiles sit in contents coordinates.
        m_layout->skimTo(m_layout->geometry().pxToMs(pointer));
        return;
    }
    if (m_sliding) {
        m_layout->track()->setGap(m_block, m_layout->geometry().slideGap(pointer, m_pressX, m_slideOffset));
        return;
    }
    const QPoint moved = event->position().toPoint() - QPoint(m_pressX, m_pressY);
    if ((event->buttons() & Qt::LeftButton) && moved.manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        startMoveDrag();
    }
}

void KyMasterBlock::startMoveDrag()
{
    auto *drag = new QDrag(this);
    auto *data = new QMimeData;
    data->setText(QStringLiteral("KyMasterBlock"));
    drag->setMimeData(data);
    QPixmap picture(size());
    picture.fill(Qt::transparent);
    render(&picture, QPoint(), QRegion(), RenderFlags(DrawChildren));
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(m_pressX, m_pressY));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void KyMasterBlock::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (m_sliding) {
        m_sliding = false;
        m_layout->commitEdit(QStringLiteral("Slide kinBlock"));
    }
    if (!m_block || !wasPressed)
        return;
    KyTrack *track = m_layout->track();
    if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        track->clearSelection();
    track->setCurrentBlock(m_block);
    track->addToSelection(m_block);
    if (event->button() == Qt::RightButton)
        m_menu->popup(event->globalPosition().toPoint());
}

void KyMasterBlock::contextMenuEvent(QContextMenuEvent *event)
{
    // The tile's own menu opens on release; the pane's must not open too.
    event->accept();
}

void KyMasterBlock::mouseDoubleClickEvent(QMouseEvent *)
{
    properties();
}

void KyMasterBlock::enterEvent(QEnterEvent *)
{
    m_layout->master()->timeline()->setPointerOverBlock(true);
}

void KyMasterBlock::leaveEvent(QEvent *)
{
    m_layout->master()->timeline()->setPointerOverBlock(false);
}

void KyMasterBlock::keyPressEvent(QKeyEvent *event)
{
    if (m_block && isDeleteKey(event)) {
        m_layout->deleteSelected();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KyMasterBlock::properties()
{
    if (!m_block)
        return;
    // Pending previews go back first, so the dialog edits the figure's own
    // state.
    m_layout->master()->timeline()->restoreAllBackups();
    KyTrack *track = m_layout->track();
    if (track->selection().empty())
        track->addToSelection(m_block);
    track->rememberClipOutPoints();
    // One undo step for the whole dialog session.
    KyTrackEdit edit(track);
    {
        KyMasterBlockDialog dialog(this);
        kyRunDialog(dialog);
    }
    edit.commit(QStringLiteral("Change kinBlock Parameters"));
}
