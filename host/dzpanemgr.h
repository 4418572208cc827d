#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DzPane;
class QDockWidget;
class QMainWindow;

// The host window's panes. Each pane added is put into a dock widget of the
// window (right dock area, closed at first) and found later by class name.
// A pane is "shown" while its dock is open, whether or not the window itself
// is on screen; the dock's close button hides it like hidePane().
//
// Settings: savePaneSettings/restorePaneSettings pass a DzPaneSettings
// between a pane and the application settings, under
// "PaneSettings/<pane class name>".
class DzPaneMgr : public QObject {
    Q_OBJECT
public:
    // window may be null (no docking): panes are then shown as windows.
    explicit DzPaneMgr(QMainWindow *window, QObject *parent = nullptr);
    ~DzPaneMgr() override;

    // Takes ownership. Refuses null, a pane already added and a second pane
    // of the same class (returns false, ownership stays with the caller).
    bool addPane(DzPane *pane);
    // Deletes every pane (and its dock).
    void deleteAllPanes();

    // The pane of this class (exact meta-object class name); failing that,
    // the pane with this object name; null when there is none.
    DzPane *findPane(const QString &className) const;
    int getNumPanes() const { return m_panes.size(); }
    // Null for an index out of range.
    DzPane *getPane(int i) const;
    // The dock that holds the pane, or null.
    QDockWidget *getDock(const DzPane *pane) const;

    // Each returns false when there is no such pane.
    bool showPane(const QString &className);
    bool hidePane(const QString &className);
    bool togglePane(const QString &className);
    bool showPane(DzPane *pane);
    bool hidePane(DzPane *pane);
    bool isPaneShown(const QString &className) const;
    bool isPaneShown(const DzPane *pane) const;

    void savePaneSettings(DzPane *pane) const;
    void restorePaneSettings(DzPane *pane) const;
    void saveAllPaneSettings() const;
    void restoreAllPaneSettings() const;

signals:
    void paneAdded(DzPane *pane);
    void paneRemoved(DzPane *pane);
    // The pane's dock opened (true) or closed (false).
    void paneVisibilityChanged(DzPane *pane, bool shown);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        DzPane *pane;
        QWidget *holder; // the dock, or the pane itself without a window
        bool shown;
    };
    int indexOf(const DzPane *pane) const;
    int indexOfHolder(const QObject *holder) const;
    void forget(QObject *pane);

    QMainWindow *m_window;
    QList<Entry> m_panes;
};
