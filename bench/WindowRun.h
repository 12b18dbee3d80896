#pragma once
#include <string>

#include "ScriptRunner.h"

namespace mv::bench {

// The desktop path: the same data-phase run into the Qt script window (offscreen), with
// auto-save to outputPath every 500 lines, as a person would script a large table on screen.
// Built only with the desktop program; throws std::runtime_error like ScriptRunner::Run.
ScriptRunner::Result RunInWindow(const std::string& workDir, const std::string& connectString, const std::string& owner,
                                 const std::string& outputPath);

}  // namespace mv::bench
