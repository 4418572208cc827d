#pragma once

#include <QString>
#include <QWidget>

class DzActionMenu;
class DzPaneSettings;
class QMenu;

// A dockable panel of the host window. Panes are created by the host (for a
// plug-in, through its class factory), handed to the pane manager, and found
// there by class name (DzPaneMgr::findPane).
//
// Subclasses may offer an options menu (buildOptionsMenu) of action class
// names, and keep settings between sessions (saveSettings/restoreSettings,
// called by the pane manager).
class DzPane : public QWidget {
    Q_OBJECT
public:
    explicit DzPane(const QString &label = QString(), QWidget *parent = nullptr);
    ~DzPane() override;

    // The title the host shows on the pane's dock and in its pane action.
    QString getLabel() const { return m_label; }
    void setLabel(const QString &label);

    // Fills `menu` with the pane's options (action class names and
    // separators). The base adds nothing.
    virtual void buildOptionsMenu(DzActionMenu *menu) const;
    // When true, a right click on the pane that no child widget takes pops
    // the options menu up. The base answers false.
    virtual bool useOptionsAsContextMenu() const;

    // A new QMenu (owned by `parent`) with the options menu's actions, built
    // through the host window's action manager; null when the pane has no
    // options or there is no host window.
    QMenu *createOptionsMenu(QWidget *parent) const;

    // Writes what the pane wants to keep. The base writes nothing.
    virtual void saveSettings(DzPaneSettings &settings);

public slots:
    // Reads what saveSettings wrote (missing keys: the pane's defaults). The
    // base reads nothing.
    virtual void restoreSettings(const DzPaneSettings &settings);

signals:
    // The pane became visible on screen, or stopped being visible.
    void shown();
    void hidden();
    void labelChanged(const QString &label);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString m_label;
    bool m_onScreen = false;
};
