#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvo::motion {

// Replaces path with bytes without ever leaving a half-written file: the
// bytes go to a temporary file beside path, are flushed to disk, and the
// temporary is then renamed over path. On failure path is untouched, the
// temporary is removed, and error (when given) says what went wrong.
bool writeFileAtomically(const std::filesystem::path &path, std::string_view bytes, std::string *error = nullptr);

} // namespace trelvo::motion
