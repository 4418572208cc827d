#include "dzinfile.h"

#include "dzapp.h"
#include "dzbase.h"
#include "dzfilesystem.h"
#include "dzlog.h"
#include "dzoutfileformat.h"
#include "dzquat.h"
#include "dzvec3.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QtEndian>

#include <cstring>

using namespace DzObjectFileFormat;

namespace {

template <typename T> T get(const char *p)
{
    return qFromLittleEndian<T>(p);
}

float getFloat(const char *p)
{
    const quint32 bits = get<quint32>(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double getDouble(const char *p)
{
    const quint64 bits = get<quint64>(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Fixed data size after the tag; -1 for variable (length-prefixed) values,
// -2 for unknown tags.
qint64 fixedSize(quint8 tag)
{
    switch (tag) {
    case TagInt:
    case TagFloat:
        return 4;
    case TagDouble:
        return 8;
    case TagBool:
        return 1;
    case TagVec:
        return 12;
    case TagQuat:
        return 32;
    case TagPointer:
        return 6;
    case TagString:
    case TagBytes:
        return -1;
    default:
        return -2;
    }
}

} // namespace

DzInFile::DzInFile() = default;

DzInFile::~DzInFile()
{
    clearObjects();
}

void DzInFile::clearObjects()
{
    // An owned object may own another owned one; delete each only once.
    QList<QPointer<DzBase>> owned;
    for (const Object &o : std::as_const(m_objects)) {
        if (o.owned && o.object)
            owned.append(o.object);
    }
    m_objects.clear();
    for (const QPointer<DzBase> &p : std::as_const(owned))
        delete p.data();
}

bool DzInFile::open(const QString &path)
{
    const QString name = dzDisplayName(QFileInfo(path).fileName());
    m_name = name;
    QByteArray data;
    QString why;
    if (!dzReadWholeFile(path, kMaxFileSize, &data, &why)) {
        m_valid = false;
        clearObjects();
        return refuse(why, -1);
    }
    return setData(data, name);
}

bool DzInFile::setData(const QByteArray &data, const QString &name)
{
    clearObjects();
    m_data = data;
    m_name = name.isEmpty() ? QStringLiteral("object file") : name;
    m_error.clear();
    m_errorOffset = -1;
    m_warnings.clear();
    m_curObject = -1;
    m_pos = m_end = 0;
    m_valid = parse();
    if (!m_valid) {
        m_objects.clear();
        m_data.clear();
    }
    return m_valid;
}

bool DzInFile::refuse(const QString &message, qint64 offset)
{
    m_errorOffset = offset;
    m_error = offset >= 0 ? QStringLiteral("%1: %2 (at byte offset %3)").arg(m_name, message).arg(offset)
                          : QStringLiteral("%1: %2").arg(m_name, message);
    return false;
}

bool DzInFile::parse()
{
    const char *d = m_data.constData();
    const qint64 size = m_data.size();
    if (size < kHeaderSize) {
        if (size >= qint64(sizeof kMagic) && std::memcmp(d, kMagic, sizeof kMagic) != 0)
            return refuse(QStringLiteral("not an object file (the magic tag is missing)"), 0);
        return refuse(QStringLiteral("the file is truncated: %1 bytes, shorter than the %2-byte header")
                          .arg(size)
                          .arg(kHeaderSize),
            size);
    }
    if (std::memcmp(d, kMagic, sizeof kMagic) != 0)
        return refuse(QStringLiteral("not an object file (the magic tag is missing)"), 0);
    m_version = get<quint32>(d + 8);
    if (m_version != kVersion)
        return refuse(QStringLiteral("unsupported object file version %1 (this program reads version %2)")
                          .arg(m_version)
                          .arg(kVersion),
            8);
    if (get<quint32>(d + 12) != 0)
        return refuse(
            QStringLiteral("unknown flags 0x%1 in the header").arg(get<quint32>(d + 12), 0, 16), 12);
    const qint64 count = get<quint32>(d + 16);
    const qint64 bodyLength = get<quint32>(d + 20);
    const quint32 storedCrc = get<quint32>(d + 24);
    const qint64 present = size - kHeaderSize;
    if (present < bodyLength)
        return refuse(
            QStringLiteral("the file is truncated: the header announces %1 bytes of objects but only "
                           "%2 follow")
                .arg(bodyLength)
                .arg(present),
            size);
    if (present > bodyLength)
        return refuse(QStringLiteral("%1 unexpected bytes follow the last object").arg(present - bodyLength),
            kHeaderSize + bodyLength);
    const quint32 crc = crc32(d + kHeaderSize, std::size_t(bodyLength));
    if (crc != storedCrc)
        return refuse(QStringLiteral("the file is corrupt: checksum 0x%1 does not match the stored 0x%2")
                          .arg(crc, 8, 16, QLatin1Char('0'))
                          .arg(storedCrc, 8, 16, QLatin1Char('0')),
            24);

    // Every count is checked against the bytes that remain before anything
    // is allocated for it.
    const qint64 minObjectBytes = kGuidSize + kObjectHeaderSize;
    if (count > bodyLength / minObjectBytes)
        return refuse(QStringLiteral("the header announces %1 objects, more than %2 bytes can hold")
                          .arg(count)
                          .arg(bodyLength),
            16);
    m_objects.reserve(int(count));
    qint64 pos = kHeaderSize;
    for (qint64 i = 0; i < count; ++i) {
        Object o;
        o.classId = DzGUID::fromBytes(reinterpret_cast<const quint8 *>(d + pos));
        if (o.classId.isNull())
            return refuse(QStringLiteral("object %1 has a null class identifier").arg(i), pos);
        m_objects.append(o);
        pos += kGuidSize;
    }
    for (qint64 i = 0; i < count; ++i) {
        if (size - pos < kObjectHeaderSize)
            return refuse(QStringLiteral("the file is truncated inside the header of object %1").arg(i), pos);
        const qint64 index = get<quint32>(d + pos);
        if (index != i)
            return refuse(
                QStringLiteral("object %1 is stored where object %2 belongs").arg(index).arg(i), pos);
        const qint64 numSections = get<quint32>(d + pos + 4);
        pos += kObjectHeaderSize;
        if (numSections > (size - pos) / kSectionHeaderSize)
            return refuse(
                QStringLiteral("object %1 announces %2 sections, more than the remaining %3 bytes can "
                               "hold")
                    .arg(i)
                    .arg(numSections)
                    .arg(size - pos),
                pos - 4);
        QList<Section> &sections = m_objects[int(i)].sections;
        sections.reserve(int(numSections));
        for (qint64 s = 0; s < numSections; ++s) {
            if (size - pos < kSectionHeaderSize)
                return refuse(
                    QStringLiteral("the file is truncated inside a section header of object %1").arg(i), pos);
            const short id = get<qint16>(d + pos);
            const qint64 length = get<quint32>(d + pos + 2);
            if (length > size - pos - kSectionHeaderSize)
                return refuse(QStringLiteral("section %1 of object %2 announces %3 bytes but only %4 remain")
                                  .arg(id)
                                  .arg(i)
                                  .arg(length)
                                  .arg(size - pos - kSectionHeaderSize),
                    pos + 2);
            const Section section { id, pos + kSectionHeaderSize, length };
            if (!validateValues(int(i), section))
                return false;
            sections.append(section);
            pos += kSectionHeaderSize + length;
        }
    }
    if (pos != size)
        return refuse(
            QStringLiteral("%1 bytes after the last object belong to no section").arg(size - pos), pos);
    return true;
}

bool DzInFile::validateValues(int objectIndex, const Section &section)
{
    const char *d = m_data.constData();
    qint64 pos = section.offset;
    const qint64 end = section.offset + section.length;
    while (pos < end) {
        const quint8 tag = quint8(d[pos]);
        const qint64 fixed = fixedSize(tag);
        const QString where = QStringLiteral("section %1 of object %2").arg(section.id).arg(objectIndex);
        if (fixed == -2)
            return refuse(QStringLiteral("unknown value type %1 in %2").arg(tag).arg(where), pos);
        qint64 dataSize = fixed;
        if (fixed == -1) {
            if (end - pos - 1 < 4)
                return refuse(QStringLiteral("the length of %1 runs past the end of %2")
                                  .arg(withArticle(tagName(tag)), where),
                    pos);
            dataSize = 4 + qint64(get<quint32>(d + pos + 1));
        }
        if (dataSize > end - pos - 1)
            return refuse(QStringLiteral("%1 of %2 bytes runs past the end of %3")
                              .arg(withArticle(tagName(tag)))
                              .arg(dataSize)
                              .arg(where),
                pos);
        if (tag == TagBool && quint8(d[pos + 1]) > 1)
            return refuse(QStringLiteral("a bool holds %1 in %2").arg(quint8(d[pos + 1])).arg(where), pos);
        if (tag == TagPointer) {
            const qint32 target = get<qint32>(d + pos + 3);
            if (target < -1 || target >= m_objects.size())
                return refuse(QStringLiteral("a reference to object %1 in %2, but the file has %3 objects")
                                  .arg(target)
                                  .arg(where)
                                  .arg(m_objects.size()),
                    pos);
        }
        pos += 1 + dataSize;
    }
    return true;
}

DzGUID DzInFile::getObjectClassID(int index) const
{
    return (index >= 0 && index < m_objects.size()) ? m_objects.at(index).classId : DzGUID();
}

int DzInFile::getNumSections(int index) const
{
    return (index >= 0 && index < m_objects.size()) ? m_objects.at(index).sections.size() : 0;
}

short DzInFile::getSectionID(int index, int section) const
{
    if (index < 0 || index >= m_objects.size())
        return 0;
    const QList<Section> &sections = m_objects.at(index).sections;
    return (section >= 0 && section < sections.size()) ? sections.at(section).id : short(0);
}

DzBase *DzInFile::getObject(int index) const
{
    return (index >= 0 && index < m_objects.size()) ? m_objects.at(index).object.data() : nullptr;
}

void DzInFile::setObject(int index, DzBase *object)
{
    if (index < 0 || index >= m_objects.size())
        return;
    Object &o = m_objects[index];
    if (o.owned && o.object != object)
        delete o.object.data();
    o.object = object;
    o.owned = false;
}

QString DzInFile::describe(int objectIndex) const
{
    const DzBase *object = getObject(objectIndex);
    const QString cls = object ? QString::fromLatin1(object->metaObject()->className())
                               : getObjectClassID(objectIndex).toString();
    return QStringLiteral("%1 (object %2)").arg(cls).arg(objectIndex);
}

DzBase *DzInFile::createObject(int index)
{
    if (index < 0 || index >= m_objects.size())
        return nullptr;
    Object &o = m_objects[index];
    if (o.object)
        return o.object.data();
    QObject *made = dzApp ? dzApp->createInstance(o.classId) : nullptr;
    if (!made) {
        const QString note
            = QStringLiteral("%1: object %2 was skipped: no factory is registered for its class %3")
                  .arg(m_name)
                  .arg(index)
                  .arg(o.classId.toString());
        m_warnings.append(note);
        dzWarning(note);
        return nullptr;
    }
    auto *base = qobject_cast<DzBase *>(made);
    if (!base) {
        const QString note = QStringLiteral("%1: object %2 was skipped: its class %3 is not a DzBase")
                                 .arg(m_name)
                                 .arg(index)
                                 .arg(QString::fromLatin1(made->metaObject()->className()));
        delete made;
        m_warnings.append(note);
        dzWarning(note);
        return nullptr;
    }
    o.object = base;
    o.owned = true;
    return base;
}

int DzInFile::createObjects()
{
    int made = 0;
    for (int i = 0; i < m_objects.size(); ++i) {
        if (!m_objects.at(i).object && createObject(i))
            ++made;
    }
    return made;
}

DzBase *DzInFile::takeObject(int index)
{
    if (index < 0 || index >= m_objects.size())
        return nullptr;
    m_objects[index].owned = false;
    return m_objects.at(index).object.data();
}

bool DzInFile::ownsObject(int index) const
{
    return index >= 0 && index < m_objects.size() && m_objects.at(index).owned;
}

void DzInFile::loadObject(int index)
{
    DzBase *object = getObject(index);
    if (!object)
        return;
    const int numSections = m_objects.at(index).sections.size();
    const QPointer<DzBase> guard(object);
    for (int s = 0; s < numSections && guard; ++s) {
        openSection(index, s);
        object->loadSection(this, m_curSectionId);
    }
    m_curObject = -1;
    m_pos = m_end = 0;
}

void DzInFile::loadObjects()
{
    for (int i = 0; i < m_objects.size(); ++i)
        loadObject(i);
}

void DzInFile::postLoadObjects()
{
    for (int i = 0; i < m_objects.size(); ++i) {
        if (DzBase *object = m_objects.at(i).object.data())
            object->postLoad();
    }
}

bool DzInFile::openSection(int index, int section)
{
    if (index < 0 || index >= m_objects.size())
        return false;
    const QList<Section> &sections = m_objects.at(index).sections;
    if (section < 0 || section >= sections.size())
        return false;
    m_curObject = index;
    m_sectionStopped = false;
    m_curSectionId = sections.at(section).id;
    m_pos = sections.at(section).offset;
    m_end = m_pos + sections.at(section).length;
    return true;
}

bool DzInFile::atSectionEnd() const
{
    return m_pos >= m_end;
}

quint8 DzInFile::peekType() const
{
    return atSectionEnd() ? 0 : quint8(m_data.at(m_pos));
}

void DzInFile::readProblem(const QString &message)
{
    m_sectionStopped = true;
    const QString note
        = QStringLiteral("%1: %2 %3 in section %4 (at byte offset %5); the rest of the section "
                         "was skipped")
              .arg(m_name, describe(m_curObject), message)
              .arg(m_curSectionId)
              .arg(m_pos);
    m_warnings.append(note);
    dzWarning(note);
    m_pos = m_end;
}

const char *DzInFile::takeValue(quint8 tag, qint64 size, const char *what)
{
    // After one problem the section is stopped: later reads get defaults
    // without piling up warnings about the same fault.
    if (m_curObject < 0 || m_sectionStopped)
        return nullptr;
    if (atSectionEnd()) {
        readProblem(QStringLiteral("read %1 past the end").arg(withArticle(what)));
        return nullptr;
    }
    const quint8 found = peekType();
    if (found != tag) {
        readProblem(
            QStringLiteral("read %1 where %2 is stored").arg(withArticle(what), withArticle(tagName(found))));
        return nullptr;
    }
    // The structure was validated, but never trust a length twice.
    if (size > m_end - m_pos - 1) {
        readProblem(QStringLiteral("read %1 that runs past the end").arg(withArticle(what)));
        return nullptr;
    }
    const char *p = m_data.constData() + m_pos + 1;
    m_pos += 1 + size;
    return p;
}

int DzInFile::readInt()
{
    const char *p = takeValue(TagInt, 4, "int");
    return p ? get<qint32>(p) : 0;
}

float DzInFile::readFloat()
{
    const char *p = takeValue(TagFloat, 4, "float");
    return p ? getFloat(p) : 0.0f;
}

double DzInFile::readDouble()
{
    const char *p = takeValue(TagDouble, 8, "double");
    return p ? getDouble(p) : 0.0;
}

int DzInFile::readDoubles(double *values, int count)
{
    int n = 0;
    for (; n < count; ++n) {
        const char *p = takeValue(TagDouble, 8, "double");
        if (!p)
            break;
        if (values)
            values[n] = getDouble(p);
    }
    return n;
}

bool DzInFile::readBool()
{
    const char *p = takeValue(TagBool, 1, "bool");
    return p && *p != 0;
}

QString DzInFile::readString()
{
    if (peekType() == TagString && m_end - m_pos >= 5) {
        const qint64 length = get<quint32>(m_data.constData() + m_pos + 1);
        const char *p = takeValue(TagString, 4 + length, "string");
        return p ? QString::fromUtf8(p + 4, length) : QString();
    }
    takeValue(TagString, 4, "string");
    return QString();
}

QByteArray DzInFile::readBytes()
{
    if (peekType() == TagBytes && m_end - m_pos >= 5) {
        const qint64 length = get<quint32>(m_data.constData() + m_pos + 1);
        const char *p = takeValue(TagBytes, 4 + length, "byte array");
        return p ? QByteArray(p + 4, length) : QByteArray();
    }
    takeValue(TagBytes, 4, "byte array");
    return QByteArray();
}

DzVec3 DzInFile::readVec()
{
    const char *p = takeValue(TagVec, 12, "vector");
    return p ? DzVec3(getFloat(p), getFloat(p + 4), getFloat(p + 8)) : DzVec3();
}

DzQuat DzInFile::readQuat()
{
    const char *p = takeValue(TagQuat, 32, "quaternion");
    return p ? DzQuat(getDouble(p), getDouble(p + 8), getDouble(p + 16), getDouble(p + 24)) : DzQuat();
}

bool DzInFile::readReference(short *index, int *objectIndex)
{
    if (peekType() != TagPointer)
        return false;
    const char *p = takeValue(TagPointer, 6, "pointer");
    if (!p)
        return false;
    const qint32 target = get<qint32>(p + 2);
    if (index)
        *index = get<qint16>(p);
    if (objectIndex)
        *objectIndex = (target >= 0 && target < m_objects.size()) ? target : -1;
    return true;
}

int DzInFile::readPointer(short *index)
{
    short id = 0;
    int target = -1;
    if (!readReference(&id, &target))
        return 1;
    if (index)
        *index = id;
    if (target < 0)
        return 0;
    DzBase *reader = getObject(m_curObject);
    DzBase *object = getObject(target);
    if (!object) {
        const QString note
            = QStringLiteral("%1: a reference from %2 to object %3 (class %4, not loaded) was dropped")
                  .arg(m_name, describe(m_curObject))
                  .arg(target)
                  .arg(getObjectClassID(target).toString());
        m_warnings.append(note);
        dzWarning(note);
        return 0;
    }
    if (reader) {
        // Whoever receives an object the file made owns it from now on;
        // an object referring to itself cannot own itself.
        if (target != m_curObject)
            m_objects[target].owned = false;
        reader->setPointer(this, m_curSectionId, id, object);
    }
    return 0;
}
