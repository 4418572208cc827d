#include "nodetable.h"

#include "engine.h"

#include <cstring>

namespace {

NodeTable g_table;

std::vector<std::pair<int, int>> g_mirrorPairs;
uint32_t g_mirrorRevision = UINT32_MAX;

std::unique_ptr<char[]> copyName(const char *name)
{
    const size_t length = std::strlen(name);
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), name, length + 1);
    return copy;
}

} // namespace

NodeTable &nodeTable()
{
    return g_table;
}

uint32_t nameHash(const char *name)
{
    uint32_t h = 5381;
    for (const char *p = name; *p; ++p)
        h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    return h;
}

uint32_t nameHash(const QString &name)
{
    return nameHash(name.toUtf8().constData());
}

int nodeIndexByHash(uint32_t hash)
{
    for (int i = 0; i < g_table.count; ++i) {
        if (g_table.entries[i].hash == hash)
            return i;
    }
    return -1;
}

NodeEntry *findNodeByHash(uint32_t hash)
{
    const int index = nodeIndexByHash(hash);
    return index < 0 ? nullptr : &g_table.entries[index];
}

NodeEntry *addNode(uint32_t hash, const char *name, uint32_t flags)
{
    if (g_table.count >= kNodeTableCapacity)
        return nullptr;
    NodeEntry &entry = g_table.entries[g_table.count++];
    entry.nodeFlags = flags;
    entry.hash = hash;
    for (int i = 0; i < 3; ++i) {
        entry.pos[i] = 0;
        entry.rotAxis[i] = 0;
    }
    entry.rotAngle = 0;
    entry.name = name ? copyName(name) : nullptr;
    ++g_table.revision;
    return &entry;
}

NodeEntry *findOrAddNamedNode(const char *name)
{
    const uint32_t hash = nameHash(name);
    NodeEntry *entry = findNodeByHash(hash);
    if (!entry)
        return addNode(hash, name, 0);
    if (!entry->name) {
        entry->name = copyName(name);
        ++g_table.revision;
    }
    return entry;
}

const std::vector<const char *> &standardNodeNames()
{
    static const std::vector<const char *> names = {
        "kbanims_root", "hip", "abdomen", "chest", "neck", "head",
        "rCollar", "rShldr", "rForeArm", "rHand",
        "lCollar", "lShldr", "lForeArm", "lHand",
        "rButtock", "rThigh", "rShin", "rFoot", "rToe",
        "lButtock", "lThigh", "lShin", "lFoot", "lToe",
        "rThumb1", "rThumb2", "rThumb3", "rIndex1", "rIndex2", "rIndex3",
        "rMid1", "rMid2", "rMid3", "rRing1", "rRing2", "rRing3",
        "rPinky1", "rPinky2", "rPinky3",
        "lThumb1", "lThumb2", "lThumb3", "lIndex1", "lIndex2", "lIndex3",
        "lMid1", "lMid2", "lMid3", "lRing1", "lRing2", "lRing3",
        "lPinky1", "lPinky2", "lPinky3"};
    return names;
}

void registerStandardNodes()
{
    startTimer();
    for (int i = 0; i < g_table.count; ++i)
        g_table.entries[i] = NodeEntry();
    g_table.count = 0;
    ++g_table.revision;
    bool first = true;
    for (const char *name : standardNodeNames()) {
        addNode(nameHash(name), name, first ? kNodeRootMarker : 0);
        first = false;
    }
}

void clearPoseFlags()
{
    for (int i = 0; i < g_table.count; ++i)
        g_table.entries[i].nodeFlags &= ~kNodePoseFlags;
}

bool nodeTranslation(const char *name, float *x, float *y, float *z)
{
    const NodeEntry *entry = findNodeByHash(nameHash(name));
    if (!entry)
        return false;
    *x = toFloat(entry->pos[0]);
    *y = toFloat(entry->pos[1]);
    *z = toFloat(entry->pos[2]);
    const uint32_t need = kNodeWritten | kNodeTranslationSet;
    return (entry->nodeFlags & need) == need;
}

bool nodeTranslation(const QString &name, float *x, float *y, float *z)
{
    return nodeTranslation(name.toUtf8().constData(), x, y, z);
}

bool nodeRotation(const char *name, float *angle, float *ax, float *ay, float *az)
{
    return nodeRotationAt(nodeIndexByHash(nameHash(name)), angle, ax, ay, az);
}

bool nodeRotationAt(int index, float *angle, float *ax, float *ay, float *az)
{
    if (index < 0 || index >= g_table.count)
        return false;
    const NodeEntry *entry = &g_table.entries[index];
    *angle = toFloat(entry->rotAngle);
    *ax = toFloat(entry->rotAxis[0]);
    *ay = toFloat(entry->rotAxis[1]);
    *az = toFloat(entry->rotAxis[2]);
    const uint32_t need = kNodeWritten | kNodeRotationSet;
    return (entry->nodeFlags & need) == need;
}

bool nodeRotation(const QString &name, float *angle, float *ax, float *ay, float *az)
{
    return nodeRotation(name.toUtf8().constData(), angle, ax, ay, az);
}

const std::vector<std::pair<int, int>> &mirrorPairs()
{
    if (g_mirrorRevision != g_table.revision) {
        g_mirrorPairs.clear();
        for (int i = 0; i < g_table.count; ++i) {
            const char *left = g_table.entries[i].name.get();
            if (!left || left[0] != 'l')
                continue;
            for (int j = 0; j < g_table.count; ++j) {
                const char *right = g_table.entries[j].name.get();
                if (right && right[0] == 'r' && std::strcmp(left + 1, right + 1) == 0)
                    g_mirrorPairs.emplace_back(i, j);
            }
        }
        g_mirrorRevision = g_table.revision;
    }
    return g_mirrorPairs;
}
