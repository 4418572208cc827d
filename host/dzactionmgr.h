#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DzAction;
class QMenu;

// The host's actions, found by class name. Owns the actions added to it.
class DzActionMgr : public QObject {
    Q_OBJECT
public:
    explicit DzActionMgr(QObject *parent = nullptr);
    ~DzActionMgr() override;

    // Takes ownership, gives the action its class name as object name when
    // it has none, then calls its init(). Refuses (returns false, ownership
    // stays with the caller) null, an action already added, a second action
    // of the same class and an action whose object name is taken. (Several
    // plain DzAction or DzPaneAction objects may be added when their object
    // names differ.)
    bool addAction(DzAction *action);
    // Removes and deletes; false when the action is not this manager's.
    bool removeAction(DzAction *action);

    // The action of this class (exact meta-object class name); failing that,
    // the action with this object name; null when there is none.
    DzAction *findAction(const QString &className) const;
    int getNumActions() const { return m_actions.size(); }
    // Null for an index out of range.
    DzAction *getAction(int i) const;

    // Adds the action of that class to the menu; false when there is no
    // such action or no menu.
    bool addActionToMenu(QMenu *menu, const QString &className) const;

signals:
    void actionAdded(DzAction *action);
    void actionRemoved(DzAction *action);

private:
    QList<DzAction *> m_actions;
};
