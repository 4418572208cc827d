#include "viewportrenderer.h"

#include "dzfilesystem.h"
#include "studioviewport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>

#include <algorithm>

ViewportRenderer::ViewportRenderer(StudioViewport *viewport, QObject *parent)
    : DzRenderer(parent)
    , m_viewport(viewport)
{
    setObjectName(QStringLiteral("ViewportRenderer"));
}

void ViewportRenderer::setImageSize(const QSize &size)
{
    if (size.isEmpty()) {
        m_size = QSize();
        return;
    }
    m_size = QSize(std::clamp(size.width(), 1, kMaxSide), std::clamp(size.height(), 1, kMaxSide));
}

bool ViewportRenderer::render(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_viewport)
        return fail(tr("There is no viewport to render."));
    QSize size = m_size.isEmpty() ? m_viewport->size() : m_size;
    size = QSize(std::clamp(size.width(), 1, kMaxSide), std::clamp(size.height(), 1, kMaxSide));
    const QImage image = m_viewport->renderImage(size);
    if (image.isNull())
        return fail(tr("The image could not be made (%1 x %2 pixels).").arg(size.width()).arg(size.height()));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return fail(tr("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), writer.errorString()));
    QString why;
    if (!dzWriteFileAtomically(path, png, &why))
        return fail(why.replace(0, 1, why.at(0).toUpper()));
    return true;
}
