// Block files: the exact byte layout (golden file), round trips, the
// reload after writing, atomic replacement, and every refused file shape.
#include "blocktestsupport.h"
#include "fileaccess.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace blocktest;

namespace {

const std::string kGoldenDir = std::string(TRELVO_TEST_DATA_DIR) + "/block/";

class BlockFile : public FileTest {
protected:
    bool exists(const char *name) const { return QFile::exists(QString::fromStdString(path(name))); }

    // The refusal of an image, checked the same way from memory and from a
    // file: empty when the image is accepted.
    std::string refusal(const Image &image)
    {
        std::string fromMemory, fromFile;
        ChannelRecord *chain = parseBlockBytes(image.bytes.data(), image.bytes.size(), &fromMemory);
        const bool parsed = chain != nullptr;
        freeChain(chain);
        writeBytes(path("refused.kba"), image.bytes);
        chain = readBlockFile(path("refused.kba"), &fromFile);
        EXPECT_EQ(chain != nullptr, parsed);
        freeChain(chain);
        EXPECT_EQ(fromMemory, fromFile);
        return parsed ? std::string() : fromMemory;
    }
};

TEST_F(BlockFile, WritingGivesTheGoldenBytesAndReloadsTheSlotFromTheFileNamedKba)
{
    const int golden = allocateSlot();
    addTranslationKey(golden, "hip", 0, 0, 99.5f, 0);
    addTranslationKey(golden, "hip", 500, 2.5f, 99.75f, 10);
    addTranslationKey(golden, "hip", 1000, 5, 100, 20);
    addRotationKey(golden, "abdomen", 0, 0, 0, 1, 0);
    addRotationKey(golden, "abdomen", 1000, 45, 1, 0, 0);
    ASSERT_TRUE(writeBlockFile(golden, path("both.kba"), nullptr));
    EXPECT_EQ(readBytes(path("both.kba")), readBytes(kGoldenDir + "translation_rotation.kba"));

    const int slot = allocateSlot();
    addTranslationKey(slot, "hip", 0, 1, 2, 3);
    addTranslationKey(slot, "hip", 40, 4, 5, 6);
    addRotationKey(slot, "lHand", 0, 30, 0, 0, 1);
    const ChannelRecord *before = slotRecords(slot);
    sampleSlot(slot, 20);
    ASSERT_TRUE(writeBlockFile(slot, path("reload"), nullptr));
    // New records, bound to the nodes.
    const ChannelRecord *after = slotRecords(slot);
    ASSERT_TRUE(after && after != before && after->next);
    EXPECT_EQ(std::tuple(after->target, after->next->target, after->next->keys[0].v[2]),
        std::tuple(&entry("hip"), &entry("lHand"), fx(30)));
    // .kba is appended only when the path lacks it; case matters.
    EXPECT_TRUE(exists("reload.kba") && !exists("reload"));
    ASSERT_TRUE(writeBlockFile(slot, path("named.kba.old"), nullptr));
    EXPECT_TRUE(exists("named.kba.old"));
    EXPECT_EQ(blockFilePath("a.KBA"), "a.KBA.kba");
    // An empty slot is not written.
    std::string error;
    EXPECT_FALSE(writeBlockFile(allocateSlot(), path("empty.kba"), &error));
    EXPECT_FALSE(exists("empty.kba"));
}

TEST_F(BlockFile, OtherRecordTypesKeepTheirLayoutAndUnknownNodesBindOnRequest)
{
    std::vector<uint8_t> stream;
    fullEntry(stream, 0, fx(10), 0, 0x10000, 0);
    deltaEntry(stream, 7, fx(12), 5, -5, 0);
    // A record of a type and a node nobody knows.
    ChannelRecord *unknown = vectorRecord(kRotationRecord, "neck", {});
    unknown->type = 9;
    unknown->otherKeyCount = 4;
    unknown->hash = unknown->bindHash = 0xABCDEF01u;
    ChannelRecord *chain = chainOf({ vectorRecord(kTranslationRecord, "hip", { { 0, 1, 2, 3 } }),
        angleAxisRecord("chest", { { 0, 10, 0, 1, 0 }, { 50, 20, 0, 1, 0 } }), streamRecord("head", stream),
        unknown });
    const std::vector<uint8_t> bytes = serializeChain(chain);
    EXPECT_EQ(bytes.size(), 24 + 16 + 24 + 72 + 48 + 24 + 24u);
    std::string error;
    ChannelRecord *back = parseBlockBytes(bytes.data(), bytes.size(), &error);
    ASSERT_NE(back, nullptr) << error;
    EXPECT_EQ(serializeChain(back), bytes);
    const ChannelRecord *angles = back->next;
    EXPECT_TRUE(angles->angleKeys.size() == 2 && angles->angleKeys[1].angle == fx(20));
    EXPECT_EQ(angles->next->stream, stream);
    ChannelRecord *other = angles->next->next;
    EXPECT_EQ(std::tuple(other->type, recordKeyCount(*other)), std::tuple(9, 4));
    // Binding adds a node for the unknown hash only when asked to.
    bindChain(back, NodeBinding::LeaveUnknownUnbound);
    EXPECT_TRUE(back->target == &entry("hip") && other->target == nullptr);
    const int count = nodeTable().count;
    bindChain(back, NodeBinding::AddUnknownNodes);
    ASSERT_NE(other->target, nullptr);
    EXPECT_EQ(std::tuple(nodeTable().count, other->target->hash), std::tuple(count + 1, 0xABCDEF01u));
    freeChain(back);
    freeChain(chain);
}

TEST_F(BlockFile, FailedWritesKeepTheExistingFileAndTheSlot)
{
    const std::vector<uint8_t> original = readBytes(kGoldenDir + "two_keys.kba");
    writeBytes(path("keep.kba"), original);
    const int slot = allocateSlot();
    for (int t = 0; t < 100; ++t)
        addTranslationKey(slot, "hip", t * 10, static_cast<float>(t), 0, 0);
    const ChannelRecord *records = slotRecords(slot);

    // A file size limit makes the write fail part way, as a full disk would.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = writeBlockFile(slot, path("keep.kba"), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(!written && !error.empty());
    EXPECT_EQ(readBytes(path("keep.kba")), original);
    EXPECT_EQ(slotRecords(slot), records);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 1); // no temporary left behind
    EXPECT_FALSE(writeBlockFile(slot, path("no/such/folder/x.kba"), &error));
    EXPECT_EQ(slotRecords(slot), records);

    // More records than a file may hold: it would be refused on reading.
    ChannelRecord *last = slotRecords(slot);
    for (int i = 0; i < kMaxBlockRecords; ++i)
        last = last->next = vectorRecord(kRotationRecord, "neck", {});
    error.clear();
    EXPECT_TRUE(!writeBlockFile(slot, path("keep.kba"), &error) && !error.empty());
    EXPECT_EQ(slotRecords(slot), records);
    EXPECT_EQ(readBytes(path("keep.kba")), original);
}

TEST_F(BlockFile, RefusedAndAcceptedShapesMissingFilesAndOversizedFiles)
{
    const uint32_t hip = nameHash("hip");
    Image many;
    for (int i = 0; i < kMaxBlockRecords; ++i)
        many.header(hip, 7, 0, 24 * (i + 1));
    many.header(hip, 7, 0, 0);
    const struct {
        const char *what;
        Image image;
        const char *reason; // empty: accepted
    } cases[] = {
        { "empty", Image(), "the file is empty" },
        { "short", Image().zeros(10), "header" },
        { "next offset = size + 1", Image().header(hip, 1, 1, 41).key(0, 0, 0, 0), "beyond the end" },
        { "keys past the end", Image().header(hip, 1, 3, 0).key(0, 0, 0, 0).key(10, 0, 0, 0), "keys" },
        { "negative count", Image().header(hip, 3, -1, 0).key(0, 0, 0, 0), "negative key count" },
        // 0x10000001 keys of 16 bytes are 0x100000010 bytes: 16 in 32 bits.
        { "16-byte count wraps", Image().header(hip, 1, 0x10000001, 0).key(0, 0, 0, 0), "keys" },
        // 119304648 keys of 36 bytes wrap 32 bits to 32 bytes.
        { "36-byte count wraps", Image().header(hip, 2, 119304648, 0).zeros(36), "keys" },
        { "negative stream end", Image().header(hip, 1, 0, 24).header(hip, 5, 0, 0).i32(-8).zeros(40),
            "negative stream end" },
        { "stream past the end",
            Image().header(hip, 1, 0, 24).header(hip, 5, 0, 0).i32(24 + 14 + 1).zeros(20 + 14), "stream" },
        { "no decoder state", Image().header(hip, 1, 0, 24).header(hip, 5, 0, 0).i32(4), "stream header" },
        { "names itself", Image().header(hip, 1, 1, 40).key(0, 0, 0, 0).header(hip, 3, 0, 40),
            "points back" },
        { "loops back", Image().header(hip, 1, 0, 24).header(hip, 3, 0, 48).header(hip, 3, 0, 24),
            "points back" },
        { "next inside its keys", Image().header(hip, 1, 2, 32).key(0, 0, 0, 0).key(10, 0, 0, 0), "inside" },
        { "too many records", many, "more than" },
        // Without a leading translation record a block has no length.
        { "type 5 first", Image().header(hip, 5, 0, 0).zeros(24), "first record" },
        { "length below 0", Image().header(hip, 1, 2, 0).key(-500, 0, 0, 0).key(-100, 0, 0, 0),
            "before 0 ms" },
        { "no keys", Image().header(hip, 1, 0, 0), "" },
        { "the third points back over the second to the first",
            Image().header(hip, 1, 0, 24).header(hip, 3, 0, 48).header(hip, 3, 0, 0), "" },
        { "next offset past the record's end", Image().header(hip, 1, 0, 30).zeros(6).header(hip, 3, 0, 0),
            "" },
        { "stream ending before its first entry",
            Image().header(hip, 1, 0, 24).header(hip, 5, 0, 0).i32(0).zeros(20), "" },
    };
    for (const auto &c : cases) {
        const std::string got = refusal(c.image);
        EXPECT_EQ(got.empty(), !*c.reason) << c.what << ": " << got;
        EXPECT_NE(got.find(c.reason), std::string::npos) << c.what;
    }

    // Missing files, folders and oversized files are refused without being read.
    std::string error;
    EXPECT_EQ(readBlockFile(path("absent.kba"), &error), nullptr);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_EQ(readBlockFile(m_dir.path().toStdString(), &error), nullptr);
    EXPECT_EQ(error, "not a regular file");

    writeBytes(path("huge.kba"), { 1 });
    ASSERT_EQ(truncate(path("huge.kba").c_str(), static_cast<off_t>(kMaxBlockFileSize) + 1), 0);
    EXPECT_EQ(readBlockFile(path("huge.kba"), &error), nullptr);
    EXPECT_NE(error.find("larger"), std::string::npos);
}

} // namespace
