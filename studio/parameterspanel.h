#pragma once

#include "dznode.h"
#include "propertyeditsession.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class DzFloatProperty;
class DzNode;
class DzScene;
class PropertyRow;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// The parameters panel: the primary selection's properties for hand posing
// and keying, at the scene's current time. Edits go through PropertyEditor
// (one undo step each; a slider drag is one step).
class ParametersPanel : public QWidget {
    Q_OBJECT
public:
    explicit ParametersPanel(DzScene *scene, QWidget *parent = nullptr);

    DzNode *node() const { return m_node.data(); }
    // The row showing `property`, or null.
    PropertyRow *rowFor(const DzFloatProperty *property) const;
    const QList<PropertyRow *> &rows() const { return m_rows; }

    bool autoKey() const;
    void setAutoKey(bool on);

public slots:
    // Shows `node` (null: nothing). Called on every primary selection change.
    void setNode(DzNode *node);
    void setKeys();
    void deleteKeys();
    void resetPose();

signals:
    void statusMessage(const QString &message);
    void autoKeyChanged(bool on);

private:
    void rebuild();
    void refreshValues();
    void refreshProperty(DzFloatProperty *property);
    DzTime now() const;

    DzScene *m_scene;
    QPointer<DzNode> m_node;
    QLabel *m_title;
    QLabel *m_subtitle;
    QPushButton *m_setKey;
    QPushButton *m_deleteKey;
    QPushButton *m_reset;
    QCheckBox *m_autoKey;
    QScrollArea *m_scroll;
    QLabel *m_empty;
    QList<PropertyRow *> m_rows;
    QList<QMetaObject::Connection> m_nodeConnections;
    PropertyEditSession m_drag;
};
