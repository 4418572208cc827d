#pragma once

#include <QByteArray>
#include <QString>

class DzSkeleton;

// Builds figures (a DzSkeleton with DzBone children) from figure data files
// (JSON, UTF-8). The stock figures live in <content>/figures/: standard.json
// (the 53-bone standard figure, hip at 99.24 cm), large.json (the same figure
// 1.1 times larger) and partial.json (no fingers, no toes).
//
// File layout (every field required unless marked optional):
// {
//   "format": "trelvo-figure", "version": 1,
//   "figure": { "name": str, "label": str, "rotationOrder": "XYZ"|...,
//               "origin": [x,y,z], "endPoint": [x,y,z],
//               "morphs": [ { "name": str, "label": str } ... ],     (optional)
//               "properties": [ { "name": str, "label": str,         (optional)
//                   "value": num, "min": num, "max": num, "clamped": bool,
//                   "animatable": bool } ... ] },
//   "bones": [ { "name": str, "label": str,
//                "parent": str or null (null: child of the figure node),
//                "origin": [x,y,z], "endPoint": [x,y,z], "rotationOrder": str,
//                "hidden": bool (optional, false),
//                "followBone": str (optional) } ... ]
// }
// Positions are figure space in cm: Y up, the figure faces +Z, +X is the
// figure's left. Children keep the order in which the file lists them;
// parents may be listed after their children.
//
// Refused, with a message naming the problem (and the bone): unreadable file,
// a file over 16 MiB, malformed JSON, wrong format tag or version, missing or
// mistyped fields, non-finite numbers, empty or duplicate names (bone names
// must also differ from the figure's), unknown parents or follow bones, a
// bone following itself, parent cycles, more than 4096 bones or 1024 morphs
// or properties, property min > max. Nothing is created then.
class DzFigureLoader
{
public:
    // Returns a new skeleton the caller owns, or null with *error set.
    static DzSkeleton *loadFile(const QString &path, QString *error = nullptr);
    static DzSkeleton *loadData(const QByteArray &json, QString *error = nullptr);
    // <contentDir>/figures/standard.json.
    static DzSkeleton *loadStandardFigure(const QString &contentDir, QString *error = nullptr);
    static QString standardFigurePath(const QString &contentDir);
    // The figure as figure data (the layout above): the figure node, its
    // morphs and own properties, and every bone, parents before children.
    // loadData() of the result builds the same figure.
    static QByteArray saveData(const DzSkeleton *figure);

    // Reference hip height of the standard figure (cm); a figure's scale is its
    // hip origin height divided by this.
    static constexpr double kStandardHipHeight = 99.24;
};
