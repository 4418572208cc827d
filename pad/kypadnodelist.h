#pragma once
// How a pose is indexed: the figure's node list and each node's pad
// properties, built the same way every time they are needed.

#include <QList>

class DzFloatProperty;
class DzNode;

// A skeleton's bones (in getAllBones order) that follow no other bone, then
// the figure node itself, last - unless the figure is a bone that follows
// another, in which case nothing is appended. Null gives an empty list.
QList<DzNode *> kyPadNodeList(DzNode *figure);

// The float properties a pose stores for a node: the value channels of the
// morphs on the node's object (modifier order), then the node's own float
// properties that are not transform controls (XYZ interest false), whose
// label does not contain "scale" (any case), that are visible and animatable.
QList<DzFloatProperty *> kyPadProperties(DzNode *node);
