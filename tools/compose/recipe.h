#pragma once
// A composing recipe: the figure, its heel and rotational offsets, and the
// blocks of its timeline with their placement parameters.
//
// JSON (every field but "blocks" and each block's "file" is optional):
//   {"figure": "standard" | path, "heelOffset": deg,
//    "rotationalOffsets": {"rFoot": [x, y, z, w], ...},
//    "blocks": [{"file": path, "speed": 1.0, "inPoint": ms, "outPoint": ms,
//                "blendIn": ms, "internalBlend": ms, "flags": 13,
//                "mirror": false, "posOffset": [x, y, z],
//                "facingOffset": deg, "gap": ms}, ...]}
// Relative paths are relative to the recipe's folder. A field that is
// absent keeps what a block dropped from the library gets.
//
// Everything is checked before anything is built: unknown fields, wrong
// types, values outside the ranges of the block parameter dialog and times
// beyond one hour are refused with a message naming the field.

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

struct RecipeBlock {
    QString file; // absolute
    std::optional<float> speed;
    std::optional<int> inPoint;
    std::optional<int> outPoint;
    std::optional<int> blendIn;
    std::optional<int> internalBlend;
    std::optional<int> flags;
    std::optional<bool> mirror;
    std::optional<std::array<float, 3>> posOffset;
    std::optional<float> facingOffset;
    std::optional<int> gap;
};

struct RecipeOffset {
    QString bone;
    std::array<double, 4> quat; // x, y, z, w
};

struct Recipe {
    QString figure; // "standard", "large", "partial" or an absolute path; empty: standard
    float heelOffset = 0.0f;
    QList<RecipeOffset> rotationalOffsets;
    QList<RecipeBlock> blocks;
};

constexpr int kMaxRecipeMs = 3600000;   // one hour
constexpr qint64 kMaxRecipeBytes = 4 << 20;
constexpr int kMaxRecipeBlocks = 1000;

// Parses recipe JSON; baseDir resolves relative paths. False with *error
// naming the problem.
bool parseRecipe(const QByteArray &json, const QString &baseDir, Recipe *recipe, QString *error);
// The recipe as JSON (absolute block paths, fields that are set only);
// parseRecipe of the result gives the same recipe.
QByteArray recipeToJson(const Recipe &recipe);
// Reads and parses a recipe file (at most 4 MiB).
bool loadRecipe(const QString &path, Recipe *recipe, QString *error);
