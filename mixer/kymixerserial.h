#pragma once
// KyMixerSerial ("KyMixer-data"): the scene data item that carries every
// kinTimeline of a scene in the scene file. It holds no timeline data of
// its own: save() writes the timeline it is given (the main pane's, or the
// one a tool sets with setTimelineProvider), loadSection() rebuilds it.
//
// One section, id 1 (version 8 when written):
//   version, binding count, then per binding: skeleton (pointer, index
//   1000 + written binding number), heel offset (≥ 6), offsets (≥ 8: count,
//   per offset the bone (pointer, index 10) and x, y, z, w as doubles),
//   track count, per track the block count and per block: name, path,
//   speed, inPoint, outPoint, blendIn, flags, internalBlend (≥ 2),
//   facingOffset (≥ 3), mirror (≥ 4), posOffset x, y, z (≥ 5), gap (≥ 7).
// Binding 0 (no skeleton) is always written; other bindings only while
// their figure exists, so binding numbers in a file have no holes.
//
// Beyond the section layout, nothing is lost on a round trip:
//  - a placement whose block file is missing or unreadable stays on its
//    track as a missing placement (kyIsMissingPlacement): not evaluated,
//    written back unchanged; the load reports them once;
//  - a section from a newer version is kept as read; opening warns, and
//    saving asks before the current timelines replace it (No keeps it).

#include "dzscenedata.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class DzClassFactory;
class DzNode;
class KyBlock;
class KyTimeline;

class KyMixerSerial : public DzSceneData
{
    Q_OBJECT
public:
    static constexpr int kVersion = 8;
    static constexpr short kSectionId = 1;
    static constexpr short kSkeletonIndexBase = 1000;
    static constexpr short kOffsetBoneIndex = 10;
    // The class identifier of the factory table's row.
    static const char *classIdString() { return "05973E34-9976-455c-AA13-7A33335D4113"; }

    KyMixerSerial();
    ~KyMixerSerial() override;

    // Where the timeline comes from (the main pane installs its own; null
    // gives no timeline, and then save writes nothing and load reads nothing).
    static void setTimelineProvider(std::function<KyTimeline *()> provider);
    static KyTimeline *timeline();

    // A newer-version section kept from the last load (cleared by a scene
    // clear and by loading a readable section).
    static bool hasNewerSection();
    static int newerSectionVersion();
    static void forgetNewerSection();

    // What the last load could not place: the missing block files.
    static QStringList lastMissingFiles();

    void save(DzOutFile *file) override;
    void loadSection(DzInFile *file, short id) override;
    void setPointer(const DzInFile *file, short section, short id, DzBase *object) override;
    void postLoad() override;

private:
    void loadTimeline(DzInFile *file, int version, KyTimeline &timeline);
    void keepNewerSection(DzInFile *file, int version);

    // The node last resolved for an offset entry (null between entries).
    QPointer<DzBase> m_offsetNode;
    KyTimeline *m_loading = nullptr;
    bool m_loaded = false;
};

// A placement whose block file could not be read: it keeps its path, name
// and placement fields but has no motion.
bool kyIsMissingPlacement(const KyBlock &block);
// A missing placement for path and name (a clone without motion, owned by
// the caller), carrying the other fields of template defaults.
KyBlock *kyMakeMissingPlacement(const QString &path, const QString &name);

// A class factory for KyMixerSerial under its identifier, for hosts and
// tools that register it without the plug-in's definition.
std::unique_ptr<DzClassFactory> kyMixerSerialFactory();

// Saves the current scene to path (atomically) with timeline as its
// kinTimeline data, as the studio would: a tool without the main pane uses
// this. The scene data class is registered with dzApp for the save when no
// plug-in has registered it. False with *error when the file cannot be
// written.
bool kySaveSceneWithTimeline(const QString &path, KyTimeline &timeline, QString *error = nullptr);
