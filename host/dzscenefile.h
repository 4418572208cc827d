#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Scene files: the whole global scene (dzScene) in one object file
// (DzOutFile/DzInFile).
//
class DzInFile;

// Saved: the scene's time, time step, play and animation ranges, looping,
// selection and audio; every figure with its whole node hierarchy (names,
// labels, hidden flags, rotation orders, origins, end points, follow
// relations), every property of every node (static value, default, limits
// and clamping, keys, labels and flags), the morphs of each node's object,
// every scene data item and every element data item whose class is
// registered with dzApp (written by their own save(), with the objects they
// refer to). Items of unregistered classes are left out with a warning.
// The file is written atomically: a failed save leaves the old file intact.
//
// Loading is all or nothing for the host's part: the whole file is read,
// checked and turned into new nodes before the open scene is touched. A
// truncated or corrupt file, or one from a newer version, is refused with a
// message and the open scene stays exactly as it was. Only then is the
// scene replaced: notifyLoadStarting(), clear(), the undo history dropped,
// time step, ranges, looping and audio set, element data attached to their
// nodes, the figures added, scene data added, the scene time set, every data
// object fed its sections (references resolved as they are read), each
// object's postLoad(), the selection restored, notifyLoaded(). Data objects
// whose class is not registered are skipped with a warning in the log.
class DzSceneFile {
public:
    // False with getErrorString() when there is no scene or the file cannot
    // be written.
    bool save(const QString &path);
    // False with getErrorString() when the file cannot be read or is not a
    // valid scene file; the scene is then unchanged.
    bool load(const QString &path);

    // The same, with the file's bytes in memory; `name` is used in messages.
    bool saveToData(QByteArray *data);
    bool loadFromData(const QByteArray &data, const QString &name);

    QString getErrorString() const { return m_error; }
    // Notes of the last save or load that did not stop it (skipped items,
    // dropped references); they are also in the host log.
    QStringList getWarnings() const { return m_warnings; }

private:
    bool load(DzInFile *in);

    QString m_error;
    QStringList m_warnings;
};

// Convenience wrappers around DzSceneFile; *error (when given) receives the
// reason of a failure.
bool saveSceneFile(const QString &path, QString *error = nullptr);
bool loadSceneFile(const QString &path, QString *error = nullptr);
