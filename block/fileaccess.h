#pragma once
// The block core's only access to the file system: whole-file reads and
// atomic whole-file replacement. Paths are in the local 8-bit encoding
// (QFile::encodeName of a QString path).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole regular file at path into out. Fails (with a sentence in
// *error) when it cannot be opened, is not a regular file, is larger than
// maxSize bytes, or the read fails.
bool readWholeFile(const std::string &path, size_t maxSize, std::vector<uint8_t> *out,
                   std::string *error);

// Replaces the file at path with data: writes a temporary file beside it
// (PATH.tmp-XXXXXX), flushes it to disk and renames it over path. On any
// failure the temporary file is removed and whatever was at path is left as
// it was. A symbolic link is written through to its target; temporaries of
// the same target left by a killed writer are removed after a success.
bool replaceFileContents(const std::string &path, const uint8_t *data, size_t size,
                         std::string *error);
