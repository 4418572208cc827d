// The scene file reader: reads and checks everything, builds the nodes
// apart from the scene, and only then replaces the scene's content.
#include "dzscenefile.h"
#include "dzscenefileformat.h"

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
#include "dzscene.h"
#include "dzscenedata.h"
#include "dzskeleton.h"
#include "dzundostack.h"

#include <QHash>
#include <QSet>

#include <cfloat>
#include <cmath>
#include <vector>

using namespace DzSceneFormat;

namespace {

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
        for (int i : std::as_const(m_rootsToDelete))
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

    // Calls read(sectionId) with each section of the object opened in turn;
    // stops at the first false.
    template <typename Read>
    bool forEachSection(int index, Read read)
    {
        for (int s = 0; s < m_in->getNumSections(index); ++s) {
            m_in->openSection(index, s);
            if (!read(m_in->getCurrentSectionID()))
                return false;
        }
        return !hasReadProblems();
    }
    // Reads a count and then that many items with readItem(); refuses a
    // negative count or one the section does not hold.
    template <typename ReadItem>
    bool readCounted(int index, const char *what, ReadItem readItem)
    {
        const int n = m_in->readInt();
        if (n < 0)
            return fail(QStringLiteral("object %1 has a negative %2 count").arg(index).arg(QLatin1String(what)));
        int got = 0;
        for (; got < n && !m_in->atSectionEnd(); ++got) {
            if (!readItem())
                return false;
        }
        if (got != n)
            return fail(QStringLiteral("object %1 announces %2 %3s but holds %4")
                            .arg(index)
                            .arg(n)
                            .arg(QLatin1String(what))
                            .arg(got));
        return true;
    }
    DzTimeRange readRange()
    {
        const int start = m_in->readInt();
        return DzTimeRange(start, m_in->readInt());
    }

    bool readScene();
    bool readProperty(int index);
    bool readNode(int index);
    void createNode(int index);
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
    QSet<int> m_rootsToDelete;
    QList<int> m_sceneItems; // object indexes of scene data
    QList<QPair<int, int>> m_elementItems; // (node index, item index)
    QList<int> m_dataObjects; // every registry-made object
    int m_warningBase = 0;
};

bool SceneReader::readScene()
{
    const bool read = forEachSection(0, [this](short id) {
        switch (id) {
        case SceneVersion:
            m_scene.version = m_in->readInt();
            break;
        case SceneTime:
            m_scene.time = m_in->readInt();
            break;
        case SceneTimeStep:
            m_scene.timeStep = m_in->readInt();
            break;
        case ScenePlayRange:
            m_scene.playRange = readRange();
            break;
        case SceneAnimRange:
            m_scene.animRange = readRange();
            break;
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
        return true;
    });
    if (!read)
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
    const bool read = forEachSection(index, [&](short id) {
        switch (id) {
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
        case PropKeys:
            // A count larger than the section holds ends in a read
            // problem, not in memory.
            return readCounted(index, "key", [&] {
                const DzTime t = m_in->readInt();
                rec.keys.push_back({ t, m_in->readFloat() });
                return true;
            });
        default:
            break;
        }
        return true;
    });
    if (!read)
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
    const bool read = forEachSection(index, [&](short id) {
        switch (id) {
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
        case NodeObject:
            rec.hasObject = true;
            rec.objectName = m_in->readString();
            return readCounted(index, "morph", [&] {
                MorphRecord morph;
                morph.name = m_in->readString();
                morph.label = m_in->readString();
                short pointer = 0;
                if (!m_in->readReference(&pointer, &morph.valueChannel))
                    return fail(QStringLiteral("morph \"%1\" of node object %2 has no value channel")
                                    .arg(morph.name)
                                    .arg(index));
                rec.morphs.append(morph);
                return true;
            });
        case NodeDataItems:
            rec.dataItems = readRefs();
            break;
        default:
            break;
        }
        return true;
    });
    if (!read)
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

    m_nodes.insert(index, rec);
    m_nodeOrder.append(index);
    return true;
}

void SceneReader::createNode(int index)
{
    NodeRecord &rec = m_nodes[index];
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
    // Until it has a parent, a new node is deleted with the reader.
    m_rootsToDelete.insert(index);
}

bool SceneReader::buildHierarchy()
{
    // Parents first, without touching the nodes.
    for (int index : std::as_const(m_nodeOrder)) {
        const NodeRecord &rec = m_nodes.value(index);
        for (int child : std::as_const(rec.children)) {
            auto c = m_nodes.find(child);
            if (c == m_nodes.end())
                return fail(QStringLiteral("node \"%1\" lists object %2 as a child, which is not a node")
                                .arg(rec.name)
                                .arg(child));
            if (c->parent >= 0)
                return fail(QStringLiteral("node \"%1\" has two parents").arg(c->name));
            c->parent = index;
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

    // Breadth first from the figures: every node is reached once (each has
    // one parent), at its depth. A node not reached lies on a cycle.
    QList<int> order;
    order.reserve(m_nodeOrder.size());
    QHash<int, int> depth;
    for (int f : std::as_const(m_scene.figures)) {
        order.append(f);
        depth.insert(f, 1);
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        const NodeRecord &rec = m_nodes.value(order[i]);
        const int d = depth.value(order[i]);
        if (d > kMaxDepth)
            return fail(QStringLiteral("node \"%1\" lies %2 nodes deep in its figure; at most %3 are allowed")
                            .arg(rec.name)
                            .arg(d)
                            .arg(kMaxDepth));
        for (int child : rec.children) {
            depth.insert(child, d + 1);
            order.append(child);
        }
    }
    if (order.size() != m_nodeOrder.size()) {
        for (int index : std::as_const(m_nodeOrder)) {
            if (!depth.contains(index))
                return fail(QStringLiteral("node \"%1\" is its own ancestor (a cycle)").arg(m_nodes.value(index).name));
        }
    }
    // The records are sound: make the nodes.
    for (int index : std::as_const(m_nodeOrder))
        createNode(index);
    // Deepest first: each parent is still a root when it gets its children,
    // so the node's own cycle check costs nothing.
    for (qsizetype i = order.size() - 1; i >= 0; --i) {
        const NodeRecord &rec = m_nodes.value(order[i]);
        for (int child : rec.children) {
            rec.node->addNodeChild(m_nodes.value(child).node);
            m_rootsToDelete.remove(child);
        }
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
    int nodes = 0;
    for (int i = 1; i < m_in->getNumObjects(); ++i)
        nodes += isNodeClass(m_in->getObjectClassID(i)) ? 1 : 0;
    if (nodes > kMaxNodes)
        return fail(QStringLiteral("the scene holds %1 nodes; at most %2 are allowed").arg(nodes).arg(kMaxNodes));
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
            m_rootsToDelete.remove(f);
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

bool DzSceneFile::load(const QString &path)
{
    m_error.clear();
    m_warnings.clear();
    DzInFile in;
    if (!in.open(path)) {
        m_error = in.getErrorString();
        return false;
    }
    return load(&in);
}

bool DzSceneFile::loadFromData(const QByteArray &data, const QString &name)
{
    m_error.clear();
    m_warnings.clear();
    DzInFile in;
    if (!in.setData(data, name)) {
        m_error = in.getErrorString();
        return false;
    }
    return load(&in);
}

bool DzSceneFile::load(DzInFile *in)
{
    if (!dzScene) {
        m_error = QStringLiteral("There is no scene to load into.");
        return false;
    }
    {
        SceneReader reader(in, &m_error, &m_warnings);
        if (!reader.prepare())
            return false;
        reader.apply(dzScene);
    }
    QSet<QString> seen(m_warnings.begin(), m_warnings.end());
    for (const QString &w : in->getWarnings()) {
        if (!seen.contains(w)) {
            seen.insert(w);
            m_warnings.append(w);
        }
    }
    return true;
}

bool loadSceneFile(const QString &path, QString *error)
{
    DzSceneFile file;
    const bool ok = file.load(path);
    if (!ok && error)
        *error = file.getErrorString();
    return ok;
}
