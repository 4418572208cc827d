#pragma once

#include <QObject>
#include <QString>

// Something that turns the current scene into an image file. The studio
// supplies the concrete renderer; DzRenderMgr runs it.
class DzRenderer : public QObject {
    Q_OBJECT
public:
    explicit DzRenderer(QObject *parent = nullptr);

    // Renders the scene into the image file `path`. Returns false with a
    // reason in *error (never null when called by DzRenderMgr) on failure.
    virtual bool render(const QString &path, QString *error) = 0;
};
