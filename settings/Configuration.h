#pragma once
#include <string>

namespace mv {

class RunOwner;

// Writes the run options and the connection to an .mvl file (INI text), atomically and
// readable by its owner only, since connect strings can hold passwords. Returns success.
bool SaveConfiguration(RunOwner& owner, const std::string& path);
// Reads an .mvl file, INI or legacy binary form. noQuestion: reconnect without asking.
// Returns false when the file could not be opened.
bool LoadConfiguration(RunOwner& owner, const std::string& path, bool noQuestion);
// LoadConfiguration without questions, then a run. Returns true when a run was started.
bool AutoStart(RunOwner& owner, const std::string& path);
// The title update after a file was opened or saved (fileName without its folder).
void ConfigTitleUpdate(RunOwner& owner, const std::string& fileName);

}  // namespace mv
