#pragma once

#include <QList>
#include <QString>

class DzClassFactory;

// The SDK version this host layer implements and a plug-in reports from its
// exported getSDKVersion(): 0xMMmmpppp, major in the top byte.
constexpr unsigned int DZ_SDK_VERSION = 0x02000200u;

// Entry points a plug-in library exports with C linkage.
using DzGetSDKVersionFunc = unsigned int (*)();
class DzPlugin;
using DzGetPluginDefinitionFunc = DzPlugin *(*)();

// A plug-in's definition: who made it, which version, and the class factories
// through which the host creates the plug-in's panes, actions and data
// objects. A plug-in keeps one static instance alive for as long as its
// library is loaded; the host never deletes it.
//
// The definition holds its factories by pointer and does not own them; the
// order in which they were added is the order the host sees.
class DzPlugin {
public:
    // author and description may be null strings; version as in setVersion.
    explicit DzPlugin(const QString &name, const QString &author = QString(),
        const QString &description = QString(), unsigned int version = 0);

    DzPlugin(const DzPlugin &) = delete;
    DzPlugin &operator=(const DzPlugin &) = delete;

    QString getName() const { return m_name; }
    QString getAuthor() const { return m_author; }
    void setAuthor(const QString &author) { m_author = author; }
    // 0xMMmmrrbb: major, minor, revision, build (one byte each).
    unsigned int getVersion() const { return m_version; }
    void setVersion(unsigned int version) { m_version = version; }
    // "major.minor.revision.build" in decimal, e.g. "1.0.0.30".
    QString getVersionString() const;
    QString getDescription() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    // Appends the factory. Null and a factory already listed are ignored
    // (returns false).
    bool addClassFactory(DzClassFactory *factory);
    int getNumClassFactories() const { return m_factories.size(); }
    // Null for an index out of range.
    DzClassFactory *getClassFactory(int i) const;

private:
    QString m_name;
    QString m_author;
    QString m_description;
    unsigned int m_version;
    QList<DzClassFactory *> m_factories;
};
