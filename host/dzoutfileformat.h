#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>

// The object file's encoding, shared by DzOutFile (writer) and DzInFile
// (reader). All numbers little-endian.
//
//   header, 32 bytes:
//     0  8  magic "TRVOBJ\r\n"   (the CR LF catches text-mode mangling)
//     8  4  format version (DzObjectFileFormat::kVersion)
//    12  4  flags, 0 (a reader refuses flags it does not know)
//    16  4  number of objects N
//    20  4  body length in bytes (everything after the header)
//    24  4  CRC-32 (IEEE) of the body
//    28  4  reserved, 0
//   body:
//     class table: N class identifiers, 16 bytes each (DzGUID::toBytes)
//     N objects, in index order, each:
//       4  object index (equal to its position)
//       4  number of sections S
//       S sections, each: 2 section id (signed), 4 payload length, payload
//   payload: a sequence of values, each a one-byte type tag and its data:
//     Int 4 (int32) | Float 4 (float32) | Double 8 (float64) | Bool 1 (0/1)
//     String 4 byte count + UTF-8 | Vec 3 x float32 | Quat 4 x float64
//     (x, y, z, w) | Pointer 2 index (int16) + 4 object index (int32, -1 =
//     null) | Bytes 4 byte count + raw bytes
namespace DzObjectFileFormat {

constexpr char kMagic[8] = { 'T', 'R', 'V', 'O', 'B', 'J', '\r', '\n' };
constexpr quint32 kVersion = 1;
constexpr int kHeaderSize = 32;
constexpr int kGuidSize = 16;
constexpr int kObjectHeaderSize = 8;
constexpr int kSectionHeaderSize = 6;

enum Tag : quint8 {
    TagInt = 1,
    TagFloat = 2,
    TagDouble = 3,
    TagBool = 4,
    TagString = 5,
    TagVec = 6,
    TagQuat = 7,
    TagPointer = 8,
    TagBytes = 9,
};

// The name of a tag for messages ("int", "string", ...; "unknown" otherwise).
const char *tagName(quint8 tag);
// "an int", "a string": a value kind with its article, for messages.
QString withArticle(const char *kind);

quint32 crc32(const char *data, std::size_t size);

} // namespace DzObjectFileFormat
