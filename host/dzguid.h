#pragma once

#include <QMetaType>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>

// A 128-bit class identifier. Every class the host can create from a file is
// known by one: plug-in classes by the identifier their factory was given,
// host classes by identifiers of the host's own.
//
// Textual form: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hexadecimal digits, any
// case, optionally inside braces). toString() always yields upper case
// without braces, so two spellings of one identifier compare equal.
//
// Legacy class identifiers are 32-bit numbers; fromLegacyClassID(n) maps n to
// "nnnnnnnn-0000-0000-0000-000000000000", so they share the namespace.
class DzGUID {
public:
    // The null identifier (all zero).
    DzGUID() = default;
    DzGUID(quint32 data1, quint16 data2, quint16 data3, const std::array<quint8, 8> &data4);

    // Parses a textual GUID. Anything that is not exactly 32 hex digits in the
    // 8-4-4-4-12 grouping (braces optional, no other characters, no spaces)
    // gives the null identifier and *ok = false.
    static DzGUID fromString(const QString &text, bool *ok = nullptr);
    static DzGUID fromLegacyClassID(quint32 classId);

    // The 16 bytes in file order: data1 (4 bytes), data2 (2), data3 (2)
    // little-endian, then data4 as is. fromBytes reads the same layout.
    std::array<quint8, 16> toBytes() const;
    static DzGUID fromBytes(const quint8 *bytes);

    QString toString() const;
    bool isNull() const;
    // True when made by fromLegacyClassID (a non-zero number, all else zero).
    bool isLegacyClassID() const;
    // The 32-bit number of a legacy identifier; 0 for any other identifier.
    quint32 getLegacyClassID() const;

    quint32 getData1() const { return m_data1; }
    quint16 getData2() const { return m_data2; }
    quint16 getData3() const { return m_data3; }
    const std::array<quint8, 8> &getData4() const { return m_data4; }

    bool operator==(const DzGUID &o) const
    {
        return m_data1 == o.m_data1 && m_data2 == o.m_data2 && m_data3 == o.m_data3 && m_data4 == o.m_data4;
    }
    bool operator!=(const DzGUID &o) const { return !(*this == o); }
    // An arbitrary but stable total order, for sorted containers.
    bool operator<(const DzGUID &o) const { return toBytes() < o.toBytes(); }

private:
    quint32 m_data1 = 0;
    quint16 m_data2 = 0;
    quint16 m_data3 = 0;
    std::array<quint8, 8> m_data4 {};
};

size_t qHash(const DzGUID &guid, size_t seed = 0) noexcept;

template <> struct std::hash<DzGUID> {
    size_t operator()(const DzGUID &guid) const noexcept { return qHash(guid); }
};

Q_DECLARE_METATYPE(DzGUID)
