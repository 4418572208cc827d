#pragma once
// Shared helpers of the block core tests: a clean node table and engine,
// records built key by key, saved blocks, and byte images of block files.

#include "blockfile.h"
#include "channelstore.h"
#include "engine.h"
#include "evaluation.h"
#include "kyblock.h"
#include "nodetable.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
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

// The hip's position in the slot at ms (this sample only).
inline Vec3f hipAt(int slot, int ms)
{
    clearPoseFlags();
    sampleSlot(slot, ms);
    Vec3f p;
    EXPECT_TRUE(nodeTranslation("hip", &p.x, &p.y, &p.z));
    return p;
}

// An empty record of the type bound to the named node (added if missing).
inline ChannelRecord *newRecord(int32_t type, const char *name)
{
    ChannelRecord *r = new ChannelRecord;
    r->hash = r->bindHash = nameHash(name);
    r->type = type;
    r->target = findOrAddNamedNode(name);
    return r;
}

// A record of type 1 or 3, keys given as {time, x, y, z}.
inline ChannelRecord *vectorRecord(
    int32_t type, const char *name, std::initializer_list<std::array<double, 4>> keys)
{
    ChannelRecord *r = newRecord(type, name);
    for (const auto &k : keys)
        r->keys.push_back(ChannelKey { static_cast<int32_t>(k[0]), { fx(k[1]), fx(k[2]), fx(k[3]) } });
    updateKeysSorted(*r);
    return r;
}

// A record of type 2, keys given as {time, angle, x, y, z}.
inline ChannelRecord *angleAxisRecord(const char *name, std::initializer_list<std::array<double, 5>> keys)
{
    ChannelRecord *r = newRecord(kAngleAxisRecord, name);
    for (const auto &k : keys)
        r->angleKeys.push_back(
            AngleAxisKey { static_cast<int32_t>(k[0]), fx(k[1]), { fx(k[2]), fx(k[3]), fx(k[4]) } });
    updateKeysSorted(*r);
    return r;
}

inline ChannelRecord *streamRecord(const char *name, std::vector<uint8_t> stream)
{
    ChannelRecord *r = newRecord(kPackedStreamRecord, name);
    r->stream = std::move(stream);
    return r;
}

// Links records (at least one) into a chain and returns its head.
inline ChannelRecord *chainOf(std::initializer_list<ChannelRecord *> records)
{
    ChannelRecord *const *r = records.begin();
    for (size_t i = 1; i < records.size(); ++i)
        r[i - 1]->next = r[i];
    return r[0];
}

// A fresh slot holding the chain.
inline int slotWith(ChannelRecord *chain)
{
    const int slot = allocateSlot();
    replaceSlotRecords(slot, chain);
    return slot;
}

// Big-endian packed stream entries: a full entry, and a delta entry (dt ms
// after the previous one, its vector moved by whole raw steps).
inline void bigEndian(std::vector<uint8_t> &s, int64_t v, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        s.push_back(static_cast<uint8_t>(v >> shift));
}

inline void fullEntry(std::vector<uint8_t> &s, int time, Fixed angle, Fixed x, Fixed y, Fixed z)
{
    bigEndian(s, time, 2);
    for (Fixed v : { angle, x, y, z })
        bigEndian(s, v, 3);
}

inline void deltaEntry(std::vector<uint8_t> &s, int dt, Fixed angle, int dx, int dy, int dz)
{
    bigEndian(s, 0x80 | dt, 1);
    bigEndian(s, angle, 3);
    for (int v : { dx, dy, dz })
        bigEndian(s, v, 2);
}

// A little-endian block file image written field by field.
struct Image {
    std::vector<uint8_t> bytes;

    Image &i32(int64_t v)
    {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int shift : { 0, 8, 16, 24 })
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

// A clean core for each test.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override { resetCore(); }
};

// A clean core and a temporary folder.
class FileTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    std::string path(const char *name) const { return file(QString::fromUtf8(name)).toStdString(); }
    // Saves the keys of fill as <name> through an unregistered clone, so
    // that the registry holds no block for the path yet.
    QString saved(const QString &name, const std::function<void(KyBlock &)> &fill) const
    {
        KyBlock *made = KyBlock::create();
        fill(*made);
        std::unique_ptr<KyBlock> saver(made->clone());
        saver->path = file(name);
        EXPECT_TRUE(saver->save());
        return saver->path;
    }

    QTemporaryDir m_dir;
};

} // namespace blocktest
