#pragma once
// The composer's JSON output: a figure's baked frames, written atomically
// (format in composer.h). The text is built in one buffer with
// writeNumberText, the same text QString::number(value, 'g', 9) gives, so
// the output does not depend on which of the two wrote it.

#include <QString>

class DzSkeleton;

// Writes the frames at ticks 0, step, ... before the end of the scene's
// animation range, step being the scene's time step. False with *error
// (the file left as it was) when the file cannot be written.
bool writeFrames(const QString &path, DzSkeleton *figure, int fps, QString *error);
