#pragma once
// Rotational offsets of a figure's bones: set by hand with the offset tool
// (the difference between the evaluated pose at switch-on and what the user
// posed on top of it) or from the fixed V4 conversion table. They live in
// the figure's binding and are applied by posing (offset × block rotation).

#include "dzquat.h"

#include <QString>

#include <vector>

struct FigureBinding;

struct OffsetTableEntry {
    const char *bone;
    double x, y, z, w;
};

// The V4 kinBlock → V3/A3/S3/D3 character table (six bones).
const std::vector<OffsetTableEntry> &v4ConversionTable();

// Stores the normalised DzQuat(x, y, z, w) as the offset of the bone named
// boneName below the binding's skeleton. False when there is no such bone
// (or no skeleton).
bool setRotationalOffset(FigureBinding &binding, const QString &boneName, double x, double y,
                         double z, double w);
// Clears the offsets, then sets the conversion table (missing bones skipped).
// Returns the number of offsets set.
int applyConversionTable(FigureBinding &binding);

// Tool switched on: snapshot[N] = conj(L) (× offset[N] when there is one)
// for the skeleton and every node below it, L its current local rotation.
void startOffsetTool(FigureBinding &binding);
// While on and the time has not moved: offsets[N] = L × snapshot[N] for
// every node where that is not the identity (the offsets are rebuilt).
void recomputeOffsets(FigureBinding &binding);
