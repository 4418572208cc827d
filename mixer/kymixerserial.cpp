#include "kymixerserial.h"

#include "figurebinding.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "channelstore.h"
#include "kyblock.h"

#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzguid.h"
#include "dzinfile.h"
#include "dzlog.h"
#include "dzoutfile.h"
#include "dzoutfileformat.h"
#include "dzquat.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzskeleton.h"
#include "dzvec3.h"

#include <QFileInfo>
#include <QVariant>

#include <algorithm>
#include <utility>
#include <memory>
#include <vector>

namespace {

// One value of a section kept as read, to be written back unchanged.
struct KeptValue {
    quint8 tag = 0;
    QVariant value;
    QPointer<DzBase> object; // pointers
    short index = 0;         // pointers
};

struct NewerSection {
    int version = 0;
    std::vector<KeptValue> values;
};

std::function<KyTimeline *()> g_timelineProvider;
std::unique_ptr<NewerSection> g_newer;
QStringList g_missing;

// Counts above these are taken as a damaged file: a figure-less binding and
// a page per track must fit the timeline pane's widget stack.
constexpr int kMaxBindings = 4000;
constexpr int kMaxTracks = 4000;

// The registered block whose empty slot every missing placement shares.
KyBlock *emptyClip()
{
    static KyBlock *block = KyBlock::create();
    return block;
}

// The registered block of path, else the file read; null when neither. A
// path that names no file is not read: a failed read still takes one of
// the block core's fixed number of slots.
KyBlock *findLibraryBlock(const QString &path)
{
    const auto &registry = KyBlock::registry();
    const bool registered = std::any_of(registry.begin(), registry.end(),
                                        [&](const KyBlock *b) { return b->path == path; });
    return registered || QFileInfo(path).isFile() ? KyBlock::get(path) : nullptr;
}

} // namespace

bool kyIsMissingPlacement(const KyBlock &block)
{
    return !block.path.isEmpty() && slotRecords(block.clipHandle) == nullptr;
}

KyBlock *kyMakeMissingPlacement(const QString &path, const QString &name)
{
    KyBlock *block = emptyClip()->clone();
    block->path = path;
    block->name = name;
    return block;
}

KyMixerSerial::KyMixerSerial()
    : DzSceneData(QStringLiteral("KyMixer-data"), true)
{
}

KyMixerSerial::~KyMixerSerial() = default;

void KyMixerSerial::setTimelineProvider(std::function<KyTimeline *()> provider)
{
    g_timelineProvider = std::move(provider);
}

KyTimeline *KyMixerSerial::timeline()
{
    return g_timelineProvider ? g_timelineProvider() : nullptr;
}

bool KyMixerSerial::hasNewerSection()
{
    return g_newer != nullptr;
}

int KyMixerSerial::newerSectionVersion()
{
    return g_newer ? g_newer->version : 0;
}

void KyMixerSerial::forgetNewerSection()
{
    g_newer.reset();
}

QStringList KyMixerSerial::lastMissingFiles()
{
    return g_missing;
}

// --- saving -----------------------------------------------------------------------

namespace {

void writeKept(DzOutFile *file, const NewerSection &kept)
{
    file->startSection(KyMixerSerial::kSectionId);
    file->writeInt(kept.version);
    for (const KeptValue &v : kept.values) {
        switch (v.tag) {
        case DzObjectFileFormat::TagInt: file->writeInt(v.value.toInt()); break;
        case DzObjectFileFormat::TagFloat: file->writeFloat(v.value.toFloat()); break;
        case DzObjectFileFormat::TagDouble: file->writeDouble(v.value.toDouble()); break;
        case DzObjectFileFormat::TagBool: file->writeBool(v.value.toBool()); break;
        case DzObjectFileFormat::TagString: file->writeString(v.value.toString()); break;
        case DzObjectFileFormat::TagBytes: file->writeBytes(v.value.toByteArray()); break;
        case DzObjectFileFormat::TagVec: {
            const QList<QVariant> c = v.value.toList();
            file->writeVec(DzVec3(c.value(0).toFloat(), c.value(1).toFloat(), c.value(2).toFloat()));
            break;
        }
        case DzObjectFileFormat::TagQuat: {
            const QList<QVariant> c = v.value.toList();
            file->writeQuat(DzQuat(c.value(0).toDouble(), c.value(1).toDouble(), c.value(2).toDouble(),
                                   c.value(3).toDouble()));
            break;
        }
        case DzObjectFileFormat::TagPointer: file->writePointer(v.object.data(), v.index); break;
        default: break;
        }
    }
    file->endSection();
}

void writeBlock(DzOutFile *file, const KyBlock &b)
{
    file->writeString(b.name);
    file->writeString(b.path);
    file->writeFloat(b.speed);
    file->writeInt(b.inPoint);
    file->writeInt(b.outPoint);
    file->writeInt(b.blendIn);
    file->writeInt(b.flags);
    file->writeInt(b.internalBlend);
    file->writeFloat(b.facingOffset);
    file->writeBool(b.mirror);
    file->writeFloat(b.posOffset.x);
    file->writeFloat(b.posOffset.y);
    file->writeFloat(b.posOffset.z);
    file->writeInt(b.gap);
}

} // namespace

void KyMixerSerial::save(DzOutFile *file)
{
    KyTimeline *t = timeline();
    if (!file || !t)
        return;
    if (g_newer) {
        const bool replace = kyQuestion(
            QStringLiteral("This scene holds kinTimeline data saved by a newer version of Trelvo "
                           "(version %1), which this version cannot read.\n\n"
                           "Replace it with the timelines shown now? No keeps the newer data and "
                           "does not save the timelines shown now.")
                .arg(g_newer->version));
        if (!replace) {
            writeKept(file, *g_newer);
            return;
        }
        g_newer.reset();
    }

    std::vector<int> written;
    for (int k = 0; k < t->bindingCount(); ++k) {
        if (k == 0 || t->binding(k)->skeleton())
            written.push_back(k);
    }
    file->startSection(kSectionId);
    file->writeInt(kVersion);
    file->writeInt(static_cast<int>(written.size()));
    for (size_t i = 0; i < written.size(); ++i) {
        const FigureBinding *binding = t->binding(written[i]);
        file->writePointer(binding->skeleton(), static_cast<short>(kSkeletonIndexBase + static_cast<int>(i)));
        file->writeFloat(binding->m_heelOffset);
        file->writeInt(static_cast<int>(binding->m_rotationalOffsets.size()));
        for (const auto &[node, q] : binding->m_rotationalOffsets) {
            file->writePointer(node, kOffsetBoneIndex);
            file->writeDouble(q.m_x);
            file->writeDouble(q.m_y);
            file->writeDouble(q.m_z);
            file->writeDouble(q.m_w);
        }
        const std::vector<KyTrack *> tracks = t->tracks(written[i]);
        file->writeInt(static_cast<int>(tracks.size()));
        for (const KyTrack *track : tracks) {
            file->writeInt(track->count());
            for (const KyBlock *block : track->blocks())
                writeBlock(file, *block);
        }
    }
    file->endSection();
}

// --- loading ----------------------------------------------------------------------

void KyMixerSerial::loadSection(DzInFile *file, short id)
{
    if (id != kSectionId || !file) {
        DzSceneData::loadSection(file, id);
        return;
    }
    const int version = file->readInt();
    m_loaded = true;
    g_missing.clear();
    if (version > kVersion) {
        keepNewerSection(file, version);
        return;
    }
    g_newer.reset();
    if (version < 1) {
        dzWarning(QStringLiteral("KyMixerSerial::loadSection(): version %1 is not a kinTimeline version; "
                                 "no timeline was restored")
                      .arg(version));
        return;
    }
    KyTimeline *t = timeline();
    if (!t) {
        dzWarning(QStringLiteral("No KyMixerPane instance found in KyMixerSerial::loadSection()"));
        return;
    }
    loadTimeline(file, version, *t);
}

void KyMixerSerial::keepNewerSection(DzInFile *file, int version)
{
    auto kept = std::make_unique<NewerSection>();
    kept->version = version;
    while (!file->atSectionEnd()) {
        KeptValue v;
        v.tag = file->peekType();
        switch (v.tag) {
        case DzObjectFileFormat::TagInt: v.value = file->readInt(); break;
        case DzObjectFileFormat::TagFloat: v.value = file->readFloat(); break;
        case DzObjectFileFormat::TagDouble: v.value = file->readDouble(); break;
        case DzObjectFileFormat::TagBool: v.value = file->readBool(); break;
        case DzObjectFileFormat::TagString: v.value = file->readString(); break;
        case DzObjectFileFormat::TagBytes: v.value = file->readBytes(); break;
        case DzObjectFileFormat::TagVec: {
            const DzVec3 vec = file->readVec();
            v.value = QVariantList{vec.m_x, vec.m_y, vec.m_z};
            break;
        }
        case DzObjectFileFormat::TagQuat: {
            const DzQuat q = file->readQuat();
            v.value = QVariantList{q.m_x, q.m_y, q.m_z, q.m_w};
            break;
        }
        case DzObjectFileFormat::TagPointer: {
            int objectIndex = -1;
            if (!file->readReference(&v.index, &objectIndex))
                return;
            v.object = objectIndex >= 0 ? file->getObject(objectIndex) : nullptr;
            break;
        }
        default:
            // A value this version does not know: the section cannot be kept.
            dzWarning(QStringLiteral("KyMixerSerial::loadSection(): the version %1 section holds a value "
                                     "of unknown type %2 and cannot be kept")
                          .arg(version)
                          .arg(v.tag));
            g_newer.reset();
            return;
        }
        kept->values.push_back(std::move(v));
    }
    g_newer = std::move(kept);
}

void KyMixerSerial::loadTimeline(DzInFile *file, int version, KyTimeline &t)
{
    const int hostMs = hostSnappedMs();
    const int count = std::clamp(file->readInt(), 1, kMaxBindings);
    t.resetBindings(count);
    m_loading = &t;
    for (int k = 0; k < count && !file->atSectionEnd(); ++k) {
        file->readPointer();
        FigureBinding *binding = t.binding(k);
        if (version >= 6)
            binding->m_heelOffset = file->readFloat();
        if (version >= 8) {
            const int offsets = file->readInt();
            for (int i = 0; i < offsets && !file->atSectionEnd(); ++i) {
                m_offsetNode = nullptr;
                file->readPointer();
                double c[4] = {0.0, 0.0, 0.0, 1.0};
                for (double &v : c)
                    v = file->readDouble();
                if (auto *node = qobject_cast<DzNode *>(m_offsetNode.data()))
                    binding->m_rotationalOffsets[node] = DzQuat(c[0], c[1], c[2], c[3]);
                m_offsetNode = nullptr;
            }
        }
        const int tracks = std::clamp(file->readInt(), 0, kMaxTracks);
        for (int i = 0; i < tracks && !file->atSectionEnd(); ++i) {
            KyTrack *track = t.addTrack(k);
            const int blocks = file->readInt();
            for (int j = 0; j < blocks && !file->atSectionEnd(); ++j) {
                const QString name = file->readString();
                const QString path = file->readString();
                KyBlock *library = findLibraryBlock(path);
                std::unique_ptr<KyBlock> copy(library ? library->clone() : kyMakeMissingPlacement(path, name));
                if (!library && !g_missing.contains(path))
                    g_missing.append(path);
                copy->name = name;
                copy->path = path;
                copy->speed = file->readFloat();
                copy->inPoint = file->readInt();
                copy->outPoint = file->readInt();
                copy->blendIn = file->readInt();
                copy->flags = file->readInt();
                if (version >= 2)
                    copy->internalBlend = file->readInt();
                if (version >= 3)
                    copy->facingOffset = file->readFloat();
                if (version >= 4)
                    copy->mirror = file->readBool();
                if (version >= 5) {
                    copy->posOffset.x = file->readFloat();
                    copy->posOffset.y = file->readFloat();
                    copy->posOffset.z = file->readFloat();
                }
                if (version >= 7)
                    copy->gap = file->readInt();
                // A damaged speed would divide by zero downstream.
                if (!(copy->speed > 0.0f))
                    copy->speed = 1.0f;
                if (k != 0 && track)
                    track->appendBlock(*copy, true);
            }
            if (track)
                track->relayout();
        }
    }
    m_loading = nullptr;
    t.goSeek(hostMs, true, true);
}

void KyMixerSerial::setPointer(const DzInFile *file, short section, short id, DzBase *object)
{
    if (section == kSectionId && m_loading && id >= kSkeletonIndexBase) {
        if (FigureBinding *binding = m_loading->binding(id - kSkeletonIndexBase))
            binding->m_skeleton = qobject_cast<DzSkeleton *>(object);
        return;
    }
    if (section == kSectionId && id == kOffsetBoneIndex) {
        m_offsetNode = object;
        return;
    }
    DzSceneData::setPointer(file, section, id, object);
}

void KyMixerSerial::postLoad()
{
    DzSceneData::postLoad();
    if (!m_loaded)
        return;
    m_loaded = false;
    if (g_newer) {
        kyMessage(QStringLiteral("This scene holds kinTimeline data saved by a newer version of Trelvo "
                                 "(version %1). This version cannot read it, so no timeline was restored. "
                                 "The data is kept: saving asks before replacing it.")
                      .arg(g_newer->version));
    }
    if (!g_missing.isEmpty()) {
        kyMessage(QStringLiteral("%1 kinBlock%2 could not be found: %3. The placements are kept on the "
                                 "timeline and saved with the scene.")
                      .arg(g_missing.size())
                      .arg(g_missing.size() == 1 ? QString() : QStringLiteral("s"))
                      .arg(g_missing.join(QStringLiteral(", "))));
    }
}

namespace {

class SerialFactory : public DzClassFactory
{
public:
    SerialFactory()
        : DzClassFactory(&KyMixerSerial::staticMetaObject,
                         DzGUID::fromString(QString::fromLatin1(KyMixerSerial::classIdString())))
    {
    }
    QObject *createInstance() const override { return new KyMixerSerial; }
};

} // namespace

std::unique_ptr<DzClassFactory> kyMixerSerialFactory()
{
    return std::make_unique<SerialFactory>();
}

bool kySaveSceneWithTimeline(const QString &path, KyTimeline &timeline, QString *error)
{
    if (!dzApp || !dzScene) {
        if (error)
            *error = QStringLiteral("there is no scene");
        return false;
    }
    std::unique_ptr<DzClassFactory> factory;
    if (!dzApp->findClassFactory(QString::fromLatin1(KyMixerSerial::staticMetaObject.className()))) {
        factory = kyMixerSerialFactory();
        dzApp->registerClassFactory(factory.get());
    }
    auto previous = std::exchange(g_timelineProvider, [&timeline] { return &timeline; });
    // The item takes the place of the scene's own for the save; a fresh one
    // goes back afterwards.
    const bool hadItem = dzScene->findDataItem(QStringLiteral("KyMixer-data")) != nullptr;
    auto *item = new KyMixerSerial;
    dzScene->addDataItem(item);
    const bool saved = saveSceneFile(path, error);
    dzScene->removeDataItem(item);
    if (hadItem)
        dzScene->addDataItem(new KyMixerSerial);
    g_timelineProvider = std::move(previous);
    if (factory)
        dzApp->unregisterClassFactory(factory.get());
    return saved;
}
