#include "dzviewportmgr.h"

#include "dzlog.h"

DzViewportMgr::DzViewportMgr(QObject *parent)
    : QObject(parent)
{
}

void DzViewportMgr::startManipulation()
{
    if (m_depth++ == 0)
        emit manipulationStarted();
}

void DzViewportMgr::endManipulation()
{
    if (m_depth == 0) {
        dzWarning(
            QStringLiteral("DzViewportMgr::endManipulation() called without a matching startManipulation()"));
        return;
    }
    if (--m_depth == 0)
        emit manipulationEnded();
}
