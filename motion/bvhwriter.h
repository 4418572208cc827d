#pragma once

// Writes BvhData as BVH text that BvhReader (and other BVH tools) read back
// to the same data: joints in depth-first order, two-space indentation,
// "Frames:" and "Frame Time:" followed by a TAB, and numbers in the shortest
// form that reads back to exactly the same float (motion values), the
// double a float offset stands for, or the double frame time, independent
// of the process locale.

#include "bvhdata.h"

#include <filesystem>
#include <string>

namespace trelvo::motion {

class BvhWriter
{
public:
    // Fills text. Refuses data that fails BvhData::validate() or whose joint
    // names could not be read back (empty, braces, control characters,
    // leading, trailing or doubled spaces).
    bool toText(const BvhData &data, std::string &text);

    // toText, then replaces path atomically (temporary file, then rename).
    bool writeFile(const std::filesystem::path &path, const BvhData &data);

    const std::string &errorString() const { return m_error; }

private:
    std::string m_error;
};

} // namespace trelvo::motion
