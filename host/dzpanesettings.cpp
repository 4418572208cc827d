#include "dzpanesettings.h"

#include <QLocale>

bool DzPaneSettings::getBoolValue(const QString &key, bool defaultValue) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return defaultValue;
    if (it->metaType().id() == QMetaType::Bool)
        return it->toBool();
    const QString s = it->toString().trimmed().toLower();
    if (s == u"true" || s == u"1")
        return true;
    if (s == u"false" || s == u"0")
        return false;
    return defaultValue;
}

void DzPaneSettings::setBoolValue(const QString &key, bool value)
{
    m_values.insert(key, value);
}

int DzPaneSettings::getIntValue(const QString &key, int defaultValue) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return defaultValue;
    if (it->metaType().id() == QMetaType::Int)
        return it->toInt();
    bool ok = false;
    const int v = it->toString().trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

void DzPaneSettings::setIntValue(const QString &key, int value)
{
    m_values.insert(key, value);
}

double DzPaneSettings::getFloatValue(const QString &key, double defaultValue) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return defaultValue;
    if (it->metaType().id() == QMetaType::Double)
        return it->toDouble();
    bool ok = false;
    const double v = it->toString().trimmed().toDouble(&ok);
    return ok ? v : defaultValue;
}

void DzPaneSettings::setFloatValue(const QString &key, double value)
{
    m_values.insert(key, value);
}

QString DzPaneSettings::getStringValue(const QString &key, const QString &defaultValue) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.constEnd() ? defaultValue : getValueText(key);
}

void DzPaneSettings::setStringValue(const QString &key, const QString &value)
{
    m_values.insert(key, value);
}

QString DzPaneSettings::getValueText(const QString &key) const
{
    const QVariant v = m_values.value(key);
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return v.toString();
    }
}

bool DzPaneSettings::operator==(const DzPaneSettings &o) const
{
    if (m_values.keys() != o.m_values.keys())
        return false;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        if (getValueText(it.key()) != o.getValueText(it.key()))
            return false;
    }
    return true;
}
