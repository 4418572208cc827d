#pragma once
// The process-wide node table: named nodes (bones) referred to by the hash
// of their name, each holding the pose that the last evaluation wrote.
//
// Channel records point at entries of this table, so entries never move:
// the table is a fixed array of kNodeTableCapacity entries. Everything here
// is used from the GUI thread only.

#include "fixedpoint.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

constexpr int kNodeTableCapacity = 800;

// nodeFlags bits.
constexpr uint32_t kNodeTranslationSet = 0x1;
constexpr uint32_t kNodeRotationSet = 0x2;
constexpr uint32_t kNodeWritten = 0x8;
constexpr uint32_t kNodeRootMarker = 0x8000;
constexpr uint32_t kNodePoseFlags = kNodeTranslationSet | kNodeRotationSet | kNodeWritten;

struct NodeEntry {
    uint32_t nodeFlags = 0;
    uint32_t hash = 0;
    Fixed pos[3] = {0, 0, 0};
    Fixed rotAngle = 0;
    Fixed rotAxis[3] = {0, 0, 0};
    // Null for entries made from a file hash that no known name matches.
    std::unique_ptr<char[]> name;
};

struct NodeTable {
    NodeEntry entries[kNodeTableCapacity];
    int count = 0;
    // Bumped whenever names or the number of entries change, so that derived
    // lookups (the left/right pairs of the mirror) know when to rebuild.
    uint32_t revision = 0;
};

NodeTable &nodeTable();

// h = 5381, then h = h × 33 + c for every byte c taken as a signed char, in
// 32-bit unsigned arithmetic.
uint32_t nameHash(const char *name);
uint32_t nameHash(const QString &name);

// The first entry (in table order) with this hash, or null.
NodeEntry *findNodeByHash(uint32_t hash);
int nodeIndexByHash(uint32_t hash);

// Appends an entry; null when the table already holds 800 entries.
NodeEntry *addNode(uint32_t hash, const char *name, uint32_t flags);

// The entry for a name, added (with that name) when the hash is not in the
// table yet; an entry that was made from a bare file hash gets the name.
// Null when the table is full.
NodeEntry *findOrAddNamedNode(const char *name);

// The standard skeleton, "kbanims_root" (the root marker) first and "hip"
// second, 54 entries in all.
const std::vector<const char *> &standardNodeNames();

// Starts the millisecond timer, then empties the table and fills it with the
// standard node list. Records bound before keep their entry positions, so
// this belongs at start-up, before blocks are loaded.
void registerStandardNodes();

// Clears bits 0, 1 and 3 (set/written) of every entry.
void clearPoseFlags();

// Writes the node's translation and returns whether this evaluation set it
// (bits 3 and 0). An unknown name gives false and writes nothing.
bool nodeTranslation(const char *name, float *x, float *y, float *z);
bool nodeTranslation(const QString &name, float *x, float *y, float *z);

// The same for the rotation (angle in degrees, axis); true only with bits 3
// and 1 set.
bool nodeRotation(const char *name, float *angle, float *ax, float *ay, float *az);
bool nodeRotation(const QString &name, float *angle, float *ax, float *ay, float *az);

// The same by table index (nodeIndexByHash), for callers that resolve a
// name once and read its pose often. False for an index out of range.
bool nodeRotationAt(int index, float *angle, float *ax, float *ay, float *az);

// Pairs (l-entry, r-entry) of table indices whose names match from the
// second character on, in the order the mirror exchanges them.
const std::vector<std::pair<int, int>> &mirrorPairs();
