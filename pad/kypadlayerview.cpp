#include "kypadlayerview.h"

#include "kypaddrop.h"
#include "kypadlayer.h"
#include "kypadpaneinterface.h"
#include "kypadpose.h"
#include "kypadsnapshot.h"

#include "kyblock.h"
#include "kyprompt.h"

#include "dzactionmgr.h"
#include "dzapp.h"
#include "dzhelpmgr.h"
#include "dzlog.h"
#include "dzmainwindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWheelEvent>

#include <cmath>

namespace {

KyPadLayerView::MenuRunner &menuRunner()
{
    static KyPadLayerView::MenuRunner runner;
    return runner;
}

} // namespace

KyPadLayerView::KyPadLayerView(KyPadLayer *layer, QWidget *parent)
    : QFrame(parent)
    , m_layer(layer)
{
    setObjectName(QStringLiteral("KyPadLayerLayerView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(2);
    setAcceptDrops(true);
    setMinimumSize(120, 120);
    if (dzApp && dzApp->getHelpMgr())
        dzApp->getHelpMgr()->setOnlineHelp(this);
    if (layer)
        connect(layer, &KyPadLayer::changed, this, qOverload<>(&QWidget::update));
}

KyPadLayerView::~KyPadLayerView() = default;

void KyPadLayerView::setMenuRunner(MenuRunner runner)
{
    menuRunner() = std::move(runner);
}

int KyPadLayerView::mode() const
{
    KyPadPaneInterface *pane = m_layer ? m_layer->pane() : nullptr;
    return pane ? pane->mode() : -1;
}

bool KyPadLayerView::usable() const
{
    return m_layer && m_layer->figure();
}

void KyPadLayerView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (m_layer)
        m_layer->view().setSize(width(), height());
}

void KyPadLayerView::paintEvent(QPaintEvent *event)
{
    QPixmap buffer(size());
    buffer.fill(palette().color(QPalette::Window).lighter(120));
    QPainter p(&buffer);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (m_layer) {
        const KyPadViewGeometry &view = m_layer->view();
        // Grid through the pad origin, every 20 pad units.
        p.setPen(QColor(83, 137, 231).lighter(150));
        const double s = view.gridSpacing();
        int ox = 0, oy = 0;
        view.padToView(0.0f, 0.0f, &ox, &oy);
        const double firstX = ox - std::floor(ox / s) * s;
        const double firstY = oy - std::floor(oy / s) * s;
        for (double x = firstX; x < width(); x += s)
            p.drawLine(QPointF(x, 0), QPointF(x, height()));
        for (double y = firstY; y < height(); y += s)
            p.drawLine(QPointF(0, y), QPointF(width(), y));

        const int m = mode();
        const bool performing = m == KyPadPaneInterface::PreviewMode || m == KyPadPaneInterface::RecordMode;
        const QFontMetrics fm = fontMetrics();
        constexpr int D = kDotSize;
        for (const KyPadPose *pose : m_layer->poses()) {
            int vx = 0, vy = 0;
            view.padToView(pose->x, pose->y, &vx, &vy);
            const bool selected = !performing && pose == m_layer->selectedPose();
            const QRect r(vx - D / 2, vy - D / 2, D, D);
            QColor fill = performing ? QColor(70, 170, 90) : QColor(60, 110, 200);
            if (selected)
                fill = QColor(220, 60, 50);
            p.setPen(QPen(fill.darker(170), 1.5));
            p.setBrush(fill);
            p.drawEllipse(r);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::white, 1.0));
            p.drawEllipse(r.adjusted(3, 3, -3, -3));

            // A dot without a block shows the file it lost, or nothing.
            QString label;
            if (pose->block())
                label = kyPadDotLabel(pose->block()->name);
            else if (!pose->blockPath().isEmpty())
                label = QStringLiteral("(missing) ") + kyPadDotLabel(pose->blockPath().section('/', -1));
            p.setPen(selected ? Qt::red : Qt::black);
            p.drawText(vx - fm.horizontalAdvance(label) / 2, vy - (2 * D) / 3, label);
        }
        if (performing) {
            int cx = 0, cy = 0;
            view.padToView(m_layer->cursor()->x, m_layer->cursor()->y, &cx, &cy);
            constexpr int C = kCursorSize;
            const QRect r(cx - 1 - C / 2, cy - 1 - C / 2, C, C);
            p.setPen(QPen(QColor(200, 40, 40), 2.0));
            p.drawEllipse(r);
            p.drawLine(r.center().x(), r.top() - 3, r.center().x(), r.bottom() + 3);
            p.drawLine(r.left() - 3, r.center().y(), r.right() + 3, r.center().y());
        }
    }
    drawFrame(&p);
    p.end();
    QPainter w(this);
    w.drawPixmap(event->rect(), buffer, event->rect());
}

int KyPadLayerView::doContextMenu(int globalX, int globalY, int kind)
{
    DzActionMgr *mgr = dzApp && dzApp->getInterface() ? dzApp->getInterface()->getActionMgr() : nullptr;
    if (!mgr) {
        dzWarning(QStringLiteral("No Action Manager found in KyPadLayerView::doContextMenu()"));
        return -1;
    }
    QMenu menu(this);
    auto add = [&](const char *name) { mgr->addActionToMenu(&menu, QString::fromLatin1(name)); };
    if (kind == PadMenu || kind == PerformanceMenu) {
        add("KyPadZoomToFitAction");
        add("KyPadCenterViewAction");
        add("KyPadResetViewAction");
        menu.addSeparator();
        if (kind == PadMenu) {
            add("KyPadAddLayerAction");
            add("KyPadDeleteLayerAction");
            add("KyPadRenameLayerAction");
            add("KyPadClearLayerAction");
        } else {
            add("KyPadClearLayerAnimationAction");
        }
    } else if (kind == DotMenu) {
        add("KyPadDeletePoseAction");
    }
    const QPoint at(globalX, globalY);
    QAction *chosen = menuRunner() ? menuRunner()(&menu, at) : menu.exec(at);
    return chosen ? menu.actions().indexOf(chosen) : -1;
}

void KyPadLayerView::mousePressEvent(QMouseEvent *event)
{
    if (!usable())
        return;
    KyPadLayer *layer = m_layer.data();
    const QPoint pos = event->position().toPoint();
    const QPointF p = layer->view().viewToPad(pos.x(), pos.y());
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ControlModifier) {
        m_zoomDragging = true;
        m_pressX = pos.x();
        m_pressY = pos.y();
        m_zoomAtPress = layer->view().zoom();
        return;
    }
    if ((mods & Qt::AltModifier) || event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_pressX = pos.x();
        m_pressY = pos.y();
        m_originAtPress[0] = layer->view().originX();
        m_originAtPress[1] = layer->view().originY();
        return;
    }
    const QPoint global = event->globalPosition().toPoint();
    if (mode() == KyPadPaneInterface::EditMode) {
        m_editPress = true;
        KyPadPose *dot = layer->hitTest(static_cast<float>(p.x()), static_cast<float>(p.y()));
        if (dot) {
            KyPadPose *old = layer->selectedPose();
            layer->setSelectedPose(dot);
            update();
            if (event->button() == Qt::RightButton) {
                if (doContextMenu(global.x(), global.y(), DotMenu) == -1 && m_layer) {
                    m_layer->setSelectedPose(m_layer->poses().contains(old) ? old : nullptr);
                    update();
                }
            } else if (mods & Qt::ShiftModifier) {
                layer->setPose(dot);
            } else {
                layer->applyPose(dot);
                m_moveEdit = std::make_unique<KyPadLayerEdit>(layer);
            }
        } else if (event->button() == Qt::RightButton) {
            doContextMenu(global.x(), global.y(), PadMenu);
        } else {
            kyPromptHandler()->information(QStringLiteral("kinPad"),
                                           QStringLiteral("Drag and Drop kinBlocks to here"), this);
        }
        m_editPress = false;
        return;
    }
    if (event->button() == Qt::RightButton) {
        doContextMenu(global.x(), global.y(), PerformanceMenu);
        return;
    }
    if (layer->poses().size() > 1)
        layer->dragStart(static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void KyPadLayerView::mouseMoveEvent(QMouseEvent *event)
{
    if (!usable() || m_editPress)
        return;
    KyPadLayer *layer = m_layer.data();
    KyPadViewGeometry &view = layer->view();
    const QPoint pos = event->position().toPoint();
    const QPointF p = view.viewToPad(pos.x(), pos.y());
    if (m_zoomDragging) {
        view.zoomAt(KyPadViewGeometry::dragZoom(m_zoomAtPress, pos.y() - m_pressY), width() / 2, height() / 2);
        update();
        return;
    }
    if (m_panning) {
        view.setOrigin(m_originAtPress[0] + static_cast<float>(m_pressX - pos.x()) / view.zoom(),
                       m_originAtPress[1] + static_cast<float>(m_pressY - pos.y()) / view.zoom());
        update();
        return;
    }
    if (mode() == KyPadPaneInterface::EditMode) {
        if (!(event->buttons() & Qt::RightButton) && layer->selectedPose() && m_moveEdit)
            layer->movePose(layer->selectedPose(), static_cast<float>(p.x()), static_cast<float>(p.y()));
        update();
        return;
    }
    m_cursorMoved = true;
    layer->moveCursor(static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void KyPadLayerView::mouseReleaseEvent(QMouseEvent *)
{
    if (!usable())
        return;
    m_zoomDragging = false;
    m_panning = false;
    if (m_moveEdit) {
        m_moveEdit->commit(QStringLiteral("kinPad Move kinBlock"));
        m_moveEdit.reset();
    }
    const int m = mode();
    if (m >= 0 && m != KyPadPaneInterface::EditMode) {
        m_cursorMoved = false;
        m_layer->dragEnd();
    }
}

void KyPadLayerView::wheelEvent(QWheelEvent *event)
{
    if (!m_layer)
        return;
    KyPadViewGeometry &view = m_layer->view();
    view.zoomAt(view.wheelZoom(event->angleDelta().y()), width() / 2, height() / 2);
    update();
    event->accept();
}

void KyPadLayerView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText() && usable())
        event->acceptProposedAction();
    else
        event->ignore();
}

void KyPadLayerView::dropEvent(QDropEvent *event)
{
    if (event->mimeData()->hasText()
        && dropText(event->mimeData()->text(), event->source(), event->position().toPoint()))
        event->acceptProposedAction();
}

bool KyPadLayerView::dropText(const QString &text, QObject *source, const QPoint &pixel)
{
    if (!usable())
        return false;
    KyBlock *block = kyPadDroppedBlock(text, source);
    if (!block)
        return false;
    // The drop pixel is taken as the pad point itself.
    return m_layer->addPose(block, pixel.x(), pixel.y()) != nullptr;
}
