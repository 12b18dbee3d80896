#pragma once
#include <string>

namespace mv {

// $MERVALE_HOME when set and not empty, else the folder of the running executable, or for an
// installed program (PREFIX/bin/mervale) its data folder PREFIX/share/mervale.
std::string ProgramFolder();
// The program folder of an executable that lies in exeFolder.
std::string ProgramFolderOf(const std::string& exeFolder);
// Joins a folder and a name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace mv
