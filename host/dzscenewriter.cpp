// The scene file writer: every figure with its hierarchy, properties and
// morphs, and the data items of the scene and of each node.
#include "dzscenefile.h"
#include "dzscenefileformat.h"

#include "dzapp.h"
#include "dzaudioclip.h"
#include "dzbone.h"
#include "dzelementdata.h"
#include "dzfilesystem.h"
#include "dzfloatproperty.h"
#include "dzlog.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzskeleton.h"

#include <QHash>

using namespace DzSceneFormat;

namespace {

void writeRangeSection(DzOutFile *f, short id, const DzTimeRange &range)
{
    f->startSection(id);
    f->writeInt(range.getStart());
    f->writeInt(range.getEnd());
    f->endSection();
}

// A section of references; objects the file does not hold are left out.
template <typename List>
void writePointersSection(DzOutFile *f, short id, const List &objects)
{
    f->startSection(id);
    for (auto *object : objects) {
        if (f->findObject(object) >= 0)
            f->writePointer(object);
    }
    f->endSection();
}

class SceneWriter {
public:
    SceneWriter(DzScene *scene, DzOutFile *out, QStringList *warnings)
        : m_scene(scene)
        , m_out(out)
        , m_warnings(warnings)
    {
    }

    void addAll()
    {
        m_out->addObject(m_scene, kSceneClass, [this](DzOutFile *f) { writeScene(f); });
        for (DzNode *node : m_scene->getNodeList()) {
            if (isRoot(node)) {
                m_roots.append(node);
                addNode(node);
            }
        }
        for (int i = 0; i < m_scene->getNumDataItems(); ++i) {
            DzSceneData *item = m_scene->getDataItem(i);
            if (addDataItem(item, QStringLiteral("the scene")))
                m_sceneData.append(item);
        }
    }

private:
    bool isRoot(const DzNode *node) const
    {
        const DzNode *parent = node->getNodeParent();
        return !parent || parent->getScene() != m_scene;
    }

    void warn(const QString &note)
    {
        m_warnings->append(note);
        dzWarning(note);
    }

    bool addDataItem(DzBase *item, const QString &owner)
    {
        if (m_out->addObject(item) >= 0)
            return true;
        warn(
            QStringLiteral("The data item \"%1\" of %2 was not saved: its class %3 has no registered factory")
                .arg(item->objectName(), owner, className(item)));
        return false;
    }

    void addProperty(DzFloatProperty *property)
    {
        m_out->addObject(property, kPropertyClass, [property](DzOutFile *f) { writeProperty(f, property); });
    }

    void addNode(DzNode *node)
    {
        const DzGUID cls = node->inherits("DzSkeleton") ? kSkeletonClass
            : node->inherits("DzBone")                  ? kBoneClass
                                                        : kNodeClass;
        m_out->addObject(node, cls, [this, node](DzOutFile *f) { writeNode(f, node); });

        // Everything the node's record refers to gets its index before any
        // record is written, so data items can refer to it as well.
        for (DzProperty *p : node->getProperties()) {
            if (auto *fp = qobject_cast<DzFloatProperty *>(p))
                addProperty(fp);
            else
                warn(QStringLiteral(
                    "The property \"%1\" of \"%2\" was not saved: %3 properties are not supported")
                         .arg(p->getName(), node->getName(), className(p)));
        }
        if (DzObject *object = node->getObject()) {
            for (int i = 0; i < object->getNumModifiers(); ++i) {
                if (auto *morph = qobject_cast<DzMorph *>(object->getModifier(i)))
                    addProperty(morph->getValueChannel());
            }
        }
        for (int i = 0; i < node->getNumNodeChildren(); ++i)
            addNode(node->getNodeChild(i));
        QList<DzBase *> items;
        for (int i = 0; i < node->getNumDataItems(); ++i) {
            DzElementData *item = node->getDataItem(i);
            if (addDataItem(item, QStringLiteral("\"%1\"").arg(node->getName())))
                items.append(item);
        }
        m_nodeData.insert(node, items);
    }

    void writeScene(DzOutFile *f)
    {
        f->writeIntSection(SceneVersion, kSceneVersion);
        f->writeIntSection(SceneTime, m_scene->getTime());
        f->writeIntSection(SceneTimeStep, m_scene->getTimeStep());
        writeRangeSection(f, ScenePlayRange, m_scene->getPlayRange());
        writeRangeSection(f, SceneAnimRange, m_scene->getAnimRange());
        f->writeBoolSection(SceneLooping, m_scene->isLoopingPlayback());
        writePointersSection(f, SceneFigures, m_roots);
        writePointersSection(f, SceneData, m_sceneData);
        QList<DzNode *> selection;
        for (int i = 0; i < m_scene->getNumSelectedNodes(); ++i)
            selection.append(m_scene->getSelectedNode(i));
        writePointersSection(f, SceneSelection, selection);
        if (const DzAudioClip *audio = m_scene->getAudio()) {
            f->startSection(SceneAudio);
            f->writeInt(m_scene->getAudioStartFrame());
            f->writeInt(audio->getSampleRate());
            f->writeInt(audio->getNumChannels());
            f->writeInt(audio->getBytesPerSample());
            f->writeBytes(audio->getPcmData());
            f->endSection();
        }
    }

    void writeNode(DzOutFile *f, DzNode *node)
    {
        f->writeStringSection(NodeName, node->getName());
        f->writeStringSection(NodeLabel, node->getLabel());
        f->writeBoolSection(NodeHidden, node->isHidden());
        f->writeIntSection(NodeRotationOrder, int(node->getRotationOrder().getOrder()));
        f->writeVecSection(NodeOrigin, node->getOrigin());
        f->writeVecSection(NodeEndPoint, node->getEndPoint());
        QList<DzNode *> children;
        for (int i = 0; i < node->getNumNodeChildren(); ++i)
            children.append(node->getNodeChild(i));
        writePointersSection(f, NodeChildren, children);
        DzNode *follow = nullptr;
        if (auto *skeleton = qobject_cast<DzSkeleton *>(node))
            follow = skeleton->getFollowTarget();
        else if (auto *bone = qobject_cast<DzBone *>(node))
            follow = bone->getFollowBone();
        // A follow target outside the file cannot be restored; leave it out.
        if (follow && f->findObject(follow) >= 0)
            f->writePointerSection(NodeFollow, follow);
        writePointersSection(f, NodeProperties, node->getProperties());
        if (DzObject *object = node->getObject()) {
            QList<DzMorph *> morphs;
            for (int i = 0; i < object->getNumModifiers(); ++i) {
                if (auto *morph = qobject_cast<DzMorph *>(object->getModifier(i)))
                    morphs.append(morph);
            }
            f->startSection(NodeObject);
            f->writeString(object->getName());
            f->writeInt(int(morphs.size()));
            for (DzMorph *morph : std::as_const(morphs)) {
                f->writeString(morph->getName());
                f->writeString(morph->getLabel());
                f->writePointer(morph->getValueChannel());
            }
            f->endSection();
        }
        writePointersSection(f, NodeDataItems, m_nodeData.value(node));
    }

    static void writeProperty(DzOutFile *f, DzFloatProperty *p)
    {
        f->writeStringSection(PropName, p->getName());
        f->writeStringSection(PropLabel, p->getLabel());
        f->startSection(PropFlags);
        f->writeBool(p->isHidden());
        f->writeBool(p->isAnimatable());
        f->writeBool(p->getXYZInterest());
        f->endSection();
        f->startSection(PropValues);
        f->writeFloat(p->getStaticValue());
        f->writeFloat(p->getDefaultValue());
        f->endSection();
        f->startSection(PropLimits);
        f->writeFloat(p->getMin());
        f->writeFloat(p->getMax());
        f->writeBool(p->isClamped());
        f->endSection();
        f->startSection(PropKeys);
        f->writeInt(p->getNumKeys());
        for (const DzFloatProperty::Key &k : p->getKeys()) {
            f->writeInt(k.time);
            f->writeFloat(k.value);
        }
        f->endSection();
    }

    DzScene *m_scene;
    DzOutFile *m_out;
    QStringList *m_warnings;
    QList<DzNode *> m_roots;
    QList<DzBase *> m_sceneData;
    QHash<DzNode *, QList<DzBase *>> m_nodeData;
};

} // namespace

bool DzSceneFile::saveToData(QByteArray *data)
{
    m_error.clear();
    m_warnings.clear();
    if (!dzScene) {
        m_error = QStringLiteral("There is no scene to save.");
        return false;
    }
    DzOutFile out;
    SceneWriter writer(dzScene, &out, &m_warnings);
    writer.addAll();
    *data = out.getData();
    if (out.hasError()) {
        m_error = out.getErrorString();
        return false;
    }
    m_warnings += out.getWarnings();
    return true;
}

bool DzSceneFile::save(const QString &path)
{
    QByteArray data;
    if (!saveToData(&data))
        return false;
    if (!dzWriteFileAtomically(path, data, &m_error)) {
        m_error.replace(0, 1, m_error.at(0).toUpper());
        return false;
    }
    dzScene->setModified(false);
    return true;
}

bool saveSceneFile(const QString &path, QString *error)
{
    DzSceneFile file;
    const bool ok = file.save(path);
    if (!ok && error)
        *error = file.getErrorString();
    return ok;
}

