#include "dzoutfile.h"

#include "dzapp.h"
#include "dzbase.h"
#include "dzclassfactory.h"
#include "dzfilesystem.h"
#include "dzlog.h"
#include "dzoutfileformat.h"
#include "dzquat.h"
#include "dzvec3.h"

#include <QtEndian>

#include <cstring>
#include <limits>

using namespace DzObjectFileFormat;

namespace {

template <typename T> void put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void putFloat(QByteArray &out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put<quint32>(out, bits);
}

void putDouble(QByteArray &out, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put<quint64>(out, bits);
}

QString className(const QObject *object)
{
    return QString::fromLatin1(object->metaObject()->className());
}

} // namespace

DzOutFile::DzOutFile() = default;
DzOutFile::~DzOutFile() = default;

int DzOutFile::addObject(DzBase *object, const DzGUID &classId, Writer writer)
{
    if (!object || classId.isNull())
        return -1;
    const auto it = m_index.constFind(object);
    if (it != m_index.constEnd())
        return *it;
    m_objects.append(Object { object, classId, std::move(writer), QByteArray(), 0, false });
    const int index = m_objects.size() - 1;
    m_index.insert(object, index);
    return index;
}

int DzOutFile::addObject(DzBase *object)
{
    if (!object)
        return -1;
    const int known = findObject(object);
    if (known >= 0)
        return known;
    const DzClassFactory *factory = dzApp ? dzApp->findClassFactory(className(object)) : nullptr;
    return factory ? addObject(object, factory->getClassID()) : -1;
}

int DzOutFile::findObject(const DzBase *object) const
{
    return m_index.value(object, -1);
}

DzBase *DzOutFile::getObject(int index) const
{
    return (index >= 0 && index < m_objects.size()) ? m_objects.at(index).object : nullptr;
}

void DzOutFile::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
}

QString DzOutFile::describeCurrent() const
{
    if (m_current < 0)
        return QStringLiteral("outside any object");
    const DzBase *o = m_objects.at(m_current).object;
    return QStringLiteral("in %1 (object %2)").arg(className(o)).arg(m_current);
}

bool DzOutFile::writeObjects()
{
    // Writers may add objects (references), so the list can grow here.
    for (int i = 0; i < m_objects.size() && !hasError(); ++i) {
        if (m_objects[i].written)
            continue;
        m_current = i;
        m_inSection = false;
        DzBase *object = m_objects[i].object;
        const Writer writer = m_objects[i].writer;
        if (writer)
            writer(this);
        else
            object->save(this);
        if (m_inSection) {
            fail(QStringLiteral("Section %1 was left open %2").arg(m_sectionId).arg(describeCurrent()));
            m_inSection = false;
        }
        m_objects[i].written = true;
        m_current = -1;
    }
    return !hasError();
}

void DzOutFile::startSection(short id)
{
    if (m_current < 0) {
        fail(QStringLiteral("startSection(%1) called outside any object").arg(id));
        return;
    }
    if (m_inSection) {
        fail(QStringLiteral("startSection(%1) inside section %2 %3")
                 .arg(id)
                 .arg(m_sectionId)
                 .arg(describeCurrent()));
        return;
    }
    m_inSection = true;
    m_sectionId = id;
    m_payload.clear();
}

void DzOutFile::endSection()
{
    if (!m_inSection) {
        fail(QStringLiteral("endSection() without startSection() %1").arg(describeCurrent()));
        return;
    }
    m_inSection = false;
    if (quint64(m_payload.size()) > std::numeric_limits<quint32>::max()) {
        fail(QStringLiteral("Section %1 is larger than 4 GiB %2").arg(m_sectionId).arg(describeCurrent()));
        return;
    }
    Object &o = m_objects[m_current];
    put<qint16>(o.sections, m_sectionId);
    put<quint32>(o.sections, quint32(m_payload.size()));
    o.sections.append(m_payload);
    ++o.numSections;
    m_payload.clear();
}

bool DzOutFile::beginValue(const char *what)
{
    if (!m_inSection) {
        QString thing = withArticle(what);
        thing[0] = thing[0].toUpper();
        fail(QStringLiteral("%1 was written outside a section %2").arg(thing, describeCurrent()));
        return false;
    }
    return true;
}

void DzOutFile::writeInt(int value)
{
    if (!beginValue("int"))
        return;
    m_payload.append(char(TagInt));
    put<qint32>(m_payload, value);
}

void DzOutFile::writeFloat(float value)
{
    if (!beginValue("float"))
        return;
    m_payload.append(char(TagFloat));
    putFloat(m_payload, value);
}

void DzOutFile::writeDouble(double value)
{
    if (!beginValue("double"))
        return;
    m_payload.append(char(TagDouble));
    putDouble(m_payload, value);
}

void DzOutFile::writeBool(bool value)
{
    if (!beginValue("bool"))
        return;
    m_payload.append(char(TagBool));
    m_payload.append(char(value ? 1 : 0));
}

void DzOutFile::writeString(const QString &value)
{
    if (!beginValue("string"))
        return;
    const QByteArray utf8 = value.toUtf8();
    m_payload.append(char(TagString));
    put<quint32>(m_payload, quint32(utf8.size()));
    m_payload.append(utf8);
}

void DzOutFile::writeVec(const DzVec3 &value)
{
    if (!beginValue("vector"))
        return;
    m_payload.append(char(TagVec));
    putFloat(m_payload, value.m_x);
    putFloat(m_payload, value.m_y);
    putFloat(m_payload, value.m_z);
}

void DzOutFile::writeQuat(const DzQuat &value)
{
    if (!beginValue("quaternion"))
        return;
    m_payload.append(char(TagQuat));
    putDouble(m_payload, value.m_x);
    putDouble(m_payload, value.m_y);
    putDouble(m_payload, value.m_z);
    putDouble(m_payload, value.m_w);
}

void DzOutFile::writeBytes(const QByteArray &value)
{
    if (!beginValue("byte array"))
        return;
    m_payload.append(char(TagBytes));
    put<quint32>(m_payload, quint32(value.size()));
    m_payload.append(value);
}

void DzOutFile::writePointer(DzBase *object, short index)
{
    if (!beginValue("pointer"))
        return;
    qint32 target = -1;
    if (object) {
        target = addObject(object);
        if (target < 0) {
            const QString note
                = QStringLiteral("A reference to %1 \"%2\" %3 was written as null: the object is not "
                                 "part of the file and no registered factory creates its class")
                      .arg(className(object), object->objectName(), describeCurrent());
            m_warnings.append(note);
            dzWarning(note);
        }
    }
    m_payload.append(char(TagPointer));
    put<qint16>(m_payload, index);
    put<qint32>(m_payload, target);
}

void DzOutFile::writeIntSection(short id, int value)
{
    startSection(id);
    writeInt(value);
    endSection();
}

void DzOutFile::writeFloatSection(short id, float value)
{
    startSection(id);
    writeFloat(value);
    endSection();
}

void DzOutFile::writeBoolSection(short id, bool value)
{
    startSection(id);
    writeBool(value);
    endSection();
}

void DzOutFile::writeStringSection(short id, const QString &value)
{
    startSection(id);
    writeString(value);
    endSection();
}

void DzOutFile::writeVecSection(short id, const DzVec3 &value)
{
    startSection(id);
    writeVec(value);
    endSection();
}

void DzOutFile::writePointerSection(short id, DzBase *object, short index)
{
    startSection(id);
    writePointer(object, index);
    endSection();
}

QByteArray DzOutFile::getData()
{
    if (!writeObjects())
        return QByteArray();

    QByteArray body;
    for (const Object &o : std::as_const(m_objects)) {
        const auto guid = o.classId.toBytes();
        body.append(reinterpret_cast<const char *>(guid.data()), int(guid.size()));
    }
    for (int i = 0; i < m_objects.size(); ++i) {
        put<quint32>(body, quint32(i));
        put<quint32>(body, m_objects[i].numSections);
        body.append(m_objects[i].sections);
    }
    if (quint64(body.size()) > std::numeric_limits<quint32>::max()) {
        fail(QStringLiteral("The file would be larger than 4 GiB"));
        return QByteArray();
    }

    QByteArray file;
    file.reserve(kHeaderSize + body.size());
    file.append(kMagic, sizeof kMagic);
    put<quint32>(file, kVersion);
    put<quint32>(file, 0);
    put<quint32>(file, quint32(m_objects.size()));
    put<quint32>(file, quint32(body.size()));
    put<quint32>(file, crc32(body.constData(), std::size_t(body.size())));
    put<quint32>(file, 0);
    file.append(body);
    return file;
}

bool DzOutFile::save(const QString &path)
{
    const QByteArray data = getData();
    if (hasError())
        return false;
    QString why;
    if (!dzWriteFileAtomically(path, data, &why)) {
        fail(why.replace(0, 1, why.at(0).toUpper()));
        return false;
    }
    return true;
}
