#include "dzplugin.h"

DzPlugin::DzPlugin(
    const QString &name, const QString &author, const QString &description, unsigned int version)
    : m_name(name)
    , m_author(author)
    , m_description(description)
    , m_version(version)
{
}

QString DzPlugin::getVersionString() const
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((m_version >> 24) & 0xFF)
        .arg((m_version >> 16) & 0xFF)
        .arg((m_version >> 8) & 0xFF)
        .arg(m_version & 0xFF);
}

bool DzPlugin::addClassFactory(DzClassFactory *factory)
{
    if (!factory || m_factories.contains(factory))
        return false;
    m_factories.append(factory);
    return true;
}

DzClassFactory *DzPlugin::getClassFactory(int i) const
{
    return (i >= 0 && i < m_factories.size()) ? m_factories.at(i) : nullptr;
}
