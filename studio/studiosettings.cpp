#include "studiosettings.h"

#include "dzappsettings.h"

#include <QDir>
#include <QFileInfo>

namespace {

QByteArray readBytes(const QString &key)
{
    DzAppSettings settings(StudioSettings::path());
    return QByteArray::fromBase64(settings.getStringValue(key).toLatin1());
}

void writeBytes(const QString &key, const QByteArray &value)
{
    DzAppSettings settings(StudioSettings::path());
    settings.setStringValue(key, QString::fromLatin1(value.toBase64()));
}

} // namespace

QByteArray StudioSettings::geometry()
{
    return readBytes(QStringLiteral("geometry"));
}

void StudioSettings::setGeometry(const QByteArray &geometry)
{
    writeBytes(QStringLiteral("geometry"), geometry);
}

QByteArray StudioSettings::windowState()
{
    return readBytes(QStringLiteral("windowState"));
}

void StudioSettings::setWindowState(const QByteArray &state)
{
    writeBytes(QStringLiteral("windowState"), state);
}

bool StudioSettings::autoKey()
{
    return DzAppSettings(path()).getBoolValue(QStringLiteral("autoKey"), false);
}

void StudioSettings::setAutoKey(bool on)
{
    DzAppSettings(path()).setBoolValue(QStringLiteral("autoKey"), on);
}

bool StudioSettings::showGrid()
{
    return DzAppSettings(path()).getBoolValue(QStringLiteral("showGrid"), true);
}

void StudioSettings::setShowGrid(bool on)
{
    DzAppSettings(path()).setBoolValue(QStringLiteral("showGrid"), on);
}

QString StudioSettings::lastDirectory()
{
    const QString dir = DzAppSettings(path()).getStringValue(QStringLiteral("lastDirectory"));
    return !dir.isEmpty() && QFileInfo(dir).isDir() ? dir : QDir::homePath();
}

void StudioSettings::setLastDirectoryOf(const QString &filePath)
{
    DzAppSettings(path()).setStringValue(QStringLiteral("lastDirectory"), QFileInfo(filePath).absolutePath());
}
