#include "dzrendermgr.h"

#include "dzrenderer.h"

DzRenderMgr::DzRenderMgr(QObject *parent)
    : QObject(parent)
{
}

DzRenderMgr::~DzRenderMgr()
{
    delete m_renderer;
}

void DzRenderMgr::setRenderer(DzRenderer *renderer)
{
    if (renderer == m_renderer)
        return;
    // The running renderer may be the caller (a slot during a render).
    if (m_rendering && m_renderer)
        m_renderer->deleteLater();
    else
        delete m_renderer;
    m_renderer = renderer;
    if (renderer)
        renderer->setParent(this);
}

bool DzRenderMgr::doRender(const QString &path)
{
    if (m_rendering) {
        m_lastError = tr("A render is already running.");
        return false;
    }
    if (!m_renderer) {
        m_lastError = tr("No renderer is installed.");
        return false;
    }
    if (path.isEmpty()) {
        m_lastError = tr("No image file was given.");
        return false;
    }
    m_rendering = true;
    m_lastError.clear();
    emit renderStarting();
    QString error;
    // A slot may have removed the renderer in response to renderStarting().
    const bool ok = m_renderer ? m_renderer->render(path, &error) : false;
    if (!ok)
        m_lastError = error.isEmpty() ? tr("The render failed.") : error;
    m_rendering = false;
    emit renderFinished(ok);
    return ok;
}
