#include "kyfinderblock.h"

#include "kyfinder.h"
#include "kyfinderlibrary.h"
#include "kyfindertimeline.h"
#include "kyfinderview.h"
#include "kyhelp.h"
#include "kymixercore.h"
#include "kytimeline.h"

#include "kyblock.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

KyFinderBlock::KyFinderBlock(KyBlock *block, KyFinderView *view, QWidget *parent)
    : QWidget(parent)
    , m_block(block)
    , m_view(view)
{
    setObjectName(QStringLiteral("KyFinderBlock"));
    setMinimumSize(100, 28);
    setMouseTracking(true);
    setToolTip(kyFinderToolTip(*block));
    // Drop targets that do not know the browser (the track view) take the
    // block by its file.
    setProperty("kyBlockPath", block->path);
    kySetOnlineHelp(this, kyFinderHelpText(block->name));
    resize(sizeHint());
}

QString KyFinderBlock::label() const
{
    return kyFinderLabel(m_block->name);
}

QSize KyFinderBlock::sizeHint() const
{
    // Wide enough for the longest label (18 characters) in the user's font.
    const int text = fontMetrics().horizontalAdvance(label()) + 16;
    return QSize(qMax(100, text), 28);
}

void KyFinderBlock::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.eraseRect(rect());
    painter.setPen(Qt::gray);
    painter.setBrush(QColor(83, 137, 231));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 40, Qt::RelativeSize);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(0, 0, -1, -1), Qt::AlignCenter, label());
}

void KyFinderBlock::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    m_pressX = event->position().toPoint().x();
    m_pressY = event->position().toPoint().y();
}

void KyFinderBlock::mouseReleaseEvent(QMouseEvent *)
{
    m_pressed = false;
}

void KyFinderBlock::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed) {
        preview();
        return;
    }
    if (!kyFinderDragStarts(QPoint(m_pressX, m_pressY), event->position().toPoint(),
                            QApplication::startDragDistance()))
        return;
    m_pressed = false;
    auto *drag = new QDrag(this);
    drag->setMimeData(dragPayload());
    drag->setPixmap(grab());
    drag->exec(Qt::CopyAction);
}

QMimeData *KyFinderBlock::dragPayload() const
{
    auto *data = new QMimeData;
    data->setText(QString::fromLatin1(kyFinderDragText()));
    return data;
}

void KyFinderBlock::mouseDoubleClickEvent(QMouseEvent *)
{
    m_pressed = false;
    if (KyFinder *finder = m_view->finder())
        kyFinderInsertAtPlayhead(finder->master(), *m_block);
}

void KyFinderBlock::enterEvent(QEnterEvent *)
{
    preview();
}

void KyFinderBlock::leaveEvent(QEvent *)
{
    KyFinder *finder = m_view->finder();
    if (KyMixerCore *core = finder ? finder->core() : nullptr) {
        core->setRecordingRequested(false);
        core->setDragVelocity(0.0f);
    }
}

void KyFinderBlock::preview()
{
    KyFinder *finder = m_view->finder();
    KyMixerCore *core = finder ? finder->core() : nullptr;
    if (!core)
        return;
    if (!m_block->isCurrent())
        m_block->startOn(0, -1);
    // The animation update plays the engine's block on the selected figure
    // while the velocity is not 0: 1.0 is normal speed.
    core->setRecordingRequested(false);
    core->setDragVelocity(1.0f);
}

KyBlock *kyFinderBlockOf(QObject *dragSource)
{
    const auto *tile = qobject_cast<KyFinderBlock *>(dragSource);
    return tile ? tile->block() : nullptr;
}
