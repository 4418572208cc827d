#pragma once
// trelvo-compose: a recipe (recipe.h) becomes a figure's timeline, built
// through the track model the timeline pane uses (insert, parameters,
// chaining), trimmed and baked through the bake of the timeline into host
// keys on a figure loaded from the content folder, then read back per baked
// frame and written as JSON (written atomically):
//
//   {"fps": 30, "frames": [{"tick": T, "hipPos": [x, y, z],
//     "bones": {"hip": {"quat": [x, y, z, w], "euler": [x, y, z],
//                       "order": "YZX"}, ...}}, ...]}
//
// euler holds the bone's X, Y and Z rotation values in degrees (applied in
// the bone's order); hipPos is the hip's local position.
//
// --bvh writes the same frames as BVH (MotionExporter: the figure's bones,
// hierarchy and offsets, at the same frame rate), also atomically.
//
// --scene writes a studio scene holding the figure and its kinTimeline (the
// scene data the studio saves, before baking), so the composition opens in
// trelvo-studio.

#include <QString>
#include <QStringList>
#include <QTextStream>

struct Recipe;

// The most frames one run writes (with either output).
constexpr qint64 kMaxComposeFrames = 1000000;

struct ComposeOptions {
    QString recipePath;
    QString outPath;
    QString bvhPath; // the baked frames as BVH as well (or instead), when set
    QString scenePath; // a studio scene with the figure and its timeline, when set
    QString figure; // overrides the recipe's figure when set
    int fps = 30;
};

// Parses the command line (without the program name): RECIPE.json [-o
// OUT.json] [--bvh OUT.bvh] [--scene OUT.trelvo] [--figure FILE] [--fps N],
// at least one of -o, --bvh and --scene. False with *error on bad usage.
bool parseComposeArguments(const QStringList &args, ComposeOptions *options, QString *error);

// Composes, bakes and writes. Uses the current scene (making the host when
// there is none); the figure is removed again and the scene's time settings
// are put back afterwards. Returns 0 on success, 1 when the recipe or its
// files are refused (message on err), 2 on bad usage.
int runCompose(const QStringList &args, QTextStream &out, QTextStream &err);
