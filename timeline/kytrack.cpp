#include "kytrack.h"

#include "figurebinding.h"
#include "kychaining.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrackhost.h"

#include "dzlog.h"

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
    if (index < 0)
        return 0;
    if (index >= count())
        return m_end;
    return m_starts[static_cast<size_t>(index)];
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
    return m_end;
}

int KyTrack::length() const
{
    const FigureBinding *b = binding();
    if (!b || !b->skeleton())
        return 0;
    return endTime();
}

void KyTrack::updateStartsFrom(int index)
{
    index = std::clamp(index, 0, count());
    m_starts.resize(m_blocks.size());
    int acc = index == 0 ? 0 : endOf(index - 1);
    for (int i = index; i < count(); ++i) {
        const KyBlock &block = *m_blocks[static_cast<size_t>(i)];
        const int start = addSaturated(acc, block.gap);
        m_starts[static_cast<size_t>(i)] = start;
        acc = addSaturated(start, visibleLength(block));
    }
    m_end = acc;
}

KyBlock *KyTrack::insertBlock(int index, const KyBlock &source, bool keepKeys)
{
    std::unique_ptr<KyBlock> copy(source.clone());
    index = std::clamp(index, 0, count());
    const int start = index == 0 ? 0 : endOf(index - 1);
    if (!keepKeys) {
        const int64_t end = static_cast<int64_t>(start) + copy->gap - copy->inPoint
            + copy->outPoint + 40;
        kyClearHostAnimationUnder(*this, *copy, start, addSaturated(end, 0));
    }
    KyBlock *placed = copy.get();
    m_blocks.insert(m_blocks.begin() + index, std::move(copy));
    updateStartsFrom(index);
    emit blockInserted(placed);
    clearSelection();
    relayout();
    return placed;
}

KyBlock *KyTrack::appendBlock(const KyBlock &source, bool keepKeys)
{
    return insertBlock(count(), source, keepKeys);
}

std::unique_ptr<KyBlock> KyTrack::takeBlock(int index)
{
    std::unique_ptr<KyBlock> block = std::move(m_blocks[static_cast<size_t>(index)]);
    m_blocks.erase(m_blocks.begin() + index);
    updateStartsFrom(index);
    return block;
}

bool KyTrack::removeBlock(KyBlock *block)
{
    if (indexOf(block) < 0)
        return false;
    kyReleasePreviewsBeforeRemoval(*this);
    kyClearUnderTrack(*this);

    std::unique_ptr<KyBlock> removed = takeBlock(indexOf(block));
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
    kyWidenRangesToTrack(*this);
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

void KyTrack::moveBlock(KyBlock *block, KyBlock *before)
{
    const int from = indexOf(block);
    if (from < 0 || block == before)
        return;
    std::unique_ptr<KyBlock> moving = takeBlock(from);
    const int at = before && indexOf(before) >= 0 ? indexOf(before) : count();
    m_blocks.insert(m_blocks.begin() + at, std::move(moving));
    updateStartsFrom(std::min(from, at));
    emit layoutChanged();
    setCurrentBlock(block);
    chain();
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

KyTrackSnapshot KyTrack::snapshot() const
{
    KyTrackSnapshot out;
    out.blocks.reserve(m_blocks.size());
    for (const auto &block : m_blocks) {
        out.blocks.emplace_back(block->clone());
        out.placed.push_back(block.get());
    }
    return out;
}

void KyTrack::restore(const KyTrackSnapshot &snapshot)
{
    setCurrentBlock(nullptr);
    clearSelection();
    while (!m_blocks.empty()) {
        std::unique_ptr<KyBlock> removed = takeBlock(count() - 1);
        emit blockRemoved(removed.get());
    }
    for (const auto &block : snapshot.blocks)
        m_blocks.emplace_back(block->clone());
    updateStartsFrom(0);
    emit reset();
    relayout();
}

bool KyTrack::samePlacements(const KyTrackSnapshot &a, const KyTrackSnapshot &b)
{
    if (a.blocks.size() != b.blocks.size() || a.placed != b.placed)
        return false;
    const auto same = [](const Vec3f &p, const Vec3f &q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
    for (size_t i = 0; i < a.blocks.size(); ++i) {
        const KyBlock &p = *a.blocks[i];
        const KyBlock &q = *b.blocks[i];
        if (p.path != q.path || p.name != q.name || p.flags != q.flags || p.speed != q.speed
            || p.inPoint != q.inPoint || p.outPoint != q.outPoint || p.blendIn != q.blendIn
            || p.internalBlend != q.internalBlend || !same(p.posOffset, q.posOffset)
            || p.facingOffset != q.facingOffset || p.mirror != q.mirror || p.gap != q.gap
            || p.clipLength != q.clipLength || p.clipHandle != q.clipHandle)
            return false;
    }
    return true;
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
    updateStartsFrom(0);
    emit layoutChanged();
    chain();
}

void KyTrack::chain()
{
    updateStartsFrom(0);
    chainBlocks(blocks());
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
    emit playheadMoved(ms);
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
        const int start = addSaturated(previousEnd, block->gap);
        if (static_cast<int>(m_starts.size()) != count() || start != startOf(i))
            return QStringLiteral("block %1: cached start %2, walked start %3").arg(i).arg(startOf(i)).arg(start);
        previousEnd = addSaturated(start, visibleLength(*block));
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
