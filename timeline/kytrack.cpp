#include "kytrack.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kychaining.h"
#include "kytime.h"
#include "kytimeline.h"

#include "dzlog.h"
#include "dzscene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>

namespace {

// Keeps sums of start times inside int: a gap or length near INT_MAX must
// not wrap the accumulator around.
int addSaturated(int64_t a, int64_t b)
{
    const int64_t s = a + b;
    if (s > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (s < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(s);
}

int visibleLength(const KyBlock &block)
{
    return addSaturated(block.outPoint, -static_cast<int64_t>(block.inPoint));
}

} // namespace

KyTrack::KyTrack(KyTimeline *timeline, QObject *parent)
    : QObject(parent)
    , m_timeline(timeline)
{
    setObjectName(QStringLiteral("Skeletal"));
}

KyTrack::~KyTrack() = default;

FigureBinding *KyTrack::binding() const
{
    return m_timeline ? m_timeline->binding(m_bindingIndex) : nullptr;
}

KyBlock *KyTrack::blockAt(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_blocks[static_cast<size_t>(index)].get();
}

int KyTrack::indexOf(const KyBlock *block) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_blocks[static_cast<size_t>(i)].get() == block)
            return i;
    }
    return -1;
}

std::vector<KyBlock *> KyTrack::blocks() const
{
    std::vector<KyBlock *> out;
    out.reserve(m_blocks.size());
    for (const auto &block : m_blocks)
        out.push_back(block.get());
    return out;
}

int KyTrack::startOf(int index) const
{
    int acc = 0;
    for (int i = 0; i < count() && i <= index; ++i) {
        const KyBlock &block = *m_blocks[static_cast<size_t>(i)];
        const int start = addSaturated(acc, block.gap);
        if (i == index)
            return start;
        acc = addSaturated(start, visibleLength(block));
    }
    return acc;
}

int KyTrack::endOf(int index) const
{
    const KyBlock *block = blockAt(index);
    if (!block)
        return startOf(index);
    return addSaturated(startOf(index), visibleLength(*block));
}

int KyTrack::endTime() const
{
    int acc = 0;
    for (const auto &block : m_blocks)
        acc = addSaturated(addSaturated(acc, block->gap), visibleLength(*block));
    return acc;
}

int KyTrack::length() const
{
    const FigureBinding *b = binding();
    if (!b || !b->skeleton())
        return 0;
    return endTime();
}

int KyTrack::tileX(int index) const
{
    return msToPixels(startOf(index));
}

int KyTrack::tileWidth(int index) const
{
    const KyBlock *block = blockAt(index);
    return block ? msToPixels(visibleLength(*block)) : 0;
}

int KyTrack::insertIndexAt(int x) const
{
    int acc = 0;
    for (int i = 0; i < count(); ++i) {
        const KyBlock &block = *m_blocks[static_cast<size_t>(i)];
        const int start = addSaturated(acc, block.gap);
        const int left = msToPixels(start);
        const int width = msToPixels(visibleLength(block));
        if (left + width / 2 > x)
            return i;
        acc = addSaturated(start, visibleLength(block));
    }
    return count();
}

KyBlock *KyTrack::insertBlock(int x, const KyBlock &source, bool keepKeys)
{
    std::unique_ptr<KyBlock> copy(source.clone());
    const int index = insertIndexAt(x);
    const int start = index == 0 ? 0 : endOf(index - 1);
    if (!keepKeys) {
        const int64_t end = static_cast<int64_t>(start) + copy->gap - copy->inPoint
            + copy->outPoint + 40;
        clearHostAnimationUnder(*copy, start, addSaturated(end, 0));
    }
    KyBlock *placed = copy.get();
    m_blocks.insert(m_blocks.begin() + index, std::move(copy));
    emit blockInserted(placed);
    if (count() == 1)
        emit ensureVisibleRequested(msToPixels(m_playheadMs) - 4);
    clearSelection();
    relayout();
    return placed;
}

KyBlock *KyTrack::appendBlock(const KyBlock &source, bool keepKeys)
{
    return insertBlock(std::numeric_limits<int>::max(), source, keepKeys);
}

void KyTrack::clearHostAnimationUnder(KyBlock &block, int fromMs, int toMs)
{
    const FigureBinding *b = binding();
    if (!b || !b->skeleton())
        return;
    clearHostAnimation(b->skeleton(), block, DzTimeRange(msToTicks(fromMs), msToTicks(toMs)));
}

std::unique_ptr<KyBlock> KyTrack::takeBlock(int index)
{
    std::unique_ptr<KyBlock> block = std::move(m_blocks[static_cast<size_t>(index)]);
    m_blocks.erase(m_blocks.begin() + index);
    return block;
}

bool KyTrack::removeBlock(KyBlock *block)
{
    if (m_timeline) {
        m_timeline->setPointerOverBlock(false);
        // Pending previews go back first, so that nothing of the removed
        // block's preview stays on the figure.
        m_timeline->releaseKeyHolds(10000);
        m_timeline->recheckOffsetTool();
    }

    // The host's keys under the whole track were written by the timeline;
    // they are cleared so that the figure follows the track as it will be.
    int previousEnd = 0;
    for (const auto &tile : m_blocks) {
        const int64_t end = static_cast<int64_t>(previousEnd) + tile->gap - tile->inPoint
            + tile->outPoint + 10;
        clearHostAnimationUnder(*tile, previousEnd, addSaturated(end, 0));
        previousEnd = addSaturated(addSaturated(previousEnd, tile->gap), visibleLength(*tile));
    }

    const int index = indexOf(block);
    if (index < 0)
        return false;
    std::unique_ptr<KyBlock> removed = takeBlock(index);
    const auto selected = std::find(m_selection.begin(), m_selection.end(), block);
    if (selected != m_selection.end()) {
        const size_t at = static_cast<size_t>(selected - m_selection.begin());
        m_selection.erase(selected);
        if (at < m_rememberedOut.size())
            m_rememberedOut.erase(m_rememberedOut.begin() + static_cast<std::ptrdiff_t>(at));
        emit selectionChanged();
    }
    setCurrentBlock(nullptr);
    emit blockRemoved(removed.get());
    removed.reset();
    emit layoutChanged();

    if (dzScene) {
        const DzTimeRange anim = dzScene->getAnimRange();
        const DzTimeRange play = dzScene->getPlayRange();
        const DzTime end = msToTicks(endTime());
        const DzTimeRange widened(std::min<DzTime>(anim.getStart(), 0),
                                  std::max<DzTime>(anim.getEnd(), end));
        dzScene->setAnimRange(widened);
        if (play == anim)
            dzScene->setPlayRange(widened);
    }
    chain();
    return true;
}

void KyTrack::deleteSelected()
{
    std::vector<KyBlock *> doomed = m_selection;
    clearSelection();
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
        removeBlock(*it);
}

void KyTrack::moveBlock(int x, KyBlock *block)
{
    const int from = indexOf(block);
    if (from < 0)
        return;
    // The first other tile whose centre lies right of x, in the layout as
    // it stands: dropping a tile on itself finds the tile after it.
    int target = count();
    for (int i = 0; i < count(); ++i) {
        if (i == from)
            continue;
        if (tileX(i) + tileWidth(i) / 2 > x) {
            target = i;
            break;
        }
    }
    std::unique_ptr<KyBlock> moving = takeBlock(from);
    if (target > from)
        --target;
    m_blocks.insert(m_blocks.begin() + target, std::move(moving));
    emit layoutChanged();
    setCurrentBlock(block);
    chain();
}

void KyTrack::moveSelection(int x)
{
    if (m_selection.empty())
        return;
    std::set<const KyBlock *> selected(m_selection.begin(), m_selection.end());
    // Where the run goes: before the first unselected tile right of x.
    KyBlock *before = nullptr;
    for (int i = 0; i < count(); ++i) {
        KyBlock *block = blockAt(i);
        if (selected.count(block))
            continue;
        if (tileX(i) + tileWidth(i) / 2 > x) {
            before = block;
            break;
        }
    }
    std::vector<std::unique_ptr<KyBlock>> run;
    for (int i = 0; i < count();) {
        if (selected.count(blockAt(i)))
            run.push_back(takeBlock(i));
        else
            ++i;
    }
    KyBlock *last = run.back().get();
    int at = before ? indexOf(before) : count();
    for (auto &block : run)
        m_blocks.insert(m_blocks.begin() + at++, std::move(block));
    emit layoutChanged();
    setCurrentBlock(last);
    chain();
}

int KyTrack::slideGap(int x, int pressX, int slideOffset)
{
    const int64_t px = static_cast<int64_t>(x) - pressX - slideOffset;
    return pixelsToMs(addSaturated(std::max<int64_t>(0, px), 0));
}

void KyTrack::setGap(KyBlock *block, int gapMs)
{
    if (indexOf(block) < 0)
        return;
    block->gap = std::max(0, gapMs);
    relayout();
}

void KyTrack::setInOut(KyBlock *block, int inPoint, int outPoint)
{
    if (indexOf(block) < 0)
        return;
    block->inPoint = std::max(0, inPoint);
    block->outPoint = std::max(addSaturated(block->inPoint, 1), outPoint);
    relayout();
}

void KyTrack::setBlendIn(KyBlock *block, int blendMs)
{
    if (indexOf(block) < 0)
        return;
    block->blendIn = std::clamp(blendMs, 0, std::max(0, visibleLength(*block)));
    emit blockChanged(block);
    chain();
}

void KyTrack::clear()
{
    setCurrentBlock(nullptr);
    clearSelection();
    while (!m_blocks.empty()) {
        std::unique_ptr<KyBlock> removed = takeBlock(count() - 1);
        emit blockRemoved(removed.get());
    }
    emit layoutChanged();
}

void KyTrack::setCurrentBlock(KyBlock *block)
{
    if (block && indexOf(block) < 0)
        block = nullptr;
    if (m_current == block)
        return;
    m_current = block;
    emit currentBlockChanged(block);
}

bool KyTrack::isSelected(const KyBlock *block) const
{
    return std::find(m_selection.begin(), m_selection.end(), block) != m_selection.end();
}

void KyTrack::clearSelection()
{
    if (m_selection.empty() && m_rememberedOut.empty())
        return;
    m_selection.clear();
    m_rememberedOut.clear();
    emit selectionChanged();
}

void KyTrack::addToSelection(KyBlock *block)
{
    if (!block || indexOf(block) < 0)
        return;
    if (std::find(m_selection.rbegin(), m_selection.rend(), block) != m_selection.rend())
        return;
    m_selection.push_back(block);
    emit selectionChanged();
}

void KyTrack::rememberClipOutPoints()
{
    m_rememberedOut.resize(m_selection.size());
    for (size_t i = 0; i < m_selection.size(); ++i)
        m_rememberedOut[i] = m_selection[i]->toClipMs(m_selection[i]->outPoint);
}

int KyTrack::outPointForSpeed(int clipOutPoint, float speed)
{
    if (!(speed > 0.0f))
        return clipOutPoint;
    const double out = static_cast<double>(static_cast<float>(clipOutPoint) / speed);
    if (out >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (out <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(out);
}

int KyTrack::clipOutPointFor(KyBlock *block)
{
    const auto it = std::find(m_selection.begin(), m_selection.end(), block);
    const size_t at = static_cast<size_t>(it - m_selection.begin());
    // A speed change without remembered out points (a script calling the
    // slot directly) remembers them now rather than reading past the vector.
    if (at >= m_rememberedOut.size())
        rememberClipOutPoints();
    return m_rememberedOut[at];
}

void KyTrack::relayout()
{
    emit layoutChanged();
    chain();
}

void KyTrack::chain()
{
    chainBlocks(blocks());
    if (dzScene && dzScene->getAnimRange().getEnd() > m_paintedRangeEnd)
        emit repaintRequested();
    emit chained();
    if (m_timeline)
        m_timeline->requestDelayedTrim();
}

void KyTrack::setPlayhead(int ms, bool scroll)
{
    if (m_timeline && m_timeline->currentTime() != ms)
        m_timeline->goSeek(ms, false, true);
    if (scroll)
        movePlayhead(ms);
}

void KyTrack::movePlayhead(int ms)
{
    m_playheadMs = ms;
    emit playheadMoved(ms, true);
    emit ensureVisibleRequested(msToPixels(ms) - 4);
}

void KyTrack::skimTo(int ms)
{
    if (m_timeline && m_timeline->currentTime() != ms)
        m_timeline->goSkim(ms);
    emit ensureVisibleRequested(msToPixels(ms) - 4);
}

QString KyTrack::checkConsistency() const
{
    std::set<const KyBlock *> seen;
    int previousEnd = 0;
    for (int i = 0; i < count(); ++i) {
        const KyBlock *block = m_blocks[static_cast<size_t>(i)].get();
        if (!block)
            return QStringLiteral("block %1 is null").arg(i);
        if (!seen.insert(block).second)
            return QStringLiteral("block %1 appears twice").arg(i);
        if (block->gap < 0)
            return QStringLiteral("block %1 has a negative gap").arg(i);
        if (block->outPoint < block->inPoint)
            return QStringLiteral("block %1 ends before it begins").arg(i);
        if (!(block->speed > 0.0f) || !std::isfinite(block->speed))
            return QStringLiteral("block %1 has speed %2").arg(i).arg(block->speed);
        const int start = startOf(i);
        if (start < previousEnd)
            return QStringLiteral("block %1 starts before the previous one ends").arg(i);
        previousEnd = endOf(i);
    }
    if (previousEnd != endTime())
        return QStringLiteral("track end %1 differs from the last block's end %2")
            .arg(endTime())
            .arg(previousEnd);
    std::set<const KyBlock *> selected;
    for (const KyBlock *block : m_selection) {
        if (!seen.count(block))
            return QStringLiteral("a selected block is not on the track");
        if (!selected.insert(block).second)
            return QStringLiteral("a block is selected twice");
    }
    if (m_rememberedOut.size() > m_selection.size())
        return QStringLiteral("more remembered out points than selected blocks");
    if (m_current && !seen.count(m_current))
        return QStringLiteral("the current block is not on the track");
    return QString();
}

void KyTrack::setFlagBit(int bit, bool on)
{
    for (KyBlock *block : m_selection) {
        if (on)
            block->flags |= bit;
        else
            block->flags &= ~bit;
        emit blockChanged(block);
    }
    chain();
}

void KyTrack::flagsHor(bool on)
{
    setFlagBit(KyBlock::ReorientHorizontalPosition, on);
}

void KyTrack::flagsFacing(bool on)
{
    setFlagBit(KyBlock::ReorientFacing, on);
}

void KyTrack::flagsIHor(bool on)
{
    setFlagBit(KyBlock::ReorientInternalHorizontalPosition, on);
}

void KyTrack::speedChanged(int percent)
{
    if (percent < 1) {
        dzWarning(QStringLiteral("KyTrack::speedChanged(): refused speed %1 %").arg(percent));
        return;
    }
    const float speed = static_cast<float>(percent / 100.0);
    for (KyBlock *block : m_selection) {
        const int clipOut = clipOutPointFor(block);
        block->speed = speed;
        // The visible part never becomes empty or reversed.
        block->outPoint = std::max(outPointForSpeed(clipOut, speed), addSaturated(block->inPoint, 1));
    }
    relayout();
}

void KyTrack::iblend_vChanged(int ms)
{
    for (KyBlock *block : m_selection)
        block->internalBlend = std::max(0, ms);
    relayout();
}

void KyTrack::reposeAfterOffsetChange()
{
    if (!m_timeline)
        return;
    m_timeline->goSeek(hostSnappedMs(), true, true);
    m_timeline->reSkim();
}

void KyTrack::rotyOffsetChanged(int degrees)
{
    for (KyBlock *block : m_selection)
        block->facingOffset = static_cast<float>(degrees);
    relayout();
    reposeAfterOffsetChange();
}

void KyTrack::posxOffsetChanged(int value)
{
    for (KyBlock *block : m_selection)
        block->posOffset.x = static_cast<float>(value);
    relayout();
    reposeAfterOffsetChange();
}

void KyTrack::posyOffsetChanged(int value)
{
    for (KyBlock *block : m_selection)
        block->posOffset.y = static_cast<float>(value);
    relayout();
    reposeAfterOffsetChange();
}

void KyTrack::poszOffsetChanged(int value)
{
    for (KyBlock *block : m_selection)
        block->posOffset.z = static_cast<float>(value);
    relayout();
    reposeAfterOffsetChange();
}

void KyTrack::mirrorChanged(bool on)
{
    for (KyBlock *block : m_selection) {
        block->mirror = on;
        emit blockChanged(block);
    }
    relayout();
    reposeAfterOffsetChange();
}
