#pragma once

// Data classes standing in for a plug-in's: a scene data item and an element
// data item, each with a value and a reference to a node, saved through the
// host's object files.

#include "dzbase.h"
#include "dzclassfactory.h"
#include "dzelementdata.h"
#include "dzinfile.h"
#include "dznode.h"
#include "dzoutfile.h"
#include "dzscenedata.h"

#include <QPointer>

class TestSceneData : public DzSceneData {
    Q_OBJECT
public:
    TestSceneData()
        : DzSceneData(QStringLiteral("StudioTest-data"), true)
    {
    }

    void save(DzOutFile *file) override
    {
        file->startSection(1);
        file->writeString(text);
        file->writePointer(node.data(), 7);
        file->endSection();
    }
    void loadSection(DzInFile *file, short id) override
    {
        if (id != 1)
            return DzSceneData::loadSection(file, id);
        text = file->readString();
        file->readPointer();
    }
    void setPointer(const DzInFile *, short, short id, DzBase *object) override
    {
        if (id == 7)
            node = qobject_cast<DzNode *>(object);
    }

    QString text;
    QPointer<DzNode> node;
};

class TestNodeData : public DzElementData {
    Q_OBJECT
public:
    TestNodeData()
        : DzElementData(QStringLiteral("StudioTest-nodeData"), true)
    {
    }
    void save(DzOutFile *file) override { file->writeStringSection(1, text); }
    void loadSection(DzInFile *file, short id) override
    {
        if (id == 1)
            text = file->readString();
    }

    QString text;
};

template <class T> class TestFactory : public DzClassFactory {
public:
    explicit TestFactory(const char *guid)
        : DzClassFactory(&T::staticMetaObject, DzGUID::fromString(QLatin1String(guid)))
    {
    }
    QObject *createInstance() const override { return new T; }
};
