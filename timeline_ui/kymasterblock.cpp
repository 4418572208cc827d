#include "kymasterblock.h"

#include "channelstore.h"

#include "kydialogrunner.h"
#include "kyhelp.h"
#include "kymaster.h"
#include "kymasterblockdialog.h"
#include "kymasterlayout.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "kyblock.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kTileColour(83, 137, 231);

void drawTileShape(QPainter &painter, const QSize &size)
{
    painter.drawRoundedRect(QRectF(0, 0, size.width() - 1, size.height() - 1), 10, 40, Qt::RelativeSize);
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
    QString label = name;
    if (label.startsWith(QLatin1String("s_")))
        label.remove(0, 2);
    if (label.size() > 15)
        label = label.left(15) + QStringLiteral("...");
    label.replace(QLatin1Char('_'), QLatin1Char(' '));
    return label;
}

QList<int> KyMasterBlock::loopMarks(const KyBlock &block)
{
    QList<int> marks;
    const int cycle = block.loopLength();
    // A clip shorter than one timeline ms has no passes to mark.
    if (cycle < 1 || block.outPoint <= cycle)
        return marks;
    const int passes = block.outPoint / cycle;
    for (int i = 0; i <= passes; ++i)
        marks.append(msToPixels(cycle * i - block.inPoint));
    return marks;
}

bool KyMasterBlock::isHighlighted() const
{
    const KyTrack *track = m_layout->track();
    return m_block && (track->currentBlock() == m_block || track->isSelected(m_block));
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
    painter.setPen(isHighlighted() ? Qt::black : Qt::gray);
    drawTileShape(painter, size());
    painter.setPen(Qt::black);
    for (int x : loopMarks(*m_block)) {
        if (x >= 0 && x < width())
            painter.drawLine(x, 4, x, height() - 4);
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, width() - 1, height() - 1), Qt::AlignCenter, labelFor(m_block->name));
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
    m_pressed = true;
    m_pressX = static_cast<int>(event->position().x());
    m_pressY = static_cast<int>(event->position().y());
}

void KyMasterBlock::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_block || m_pressed)
        return;
    // The time under the pointer: tiles sit in contents coordinates.
    m_layout->track()->skimTo(pixelsToMs(x() + static_cast<int>(event->position().x())));
}

void KyMasterBlock::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressed = false;
    if (!m_block)
        return;
    KyTrack *track = m_layout->track();
    if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        track->clearSelection();
    track->setCurrentBlock(m_block);
    track->addToSelection(m_block);
    if (event->button() == Qt::RightButton)
        m_menu->popup(event->globalPosition().toPoint());
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
    if (m_block && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        m_layout->track()->deleteSelected();
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
    KyMasterBlockDialog dialog(this);
    kyRunDialog(dialog);
}
