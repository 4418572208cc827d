#pragma once

#include "dzguid.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class DzBase;
class DzQuat;
class DzVec3;

// Writes an object file: a sequence of objects, each known by its class
// identifier and its index in the file, each made of numbered sections of
// typed values (format: dzoutfileformat.h).
//
// Use:
//   DzOutFile out;
//   out.addObject(item);            // class identifier from dzApp's registry
//   if (!out.save(path)) ... out.getErrorString()
//
// save() runs each object's writer in index order - its DzBase::save(this)
// unless addObject was given a writer - and writes the file atomically
// (a temporary beside the target, renamed over it). A reference to an
// object not yet in the file adds it at the end, when its class is
// registered, so everything an object refers to is written too; references
// to anything else are written as null with a warning.
//
// Misuse inside a writer (a value outside a section, a section inside a
// section, endSection() without startSection(), a section left open) makes
// the whole file fail with an error naming the object; nothing is written.
class DzOutFile {
public:
    using Writer = std::function<void(DzOutFile *file)>;

    DzOutFile();
    ~DzOutFile();
    DzOutFile(const DzOutFile &) = delete;
    DzOutFile &operator=(const DzOutFile &) = delete;

    // Adds an object with the given class identifier; returns its index.
    // An object already in the file keeps its index (its writer is not
    // replaced). Null object or null identifier: -1.
    int addObject(DzBase *object, const DzGUID &classId, Writer writer = Writer());
    // Same, with the identifier of the object's class in dzApp's class
    // registry; -1 when the class is not registered.
    int addObject(DzBase *object);
    // The object's index, or -1.
    int findObject(const DzBase *object) const;
    int getNumObjects() const { return m_objects.size(); }
    DzBase *getObject(int index) const;

    // Runs the writers of all objects not written yet (including objects
    // added meanwhile). False once an error occurred.
    bool writeObjects();
    // The complete file image; empty on error.
    QByteArray getData();
    // Writes the file image to `path` atomically. False with an error
    // message on failure; the target is then left as it was.
    bool save(const QString &path);

    bool hasError() const { return !m_error.isEmpty(); }
    QString getErrorString() const { return m_error; }
    // Dropped references and similar non-fatal notes (also in the host log).
    QStringList getWarnings() const { return m_warnings; }

    // --- inside a writer ------------------------------------------------------
    // Index of the object being written, or -1.
    int getCurrentObjectIndex() const { return m_current; }
    void startSection(short id);
    void endSection();

    void writeInt(int value);
    void writeFloat(float value);
    void writeDouble(double value);
    void writeBool(bool value);
    void writeString(const QString &value);
    void writeVec(const DzVec3 &value);
    void writeQuat(const DzQuat &value);
    void writeBytes(const QByteArray &value);
    // A reference to `object` (null allowed) with the caller's `index`,
    // handed back on reading to the reading object's setPointer.
    void writePointer(DzBase *object, short index = 0);

    // One-value sections.
    void writeIntSection(short id, int value);
    void writeFloatSection(short id, float value);
    void writeBoolSection(short id, bool value);
    void writeStringSection(short id, const QString &value);
    void writeVecSection(short id, const DzVec3 &value);
    void writePointerSection(short id, DzBase *object, short index = 0);

private:
    struct Object {
        DzBase *object;
        DzGUID classId;
        Writer writer;
        QByteArray sections; // encoded sections
        quint32 numSections = 0;
        bool written = false;
    };

    bool beginValue(const char *what);
    void fail(const QString &message);
    QString describeCurrent() const;

    QList<Object> m_objects;
    QHash<const DzBase *, int> m_index;
    int m_current = -1;
    bool m_inSection = false;
    short m_sectionId = 0;
    QByteArray m_payload;
    QString m_error;
    QStringList m_warnings;
};
