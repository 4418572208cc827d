#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// Online help: the short help (tool tip) and long help (what's-this) of
// widgets and actions. The host keeps one instance (DzApp::getHelpMgr()).
//
// setOnlineHelp(object, text) gives the object that text as both; actions
// also get it as status tip. setOnlineHelp(widget) registers a widget whose
// text comes from the help table (setHelpText), looked up by the widget's
// object name and then by its class name; a text added to the table later
// still reaches widgets registered before. Objects are forgotten when they
// are destroyed.
class DzHelpMgr : public QObject {
    Q_OBJECT
public:
    explicit DzHelpMgr(QObject *parent = nullptr);

    // Null objects are ignored.
    void setOnlineHelp(QObject *object, const QString &text);
    void setOnlineHelp(QObject *widget);

    // The help table: key is an object name or a class name.
    void setHelpText(const QString &key, const QString &text);
    QString getHelpText(const QString &key) const { return m_table.value(key); }

    // The text an object was given (directly or from the table); empty for
    // an unknown object.
    QString getOnlineHelp(const QObject *object) const;
    bool isRegistered(const QObject *object) const { return m_objects.contains(object); }

private:
    void track(QObject *object);
    void apply(QObject *object, const QString &text);
    QString tableTextFor(const QObject *object) const;

    QHash<QString, QString> m_table;
    QHash<const QObject *, QString> m_objects; // object -> text applied
    QHash<const QObject *, QObject *> m_fromTable; // registered without text
};
