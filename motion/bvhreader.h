#pragma once

// Reads BVH motion files into BvhData.
//
// Accepted: one ROOT with nested JOINTs and End Sites, an OFFSET per joint,
// 0 to 6 CHANNELS per joint in any order (each channel at most once), a
// MOTION section with "Frames:" and "Frame Time:" (tab or space separated,
// exponent notation, values like ".0083333" and "-0.0") and then one line of
// channelCount numbers per frame. Lines beyond the declared frames are not
// read, with a warning; fewer lines than declared are refused. Keywords are matched without
// regard to case; blank lines are ignored; CR LF line ends are accepted.
//
// Everything else is refused with a message that names the line, for
// example "walk.bvh: line 12: expected '{' after JOINT abdomen, found
// 'OFFSET'". Limits keep hostile input from costing more than the file is
// worth: the file size, the number of joints, the nesting depth and the
// number of motion values are capped, numbers must be finite and of sane
// magnitude, and memory for the motion is reserved only as far as the bytes
// left in the file could fill it, never from the declared frame count alone.

#include "bvhdata.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo::motion {

class BvhReader
{
public:
    static constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;
    static constexpr int kMaxJoints = 1024;
    static constexpr int kMaxDepth = 128;
    static constexpr std::size_t kMaxNameLength = 1024;
    // 64 Mi values, 256 MiB as floats: more than a full file of the maximum
    // size holds in practice.
    static constexpr std::size_t kMaxValues = std::size_t(64) << 20;
    // Largest magnitude of an OFFSET component or motion value.
    static constexpr double kMaxMagnitude = 1e7;
    // Seconds per frame.
    static constexpr double kMinFrameTime = 1e-6;
    static constexpr double kMaxFrameTime = 60.0;

    // Reads and parses a file; messages are prefixed with its file name. On
    // failure out is left unchanged.
    bool readFile(const std::filesystem::path &path, BvhData &out);

    // Parses BVH text. sourceName (may be empty) prefixes the messages. On
    // failure out is left unchanged.
    bool parse(std::string_view text, BvhData &out, std::string_view sourceName = {});

    // The last failure: "name: line N: what is wrong" (no name or line part
    // when there is none). Empty after a success.
    const std::string &errorString() const { return m_error; }
    // 1-based line of the last failure, 0 when it concerns no single line.
    int errorLine() const { return m_errorLine; }
    // What the last successful read passed over ("name: line N: ...").
    const std::vector<std::string> &warnings() const { return m_warnings; }

private:
    std::string m_error;
    std::vector<std::string> m_warnings;
    int m_errorLine = 0;
};

} // namespace trelvo::motion
