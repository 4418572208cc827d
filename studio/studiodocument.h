#pragma once

#include <QObject>
#include <QString>

class DzScene;
class DzSkeleton;

// The open scene as a document: its file, New/Open/Save, and adding and
// deleting figures. No dialogs here: failures come back as false with a
// message for the user in *error, and the window decides how to ask and
// tell.
//
// Scene files are the host's object files (dzscenefile.h): saving is atomic,
// and a file that cannot be read or is corrupt is refused with the open
// scene left exactly as it was.
class StudioDocument : public QObject {
    Q_OBJECT
public:
    explicit StudioDocument(DzScene *scene, QObject *parent = nullptr);

    // The file the scene was opened from or last saved to; empty for a new
    // scene.
    QString filePath() const { return m_path; }
    // The file name, or "Untitled".
    QString displayName() const;
    bool isModified() const;

    // Clears the scene (and the undo history), then adds the standard
    // figure from the content folder and selects it. The scene is then
    // unmodified. False when the standard figure cannot be loaded (the scene
    // is empty then, which is still a usable scene).
    bool newScene(QString *error = nullptr);
    bool open(const QString &path, QString *error = nullptr);
    // Saves to `path` (the current file when empty; false if there is none).
    bool save(const QString &path = QString(), QString *error = nullptr);

    // Loads a figure file, gives it a name and label no other node has
    // ("Standard Figure 2", ...), stands it beside the figures already in
    // the scene, adds it and makes it the only selection. Null with *error on
    // failure; nothing is added then.
    DzSkeleton *addFigure(const QString &figureFile, QString *error = nullptr);
    DzSkeleton *addStandardFigure(QString *error = nullptr);
    // Removes the figure with all its bones. False when it is not a figure of
    // this scene.
    bool deleteFigure(DzSkeleton *figure);

    // The figure the primary selection belongs to, or null.
    DzSkeleton *selectedFigure() const;
    QString standardFigurePath() const;

    // The file name filter of scene files and their suffix ("trelvo").
    static QString fileFilter();
    static QString fileSuffix();

signals:
    void filePathChanged(const QString &path);

private:
    void setFilePath(const QString &path);

    DzScene *m_scene;
    QString m_path;
};
