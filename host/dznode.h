#pragma once

#include "dzelement.h"
#include "dzmatrix3.h"
#include "dzmatrix4.h"
#include "dzquat.h"
#include "dzrotationorder.h"
#include "dzvec3.h"

#include <QList>

class DzFloatProperty;
class DzObject;
class DzScene;
class DzSkeleton;

// A node of the scene hierarchy: a figure (DzSkeleton), a bone (DzBone) or any
// other transformable thing.
//
// Transform controls (created with every node, in this order, as its first
// ten properties): "XTranslate", "YTranslate", "ZTranslate" (cm), "XRotate",
// "YRotate", "ZRotate" (DEGREES), "XScale", "YScale", "ZScale" (factors, XYZ
// interest true on all nine), and the general scale "Scale" (factor, XYZ
// interest false). Labels are "X Translate", ..., "Scale".
//
// Local transform: position = the three translate values; rotation = the
// three rotate values composed in the node's rotation order (see
// DzRotationOrder); scale = (XScale, YScale, ZScale) x Scale.
//
// World transform at time t (origin = rest position of the joint in figure
// space, cm):
//     W = parentW * T(origin + localPos) * R(localRot) * S(localScale) * T(-origin)
// so the joint's world position is parentW * (origin + localPos), and any
// rest-space point p (e.g. the end point) is posed as W * p.
//
// Hierarchy: a node owns its children (QObject parent). addNodeChild refuses
// null, itself and its own ancestors (no cycles); a child that has another
// parent is moved.
class DzNode : public DzElement
{
    Q_OBJECT
public:
    explicit DzNode(const QString &name = QString(), QObject *parent = nullptr);
    ~DzNode() override;

    // --- hierarchy ---------------------------------------------------------
    DzNode *getNodeParent() const { return m_parent; }
    int getNumNodeChildren() const { return m_children.size(); }
    // Null for an index out of range.
    DzNode *getNodeChild(int i) const;
    // A child with this name; with recurse, searches all descendants depth
    // first (children before grandchildren of later children). Null if none.
    DzNode *findNodeChild(const QString &name, bool recurse = false) const;
    bool addNodeChild(DzNode *child);
    // Detaches the child (it keeps existing, without parent; the caller owns
    // it unless it is in a scene). False when it is not a child of this node.
    bool removeNodeChild(DzNode *child);
    // Self and all descendants, depth first, parent before children.
    QList<DzNode *> getNodesInHierarchy();
    // True when `node` is this node or one of its ancestors.
    bool isAncestorOrSelf(const DzNode *node) const;

    // The DzSkeleton this node belongs to: itself for a skeleton, else the
    // nearest skeleton among its ancestors; null when there is none.
    DzSkeleton *getSkeleton() const;

    // --- flags and rest data --------------------------------------------------
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    DzRotationOrder getRotationOrder() const { return m_rotationOrder; }
    void setRotationOrder(DzRotationOrder order) { m_rotationOrder = order; }
    DzVec3 getOrigin() const { return m_origin; }
    void setOrigin(const DzVec3 &origin);
    // Rest position of the bone's tip (for drawing), figure space, cm.
    DzVec3 getEndPoint() const { return m_endPoint; }
    void setEndPoint(const DzVec3 &endPoint);

    // --- controls ---------------------------------------------------------
    DzFloatProperty *getXPosControl() const { return m_controls[0]; }
    DzFloatProperty *getYPosControl() const { return m_controls[1]; }
    DzFloatProperty *getZPosControl() const { return m_controls[2]; }
    DzFloatProperty *getXRotControl() const { return m_controls[3]; }
    DzFloatProperty *getYRotControl() const { return m_controls[4]; }
    DzFloatProperty *getZRotControl() const { return m_controls[5]; }
    DzFloatProperty *getXScaleControl() const { return m_controls[6]; }
    DzFloatProperty *getYScaleControl() const { return m_controls[7]; }
    DzFloatProperty *getZScaleControl() const { return m_controls[8]; }
    DzFloatProperty *getScaleControl() const { return m_controls[9]; }

    // --- local transform (now = the scene's current time) -----------------
    DzVec3 getLocalPos() const;
    DzVec3 getLocalPos(DzTime time) const;
    DzQuat getLocalRot() const;
    DzQuat getLocalRot(DzTime time) const;
    // (XScale, YScale, ZScale) each times the general scale.
    DzVec3 getLocalScale() const;
    DzVec3 getLocalScale(DzTime time) const;

    // Without a time: static values; with a time: keys at that time.
    void setLocalPos(const DzVec3 &pos);
    void setLocalPos(DzTime time, const DzVec3 &pos);
    // Writes the Euler angles of q in the node's rotation order (degrees,
    // middle axis in [-90, 90], others in (-180, 180]) to the rotate controls.
    void setLocalRot(const DzQuat &rot);
    void setLocalRot(DzTime time, const DzQuat &rot);
    // Axis scales and general scale.
    void setLocalScale(const DzVec3 &scale, double generalScale = 1.0);
    void setLocalScale(DzTime time, const DzVec3 &scale, double generalScale = 1.0);
    // Position, rotation and scale at once. The scale matrix's column
    // lengths become the axis scales (shear cannot be represented and is
    // dropped); generalScale goes to the general scale control.
    void setLocalTransform(const DzVec3 &pos, const DzQuat &rot,
                           const DzMatrix3 &scale = DzMatrix3(true), double generalScale = 1.0);
    void setLocalTransform(DzTime time, const DzVec3 &pos, const DzQuat &rot,
                           const DzMatrix3 &scale = DzMatrix3(true), double generalScale = 1.0);
    // Same, with the axis scales given directly.
    void setLocalTransform(const DzVec3 &pos, const DzQuat &rot, const DzVec3 &scale,
                           double generalScale = 1.0);

    // --- world transform -------------------------------------------------
    DzMatrix4 getWSTransform() const;
    DzMatrix4 getWSTransform(DzTime time) const;
    // World position of the joint: parentW * (origin + localPos).
    DzVec3 getWSPos() const;
    DzVec3 getWSPos(DzTime time) const;
    // World orientation (rotations of the chain, scale ignored).
    DzQuat getWSRot(DzTime time) const;
    // Posed world position of the end point.
    DzVec3 getWSEndPoint(DzTime time) const;

    // --- object -------------------------------------------------------------
    DzObject *getObject() const { return m_object; }
    // Takes ownership; deletes a previous object. Null removes it.
    void setObject(DzObject *object);

    // --- scene --------------------------------------------------------------
    // The scene the node was added to (DzScene::addNode), or null.
    DzScene *getScene() const { return m_scene; }
    bool isSelected() const { return m_selected; }
    // In a scene: same as DzScene::selectNode(this, onOff). Outside a scene
    // only the flag is kept.
    void setSelected(bool onOff);

    // Removes keys in the range from the node's own properties (its controls
    // and any other property added to it). The object's morphs are elements
    // of their own.
    void clearAnimData(const DzTimeRange &range) override;

    // Bumped whenever any node is created, destroyed, renamed or moved in a
    // hierarchy, so that lookups built over nodes know when to rebuild.
    static quint64 structureRevision() { return s_structureRevision; }

signals:
    // A transform control's value or keys changed.
    void transformChanged();
    void childListChanged();
    void hiddenChanged(bool hidden);
    void selectionStateChanged(DzNode *node, bool selected);
    void objectChanged();

protected:
    void propertyChanged(DzProperty *property) override;

private:
    friend class DzScene;
    void setSceneInternal(DzScene *scene) { m_scene = scene; }
    void setSelectedFlag(bool selected);
    static void flushTransform(DzBase *object);
    // transformChanged(), and the scene's nodeTransformChanged().
    void signalTransform();
    // Writes three controls starting at first at time, then signals once.
    void setKeys(int first, DzTime time, const DzVec3 &values);
    // The Euler angles (degrees) of rot in the node's rotation order.
    DzVec3 eulerDegrees(const DzQuat &rot);

    static quint64 s_structureRevision;

    DzFloatProperty *m_controls[10];
    QList<DzNode *> m_children;
    DzNode *m_parent = nullptr;
    DzObject *m_object = nullptr;
    DzScene *m_scene = nullptr;
    DzVec3 m_origin;
    DzVec3 m_endPoint;
    DzRotationOrder m_rotationOrder;
    bool m_hidden = false;
    bool m_selected = false;
    bool m_transformPending = false;
    bool m_eulerCacheValid = false;
    DzRotationOrder m_eulerCacheOrder;
    DzQuat m_eulerCacheRot;
    DzVec3 m_eulerCache;
};
