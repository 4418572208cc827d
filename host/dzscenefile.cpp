#include "dzscenefile.h"

#include "dzapp.h"
#include "dzaudioclip.h"
#include "dzbone.h"
#include "dzclassfactory.h"
#include "dzelementdata.h"
#include "dzfloatproperty.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzoutfile.h"
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzskeleton.h"
#include "dzundostack.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

// The host's own records in a scene file. They are read and written here,
// never through the class registry, so that nodes and properties are only
// ever made by the loader and never by a stray reference.
namespace {

const DzGUID kSceneClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D11"));
const DzGUID kNodeClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D12"));
const DzGUID kSkeletonClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D13"));
const DzGUID kBoneClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D14"));
const DzGUID kPropertyClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D15"));

constexpr int kSceneVersion = 1;

// Scene record sections.
enum : short {
    SceneVersion = 1,
    SceneTime = 2,
    SceneTimeStep = 3,
    ScenePlayRange = 4,
    SceneAnimRange = 5,
    SceneLooping = 6,
    SceneFigures = 7,
    SceneData = 8,
    SceneSelection = 9,
    SceneAudio = 10,
};

// Node record sections.
enum : short {
    NodeName = 1,
    NodeLabel = 2,
    NodeHidden = 3,
    NodeRotationOrder = 4,
    NodeOrigin = 5,
    NodeEndPoint = 6,
    NodeChildren = 7,
    NodeFollow = 8,
    NodeProperties = 9,
    NodeObject = 10,
    NodeDataItems = 11,
};

// Property record sections.
enum : short {
    PropName = 1,
    PropLabel = 2,
    PropFlags = 3,
    PropValues = 4,
    PropLimits = 5,
    PropKeys = 6,
};

QString className(const QObject *object)
{
    return QString::fromLatin1(object->metaObject()->className());
}

bool isNodeClass(const DzGUID &id)
{
    return id == kNodeClass || id == kSkeletonClass || id == kBoneClass;
}

bool isHostClass(const DzGUID &id)
{
    return id == kSceneClass || id == kPropertyClass || isNodeClass(id);
}

// --- writing -------------------------------------------------------------------

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
        f->startSection(ScenePlayRange);
        f->writeInt(m_scene->getPlayRange().getStart());
        f->writeInt(m_scene->getPlayRange().getEnd());
        f->endSection();
        f->startSection(SceneAnimRange);
        f->writeInt(m_scene->getAnimRange().getStart());
        f->writeInt(m_scene->getAnimRange().getEnd());
        f->endSection();
        f->writeBoolSection(SceneLooping, m_scene->isLoopingPlayback());
        f->startSection(SceneFigures);
        for (DzNode *root : std::as_const(m_roots))
            f->writePointer(root);
        f->endSection();
        f->startSection(SceneData);
        for (DzBase *item : std::as_const(m_sceneData))
            f->writePointer(item);
        f->endSection();
        f->startSection(SceneSelection);
        for (int i = 0; i < m_scene->getNumSelectedNodes(); ++i) {
            DzNode *node = m_scene->getSelectedNode(i);
            if (f->findObject(node) >= 0)
                f->writePointer(node);
        }
        f->endSection();
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
        f->startSection(NodeChildren);
        for (int i = 0; i < node->getNumNodeChildren(); ++i)
            f->writePointer(node->getNodeChild(i));
        f->endSection();
        DzNode *follow = nullptr;
        if (auto *skeleton = qobject_cast<DzSkeleton *>(node))
            follow = skeleton->getFollowTarget();
        else if (auto *bone = qobject_cast<DzBone *>(node))
            follow = bone->getFollowBone();
        // A follow target outside the file cannot be restored; leave it out.
        if (follow && f->findObject(follow) >= 0)
            f->writePointerSection(NodeFollow, follow);
        f->startSection(NodeProperties);
        for (DzProperty *p : node->getProperties()) {
            if (f->findObject(p) >= 0)
                f->writePointer(p);
        }
        f->endSection();
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
        f->startSection(NodeDataItems);
        for (DzBase *item : m_nodeData.value(node))
            f->writePointer(item);
        f->endSection();
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

// --- reading -------------------------------------------------------------------

struct PropertyRecord {
    QString name;
    QString label;
    bool hidden = false;
    bool animatable = true;
    bool xyzInterest = false;
    float value = 0.0f;
    float defaultValue = 0.0f;
    float min = -FLT_MAX;
    float max = FLT_MAX;
    bool clamped = false;
    std::vector<DzFloatProperty::Key> keys;
    bool bound = false;
};

struct MorphRecord {
    QString name;
    QString label;
    int valueChannel = -1;
};

struct NodeRecord {
    DzNode *node = nullptr;
    QString name;
    QString label;
    bool hidden = false;
    int rotationOrder = 0;
    DzVec3 origin;
    DzVec3 endPoint;
    QList<int> children;
    int follow = -1;
    QList<int> properties;
    bool hasObject = false;
    QString objectName;
    QList<MorphRecord> morphs;
    QList<int> dataItems;
    int parent = -1;
};

struct SceneRecord {
    int version = 0;
    DzTime time = 0;
    DzTime timeStep = 160;
    DzTimeRange playRange { 0, 4800 };
    DzTimeRange animRange { 0, 4800 };
    bool looping = true;
    QList<int> figures;
    QList<int> dataItems;
    QList<int> selection;
    bool hasAudio = false;
    int audioStartFrame = 0;
    int sampleRate = 0;
    int channels = 0;
    int bytesPerSample = 0;
    QByteArray pcm;
};

class SceneReader {
public:
    SceneReader(DzInFile *in, QString *error, QStringList *warnings)
        : m_in(in)
        , m_error(error)
        , m_warnings(warnings)
    {
    }

    ~SceneReader()
    {
        // Nodes that never reached the scene (a refused file) are ours.
        for (int i : m_rootsToDelete)
            delete m_nodes.value(i).node;
    }

    // Reads, checks and builds everything without touching the scene.
    bool prepare();
    // Replaces the scene's content with what prepare() built.
    void apply(DzScene *scene);

private:
    bool fail(const QString &message)
    {
        if (m_error->isEmpty())
            *m_error = QStringLiteral("%1: %2").arg(m_in->getFileName(), message);
        return false;
    }
    void warn(const QString &note)
    {
        m_warnings->append(note);
        dzWarning(note);
    }
    // Our own records were written by us: any read problem means corruption.
    bool hasReadProblems()
    {
        const QStringList all = m_in->getWarnings();
        if (all.size() == m_warningBase)
            return false;
        fail(QStringLiteral("the scene is corrupt: %1").arg(all.at(m_warningBase)));
        return true;
    }
    QList<int> readRefs()
    {
        QList<int> out;
        short id = 0;
        int target = -1;
        while (m_in->readReference(&id, &target)) {
            if (target >= 0)
                out.append(target);
        }
        return out;
    }

    bool readScene();
    bool readProperty(int index);
    bool readNode(int index);
    bool buildHierarchy();
    bool bindProperties();
    bool collectDataItems();

    DzInFile *m_in;
    QString *m_error;
    QStringList *m_warnings;
    SceneRecord m_scene;
    QHash<int, PropertyRecord> m_props;
    QHash<int, NodeRecord> m_nodes;
    QList<int> m_nodeOrder;
    QList<int> m_rootsToDelete;
    QList<int> m_sceneItems; // object indexes of scene data
    QList<QPair<int, int>> m_elementItems; // (node index, item index)
    QList<int> m_dataObjects; // every registry-made object
    int m_warningBase = 0;
};

bool SceneReader::readScene()
{
    for (int s = 0; s < m_in->getNumSections(0); ++s) {
        m_in->openSection(0, s);
        switch (m_in->getCurrentSectionID()) {
        case SceneVersion:
            m_scene.version = m_in->readInt();
            break;
        case SceneTime:
            m_scene.time = m_in->readInt();
            break;
        case SceneTimeStep:
            m_scene.timeStep = m_in->readInt();
            break;
        case ScenePlayRange: {
            const int a = m_in->readInt();
            m_scene.playRange = DzTimeRange(a, m_in->readInt());
            break;
        }
        case SceneAnimRange: {
            const int a = m_in->readInt();
            m_scene.animRange = DzTimeRange(a, m_in->readInt());
            break;
        }
        case SceneLooping:
            m_scene.looping = m_in->readBool();
            break;
        case SceneFigures:
            m_scene.figures = readRefs();
            break;
        case SceneData:
            m_scene.dataItems = readRefs();
            break;
        case SceneSelection:
            m_scene.selection = readRefs();
            break;
        case SceneAudio:
            m_scene.hasAudio = true;
            m_scene.audioStartFrame = m_in->readInt();
            m_scene.sampleRate = m_in->readInt();
            m_scene.channels = m_in->readInt();
            m_scene.bytesPerSample = m_in->readInt();
            m_scene.pcm = m_in->readBytes();
            break;
        default:
            break; // written by a later version; not needed here
        }
    }
    if (hasReadProblems())
        return false;
    if (m_scene.version < 1)
        return fail(QStringLiteral("the scene record has no version"));
    if (m_scene.version > kSceneVersion)
        return fail(
            QStringLiteral("the scene was written by a newer version of the program (scene version %1; "
                           "this program reads up to %2)")
                .arg(m_scene.version)
                .arg(kSceneVersion));
    if (m_scene.timeStep < 1)
        return fail(QStringLiteral("the scene's time step %1 is not positive").arg(m_scene.timeStep));
    return true;
}

bool SceneReader::readProperty(int index)
{
    PropertyRecord rec;
    for (int s = 0; s < m_in->getNumSections(index); ++s) {
        m_in->openSection(index, s);
        switch (m_in->getCurrentSectionID()) {
        case PropName:
            rec.name = m_in->readString();
            break;
        case PropLabel:
            rec.label = m_in->readString();
            break;
        case PropFlags:
            rec.hidden = m_in->readBool();
            rec.animatable = m_in->readBool();
            rec.xyzInterest = m_in->readBool();
            break;
        case PropValues:
            rec.value = m_in->readFloat();
            rec.defaultValue = m_in->readFloat();
            break;
        case PropLimits:
            rec.min = m_in->readFloat();
            rec.max = m_in->readFloat();
            rec.clamped = m_in->readBool();
            break;
        case PropKeys: {
            // The count is checked by the reads themselves: a count larger
            // than the section holds ends in a read problem, not in memory.
            const int n = m_in->readInt();
            if (n < 0)
                return fail(QStringLiteral("property object %1 has a negative key count").arg(index));
            for (int k = 0; k < n && !m_in->atSectionEnd(); ++k) {
                const DzTime t = m_in->readInt();
                rec.keys.push_back({ t, m_in->readFloat() });
            }
            if (int(rec.keys.size()) != n)
                return fail(QStringLiteral("property object %1 announces %2 keys but holds %3")
                                .arg(index)
                                .arg(n)
                                .arg(rec.keys.size()));
            break;
        }
        default:
            break;
        }
    }
    if (hasReadProblems())
        return false;
    if (rec.name.isEmpty())
        return fail(QStringLiteral("property object %1 has no name").arg(index));
    const bool finite = std::isfinite(rec.value) && std::isfinite(rec.defaultValue) && std::isfinite(rec.min)
        && std::isfinite(rec.max);
    if (!finite || rec.min > rec.max)
        return fail(QStringLiteral("property \"%1\" (object %2) holds invalid values or limits")
                        .arg(rec.name)
                        .arg(index));
    for (const auto &k : rec.keys) {
        if (!std::isfinite(k.value))
            return fail(QStringLiteral("property \"%1\" (object %2) has a key that is not a number")
                            .arg(rec.name)
                            .arg(index));
    }
    m_props.insert(index, rec);
    return true;
}

bool SceneReader::readNode(int index)
{
    NodeRecord rec;
    for (int s = 0; s < m_in->getNumSections(index); ++s) {
        m_in->openSection(index, s);
        switch (m_in->getCurrentSectionID()) {
        case NodeName:
            rec.name = m_in->readString();
            break;
        case NodeLabel:
            rec.label = m_in->readString();
            break;
        case NodeHidden:
            rec.hidden = m_in->readBool();
            break;
        case NodeRotationOrder:
            rec.rotationOrder = m_in->readInt();
            break;
        case NodeOrigin:
            rec.origin = m_in->readVec();
            break;
        case NodeEndPoint:
            rec.endPoint = m_in->readVec();
            break;
        case NodeChildren:
            rec.children = readRefs();
            break;
        case NodeFollow: {
            const QList<int> refs = readRefs();
            rec.follow = refs.isEmpty() ? -1 : refs.first();
            break;
        }
        case NodeProperties:
            rec.properties = readRefs();
            break;
        case NodeObject: {
            rec.hasObject = true;
            rec.objectName = m_in->readString();
            const int n = m_in->readInt();
            if (n < 0)
                return fail(QStringLiteral("node object %1 has a negative morph count").arg(index));
            for (int k = 0; k < n && !m_in->atSectionEnd(); ++k) {
                MorphRecord morph;
                morph.name = m_in->readString();
                morph.label = m_in->readString();
                short id = 0;
                if (!m_in->readReference(&id, &morph.valueChannel))
                    return fail(QStringLiteral("morph \"%1\" of node object %2 has no value channel")
                                    .arg(morph.name)
                                    .arg(index));
                rec.morphs.append(morph);
            }
            if (rec.morphs.size() != n)
                return fail(QStringLiteral("node object %1 announces %2 morphs but holds %3")
                                .arg(index)
                                .arg(n)
                                .arg(rec.morphs.size()));
            break;
        }
        case NodeDataItems:
            rec.dataItems = readRefs();
            break;
        default:
            break;
        }
    }
    if (hasReadProblems())
        return false;
    if (rec.name.isEmpty())
        return fail(QStringLiteral("node object %1 has no name").arg(index));
    if (rec.rotationOrder < DzRotationOrder::XYZ || rec.rotationOrder > DzRotationOrder::ZYX)
        return fail(QStringLiteral("node \"%1\" has the unknown rotation order %2")
                        .arg(rec.name)
                        .arg(rec.rotationOrder));
    const DzVec3 &o = rec.origin;
    const DzVec3 &e = rec.endPoint;
    for (float v : { o.m_x, o.m_y, o.m_z, e.m_x, e.m_y, e.m_z }) {
        if (!std::isfinite(v))
            return fail(
                QStringLiteral("node \"%1\" has an origin or end point that is not a number").arg(rec.name));
    }

    const DzGUID cls = m_in->getObjectClassID(index);
    DzNode *node = cls == kSkeletonClass ? new DzSkeleton(rec.name)
        : cls == kBoneClass              ? new DzBone(rec.name)
                                         : new DzNode(rec.name);
    if (rec.label != rec.name)
        node->setLabel(rec.label);
    node->setHidden(rec.hidden);
    node->setRotationOrder(DzRotationOrder(DzRotationOrder::Order(rec.rotationOrder)));
    node->setOrigin(rec.origin);
    node->setEndPoint(rec.endPoint);
    rec.node = node;
    m_in->setObject(index, node);
    m_nodes.insert(index, rec);
    m_nodeOrder.append(index);
    // Until it has a parent, a new node is deleted with the reader.
    m_rootsToDelete.append(index);
    return true;
}

bool SceneReader::buildHierarchy()
{
    for (int index : std::as_const(m_nodeOrder)) {
        NodeRecord &rec = m_nodes[index];
        for (int child : std::as_const(rec.children)) {
            if (!m_nodes.contains(child))
                return fail(QStringLiteral("node \"%1\" lists object %2 as a child, which is not a node")
                                .arg(rec.name)
                                .arg(child));
            NodeRecord &c = m_nodes[child];
            if (c.parent >= 0)
                return fail(QStringLiteral("node \"%1\" has two parents").arg(c.name));
            if (!rec.node->addNodeChild(c.node))
                return fail(QStringLiteral("node \"%1\" cannot be a child of \"%2\" (a cycle)")
                                .arg(c.name, rec.name));
            c.parent = index;
            m_rootsToDelete.removeOne(child);
        }
    }
    QSet<int> figures;
    for (int f : std::as_const(m_scene.figures)) {
        if (!m_nodes.contains(f))
            return fail(QStringLiteral("the scene lists object %1 as a figure, which is not a node").arg(f));
        if (m_nodes.value(f).parent >= 0 || figures.contains(f))
            return fail(QStringLiteral("node \"%1\" is listed as a figure but also belongs elsewhere")
                            .arg(m_nodes.value(f).name));
        figures.insert(f);
    }
    for (int index : std::as_const(m_nodeOrder)) {
        const NodeRecord &rec = m_nodes.value(index);
        if (rec.parent < 0 && !figures.contains(index))
            return fail(QStringLiteral("node \"%1\" belongs to no figure").arg(rec.name));
    }
    for (int index : std::as_const(m_nodeOrder)) {
        const NodeRecord &rec = m_nodes.value(index);
        if (rec.follow < 0)
            continue;
        DzNode *target = m_nodes.contains(rec.follow) ? m_nodes.value(rec.follow).node : nullptr;
        auto *skeleton = qobject_cast<DzSkeleton *>(rec.node);
        auto *bone = qobject_cast<DzBone *>(rec.node);
        if (skeleton && qobject_cast<DzSkeleton *>(target))
            skeleton->setFollowTarget(static_cast<DzSkeleton *>(target));
        else if (bone && qobject_cast<DzBone *>(target))
            bone->setFollowBone(static_cast<DzBone *>(target));
        else
            return fail(QStringLiteral("node \"%1\" follows object %2, which it cannot follow")
                            .arg(rec.name)
                            .arg(rec.follow));
    }
    return true;
}

bool SceneReader::bindProperties()
{
    auto bind = [this](int propIndex, DzFloatProperty *property, const QString &owner) {
        if (!m_props.contains(propIndex))
            return fail(QStringLiteral("%1 refers to object %2 as a property, which is not one")
                            .arg(owner)
                            .arg(propIndex));
        PropertyRecord &rec = m_props[propIndex];
        if (rec.bound)
            return fail(
                QStringLiteral("the property record %1 (\"%2\") is used twice").arg(propIndex).arg(rec.name));
        rec.bound = true;
        if (rec.label != rec.name)
            property->setLabel(rec.label);
        property->setHidden(rec.hidden);
        property->setIsAnimatable(rec.animatable);
        property->setXYZInterest(rec.xyzInterest);
        property->setDefaultValue(rec.defaultValue);
        property->setMinMax(rec.min, rec.max);
        property->setIsClamped(rec.clamped);
        // Stored values come back exactly, without clamping them again.
        property->restoreState(rec.value, rec.keys);
        m_in->setObject(propIndex, property);
        return true;
    };

    for (int index : std::as_const(m_nodeOrder)) {
        NodeRecord &rec = m_nodes[index];
        QSet<DzProperty *> taken;
        for (int p : std::as_const(rec.properties)) {
            const QString name = m_props.value(p).name;
            // The transform controls exist already; other properties are made.
            DzFloatProperty *target = nullptr;
            for (DzProperty *existing : rec.node->getProperties()) {
                auto *fp = qobject_cast<DzFloatProperty *>(existing);
                if (fp && !taken.contains(fp) && fp->getName() == name) {
                    target = fp;
                    break;
                }
            }
            if (!target && m_props.contains(p)) {
                target = new DzFloatProperty(name);
                rec.node->addProperty(target);
            }
            if (!bind(p, target, QStringLiteral("node \"%1\"").arg(rec.name)))
                return false;
            taken.insert(target);
        }
        if (!rec.hasObject)
            continue;
        auto *object = new DzObject(rec.objectName);
        rec.node->setObject(object);
        for (const MorphRecord &m : std::as_const(rec.morphs)) {
            auto *morph = new DzMorph(m.name, m.label);
            object->addModifier(morph);
            if (!bind(m.valueChannel, morph->getValueChannel(), QStringLiteral("morph \"%1\"").arg(m.name)))
                return false;
        }
    }
    return true;
}

bool SceneReader::collectDataItems()
{
    QSet<int> used;
    auto claim = [&](int index, const char *baseClass, const QString &owner) -> bool {
        if (index < 0 || index >= m_in->getNumObjects() || isHostClass(m_in->getObjectClassID(index))) {
            fail(QStringLiteral("%1 lists object %2 as a data item, which is not one").arg(owner).arg(index));
            return false;
        }
        if (used.contains(index)) {
            fail(QStringLiteral("the data item object %1 is listed twice").arg(index));
            return false;
        }
        used.insert(index);
        DzBase *item = m_in->getObject(index);
        if (!item)
            return true; // unknown class: skipped with a warning already
        if (!item->inherits(baseClass)) {
            warn(QStringLiteral("%1: object %2 (%3) listed as a data item of %4 is not a %5 and was skipped")
                     .arg(m_in->getFileName())
                     .arg(index)
                     .arg(className(item), owner, QLatin1String(baseClass)));
            return true;
        }
        return true;
    };

    for (int i = 0; i < m_in->getNumObjects(); ++i) {
        if (!isHostClass(m_in->getObjectClassID(i))) {
            m_in->createObject(i);
            m_dataObjects.append(i);
        }
    }
    for (int item : std::as_const(m_scene.dataItems)) {
        if (!claim(item, "DzSceneData", QStringLiteral("the scene")))
            return false;
        if (m_in->getObject(item) && m_in->getObject(item)->inherits("DzSceneData"))
            m_sceneItems.append(item);
    }
    for (int index : std::as_const(m_nodeOrder)) {
        const NodeRecord &rec = m_nodes.value(index);
        for (int item : rec.dataItems) {
            if (!claim(item, "DzElementData", QStringLiteral("node \"%1\"").arg(rec.name)))
                return false;
            if (m_in->getObject(item) && m_in->getObject(item)->inherits("DzElementData"))
                m_elementItems.append({ index, item });
        }
    }
    return true;
}

bool SceneReader::prepare()
{
    if (m_in->getNumObjects() == 0 || m_in->getObjectClassID(0) != kSceneClass)
        return fail(QStringLiteral("not a scene file (it holds no scene record)"));
    m_warningBase = m_in->getWarnings().size();
    if (!readScene())
        return false;
    for (int i = 1; i < m_in->getNumObjects(); ++i) {
        const DzGUID cls = m_in->getObjectClassID(i);
        if (cls == kSceneClass)
            return fail(QStringLiteral("object %1 is a second scene record").arg(i));
        if (cls == kPropertyClass && !readProperty(i))
            return false;
    }
    for (int i = 1; i < m_in->getNumObjects(); ++i) {
        if (isNodeClass(m_in->getObjectClassID(i)) && !readNode(i))
            return false;
    }
    for (int s : std::as_const(m_scene.selection)) {
        if (!m_nodes.contains(s))
            return fail(QStringLiteral("the selection lists object %1, which is not a node").arg(s));
    }
    if (m_scene.hasAudio && m_scene.pcm.isEmpty())
        m_scene.hasAudio = false;
    return buildHierarchy() && bindProperties() && collectDataItems();
}

void SceneReader::apply(DzScene *scene)
{
    scene->notifyLoadStarting();
    scene->clear();
    // Steps recorded before the load refer to objects that are gone.
    dzUndoStack->clear();

    scene->setTimeStep(m_scene.timeStep);
    scene->setPlayRange(m_scene.playRange);
    scene->setAnimRange(m_scene.animRange);
    scene->loopPlayback(m_scene.looping);
    if (m_scene.hasAudio) {
        auto *clip = new DzAudioClip();
        if (clip->setPcmData(m_scene.pcm, m_scene.sampleRate, m_scene.channels, m_scene.bytesPerSample)) {
            scene->setAudio(clip);
            scene->setAudioStartFrame(m_scene.audioStartFrame);
        } else {
            delete clip;
            warn(QStringLiteral("%1: the scene's audio has an unsupported format and was left out")
                     .arg(m_in->getFileName()));
        }
    }

    // Element data first, so that listeners of nodeAdded find the items.
    for (const auto &pair : std::as_const(m_elementItems)) {
        auto *item = static_cast<DzElementData *>(m_in->getObject(pair.second));
        if (m_nodes.value(pair.first).node->addDataItem(item))
            m_in->takeObject(pair.second);
    }
    for (int f : std::as_const(m_scene.figures)) {
        if (scene->addNode(m_nodes.value(f).node))
            m_rootsToDelete.removeOne(f);
    }
    for (int i : std::as_const(m_sceneItems)) {
        if (scene->addDataItem(static_cast<DzSceneData *>(m_in->getObject(i))))
            m_in->takeObject(i);
    }
    // Data objects that restore timelines read the scene time while loading.
    scene->setTime(m_scene.time);

    for (int i : std::as_const(m_dataObjects))
        m_in->loadObject(i);
    m_in->postLoadObjects();

    for (int s : std::as_const(m_scene.selection))
        scene->selectNode(m_nodes.value(s).node, true);
    scene->notifyLoaded();
}

} // namespace

bool DzSceneFile::save(const QString &path)
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
    if (!out.save(path)) {
        m_error = out.getErrorString();
        return false;
    }
    m_warnings += out.getWarnings();
    dzScene->setModified(false);
    return true;
}

bool DzSceneFile::load(const QString &path)
{
    m_error.clear();
    m_warnings.clear();
    if (!dzScene) {
        m_error = QStringLiteral("There is no scene to load into.");
        return false;
    }
    DzInFile in;
    if (!in.open(path)) {
        m_error = in.getErrorString();
        return false;
    }
    {
        SceneReader reader(&in, &m_error, &m_warnings);
        if (!reader.prepare())
            return false;
        reader.apply(dzScene);
    }
    for (const QString &w : in.getWarnings()) {
        if (!m_warnings.contains(w))
            m_warnings.append(w);
    }
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

bool loadSceneFile(const QString &path, QString *error)
{
    DzSceneFile file;
    const bool ok = file.load(path);
    if (!ok && error)
        *error = file.getErrorString();
    return ok;
}
