#include "dzoutfileformat.h"

#include <array>

namespace DzObjectFileFormat {

const char *tagName(quint8 tag)
{
    switch (tag) {
    case TagInt:
        return "int";
    case TagFloat:
        return "float";
    case TagDouble:
        return "double";
    case TagBool:
        return "bool";
    case TagString:
        return "string";
    case TagVec:
        return "vector";
    case TagQuat:
        return "quaternion";
    case TagPointer:
        return "pointer";
    case TagBytes:
        return "bytes";
    default:
        return "unknown";
    }
}

QString withArticle(const char *kind)
{
    const QString k = QString::fromLatin1(kind);
    const bool vowel = !k.isEmpty() && QStringLiteral("aeiou").contains(k.front());
    return (vowel ? QStringLiteral("an ") : QStringLiteral("a ")) + k;
}

namespace {

    std::array<quint32, 256> makeTable()
    {
        std::array<quint32, 256> table {};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
            table[i] = c;
        }
        return table;
    }

} // namespace

quint32 crc32(const char *data, std::size_t size)
{
    static const std::array<quint32, 256> table = makeTable();
    quint32 c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ quint8(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

} // namespace DzObjectFileFormat
