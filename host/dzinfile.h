#pragma once

#include "dzguid.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class DzBase;
class DzQuat;
class DzVec3;

// Reads an object file written by DzOutFile (format: dzoutfileformat.h).
//
// open()/setData() read the whole file and check all of it before anything
// else may happen: magic tag, version, sizes, checksum, every object's and
// section's length and every value's type and length. A truncated or
// corrupt file is refused with a message naming what is wrong and the byte
// offset; no object is created then.
//
// Loading, once the file is valid:
//  1. objects: each index is bound to an object, either one the caller
//     already has (setObject) or a new one made through dzApp's class
//     registry from the stored class identifier (createObject(s); an unknown
//     class leaves the index empty, with a warning);
//  2. loadObject(s): each bound object's loadSection(this, id) runs once per
//     section, in file order. References are resolved as they are read:
//     readPointer() calls the reading object's setPointer(this, section,
//     index, object) at once, because every object of the file exists by
//     then. A null or unresolvable reference calls nothing;
//  3. postLoadObjects(): each bound object's postLoad(), in index order.
//
// Ownership: an object made by createObject belongs to the file until it is
// taken (takeObject) or handed to another object through setPointer, which
// then owns it. A reference that is only a back-link counts as a hand-over
// too, so take top-level objects before loading. The destructor deletes the
// objects still owned; objects given with setObject are never deleted.
//
// Reading values: the readers return the next value of the open section. A
// read past the section's end or of the wrong type returns 0 / false /
// empty, stops the section (later reads get nothing either) and records a
// warning naming the object, section and offset; the file stays usable.
class DzInFile {
public:
    DzInFile();
    ~DzInFile();
    DzInFile(const DzInFile &) = delete;
    DzInFile &operator=(const DzInFile &) = delete;

    // Files larger than this are refused without being read.
    static constexpr qint64 kMaxFileSize = qint64(1) << 30;

    bool open(const QString &path);
    // `name` is used in messages.
    bool setData(const QByteArray &data, const QString &name = QString());
    bool isValid() const { return m_valid; }
    QString getFileName() const { return m_name; }
    // Why open()/setData() failed; the offset is -1 when it does not apply.
    QString getErrorString() const { return m_error; }
    qint64 getErrorOffset() const { return m_errorOffset; }
    quint32 getVersion() const { return m_version; }

    // --- structure --------------------------------------------------------
    int getNumObjects() const { return m_objects.size(); }
    // Null identifier for an index out of range.
    DzGUID getObjectClassID(int index) const;
    int getNumSections(int index) const;
    // 0 for indexes out of range.
    short getSectionID(int index, int section) const;

    // --- objects ----------------------------------------------------------
    DzBase *getObject(int index) const;
    // Binds an existing object (not owned) to an index; replaces an earlier
    // binding (an owned earlier object is deleted).
    void setObject(int index, DzBase *object);
    // Makes the object through the class registry; null for an unknown class
    // (warning) or a factory that makes no DzBase.
    DzBase *createObject(int index);
    // createObject for every unbound index; returns how many were made.
    int createObjects();
    // Hands an object made by the file to the caller.
    DzBase *takeObject(int index);
    bool ownsObject(int index) const;

    // --- loading ------------------------------------------------------------
    // Feeds the bound object its sections (nothing for an unbound index).
    void loadObject(int index);
    void loadObjects();
    void postLoadObjects();

    // --- reading values (inside loadSection, or after openSection) ---------
    // Positions the reader at the start of a section of an object, for
    // host code that reads records itself. False for indexes out of range.
    bool openSection(int index, int section);
    int getCurrentObjectIndex() const { return m_curObject; }
    short getCurrentSectionID() const { return m_curSectionId; }
    bool atSectionEnd() const;
    // Type tag of the next value (dzoutfileformat.h), 0 at the section end.
    quint8 peekType() const;

    int readInt();
    float readFloat();
    double readDouble();
    // Reads up to `count` doubles into `values`; returns how many were read.
    int readDoubles(double *values, int count);
    bool readBool();
    QString readString();
    DzVec3 readVec();
    DzQuat readQuat();
    QByteArray readBytes();
    // Reads a reference and resolves it (see above): 0 when a reference was
    // read, non-zero when the section holds no further reference (then
    // nothing is consumed). *index receives the index written with it.
    int readPointer(short *index = nullptr);
    // Reads a reference without resolving it: *objectIndex is -1 for null.
    // False, consuming nothing, when the next value is not a reference.
    bool readReference(short *index, int *objectIndex);

    QStringList getWarnings() const { return m_warnings; }

private:
    struct Section {
        short id;
        qint64 offset; // of the payload
        qint64 length;
    };
    struct Object {
        DzGUID classId;
        QList<Section> sections;
        // Weak: an object deleted while the file loads (a unique data item
        // replaced by another, say) is skipped instead of being touched.
        QPointer<DzBase> object;
        bool owned = false;
    };

    bool parse();
    bool refuse(const QString &message, qint64 offset);
    bool validateValues(int objectIndex, const Section &section);
    const char *takeValue(quint8 tag, qint64 size, const char *what);
    void readProblem(const QString &message);
    void clearObjects();
    QString describe(int objectIndex) const;

    QByteArray m_data;
    QString m_name;
    QString m_error;
    qint64 m_errorOffset = -1;
    quint32 m_version = 0;
    bool m_valid = false;
    QList<Object> m_objects;
    QStringList m_warnings;

    // reader state
    int m_curObject = -1;
    short m_curSectionId = 0;
    qint64 m_pos = 0;
    qint64 m_end = 0;
    bool m_sectionStopped = false;
};
