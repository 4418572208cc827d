#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

// The settings a pane keeps between sessions: a flat key/value store handed
// to DzPane::saveSettings and DzPane::restoreSettings. The pane manager
// persists each pane's store in the application settings under
// "PaneSettings/<pane class name>".
//
// Values keep their type while in memory; after a round trip through the
// settings file they come back as text, which the typed getters convert.
// A getter returns its default when the key is missing or its value does not
// convert (for example getIntValue on "abc").
class DzPaneSettings {
public:
    bool getBoolValue(const QString &key, bool defaultValue = false) const;
    void setBoolValue(const QString &key, bool value);
    int getIntValue(const QString &key, int defaultValue = 0) const;
    void setIntValue(const QString &key, int value);
    double getFloatValue(const QString &key, double defaultValue = 0.0) const;
    void setFloatValue(const QString &key, double value);
    QString getStringValue(const QString &key, const QString &defaultValue = QString()) const;
    void setStringValue(const QString &key, const QString &value);

    bool hasValue(const QString &key) const { return m_values.contains(key); }
    void removeValue(const QString &key) { m_values.remove(key); }
    // Keys in sorted order.
    QStringList getKeys() const { return m_values.keys(); }
    // The value as text, as it is written to the settings file.
    QString getValueText(const QString &key) const;
    void clear() { m_values.clear(); }
    bool isEmpty() const { return m_values.isEmpty(); }

    bool operator==(const DzPaneSettings &o) const;
    bool operator!=(const DzPaneSettings &o) const { return !(*this == o); }

private:
    QMap<QString, QVariant> m_values;
};
