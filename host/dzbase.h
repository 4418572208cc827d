#pragma once

#include <QObject>

class DzInFile;
class DzOutFile;

// Root of every host object that can be created by a class factory, saved to
// and loaded from an object file, and cross-referenced there.
//
// Object-file protocol (the file classes call these):
//  - save(file): write the object's sections.
//  - loadSection(file, id): called once per section read; a class handles
//    its own ids and passes the others to its base.
//  - setPointer(file, section, id, object): called for every reference once
//    the referenced object exists, with the section and the index written.
//  - postLoad(): after every object of the file is loaded and resolved.
// The defaults do nothing, so a section or reference no class claims is
// skipped harmlessly.
class DzBase : public QObject
{
    Q_OBJECT
public:
    explicit DzBase(QObject *parent = nullptr);
    ~DzBase() override;

    virtual void save(DzOutFile *file);
    virtual void loadSection(DzInFile *file, short id);
    virtual void setPointer(const DzInFile *file, short section, short id, DzBase *object);
    virtual void postLoad();

    // Same as QObject::inherits.
    bool iskindof(const char *className) const { return inherits(className); }

    // Returns obj as a DzBase when it inherits className; otherwise (wrong
    // class, or not a DzBase) writes a warning naming both classes to the host
    // log and returns null. A null obj returns null without a warning.
    static DzBase *assertCast(QObject *obj, const char *className);
};
