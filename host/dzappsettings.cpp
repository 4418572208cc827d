#include "dzappsettings.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>

namespace {

QStringList splitPath(const QString &path)
{
    return path.split(u'/', Qt::SkipEmptyParts);
}

} // namespace

DzAppSettings::DzAppSettings(const QString &path)
    : m_settings(std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat))
{
    if (!path.isEmpty())
        pushPath(path);
}

DzAppSettings::~DzAppSettings() = default;

QString DzAppSettings::settingsFilePath()
{
    QString dir = qEnvironmentVariable("TRELVO_SETTINGS_DIR");
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (dir.isEmpty())
            dir = QDir::homePath() + QStringLiteral("/.config");
        dir += QStringLiteral("/Trelvo");
    }
    return QDir(dir).filePath(QStringLiteral("trelvo.ini"));
}

void DzAppSettings::pushPath(const QString &path)
{
    const QStringList levels = splitPath(path);
    m_path += levels;
    m_pushedSizes.append(levels.size());
}

bool DzAppSettings::popPath()
{
    if (m_pushedSizes.isEmpty())
        return false;
    const int n = m_pushedSizes.takeLast();
    m_path.resize(m_path.size() - n);
    return true;
}

QString DzAppSettings::getCurrentPath() const
{
    return m_path.join(u'/');
}

QString DzAppSettings::fullKey(const QString &key) const
{
    return m_path.isEmpty() ? key : getCurrentPath() + u'/' + key;
}

QString DzAppSettings::getStringValue(const QString &key, const QString &defaultValue) const
{
    const QVariant v = m_settings->value(fullKey(key));
    if (!v.isValid())
        return defaultValue;
    // A hand-edited INI line with unquoted commas reads as a list.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void DzAppSettings::setStringValue(const QString &key, const QString &value)
{
    m_settings->setValue(fullKey(key), value);
}

bool DzAppSettings::getBoolValue(const QString &key, bool defaultValue) const
{
    const QString s = getStringValue(key).trimmed().toLower();
    if (s == u"true" || s == u"1")
        return true;
    if (s == u"false" || s == u"0")
        return false;
    return defaultValue;
}

void DzAppSettings::setBoolValue(const QString &key, bool value)
{
    setStringValue(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

int DzAppSettings::getIntValue(const QString &key, int defaultValue) const
{
    bool ok = false;
    const int v = getStringValue(key).trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

void DzAppSettings::setIntValue(const QString &key, int value)
{
    setStringValue(key, QString::number(value));
}

double DzAppSettings::getFloatValue(const QString &key, double defaultValue) const
{
    bool ok = false;
    const double v = getStringValue(key).trimmed().toDouble(&ok);
    return ok ? v : defaultValue;
}

void DzAppSettings::setFloatValue(const QString &key, double value)
{
    setStringValue(key, QString::number(value, 'g', QLocale::FloatingPointShortest));
}

bool DzAppSettings::hasValue(const QString &key) const
{
    return m_settings->contains(fullKey(key));
}

void DzAppSettings::removeValue(const QString &key)
{
    m_settings->remove(fullKey(key));
}

QStringList DzAppSettings::getKeys() const
{
    m_settings->beginGroup(getCurrentPath());
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    return keys;
}

void DzAppSettings::removeAllValues()
{
    if (m_path.isEmpty()) {
        m_settings->clear();
        return;
    }
    m_settings->remove(getCurrentPath());
}

void DzAppSettings::sync()
{
    m_settings->sync();
}
