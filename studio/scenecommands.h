#pragma once

#include <QObject>
#include <QString>

class QWidget;
class StudioDocument;

// The Figures, Render and motion commands of the studio: the dialog around
// each operation (file choice, confirmation, error message) and the
// operation itself through the document, the render manager or the motion
// library. Each returns false when the user cancelled or it failed (the
// user was told why).
class SceneCommands : public QObject {
    Q_OBJECT
public:
    // `parent` owns the commands and parents their dialogs.
    SceneCommands(StudioDocument *document, QWidget *parent);

public slots:
    bool addStandardFigure();
    // An empty path asks for one, starting in the content's figures folder.
    bool addFigureFromFile(const QString &path = QString());
    // Asks first: removing a figure cannot be undone.
    bool deleteSelectedFigure();
    void selectFigureOfSelection();

    // Render -> Save Image: the viewport through the render manager.
    bool saveImage(const QString &path = QString());
    // Onto / from the selected figure, at the current time / over the
    // animation range.
    bool importMotion(const QString &path = QString());
    bool exportMotion(const QString &path = QString());

signals:
    void statusMessage(const QString &message, int timeoutMs);

private:
    StudioDocument *m_document;
    QWidget *m_parent;
};
