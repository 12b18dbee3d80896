#pragma once
#include <string>

namespace mv {

// Replaces path with data atomically: a temporary file in the same folder, flushed to disk,
// then renamed over the old one. A new file gets `mode`; an existing file keeps its mode
// unless forceMode is set. Returns an empty string on success, else the reason.
std::string WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode = 0644,
                                bool forceMode = false);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace mv
