#include "dzguid.h"

#include <QHashFunctions>

namespace {

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

DzGUID::DzGUID(quint32 data1, quint16 data2, quint16 data3, const std::array<quint8, 8> &data4)
    : m_data1(data1)
    , m_data2(data2)
    , m_data3(data3)
    , m_data4(data4)
{
}

DzGUID DzGUID::fromString(const QString &text, bool *ok)
{
    if (ok)
        *ok = false;
    QStringView s(text);
    if (s.size() == 38) {
        if (s.front() != u'{' || s.back() != u'}')
            return DzGUID();
        s = s.mid(1, 36);
    }
    if (s.size() != 36)
        return DzGUID();

    // Collect the 32 digits, insisting on dashes exactly between the groups.
    quint8 nibbles[32];
    int n = 0;
    for (int i = 0; i < 36; ++i) {
        const bool dashPlace = (i == 8 || i == 13 || i == 18 || i == 23);
        if (dashPlace) {
            if (s[i] != u'-')
                return DzGUID();
            continue;
        }
        const int v = hexValue(s[i]);
        if (v < 0)
            return DzGUID();
        nibbles[n++] = quint8(v);
    }

    auto take = [&](int from, int count) {
        quint32 v = 0;
        for (int i = 0; i < count; ++i)
            v = (v << 4) | nibbles[from + i];
        return v;
    };
    DzGUID g;
    g.m_data1 = take(0, 8);
    g.m_data2 = quint16(take(8, 4));
    g.m_data3 = quint16(take(12, 4));
    for (int i = 0; i < 8; ++i)
        g.m_data4[i] = quint8(take(16 + 2 * i, 2));
    if (ok)
        *ok = true;
    return g;
}

DzGUID DzGUID::fromLegacyClassID(quint32 classId)
{
    DzGUID g;
    g.m_data1 = classId;
    return g;
}

std::array<quint8, 16> DzGUID::toBytes() const
{
    std::array<quint8, 16> b {};
    for (int i = 0; i < 4; ++i)
        b[i] = quint8(m_data1 >> (8 * i));
    b[4] = quint8(m_data2);
    b[5] = quint8(m_data2 >> 8);
    b[6] = quint8(m_data3);
    b[7] = quint8(m_data3 >> 8);
    for (int i = 0; i < 8; ++i)
        b[8 + i] = m_data4[i];
    return b;
}

DzGUID DzGUID::fromBytes(const quint8 *b)
{
    DzGUID g;
    g.m_data1 = quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
    g.m_data2 = quint16(b[4] | (b[5] << 8));
    g.m_data3 = quint16(b[6] | (b[7] << 8));
    for (int i = 0; i < 8; ++i)
        g.m_data4[i] = b[8 + i];
    return g;
}

QString DzGUID::toString() const
{
    auto hex
        = [](quint64 v, int width) { return QString::number(v, 16).rightJustified(width, u'0').toUpper(); };
    QString d4a = hex((quint64(m_data4[0]) << 8) | m_data4[1], 4);
    quint64 rest = 0;
    for (int i = 2; i < 8; ++i)
        rest = (rest << 8) | m_data4[i];
    return hex(m_data1, 8) + u'-' + hex(m_data2, 4) + u'-' + hex(m_data3, 4) + u'-' + d4a + u'-'
        + hex(rest, 12);
}

bool DzGUID::isNull() const
{
    return *this == DzGUID();
}

bool DzGUID::isLegacyClassID() const
{
    return m_data1 != 0 && m_data2 == 0 && m_data3 == 0 && m_data4 == std::array<quint8, 8> {};
}

quint32 DzGUID::getLegacyClassID() const
{
    return isLegacyClassID() ? m_data1 : 0;
}

size_t qHash(const DzGUID &guid, size_t seed) noexcept
{
    const auto b = guid.toBytes();
    return qHashBits(b.data(), b.size(), seed);
}
