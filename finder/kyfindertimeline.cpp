#include "kyfindertimeline.h"

#include "kyfinderblock.h"
#include "kymaster.h"
#include "kymasterlayout.h"

#include "kyblock.h"
#include "kytrack.h"
#include "kytrackedit.h"

#include <QPoint>

KyBlock *kyFinderInsertAtPlayhead(KyMaster *master, const KyBlock &block)
{
    KyMasterLayout *layout = master ? master->currentTrack() : nullptr;
    if (!layout)
        return nullptr;
    return layout->insertAtPlayhead(block);
}

bool kyFinderRemovePlaced(KyTrack *track, KyBlock *placed)
{
    if (!track || track->indexOf(placed) < 0)
        return false;
    KyTrackEdit edit(track);
    if (!track->removeBlock(placed))
        return false;
    edit.commit(QStringLiteral("Remove kinBlock"));
    return true;
}

bool kyFinderDropOnTrack(KyMasterLayout *layout, QObject *source, const QPoint &viewportPos)
{
    KyBlock *block = kyFinderBlockOf(source);
    if (!layout || !block)
        return false;
    layout->insertBlockAt(viewportPos.x() + layout->scrollOffset() - KyMasterLayout::kOriginX, *block);
    return true;
}
