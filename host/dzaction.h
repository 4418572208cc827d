#pragma once

#include <QAction>
#include <QString>

// A host action: a command that panes, menus and scripts reach by class name
// through the action manager (DzActionMgr::findAction).
//
// Subclasses override executeAction() (plain actions) or toggleAction(bool)
// (toggle actions, made with setToggleAction(true)). Triggering a plain
// action runs executeAction(); every change of a toggle action's on state,
// whether by the user or by setOn(), runs toggleAction(onOff) once.
//
// The object name is the class name: DzActionMgr::addAction sets it when it
// is still empty (a base-class constructor cannot see the subclass name).
class DzAction : public QAction {
    Q_OBJECT
public:
    explicit DzAction(
        const QString &text = QString(), const QString &description = QString(), QObject *parent = nullptr);

    // The long description (also status tip and what's-this).
    QString getDescription() const { return m_description; }
    void setDescription(const QString &description);

    // The group the host lists the action under in its customisation lists
    // (for example "kinPad").
    QString getActionGroup() const { return m_actionGroup; }
    void setActionGroup(const QString &group) { m_actionGroup = group; }

    void setToggleAction(bool toggle) { setCheckable(toggle); }
    bool isToggleAction() const { return isCheckable(); }
    bool isOn() const { return isChecked(); }

    // Called once by the action manager right after the action is added;
    // subclasses find what they work on here and then call the base.
    virtual void init();
    bool isInitialized() const { return m_initialized; }

public slots:
    // Sets the on state of a toggle action (ignored for plain actions).
    void setOn(bool onOff) { setChecked(onOff); }

protected slots:
    virtual void executeAction();
    virtual void toggleAction(bool onOff);

private:
    QString m_description;
    QString m_actionGroup;
    bool m_initialized = false;
};
