#pragma once
#include <string>

namespace mv {

// $MERVALE_HOME when set and not empty, else the folder of the running executable.
std::string ProgramFolder();
// Joins a folder and a name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace mv
