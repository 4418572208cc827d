#pragma once

#include "dzrenderer.h"

#include <QObject>
#include <QPointer>
#include <QString>

// Runs renders and tells the rest of the application about them: every
// doRender() is bracketed by renderStarting() and renderFinished(success),
// so panes can stop posing figures while an image is made.
class DzRenderMgr : public QObject {
    Q_OBJECT
public:
    explicit DzRenderMgr(QObject *parent = nullptr);
    ~DzRenderMgr() override;

    // Takes ownership; a previous renderer is deleted. Null removes it.
    void setRenderer(DzRenderer *renderer);
    DzRenderer *getRenderer() const { return m_renderer; }

    // Emits renderStarting(), runs the renderer into `path`, emits
    // renderFinished(ok) and returns ok. Without a renderer, with an empty
    // path, or while a render is already running (a nested call from a
    // slot), nothing is emitted and false is returned; the reason is in
    // getLastError().
    bool doRender(const QString &path);
    bool isRendering() const { return m_rendering; }
    QString getLastError() const { return m_lastError; }

signals:
    void renderStarting();
    void renderFinished(bool succeeded);

private:
    QPointer<DzRenderer> m_renderer;
    bool m_rendering = false;
    QString m_lastError;
};
