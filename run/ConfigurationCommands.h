#pragma once
#include <functional>
#include <string>

namespace mv {

class RunController;
struct Configuration;

// Saves the options and the connection to an .mvl file. Returns success; a failure is shown.
bool SaveConfiguration(RunController& run, const std::string& path);
// Loads an .mvl file, INI or legacy binary form: reconnects (asking first unless noQuestion),
// takes its options and chooses its profile. Returns false when the file could not be opened.
// adjust, when given, changes what was read before it is applied (the batch program's
// command-line options).
bool LoadConfiguration(RunController& run, const std::string& path, bool noQuestion,
                       const std::function<void(Configuration&)>& adjust = {});
// Applies a configuration read as a value: reconnects (asking first unless noQuestion), takes
// its options and chooses its profile.
void ApplyConfiguration(RunController& run, const Configuration& file, bool noQuestion);
// LoadConfiguration without questions, then a run. Returns true when a run was started.
bool AutoStart(RunController& run, const std::string& path);
// The title update after a file was opened or saved (fileName without its folder).
void ConfigTitleUpdate(RunController& run, const std::string& fileName);

}  // namespace mv
