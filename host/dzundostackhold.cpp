#include "dzundostackhold.h"

#include "dzundostack.h"

DzUndoStackHold::DzUndoStackHold() : m_id(DzUndoStack::instance()->openHold())
{
}

DzUndoStackHold::~DzUndoStackHold()
{
    if (!m_closed)
        DzUndoStack::instance()->cancelHold(m_id);
}

void DzUndoStackHold::accept(const QString &caption)
{
    if (m_closed)
        return;
    m_closed = true;
    DzUndoStack::instance()->acceptHold(m_id, caption);
}
