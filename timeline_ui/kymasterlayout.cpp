#include "kymasterlayout.h"

#include "kymaster.h"
#include "kymasterblock.h"
#include "kymasterhandles.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"
#include "kytrackedit.h"

#include "kyblock.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzscene.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kBandBorder = Qt::gray;

// The seconds between two ruler labels: one at the default zoom; more when
// the labels would overlap.
int labelStep(int pixelsPerSecond)
{
    for (int step : {1, 2, 5, 10, 15, 30, 60}) {
        if (step * pixelsPerSecond >= 30)
            return step;
    }
    return 60;
}

QStringList kbaFiles(const QMimeData *data)
{
    QStringList files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && url.toLocalFile().endsWith(QLatin1String(".kba"), Qt::CaseInsensitive))
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

// The scroll area's contents: paints the ruler and band, takes ruler seeks,
// clicks on empty space, drops and the pane's context menu.
class KyTrackContents : public QWidget
{
public:
    explicit KyTrackContents(KyMasterLayout *layout)
        : m_layout(layout)
    {
        setAcceptDrops(true);
        setObjectName(QStringLiteral("trackContents"));
    }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override
    {
        const int y = static_cast<int>(event->position().y());
        if (event->button() == Qt::LeftButton && y >= KyMasterLayout::kRulerTop && y < KyMasterLayout::kRulerBottom) {
            m_rulerDrag = true;
            m_layout->seekRuler(static_cast<int>(event->position().x()) - KyMasterLayout::kOriginX);
            return;
        }
        KyTrack *track = m_layout->track();
        track->setCurrentBlock(nullptr);
        track->clearSelection();
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (m_rulerDrag)
            m_layout->seekRuler(static_cast<int>(event->position().x()) - KyMasterLayout::kOriginX);
    }
    void mouseReleaseEvent(QMouseEvent *) override { m_rulerDrag = false; }
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Add kinBlock\u2026"), m_layout, &KyMasterLayout::addBlocksFromDialog);
        menu.addSeparator();
        menu.addAction(QStringLiteral("Zoom In"), this, [this, x = event->pos().x()] { m_layout->zoomBy(1, x - m_layout->scrollOffset()); });
        menu.addAction(QStringLiteral("Zoom Out"), this, [this, x = event->pos().x()] { m_layout->zoomBy(-1, x - m_layout->scrollOffset()); });
        menu.exec(event->globalPos());
    }
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (m_layout->canDrop(event->mimeData()))
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent *event) override
    {
        if (m_layout->canDrop(event->mimeData()))
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent *event) override
    {
        m_layout->drop(event->mimeData(), event->source(),
                       static_cast<int>(event->position().x()) - KyMasterLayout::kOriginX);
        event->acceptProposedAction();
    }

private:
    KyMasterLayout *m_layout;
    bool m_rulerDrag = false;
};

void KyTrackContents::paintEvent(QPaintEvent *)
{
    if (!dzScene)
        return;
    const KyTrackGeometry g = m_layout->geometry();
    const int w = width() - KyMasterLayout::kOriginX;
    const int end = g.msToPx(ticksToMs(dzScene->getAnimRange().getEnd()));
    const QColor dark = QColor(Qt::gray).darker(125);
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.translate(KyMasterLayout::kOriginX, 0);
    p.fillRect(QRect(0, 23, w, 60), Qt::white);
    p.setPen(kBandBorder);
    p.drawLine(0, 23, w, 23);
    p.drawLine(0, 83, w, 83);
    p.drawLine(0, 23, 0, 83);
    if (end < w)
        p.fillRect(QRect(end, 24, w - end, 59), QColor(Qt::white).darker(125));
    const int step = labelStep(g.pixelsPerSecond());
    for (int n = 1;; ++n) {
        const int x = g.msToPx(n * 1000);
        if (x >= w || x <= 0)
            break;
        if (n % step == 0) {
            p.setPen(Qt::black);
            p.drawText(QRect(x, 6, 29, 20), Qt::AlignLeft | Qt::AlignTop, QString::number(n));
        }
        p.setPen(x <= end ? kBandBorder : dark);
        p.drawLine(x, 23, x, 83);
    }
    p.setPen(dark);
    for (int dx = -1; dx <= 1; ++dx)
        p.drawLine(end + dx, 23, end + dx, 83);
    if (m_layout->track()->count() == 0) {
        const QString hint = QStringLiteral("Add or drop a kinBlock here");
        const QRect box(12, 40, p.fontMetrics().horizontalAdvance(hint) + 16, 22);
        p.setPen(Qt::gray);
        p.setBrush(Qt::white);
        p.drawRoundedRect(box, 4, 4);
        p.setPen(Qt::darkGray);
        p.drawText(box, Qt::AlignCenter, hint);
    }
}

KyMasterLayout::KyMasterLayout(KyTrack *track, KyMaster *master, QWidget *parent)
    : QScrollArea(parent)
    , m_track(track)
    , m_master(master)
    , m_contents(new KyTrackContents(this))
{
    setObjectName(QStringLiteral("Skeletal"));
    setMinimumHeight(90);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(m_contents);
    m_playhead = new KyMasterPlayhead(this, m_contents);

    connect(m_track, &KyTrack::blockInserted, this, &KyMasterLayout::addTile);
    connect(m_track, &KyTrack::blockRemoved, this, &KyMasterLayout::removeTile);
    connect(m_track, &KyTrack::reset, this, &KyMasterLayout::rebuildTiles);
    connect(m_track, &KyTrack::layoutChanged, this, &KyMasterLayout::relayoutView);
    connect(m_track, &KyTrack::blockChanged, this, &KyMasterLayout::refreshTiles);
    connect(m_track, &KyTrack::selectionChanged, this, &KyMasterLayout::refreshTiles);
    connect(m_track, &KyTrack::currentBlockChanged, this, &KyMasterLayout::currentChanged);
    connect(m_track, &KyTrack::playheadMoved, this, &KyMasterLayout::playheadMoved);
    if (dzScene) {
        connect(dzScene, &DzScene::animRangeChanged, m_contents, qOverload<>(&QWidget::update));
        connect(dzScene, &DzScene::playRangeChanged, m_contents, qOverload<>(&QWidget::update));
    }
    rebuildTiles();
}

KyMasterLayout::~KyMasterLayout()
{
    disconnect(m_track, nullptr, this, nullptr);
}

int KyMasterLayout::bindingIndex() const
{
    return m_track->bindingIndex();
}

KyTrackGeometry KyMasterLayout::geometry() const
{
    return KyTrackGeometry(m_master->pixelsPerSecond());
}

QWidget *KyMasterLayout::contents() const
{
    return m_contents;
}

KyMasterBlock *KyMasterLayout::tileFor(const KyBlock *block) const
{
    return m_tiles.value(block, nullptr);
}

QList<KyMasterBlock *> KyMasterLayout::tiles() const
{
    QList<KyMasterBlock *> out;
    for (KyBlock *block : m_track->blocks()) {
        if (KyMasterBlock *tile = tileFor(block))
            out.append(tile);
    }
    return out;
}

int KyMasterLayout::scrollOffset() const
{
    return horizontalScrollBar()->value();
}

void KyMasterLayout::addTile(KyBlock *block)
{
    if (m_tiles.contains(block))
        return;
    auto *tile = new KyMasterBlock(this, block, m_contents);
    m_tiles.insert(block, tile);
    tile->show();
    m_playhead->raise();
}

void KyMasterLayout::removeTile(KyBlock *block)
{
    KyMasterBlock *tile = m_tiles.take(block);
    if (!tile)
        return;
    // The removal may come from the tile's own key or mouse handler.
    tile->detachBlock();
    tile->hide();
    tile->deleteLater();
}

void KyMasterLayout::rebuildTiles()
{
    destroyHandles();
    for (const KyBlock *block : m_tiles.keys())
        removeTile(const_cast<KyBlock *>(block));
    for (KyBlock *block : m_track->blocks())
        addTile(block);
    relayoutView();
}

void KyMasterLayout::relayoutView()
{
    const KyTrackGeometry g = geometry();
    for (int i = 0; i < m_track->count(); ++i) {
        KyMasterBlock *tile = tileFor(m_track->blockAt(i));
        if (!tile)
            continue;
        tile->setFixedSize(std::max(1, g.tileWidth(*m_track, i)), KyMasterBlock::kHeight);
        tile->move(kOriginX + g.tileX(*m_track, i), kTileY);
        tile->update();
    }
    const int width = std::max(kOriginX + g.msToPx(m_track->endTime()) + 100, viewport()->width());
    m_contents->resize(width, std::max(90, viewport()->height()));
    m_playhead->move(kOriginX + g.msToPx(m_track->playheadMs()) - 4, kPlayheadY);
    placeHandles();
    m_contents->update();
}

void KyMasterLayout::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    relayoutView();
}

void KyMasterLayout::refreshTiles()
{
    for (KyMasterBlock *tile : std::as_const(m_tiles))
        tile->update();
}

void KyMasterLayout::destroyHandles()
{
    delete m_blend;
    delete m_left;
    delete m_right;
    m_blend = nullptr;
    m_left = nullptr;
    m_right = nullptr;
}

void KyMasterLayout::currentChanged(KyBlock *block)
{
    // Handles of the previous tile go; a handle being dragged is never
    // replaced (the tile it belongs to stays current while it moves).
    destroyHandles();
    refreshTiles();
    KyMasterBlock *tile = tileFor(block);
    if (!tile)
        return;
    tile->setFocus(Qt::OtherFocusReason);
    const auto &selection = m_track->selection();
    if (!(selection.empty() || (selection.size() == 1 && selection.front() == block)))
        return;
    m_blend = new KyMasterBlend(this, m_contents);
    m_left = new KyMasterLAdjuster(this, m_contents);
    m_right = new KyMasterRAdjuster(this, m_contents);
    placeHandles();
    m_blend->show();
    m_left->show();
    m_right->show();
}

void KyMasterLayout::placeHandles()
{
    KyBlock *block = m_track->currentBlock();
    KyMasterBlock *tile = tileFor(block);
    if (!tile || !m_blend)
        return;
    const KyTrackGeometry g = geometry();
    m_blend->move(tile->x() + g.msToPx(block->blendIn) - 4, kBlendY);
    m_left->move(tile->x() - KyMasterAdjuster::kWidth / 2, kAdjusterY);
    m_right->move(tile->x() + tile->width() - KyMasterAdjuster::kWidth / 2 - 1, kAdjusterY);
    for (QWidget *w : {static_cast<QWidget *>(m_blend), static_cast<QWidget *>(m_left),
                       static_cast<QWidget *>(m_right)})
        w->raise();
}

void KyMasterLayout::playheadMoved(int ms)
{
    const int x = geometry().msToPx(ms) - 4;
    m_playhead->move(kOriginX + x, kPlayheadY);
    showX(x);
}

void KyMasterLayout::showX(int x)
{
    ensureVisible(std::max(0, kOriginX + x), kPlayheadY, 50, 0);
}

void KyMasterLayout::seekRuler(int trackX)
{
    const KyTrackGeometry g = geometry();
    int playEnd = 0;
    if (dzScene) {
        const DzTimeRange play = dzScene->getPlayRange();
        const DzTime length = play.getEnd() > play.getStart() ? play.getEnd() - play.getStart() : 0;
        playEnd = ticksToMs(play.getStart() + length);
    }
    const int x = g.seekX(trackX, m_track->length(), playEnd);
    m_track->setPlayhead(snappedMs(g.pxToMs(x)), true);
}

void KyMasterLayout::skimTo(int ms)
{
    KyTimeline *timeline = m_master->timeline();
    if (timeline->currentTime() != ms)
        timeline->goSkim(ms);
    showX(geometry().msToPx(ms) - 4);
}

void KyMasterLayout::beginEdit()
{
    m_edit = std::make_unique<KyTrackEdit>(m_track);
}

void KyMasterLayout::commitEdit(const QString &caption)
{
    if (m_edit)
        m_edit->commit(caption);
    m_edit.reset();
}

KyBlock *KyMasterLayout::insertBlockAt(int trackX, const KyBlock &block, bool keepKeys)
{
    if (bindingIndex() == 0) {
        kyMessage(QStringLiteral("No skeleton selected"), this);
        return nullptr;
    }
    KyTrackEdit edit(m_track);
    std::unique_ptr<KyBlock> copy(block.clone());
    copy->flags = m_master->timeline()->defaultFlags();
    KyBlock *placed = m_track->insertBlock(geometry().insertIndexAt(*m_track, trackX), *copy, keepKeys);
    edit.commit(QStringLiteral("Add kinBlock"));
    return placed;
}

KyBlock *KyMasterLayout::insertAtPlayhead(const KyBlock &block, bool keepKeys)
{
    if (bindingIndex() == 0)
        return nullptr;
    KyTrackEdit edit(m_track);
    std::unique_ptr<KyBlock> copy(block.clone());
    copy->flags = m_master->timeline()->defaultFlags();
    const int x = geometry().msToPx(m_track->playheadMs()) - 4;
    KyBlock *placed = m_track->insertBlock(geometry().insertIndexAt(*m_track, x), *copy, keepKeys);
    edit.commit(QStringLiteral("Add kinBlock"));
    m_track->setPlayhead(snappedMs(m_master->timeline()->currentTime() + placed->outPoint - placed->inPoint), true);
    return placed;
}

int KyMasterLayout::insertFiles(const QStringList &paths, int trackX)
{
    if (paths.isEmpty())
        return 0;
    if (bindingIndex() == 0) {
        kyMessage(QStringLiteral("No skeleton selected"), this);
        return 0;
    }
    KyTrackEdit edit(m_track);
    QStringList failed;
    int placedCount = 0;
    int index = trackX < 0 ? geometry().insertIndexAt(*m_track, geometry().msToPx(m_track->playheadMs()) - 4)
                              : geometry().insertIndexAt(*m_track, trackX);
    KyBlock *last = nullptr;
    for (const QString &path : paths) {
        QString error;
        KyBlock *library = KyBlock::get(QFileInfo(path).absoluteFilePath(), &error);
        if (!library || library->loopLength() < 1) {
            failed << QStringLiteral("%1 (%2)").arg(QFileInfo(path).fileName(),
                                                    library ? QStringLiteral("no motion") : error);
            continue;
        }
        std::unique_ptr<KyBlock> copy(library->clone());
        copy->flags = m_master->timeline()->defaultFlags();
        last = m_track->insertBlock(index++, *copy, false);
        ++placedCount;
    }
    edit.commit(placedCount == 1 ? QStringLiteral("Add kinBlock") : QStringLiteral("Add kinBlocks"));
    if (last && trackX < 0)
        m_track->setPlayhead(snappedMs(m_track->endOf(m_track->indexOf(last))), true);
    if (!failed.isEmpty())
        kyMessage(QStringLiteral("These kinBlocks could not be read:\n%1").arg(failed.join(QLatin1Char('\n'))), this);
    if (placedCount > 0) {
        kyStatus(placedCount == 1 ? QStringLiteral("Added 1 kinBlock") : QStringLiteral("Added %1 kinBlocks").arg(placedCount));
        }
    return placedCount;
}

void KyMasterLayout::addBlocksFromDialog()
{
    if (bindingIndex() == 0) {
        kyMessage(QStringLiteral("No skeleton selected"), this);
        return;
    }
    QString folder = dzApp && dzApp->getContentMgr() ? dzApp->getContentMgr()->getContentDirectory() : QString();
    folder = QDir(folder).filePath(QStringLiteral("kinBlocks/Trelvo"));
    if (!QFileInfo(folder).isDir())
        folder = m_master->timeline()->blockFolder();
    KySaveFileRequest request;
    request.caption = QStringLiteral("Add kinBlock");
    request.startPath = folder;
    request.filter = QStringLiteral("kinBlocks (*.kba)");
    request.dialogName = QStringLiteral("add kinblock dialog");
    request.parent = this;
    insertFiles(kyOpenFileNames(request), -1);
}

bool KyMasterLayout::canDrop(const QMimeData *data) const
{
    return data && (data->hasText() || !kbaFiles(data).isEmpty());
}

void KyMasterLayout::drop(const QMimeData *data, QObject *source, int trackX)
{
    if (!data)
        return;
    if (bindingIndex() == 0) {
        kyMessage(QStringLiteral("No skeleton selected"), this);
        return;
    }
    if (data->hasText() && data->text() == QLatin1String("KyMasterBlock")) {
        auto *tile = qobject_cast<KyMasterBlock *>(source);
        moveTiles(trackX, tile && tile->trackLayout() == this ? tile->block() : m_track->currentBlock());
        return;
    }
    // Files from the desktop, or a library tile that names its file. A drop
    // left of time 0 goes in at time 0 (a negative x means the playhead).
    trackX = std::max(0, trackX);
    QStringList files = kbaFiles(data);
    if (files.isEmpty() && source) {
        const QString path = source->property("kyBlockPath").toString();
        if (!path.isEmpty())
            files << path;
    }
    insertFiles(files, trackX);
}

void KyMasterLayout::moveTiles(int dropX, KyBlock *source)
{
    const KyTrackGeometry g = geometry();
    std::vector<KyBlock *> moving;
    if (m_track->selection().size() >= 2) {
        for (KyBlock *block : m_track->blocks()) {
            if (m_track->isSelected(block))
                moving.push_back(block);
        }
    } else if (source && m_track->indexOf(source) >= 0) {
        moving.push_back(source);
    }
    if (moving.empty())
        return;
    KyTrackEdit edit(m_track);
    for (KyBlock *block : moving) {
        const int from = m_track->indexOf(block);
        const int before = g.tileX(*m_track, from);
        const int width = g.tileWidth(*m_track, from);
        const int at = g.moveIndexAt(*m_track, from, dropX);
        // The index among the others: the block that follows once it is out.
        KyBlock *next = nullptr;
        for (int i = 0, k = 0; i < m_track->count(); ++i) {
            if (i == from)
                continue;
            if (k++ == at) {
                next = m_track->blockAt(i);
                break;
            }
        }
        m_track->moveBlock(block, next);
        if (moving.size() > 1 && before >= dropX)
            dropX += width;
    }
    edit.commit(moving.size() > 1 ? QStringLiteral("Move kinBlocks") : QStringLiteral("Move kinBlock"));
}

void KyMasterLayout::deleteSelected()
{
    if (m_track->selection().empty())
        return;
    const bool several = m_track->selection().size() > 1;
    KyTrackEdit edit(m_track);
    m_track->deleteSelected();
    edit.commit(several ? QStringLiteral("Delete kinBlocks") : QStringLiteral("Delete kinBlock"));
}

void KyMasterLayout::zoomBy(int steps, int viewportX)
{
    const KyTrackGeometry g = geometry();
    const int ms = g.pxToMs(viewportX + scrollOffset() - kOriginX);
    double pps = g.pixelsPerSecond();
    for (int i = 0; i < std::abs(steps); ++i)
        pps = steps > 0 ? pps * 1.25 : pps / 1.25;
    m_master->setPixelsPerSecond(static_cast<int>(pps + 0.5));
    horizontalScrollBar()->setValue(kOriginX + geometry().msToPx(ms) - viewportX);
}

void KyMasterLayout::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0)
            zoomBy(delta > 0 ? 1 : -1, static_cast<int>(event->position().x()));
        event->accept();
        return;
    }
    QScrollArea::wheelEvent(event);
}

void KyMasterLayout::flagsHor(bool on)
{
    m_track->flagsHor(on);
}

void KyMasterLayout::flagsFacing(bool on)
{
    m_track->flagsFacing(on);
}

void KyMasterLayout::flagsIHor(bool on)
{
    m_track->flagsIHor(on);
}

void KyMasterLayout::speedChanged(int percent)
{
    m_track->speedChanged(percent);
}

void KyMasterLayout::iblend_vChanged(int ms)
{
    m_track->iblend_vChanged(ms);
}

void KyMasterLayout::rotyOffsetChanged(int degrees)
{
    m_track->rotyOffsetChanged(degrees);
}

void KyMasterLayout::posxOffsetChanged(int value)
{
    m_track->posxOffsetChanged(value);
}

void KyMasterLayout::posyOffsetChanged(int value)
{
    m_track->posyOffsetChanged(value);
}

void KyMasterLayout::poszOffsetChanged(int value)
{
    m_track->poszOffsetChanged(value);
}

void KyMasterLayout::mirrorChanged(bool on)
{
    m_track->mirrorChanged(on);
}
