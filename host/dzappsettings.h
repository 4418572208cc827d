#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The application's persistent settings: one INI file, "trelvo.ini", in the
// folder named by the environment variable TRELVO_SETTINGS_DIR when it is set
// and not empty (tests point it at a scratch folder), otherwise in the user's
// configuration folder under "Trelvo".
//
// Keys live under a current path that pushPath()/popPath() move, like a
// directory stack: pushPath("Trelvo") then setStringValue("root0", p) stores
// "Trelvo/root0". Instances are cheap; every instance in the process sees
// the others' changes at once, and changes reach the file on sync() or when
// the instance is destroyed (written atomically by QSettings).
class DzAppSettings {
public:
    // Starts at `path` (empty: the root).
    explicit DzAppSettings(const QString &path = QString());
    ~DzAppSettings();

    DzAppSettings(const DzAppSettings &) = delete;
    DzAppSettings &operator=(const DzAppSettings &) = delete;

    // Enters `path` below the current path; it may hold several levels
    // separated by '/'. Leading, trailing and doubled slashes are ignored.
    void pushPath(const QString &path);
    // Leaves the most recently pushed path; false (and nothing changes) when
    // nothing is pushed.
    bool popPath();
    // The current path, levels joined with '/', empty at the root.
    QString getCurrentPath() const;

    QString getStringValue(const QString &key, const QString &defaultValue = QString()) const;
    void setStringValue(const QString &key, const QString &value);
    // "true"/"false" (or 1/0) in the file; anything else reads as the default.
    bool getBoolValue(const QString &key, bool defaultValue = false) const;
    void setBoolValue(const QString &key, bool value);
    // A value that is not a decimal integer reads as the default.
    int getIntValue(const QString &key, int defaultValue = 0) const;
    void setIntValue(const QString &key, int value);
    // A value that is not a number reads as the default.
    double getFloatValue(const QString &key, double defaultValue = 0.0) const;
    void setFloatValue(const QString &key, double value);

    bool hasValue(const QString &key) const;
    void removeValue(const QString &key);
    // The keys directly under the current path (not those of deeper paths).
    QStringList getKeys() const;
    // Removes every key and deeper path under the current path.
    void removeAllValues();

    void sync();

    // The INI file every instance uses.
    static QString settingsFilePath();

private:
    QString fullKey(const QString &key) const;

    std::unique_ptr<QSettings> m_settings;
    QStringList m_path; // levels, flattened
    QList<int> m_pushedSizes; // levels added by each pushPath, for popPath
};
