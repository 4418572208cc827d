#include "kyblockediting.h"

#include "kyprompt.h"
#include "kytrack.h"
#include "kytrackgeometry.h"

#include "kyblock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

QString kbaFilter()
{
    return QStringLiteral("kinBlocks (*.kba)");
}

// The playhead widget's x (contents pixels): its tip marks the time, 4
// pixels right of its left edge.
int playheadX(const KyTrack &track, const KyTrackGeometry &geometry)
{
    return geometry.msToPx(track.playheadMs()) - 4;
}

QString withoutKba(const QString &file)
{
    QString name = file;
    if (name.endsWith(QLatin1String(".kba")))
        name.chop(4);
    return name;
}

// Names result (a copy of a placed block with its new clip) after the chosen
// file, saves it and gives the placed block its clip and name. The placed
// block itself is never saved: saving puts the saved object into the block
// registry, which keeps it for good, while the track deletes its blocks.
// The copy stays only when the registry took it. A failed write is reported
// and leaves the placed block as it was.
bool saveAndAdopt(KyBlock &placed, std::unique_ptr<KyBlock> result, const QString &file)
{
    result->name = QFileInfo(file).fileName();
    result->path = QFileInfo(file).absoluteFilePath() + QLatin1String(".kba");
    QString error;
    if (!result->save(&error)) {
        kyMessage(QStringLiteral("The kinBlock could not be saved: %1").arg(error));
        return false;
    }
    placed.clipHandle = result->clipHandle;
    placed.clipLength = result->clipLength;
    placed.inPoint = result->inPoint;
    placed.outPoint = result->outPoint;
    placed.name = result->name;
    placed.path = result->path;
    KyBlock *saved = result.release();
    const std::vector<KyBlock *> &registry = KyBlock::registry();
    if (std::find(registry.begin(), registry.end(), saved) == registry.end())
        delete saved;
    return true;
}

} // namespace

bool blockLoops(const KyBlock &block)
{
    return static_cast<long long>(block.outPoint) > static_cast<long long>(block.loopLength()) + 50;
}

bool splitBlock(KyTrack &track, const KyTrackGeometry &geometry)
{
    KyBlock *block = track.currentBlock();
    bool pickedAtPlayhead = false;
    const int x = playheadX(track, geometry);
    if (!block) {
        if (!kyQuestion(QStringLiteral("The kinBlock is split at the location of the playhead.  "
                                       "That kinblock is not selected.\n   Continue? "),
                        &track))
            return false;
        block = track.blockAt(geometry.tileUnder(track, x));
        if (!block) {
            kyMessage(QStringLiteral("Playhead can't split kinBlock."), &track);
            return false;
        }
        track.setCurrentBlock(block);
        track.addToSelection(block);
        pickedAtPlayhead = true;
    }
    const int index = track.indexOf(block);
    const int d = x - geometry.tileX(track, index) + 4;
    if (d < 25 || d > geometry.tileWidth(track, index) - 25) {
        kyMessage(QStringLiteral("Playhead can't split kinBlock. "), &track);
        return false;
    }

    const int oldEnd = block->outPoint;
    block->outPoint = block->inPoint + geometry.pxToMs(d);
    track.relayout();
    std::unique_ptr<KyBlock> second(block->clone());
    second->outPoint = oldEnd;
    second->inPoint = block->outPoint;
    second->flags = block->flags;
    track.insertBlock(track.indexOf(block) + 1, *second, false);

    track.setCurrentBlock(block);
    track.clearSelection();
    track.addToSelection(block);
    track.relayout();
    if (pickedAtPlayhead) {
        track.setCurrentBlock(nullptr);
        track.clearSelection();
    }
    return true;
}

bool joinBlocks(KyTrack &track, const QString &startFolder)
{
    const std::vector<KyBlock *> selection = track.selection();
    KyBlock *a = nullptr;
    if (selection.size() > 2) {
        kyMessage(QStringLiteral("Please only select 2 kinBlocks to join."), &track);
        return false;
    }
    if (selection.empty()) {
        kyMessage(QStringLiteral("No kinBlock Selected."), &track);
        return false;
    }
    if (selection.size() == 2) {
        const int i = track.indexOf(selection[0]);
        const int j = track.indexOf(selection[1]);
        if (std::abs(i - j) != 1) {
            kyMessage(QStringLiteral("Please select 2 adjacent kinBlocks"), &track);
            return false;
        }
        a = track.blockAt(std::min(i, j));
    } else {
        a = selection[0];
    }
    KyBlock *b = track.blockAt(track.indexOf(a) + 1);
    if (!b) {
        kyMessage(QStringLiteral("No kinBlock after Selected block."), &track);
        return false;
    }
    const KyBlock *c = track.blockAt(track.indexOf(b) + 1);
    const int reorient = KyBlock::ReorientHorizontalPosition | KyBlock::ReorientFacing;
    if ((b->flags & reorient) && c && (c->flags & reorient) != reorient
        && !kyQuestion(QStringLiteral("You are combining with a reoriented block where the next "
                                      "following block, ")
                           + c->name
                           + QStringLiteral(", is not reoriented.  This is not recommented.  "
                                            "Continue anyway?"),
                       &track))
        return false;

    // Two touching pieces of one clip (a split) simply merge again.
    if (a->clipHandle == b->clipHandle && std::abs(a->outPoint - b->inPoint) < 100) {
        const int end = b->outPoint;
        track.removeBlock(b);
        track.setCurrentBlock(a);
        a->outPoint = end;
        track.relayout();
        return true;
    }
    if (blockLoops(*a) || blockLoops(*b)) {
        kyMessage(QStringLiteral("Combining looping blocks is not supported"), &track);
        return false;
    }

    KySaveFileRequest request;
    request.caption = QStringLiteral("Choose save file");
    request.startPath = startFolder + QStringLiteral("/unnamed");
    request.filter = kbaFilter();
    request.dialogName = QStringLiteral("save file dialog");
    QString file;
    for (;;) {
        file = kySaveFileName(request);
        if (file.size() < 3)
            break;
        if (!QDir(file).dirName().startsWith(QLatin1String("s_")))
            break;
        kyMessage(QStringLiteral("Don't save over originals"), &track);
    }
    if (file.isNull())
        return false;
    file = withoutKba(file);
    if (QFile::exists(file + QLatin1String(".kba")) && !kyQuestion(QStringLiteral("Save over existing?"), &track))
        return false;

    // Work on a copy: when the crop, append or save fails the track keeps
    // both blocks as they were.
    std::unique_ptr<KyBlock> joined(a->clone());
    if (!joined->crop() || !joined->append(*b)) {
        kyMessage(QStringLiteral("The kinBlocks could not be joined."), &track);
        return false;
    }
    if (!saveAndAdopt(*a, std::move(joined), file))
        return false;
    track.removeBlock(b);
    track.clearSelection();
    track.setCurrentBlock(a);
    track.addToSelection(a);
    track.relayout();
    return true;
}

bool cropBlock(KyTrack &track, const QString &startFolder)
{
    KyBlock *block = track.currentBlock();
    if (!block) {
        kyMessage(QStringLiteral("Cropping requires a selected kinBlock"), &track);
        return false;
    }
    if (blockLoops(*block)) {
        kyMessage(QStringLiteral("Cropping a looping kinBlock is not supported"), &track);
        return false;
    }
    KySaveFileRequest request;
    request.caption = QStringLiteral("Choose a file");
    request.startPath = startFolder + QStringLiteral("/unnamed");
    request.filter = kbaFilter();
    request.dialogName = QStringLiteral("open file dialog");
    request.parent = &track;
    QString file = kySaveFileName(request);
    if (file.isNull())
        return false;
    file = withoutKba(file);
    if (QFile::exists(file + QLatin1String(".kba")) && !kyQuestion(QStringLiteral("Save over existing?"), &track))
        return false;
    std::unique_ptr<KyBlock> cropped(block->clone());
    if (!cropped->crop()) {
        kyMessage(QStringLiteral("The kinBlock could not be cropped."), &track);
        return false;
    }
    if (!saveAndAdopt(*block, std::move(cropped), file))
        return false;
    track.relayout();
    return true;
}
