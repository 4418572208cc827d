#pragma once
// Shared helpers of the block core tests: a clean node table and engine,
// records built key by key, and byte images of block files.

#include "blockfile.h"
#include "channelstore.h"
#include "engine.h"
#include "evaluation.h"
#include "nodetable.h"

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace blocktest {

inline Fixed fx(double value)
{
    return static_cast<Fixed>(value * 65536.0);
}

inline void resetCore()
{
    registerStandardNodes();
    engineReset();
}

inline NodeEntry &entry(const char *name)
{
    return *findNodeByHash(nameHash(name));
}

struct Key3 {
    int32_t time;
    double x, y, z;
};

// An empty record of the type bound to the named node (added if missing).
inline ChannelRecord *newRecord(int32_t type, const char *name)
{
    ChannelRecord *r = new ChannelRecord;
    r->hash = r->bindHash = nameHash(name);
    r->type = type;
    r->target = findOrAddNamedNode(name);
    return r;
}

// A record of type 1 or 3.
inline ChannelRecord *vectorRecord(int32_t type, const char *name, std::initializer_list<Key3> keys)
{
    ChannelRecord *r = newRecord(type, name);
    for (const Key3 &k : keys)
        r->keys.push_back(ChannelKey{k.time, {fx(k.x), fx(k.y), fx(k.z)}});
    updateKeysSorted(*r);
    return r;
}

struct AngleKey {
    int32_t time;
    double angle, x, y, z;
};

inline ChannelRecord *angleAxisRecord(const char *name, std::initializer_list<AngleKey> keys)
{
    ChannelRecord *r = newRecord(kAngleAxisRecord, name);
    for (const AngleKey &k : keys)
        r->angleKeys.push_back(AngleAxisKey{k.time, fx(k.angle), {fx(k.x), fx(k.y), fx(k.z)}});
    updateKeysSorted(*r);
    return r;
}

inline ChannelRecord *streamRecord(const char *name, std::vector<uint8_t> stream)
{
    ChannelRecord *r = newRecord(kPackedStreamRecord, name);
    r->stream = std::move(stream);
    return r;
}

// Links records into a chain and returns its head.
inline ChannelRecord *chainOf(std::initializer_list<ChannelRecord *> records)
{
    ChannelRecord *head = nullptr;
    ChannelRecord *last = nullptr;
    for (ChannelRecord *r : records) {
        if (last)
            last->next = r;
        else
            head = r;
        last = r;
    }
    return head;
}

// A fresh slot holding the chain.
inline int slotWith(ChannelRecord *chain)
{
    const int slot = allocateSlot();
    replaceSlotRecords(slot, chain);
    return slot;
}

// Big-endian packed stream entries.
inline void fullEntry(std::vector<uint8_t> &s, int time, Fixed angle, Fixed x, Fixed y, Fixed z)
{
    s.push_back(static_cast<uint8_t>(time >> 8));
    s.push_back(static_cast<uint8_t>(time));
    for (int shift : {16, 8, 0})
        s.push_back(static_cast<uint8_t>(angle >> shift));
    for (Fixed v : {x, y, z})
        for (int shift : {16, 8, 0})
            s.push_back(static_cast<uint8_t>(v >> shift));
}

inline void deltaEntry(std::vector<uint8_t> &s, int dt, Fixed angle, int dx, int dy, int dz)
{
    s.push_back(static_cast<uint8_t>(0x80 | dt));
    for (int shift : {16, 8, 0})
        s.push_back(static_cast<uint8_t>(angle >> shift));
    for (int v : {dx, dy, dz}) {
        s.push_back(static_cast<uint8_t>(v >> 8));
        s.push_back(static_cast<uint8_t>(v));
    }
}

// A little-endian block file image written field by field.
struct Image {
    std::vector<uint8_t> bytes;

    Image &i32(int64_t v)
    {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int shift : {0, 8, 16, 24})
            bytes.push_back(static_cast<uint8_t>(u >> shift));
        return *this;
    }
    Image &header(uint32_t hash, int32_t type, int64_t count, int64_t next)
    {
        return i32(hash).i32(type).i32(count).i32(0).i32(hash).i32(next);
    }
    Image &key(int32_t time, Fixed x, Fixed y, Fixed z) { return i32(time).i32(x).i32(y).i32(z); }
    Image &zeros(size_t n)
    {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    size_t size() const { return bytes.size(); }
};

inline std::vector<uint8_t> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace blocktest
