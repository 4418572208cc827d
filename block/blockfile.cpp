#include "blockfile.h"

#include "channelstore.h"
#include "evaluation.h"
#include "fileaccess.h"
#include "nodetable.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 24;

int32_t readInt32(const uint8_t *p)
{
    const uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(v);
}

uint32_t readUInt32(const uint8_t *p)
{
    return static_cast<uint32_t>(readInt32(p));
}

void writeInt32(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 24));
}

bool fail(std::string *error, const std::string &what)
{
    if (error)
        *error = what;
    return false;
}

std::string at(size_t offset)
{
    return "record at offset " + std::to_string(offset);
}

// Checks the record at offset and, when it is sound, fills record and
// sets *extent to the number of bytes it occupies.
bool parseRecord(const uint8_t *data, size_t size, size_t offset, ChannelRecord *record,
                 size_t *extent, uint32_t *next, std::string *error)
{
    if (size - offset < kHeaderSize)
        return fail(error, "the header of the " + at(offset) + " runs past the end of the file");
    const uint8_t *h = data + offset;
    record->hash = readUInt32(h);
    record->type = readInt32(h + 4);
    const int32_t keyCount = readInt32(h + 8);
    record->bindHash = readUInt32(h + 16);
    *next = readUInt32(h + 20);
    if (*next > size)
        return fail(error, "the next offset " + std::to_string(*next) + " of the " + at(offset)
                               + " lies beyond the end of the file");

    const size_t room = size - offset - kHeaderSize;
    const uint8_t *payload = h + kHeaderSize;
    switch (record->type) {
    case kTranslationRecord:
    case kRotationRecord:
    case kAngleAxisRecord: {
        if (keyCount < 0)
            return fail(error, "the " + at(offset) + " has a negative key count");
        const uint64_t keySize = record->type == kAngleAxisRecord ? 36 : 16;
        const uint64_t bytes = static_cast<uint64_t>(keyCount) * keySize;
        if (bytes > room)
            return fail(error, "the keys of the " + at(offset) + " run past the end of the file");
        if (record->type == kAngleAxisRecord) {
            record->angleKeys.resize(static_cast<size_t>(keyCount));
            for (int32_t i = 0; i < keyCount; ++i) {
                const uint8_t *k = payload + 36 * static_cast<size_t>(i);
                AngleAxisKey &key = record->angleKeys[static_cast<size_t>(i)];
                key.time = readInt32(k);
                key.angle = readInt32(k + 4);
                key.axis[0] = readInt32(k + 8);
                key.axis[1] = readInt32(k + 12);
                key.axis[2] = readInt32(k + 16);
            }
        } else {
            record->keys.resize(static_cast<size_t>(keyCount));
            for (int32_t i = 0; i < keyCount; ++i) {
                const uint8_t *k = payload + 16 * static_cast<size_t>(i);
                ChannelKey &key = record->keys[static_cast<size_t>(i)];
                key.time = readInt32(k);
                key.v[0] = readInt32(k + 4);
                key.v[1] = readInt32(k + 8);
                key.v[2] = readInt32(k + 12);
            }
        }
        updateKeysSorted(*record);
        *extent = kHeaderSize + static_cast<size_t>(bytes);
        break;
    }
    case kPackedStreamRecord: {
        // The stream end and the decoder state (24 bytes) belong to every
        // packed record; the state is written while playing.
        if (room < kStreamEntriesOffset - kHeaderSize)
            return fail(error, "the stream header of the " + at(offset)
                                   + " runs past the end of the file");
        const int32_t streamEnd = readInt32(payload);
        if (streamEnd < 0)
            return fail(error, "the " + at(offset) + " has a negative stream end");
        if (static_cast<uint64_t>(streamEnd) > room)
            return fail(error, "the stream of the " + at(offset) + " runs past the end of the file");
        const size_t end = kHeaderSize + static_cast<size_t>(streamEnd);
        if (end > static_cast<size_t>(kStreamEntriesOffset))
            record->stream.assign(h + kStreamEntriesOffset, h + end);
        *extent = end > static_cast<size_t>(kStreamEntriesOffset) ? end : kStreamEntriesOffset;
        break;
    }
    default:
        // Not played; kept so that the chain stays as it was.
        record->otherKeyCount = keyCount;
        *extent = kHeaderSize;
        break;
    }

    if (*next != 0 && *next < offset + *extent) {
        if (*next <= offset)
            return fail(error, "the next offset " + std::to_string(*next) + " of the " + at(offset)
                                   + " points back to an earlier record or to itself");
        return fail(error, "the next offset " + std::to_string(*next) + " of the " + at(offset)
                               + " points inside that record");
    }
    return true;
}

} // namespace

ChannelRecord *parseBlockBytes(const uint8_t *data, size_t size, std::string *error)
{
    if (size == 0) {
        fail(error, "the file is empty");
        return nullptr;
    }
    if (size > kMaxBlockFileSize) {
        fail(error, "the file is larger than " + std::to_string(kMaxBlockFileSize) + " bytes");
        return nullptr;
    }
    ChannelRecord *head = nullptr;
    ChannelRecord **tail = &head;
    size_t offset = 0;
    for (int count = 0;; ++count) {
        if (count == kMaxBlockRecords) {
            fail(error, "the file holds more than " + std::to_string(kMaxBlockRecords) + " records");
            freeChain(head);
            return nullptr;
        }
        ChannelRecord *record = new ChannelRecord;
        size_t extent = 0;
        uint32_t next = 0;
        if (!parseRecord(data, size, offset, record, &extent, &next, error)) {
            delete record;
            freeChain(head);
            return nullptr;
        }
        *tail = record;
        tail = &record->next;
        if (next == 0)
            break;
        offset = next;
    }
    // A block is timed by its first record's last key: without a leading
    // translation record, or with that key before 0, it would have no
    // length (or a negative one) on a track.
    if (head->type != kTranslationRecord) {
        fail(error, "the first record is of type " + std::to_string(head->type)
                        + ", not a translation record (type 1), so the block has no length");
        freeChain(head);
        return nullptr;
    }
    if (!head->keys.empty() && head->keys.back().time < 0) {
        fail(error, "the last key of the first record lies before 0 ms ("
                        + std::to_string(head->keys.back().time) + " ms), so the block has no length");
        freeChain(head);
        return nullptr;
    }
    return head;
}

ChannelRecord *readBlockFile(const std::string &path, std::string *error)
{
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, kMaxBlockFileSize, &bytes, error))
        return nullptr;
    return parseBlockBytes(bytes.data(), bytes.size(), error);
}

void bindChain(ChannelRecord *chain, NodeBinding binding)
{
    for (ChannelRecord *r = chain; r; r = r->next) {
        r->target = findNodeByHash(r->bindHash);
        if (!r->target && binding == NodeBinding::AddUnknownNodes)
            r->target = addNode(r->bindHash, nullptr, 0);
    }
}

std::vector<uint8_t> serializeChain(const ChannelRecord *chain)
{
    std::vector<uint8_t> out;
    for (const ChannelRecord *r = chain; r; r = r->next) {
        size_t payload = 0;
        switch (r->type) {
        case kTranslationRecord:
        case kRotationRecord:
            payload = 16 * r->keys.size();
            break;
        case kAngleAxisRecord:
            payload = 36 * r->angleKeys.size();
            break;
        case kPackedStreamRecord:
            payload = (kStreamEntriesOffset - kHeaderSize) + r->stream.size();
            break;
        default:
            break;
        }
        const size_t next = r->next ? out.size() + kHeaderSize + payload : 0;
        writeInt32(out, r->hash);
        writeInt32(out, static_cast<uint32_t>(r->type));
        writeInt32(out, static_cast<uint32_t>(recordKeyCount(*r)));
        writeInt32(out, 0);
        writeInt32(out, r->hash);
        writeInt32(out, static_cast<uint32_t>(next));
        switch (r->type) {
        case kTranslationRecord:
        case kRotationRecord:
            for (const ChannelKey &k : r->keys) {
                writeInt32(out, static_cast<uint32_t>(k.time));
                for (Fixed v : k.v)
                    writeInt32(out, static_cast<uint32_t>(v));
            }
            break;
        case kAngleAxisRecord:
            for (const AngleAxisKey &k : r->angleKeys) {
                writeInt32(out, static_cast<uint32_t>(k.time));
                writeInt32(out, static_cast<uint32_t>(k.angle));
                for (Fixed v : k.axis)
                    writeInt32(out, static_cast<uint32_t>(v));
                out.insert(out.end(), 16, 0);
            }
            break;
        case kPackedStreamRecord:
            writeInt32(out, static_cast<uint32_t>(kStreamEntriesOffset - kHeaderSize + r->stream.size()));
            out.insert(out.end(), 20, 0);
            out.insert(out.end(), r->stream.begin(), r->stream.end());
            break;
        default:
            break;
        }
    }
    return out;
}

std::string blockFilePath(const std::string &path)
{
    if (path.find(".kba") != std::string::npos)
        return path;
    return path + ".kba";
}

bool loadBlockIntoSlot(int slot, const std::string &path, std::string *error)
{
    if (slot < 0 || slot >= kSlotCount)
        return fail(error, "no channel slot is free");
    ChannelRecord *chain = readBlockFile(path, error);
    if (!chain)
        return false;
    bindChain(chain, NodeBinding::AddUnknownNodes);
    // Once, so without building the chain's sampler.
    evaluateChainRecordByRecord(chain, 0);
    replaceSlotRecords(slot, chain);
    return true;
}

bool writeBlockFile(int slot, const std::string &path, std::string *error)
{
    const ChannelRecord *chain = slotRecords(slot);
    if (!chain)
        return fail(error, "the block has no motion to write");
    const std::string target = blockFilePath(path);
    const std::vector<uint8_t> bytes = serializeChain(chain);
    if (bytes.size() > kMaxBlockFileSize)
        return fail(error, "the block is larger than a block file may be");
    // A chain that the reader would refuse is not written at all.
    std::string refusal;
    ChannelRecord *check = parseBlockBytes(bytes.data(), bytes.size(), &refusal);
    if (!check)
        return fail(error, "the block could not be read back once written: " + refusal);
    freeChain(check);
    if (!replaceFileContents(target, bytes.data(), bytes.size(), error))
        return false;
    // Read back what was written, so that the slot holds exactly the file;
    // if that fails the slot keeps the records it had.
    ChannelRecord *reloaded = readBlockFile(target, &refusal);
    if (!reloaded)
        return fail(error, "the file was written but could not be read back: " + refusal);
    bindChain(reloaded, NodeBinding::LeaveUnknownUnbound);
    replaceSlotRecords(slot, reloaded);
    return true;
}
