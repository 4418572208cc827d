#include "kymasterlayout.h"

#include "kymaster.h"
#include "kymasterblock.h"
#include "kytime.h"
#include "kytrack.h"

#include <QScrollBar>

KyMasterLayout::KyMasterLayout(KyTrack *track, KyMaster *master, QWidget *parent)
    : QScrollArea(parent)
    , m_track(track)
    , m_master(master)
    , m_contents(new QWidget)
{
    setObjectName(QStringLiteral("Skeletal"));
    setMinimumHeight(90);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setWidget(m_contents);

    connect(m_track, &KyTrack::blockInserted, this, &KyMasterLayout::addTile);
    connect(m_track, &KyTrack::blockRemoved, this, &KyMasterLayout::removeTile);
    connect(m_track, &KyTrack::layoutChanged, this, &KyMasterLayout::placeTiles);
    connect(m_track, &KyTrack::blockChanged, this, &KyMasterLayout::refreshTiles);
    connect(m_track, &KyTrack::selectionChanged, this, &KyMasterLayout::refreshTiles);
    connect(m_track, &KyTrack::currentBlockChanged, this, &KyMasterLayout::focusCurrent);
    connect(m_track, &KyTrack::repaintRequested, m_contents, qOverload<>(&QWidget::update));
    connect(m_track, &KyTrack::ensureVisibleRequested, this,
            [this](int x) { ensureVisible(x, kPlayheadY, 50, 0); });

    for (KyBlock *block : m_track->blocks())
        addTile(block);
    placeTiles();
}

KyMasterLayout::~KyMasterLayout()
{
    disconnect(m_track, nullptr, this, nullptr);
}

int KyMasterLayout::bindingIndex() const
{
    return m_track->bindingIndex();
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

void KyMasterLayout::placeTiles()
{
    for (int i = 0; i < m_track->count(); ++i) {
        KyMasterBlock *tile = tileFor(m_track->blockAt(i));
        if (!tile)
            continue;
        tile->setFixedSize(std::max(1, m_track->tileWidth(i)), KyMasterBlock::kHeight);
        tile->move(m_track->tileX(i), kTileY);
        tile->update();
    }
    const int width = msToPixels(m_track->endTime()) + 100;
    m_contents->resize(width, 60);
}

void KyMasterLayout::refreshTiles()
{
    for (KyMasterBlock *tile : std::as_const(m_tiles))
        tile->update();
}

void KyMasterLayout::focusCurrent(KyBlock *block)
{
    refreshTiles();
    if (KyMasterBlock *tile = tileFor(block))
        tile->setFocus(Qt::OtherFocusReason);
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
