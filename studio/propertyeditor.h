#pragma once

#include "dztime.h"

#include <QList>
#include <QString>

class DzElement;
class DzFloatProperty;
class DzNode;

// Hand posing and keying of a node's properties, each edit one undo step.
//
// Which properties: the node's own visible float properties (translation,
// rotation and scale controls first, then any other animatable property,
// such as a figure's extra controls) and the value channels of its object's
// morphs.
//
// Writing a value at time t: a property that already has keys, or any
// animatable property while auto-key is on, gets a key at t (set or
// replaced); otherwise the static value is set. Writing the static value of
// a keyed property would change nothing visible, so it is never done.
//
// Every operation runs inside a DzUndoStackHold with begin/finish edit on
// the owning elements and is one step on the host undo stack with a caption
// such as "Change Left Forearm Z Rotate", "Set Key" or "Delete Key".
// Operations that change nothing leave no step behind.
class PropertyEditor {
public:
    struct Group {
        QString title;
        QList<DzFloatProperty *> properties;
    };
    // "Translation", "Rotation", "Scale", "Properties", "Morphs"; groups
    // without properties are left out. A null node gives no groups.
    static QList<Group> groupsFor(DzNode *node);
    // All properties of groupsFor, in the same order.
    static QList<DzFloatProperty *> propertiesOf(DzNode *node);

    enum class KeyState { None, Animated, KeyHere };
    static KeyState keyState(const DzFloatProperty *property, DzTime time);

    // True when a write at `time` creates or replaces a key.
    static bool writesKey(const DzFloatProperty *property, bool autoKey);
    // The value written is clamped by the property when it clamps. Refuses
    // (false) a null property and a non-finite value.
    static bool setValue(DzFloatProperty *property, DzTime time, float value, bool autoKey);
    // Keys every animatable property of the node at `time` with its current
    // value there. Returns the number of keys written.
    static int setKeys(DzNode *node, DzTime time);
    // Removes the keys at exactly `time` from the node's properties. Returns
    // the number removed.
    static int deleteKeys(DzNode *node, DzTime time);
    // A key of one property at `time`: removed when there is one, else set
    // to the current value there.
    static bool toggleKey(DzFloatProperty *property, DzTime time);
    static int deleteAllKeys(DzFloatProperty *property);
    // Writes the default value (as setValue does).
    static bool resetToDefault(DzFloatProperty *property, DzTime time, bool autoKey);
    // Every property of the node back to its default at `time` (as
    // setValue), one step "Reset Pose".
    static int resetNode(DzNode *node, DzTime time, bool autoKey);

    // "Change <node label> <property label>", or "Change <label>" for a
    // morph.
    static QString editCaption(const DzFloatProperty *property);
    // The node a property belongs to: its owner, or the node of the object
    // that holds the morph owning it. Null when there is none.
    static DzNode *nodeOf(const DzFloatProperty *property);
};
