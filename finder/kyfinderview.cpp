#include "kyfinderview.h"

#include "kyfinder.h"
#include "kyfinderblock.h"
#include "kyfindertimeline.h"
#include "kymasterblock.h"
#include "kymasterlayout.h"

#include "kyblock.h"

#include "dzlog.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

KyFinderView::KyFinderView(KyFinder *finder, QWidget *parent)
    : QWidget(parent)
    , m_finder(finder)
{
    setObjectName(QStringLiteral("KyFinderView"));
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto *bar = new QHBoxLayout;
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("KyFinderFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter kinBlocks by name"));
    m_filter->setClearButtonEnabled(true);
    bar->addWidget(m_filter, 1);
    m_chooseButton = new QToolButton(this);
    m_chooseButton->setText(QStringLiteral("Choose a Folder..."));
    bar->addWidget(m_chooseButton);
    column->addLayout(bar);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setMinimumHeight(50);
    m_scroll->setWidgetResizable(false);
    m_contents = new QWidget;
    m_scroll->setWidget(m_contents);
    row->addWidget(m_scroll);
    column->addLayout(row, 1);

    // Drops land on the strip's viewport; the view handles them.
    setAcceptDrops(true);
    m_scroll->viewport()->setAcceptDrops(true);
    m_scroll->viewport()->installEventFilter(this);
    m_contents->setAcceptDrops(true);
    m_contents->installEventFilter(this);

    connect(m_filter, &QLineEdit::textChanged, this, [this] { placeTiles(); });
    connect(m_chooseButton, &QToolButton::clicked, this, &KyFinderView::chooseFolder);
}

QString KyFinderView::filter() const
{
    return m_filter->text();
}

void KyFinderView::setFilter(const QString &text)
{
    m_filter->setText(text);
}

std::vector<KyFinderBlock *> KyFinderView::shownTiles() const
{
    std::vector<KyFinderBlock *> shown;
    for (KyFinderBlock *tile : m_tiles) {
        if (kyFinderMatches(*tile->block(), filter()))
            shown.push_back(tile);
    }
    return shown;
}

void KyFinderView::showFolder(const QString &path)
{
    m_folder = path;
    for (KyFinderBlock *tile : m_tiles)
        tile->deleteLater();
    m_tiles.clear();

    KyFinderListing listing = kyFinderList(path);
    for (KyBlock *block : listing.blocks) {
        auto *tile = new KyFinderBlock(block, this, m_contents);
        m_tiles.push_back(tile);
    }
    m_refused = std::move(listing.refused);
    const QString refusals = kyFinderRefusalText(m_refused);
    m_scroll->viewport()->setToolTip(refusals);
    for (const KyFinderRefusal &r : m_refused)
        dzWarning(QStringLiteral("KyFinderView: %1 is left out of the browser: %2").arg(r.path, r.reason));
    placeTiles();
}

void KyFinderView::showFolderOf(const QString &filePath)
{
    showFolder(QFileInfo(filePath).absolutePath());
}

void KyFinderView::chooseFolder()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Folder"), m_folder,
                                                          QFileDialog::ShowDirsOnly);
    // A cancelled dialog leaves the strip as it was.
    if (!dir.isEmpty())
        showFolder(dir);
}

void KyFinderView::placeTiles()
{
    const int viewHeight = m_scroll->viewport()->height();
    QPoint at = kyFinderFirstTilePosition();
    int columnWidth = 0; // widest tile of the column being filled
    for (KyFinderBlock *tile : m_tiles) {
        if (!kyFinderMatches(*tile->block(), filter())) {
            tile->hide();
            continue;
        }
        tile->move(at);
        tile->show();
        columnWidth = qMax(columnWidth, tile->width());
        const QPoint next = kyFinderNextTilePosition(at, QSize(columnWidth, tile->height()), viewHeight);
        if (next.x() != at.x())
            columnWidth = 0;
        at = next;
    }
    // The last column may be partly filled: it belongs to the contents too.
    const int width = columnWidth > 0 ? at.x() + columnWidth + 10 : at.x();
    m_contents->resize(width, qMax(0, viewHeight - 12));
}

bool KyFinderView::dropPlaced(QObject *source)
{
    auto *tile = qobject_cast<KyMasterBlock *>(source);
    if (!tile || !tile->block() || !tile->trackLayout())
        return false;
    return kyFinderRemovePlaced(tile->trackLayout()->track(), tile->block());
}

bool KyFinderView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize)
        placeTiles();
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto *e = static_cast<QDragEnterEvent *>(event);
        if (e->mimeData()->hasText() && e->mimeData()->text() == QLatin1String(kyPlacedBlockDragText())) {
            e->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::DragMove: {
        auto *e = static_cast<QDragMoveEvent *>(event);
        if (e->mimeData()->hasText() && e->mimeData()->text() == QLatin1String(kyPlacedBlockDragText())) {
            e->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto *e = static_cast<QDropEvent *>(event);
        if (!e->mimeData()->hasText() || e->mimeData()->text() != QLatin1String(kyPlacedBlockDragText()))
            return false;
        dropPlaced(e->source());
        e->acceptProposedAction();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}
