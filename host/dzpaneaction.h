#pragma once

#include "dzaction.h"

#include <QString>

class DzPane;

// A toggle action that shows and hides one pane, named by its class, through
// the host window's pane manager. Its on state follows the pane: opening or
// closing the pane by any means (the dock's close button, showPane) updates
// the action, and toggling the action opens or closes the pane.
//
// The action's text is the pane's label once the pane is known (at init()
// or when the pane is added later), the pane class name before. Its object
// name is the pane class name followed by "Action" unless a subclass sets
// another.
class DzPaneAction : public DzAction {
    Q_OBJECT
public:
    explicit DzPaneAction(const QString &paneClassName, QObject *parent = nullptr);

    QString getPaneClass() const { return m_paneClass; }

    // Connects to the pane manager of the host window and takes the pane's
    // current state. Without a host window the action stays unconnected and
    // toggling it does nothing but log a warning.
    void init() override;

protected slots:
    void toggleAction(bool onOff) override;

private:
    void follow(DzPane *pane, bool shown);
    void adoptPane(DzPane *pane);

    QString m_paneClass;
    bool m_following = false;
};
