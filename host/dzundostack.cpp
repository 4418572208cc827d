#include "dzundostack.h"

#include "dzlog.h"
#include "dzundoitem.h"
#include "dzundoitemgroup.h"

#include <algorithm>

DzUndoStack *const dzUndoStack = DzUndoStack::instance();

namespace {

// Sets a flag for the duration of a scope, so that nothing pushed while an
// item undoes or redoes itself is recorded.
class BusyGuard
{
public:
    explicit BusyGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~BusyGuard() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

DzUndoStack *DzUndoStack::instance()
{
    static DzUndoStack stack;
    return &stack;
}

DzUndoStack::DzUndoStack() = default;

DzUndoStack::~DzUndoStack() = default;

bool DzUndoStack::canPushItems() const
{
    return !m_holds.empty() && !m_busy;
}

bool DzUndoStack::push(DzUndoItem *item)
{
    std::unique_ptr<DzUndoItem> owned(item);
    if (!item || !canPushItems())
        return false;
    m_holds.back().items.push_back(std::move(owned));
    return true;
}

bool DzUndoStack::canUndo() const
{
    return !m_undo.empty() && m_holds.empty() && !m_busy;
}

bool DzUndoStack::canRedo() const
{
    return !m_redo.empty() && m_holds.empty() && !m_busy;
}

bool DzUndoStack::undo()
{
    if (!canUndo())
        return false;
    std::unique_ptr<DzUndoItem> step = std::move(m_undo.back());
    m_undo.pop_back();
    {
        BusyGuard guard(m_busy);
        step->undo();
    }
    m_redo.push_back(std::move(step));
    emit stackChanged();
    return true;
}

bool DzUndoStack::redo()
{
    if (!canRedo())
        return false;
    std::unique_ptr<DzUndoItem> step = std::move(m_redo.back());
    m_redo.pop_back();
    {
        BusyGuard guard(m_busy);
        step->redo();
    }
    m_undo.push_back(std::move(step));
    emit stackChanged();
    return true;
}

QString DzUndoStack::getUndoCaption() const
{
    return m_undo.empty() ? QString() : m_undo.back()->getDescription();
}

QString DzUndoStack::getRedoCaption() const
{
    return m_redo.empty() ? QString() : m_redo.back()->getDescription();
}

void DzUndoStack::clear()
{
    if (m_undo.empty() && m_redo.empty())
        return;
    m_undo.clear();
    m_redo.clear();
    emit stackChanged();
}

void DzUndoStack::setMaxSteps(int steps)
{
    m_maxSteps = std::max(1, steps);
    if (static_cast<int>(m_undo.size()) > m_maxSteps) {
        trimSteps();
        emit stackChanged();
    }
}

void DzUndoStack::trimSteps()
{
    const size_t max = static_cast<size_t>(m_maxSteps);
    if (m_undo.size() > max)
        m_undo.erase(m_undo.begin(), m_undo.begin() + static_cast<long>(m_undo.size() - max));
}

int DzUndoStack::openHold()
{
    const int id = m_nextHoldId++;
    m_holds.push_back(Hold{id, {}});
    if (m_holds.size() == 1)
        emit holdStateChanged(true);
    return id;
}

int DzUndoStack::holdIndex(int id) const
{
    for (size_t i = 0; i < m_holds.size(); ++i)
        if (m_holds[i].id == id)
            return static_cast<int>(i);
    return -1;
}

void DzUndoStack::acceptHold(int id, const QString &caption)
{
    const int index = holdIndex(id);
    if (index < 0)
        return; // already closed by an enclosing hold
    if (index != static_cast<int>(m_holds.size()) - 1)
        dzWarning(QStringLiteral("DzUndoStack: hold \"%1\" accepted while inner holds were open").arg(caption));
    // Inner holds still open become part of this one.
    std::vector<std::unique_ptr<DzUndoItem>> items;
    for (size_t i = static_cast<size_t>(index); i < m_holds.size(); ++i)
        for (auto &item : m_holds[i].items)
            items.push_back(std::move(item));
    m_holds.erase(m_holds.begin() + index, m_holds.end());

    if (!items.empty()) {
        auto *group = new DzUndoItemGroup(caption);
        for (auto &item : items)
            group->addItem(item.release());
        if (!m_holds.empty()) {
            m_holds.back().items.emplace_back(group);
        } else {
            m_undo.emplace_back(group);
            m_redo.clear();
            trimSteps();
        }
    }
    if (m_holds.empty()) {
        emit holdStateChanged(false);
        emit stackChanged();
    }
}

void DzUndoStack::cancelHold(int id)
{
    const int index = holdIndex(id);
    if (index < 0)
        return;
    m_holds.erase(m_holds.begin() + index, m_holds.end());
    if (m_holds.empty()) {
        emit holdStateChanged(false);
        emit stackChanged();
    }
}
