#pragma once
// Block files (*.kba): a chain of channel records, each a 24-byte header
// (hash, type, key count, cursor, hash, next offset; little-endian int32)
// followed by its keys, the first record at offset 0. Types 1 and 3 hold
// 16-byte keys, type 2 36-byte keys, type 5 a packed big-endian stream.
//
// Reading checks everything before anything is used: every header, every
// key array and every stream lies inside the file, key counts and stream
// ends are not negative, each next offset lies after the record that names
// it (so a chain always ends), and the first record is a translation record
// whose last key is not before 0 ms (it gives the block's length). A file that fails any check is refused
// as a whole, with a sentence saying why.

#include "channelrecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Block files larger than this, or with more records than this, are refused
// (a full block of 800 nodes at 6000 keys is far smaller), so that no file
// can make the reader allocate without bound.
constexpr size_t kMaxBlockFileSize = 32u * 1024u * 1024u;
constexpr int kMaxBlockRecords = 16384;

enum class NodeBinding {
    AddUnknownNodes,   // unknown hashes get new (nameless) node table entries
    LeaveUnknownUnbound // unknown hashes leave the record without a target
};

// Parses a block file image into a new, unbound chain (targets null), or
// returns null and says why in *error.
ChannelRecord *parseBlockBytes(const uint8_t *data, size_t size, std::string *error);

// Reads and parses the file at path with the same checks.
ChannelRecord *readBlockFile(const std::string &path, std::string *error);

// Binds every record to the node table entry of its hash, in table order.
void bindChain(ChannelRecord *chain, NodeBinding binding);

// The file image of a chain: types 1 and 3 as 16-byte keys, type 2 as
// 36-byte keys, type 5 as its stream, others as a bare header.
std::vector<uint8_t> serializeChain(const ChannelRecord *chain);

// path, with ".kba" appended when it does not contain ".kba" anywhere.
std::string blockFilePath(const std::string &path);

// Loads the file into the slot for KyBlock::get: read, bind (adding
// entries for unknown hashes) and evaluate once at time 0. On failure the
// slot is left as it was.
bool loadBlockIntoSlot(int slot, const std::string &path, std::string *error);

// Writes the slot to blockFilePath(path) (atomically: a failed write leaves
// the file that was there and the slot untouched), then replaces the slot's
// records with the file read back (unknown hashes left unbound). Refuses an
// empty slot and a chain the reader would refuse, before writing; if the
// written file cannot be read back the slot keeps its records and the
// result is false.
bool writeBlockFile(int slot, const std::string &path, std::string *error);
