#include "dzproperty.h"

#include "dzelement.h"
#include "dzundoitem.h"
#include "dzundostack.h"

#include <QMetaMethod>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr uint8_t kPendingValue = 1;
constexpr uint8_t kPendingKeys = 2;

int g_batchDepth = 0;
bool g_flushing = false;
std::vector<std::pair<DzBase *, DzChangeBatch::Flush>> &pendingList()
{
    static std::vector<std::pair<DzBase *, DzChangeBatch::Flush>> list;
    return list;
}

} // namespace

DzChangeBatch::DzChangeBatch()
{
    ++g_batchDepth;
}

DzChangeBatch::~DzChangeBatch()
{
    if (--g_batchDepth == 0 && !g_flushing)
        flush();
}

bool DzChangeBatch::isOpen()
{
    return g_batchDepth > 0 || g_flushing;
}

void DzChangeBatch::defer(DzBase *object, Flush flush)
{
    auto &list = pendingList();
    if (list.capacity() == 0)
        list.reserve(1024);
    list.emplace_back(object, flush);
}

void DzChangeBatch::forget(DzBase *object)
{
    for (auto &entry : pendingList())
        if (entry.first == object)
            entry.first = nullptr;
}

void DzChangeBatch::flush()
{
    // Receivers may write again (queued behind, picked up by this loop) or
    // delete queued objects (forgotten, skipped).
    g_flushing = true;
    auto &list = pendingList();
    for (size_t i = 0; i < list.size(); ++i) {
        const auto entry = list[i];
        if (entry.first)
            entry.second(entry.first);
    }
    list.clear();
    g_flushing = false;
}

DzProperty::DzProperty(const QString &name, QObject *parent) : DzBase(parent)
{
    setObjectName(name);
}

DzProperty::~DzProperty()
{
    if (m_pendingSignals)
        DzChangeBatch::forget(this);
}

void DzProperty::notifyChanged(bool keys)
{
    if (DzChangeBatch::isOpen()) {
        // Nobody to tell at the end either (a receiver connected meanwhile
        // hears of later changes only, as without a batch).
        if (m_changeConnections == 0) {
            if (m_owner)
                m_owner->propertyChanged(this);
            return;
        }
        if (!m_pendingSignals)
            DzChangeBatch::defer(this, &DzProperty::flushPending);
        m_pendingSignals |= keys ? kPendingValue | kPendingKeys : kPendingValue;
    } else {
        emitChangeSignals(keys);
    }
    if (m_owner)
        m_owner->propertyChanged(this);
}

void DzProperty::flushPending(DzBase *object)
{
    auto *property = static_cast<DzProperty *>(object);
    const uint8_t pending = std::exchange(property->m_pendingSignals, uint8_t(0));
    if (pending)
        property->emitChangeSignals(pending & kPendingKeys);
}

void DzProperty::emitChangeSignals(bool keys)
{
    if (m_changeConnections == 0)
        return;
    if (keys)
        emit keysChanged();
    emit currentValueChanged();
}

namespace {

bool isChangeSignal(const QMetaMethod &signal)
{
    return signal == QMetaMethod::fromSignal(&DzProperty::currentValueChanged)
        || signal == QMetaMethod::fromSignal(&DzProperty::keysChanged);
}

} // namespace

void DzProperty::connectNotify(const QMetaMethod &signal)
{
    if (isChangeSignal(signal))
        ++m_changeConnections;
}

void DzProperty::disconnectNotify(const QMetaMethod &signal)
{
    if (m_changeConnections > 0 && isChangeSignal(signal))
        --m_changeConnections;
}

QString DzProperty::getLabel() const
{
    return m_label.isEmpty() ? objectName() : m_label;
}

void DzProperty::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged(getLabel());
}

void DzProperty::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    emit hiddenChanged(hidden);
}

void DzProperty::deleteKeys(const DzTimeRange &)
{
}

void DzProperty::beginEdit()
{
    if (m_editDepth++ == 0)
        recordEditState();
}

void DzProperty::finishEdit()
{
    if (DzUndoItem *item = finishEditItem())
        DzUndoStack::instance()->push(item);
}

DzUndoItem *DzProperty::finishEditItem()
{
    if (m_editDepth == 0)
        return nullptr;
    if (--m_editDepth > 0)
        return nullptr;
    DzUndoItem *item = nullptr;
    // Building the item costs a copy of the keys; skip it when it would be
    // refused anyway.
    if (DzUndoStack::instance()->canPushItems())
        item = createEditUndoItem();
    discardEditState();
    return item;
}

void DzProperty::cancelEdit()
{
    if (m_editDepth == 0)
        return;
    m_editDepth = 0;
    discardEditState();
}
