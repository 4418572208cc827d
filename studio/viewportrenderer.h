#pragma once

#include "dzrenderer.h"

#include <QPointer>
#include <QSize>

class StudioViewport;

// Renders the viewport into a PNG file for the render manager: the view as
// it is on screen (or at a fixed size), written atomically so that a failed
// render never leaves a half-written image behind.
class ViewportRenderer : public DzRenderer {
    Q_OBJECT
public:
    explicit ViewportRenderer(StudioViewport *viewport, QObject *parent = nullptr);

    // An empty size renders at the viewport's size. Sizes are clamped to
    // kMaxSide pixels a side.
    void setImageSize(const QSize &size);
    QSize imageSize() const { return m_size; }

    bool render(const QString &path, QString *error) override;

    static constexpr int kMaxSide = 8192;

private:
    QPointer<StudioViewport> m_viewport;
    QSize m_size;
};
