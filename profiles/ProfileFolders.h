#pragma once
#include <string>

#include "profiles/Profile.h"

namespace mv {

class Host;

// Where profiles a user creates or edits live when the program folder cannot be written (an
// installed program): $XDG_DATA_HOME/Quillfen/Mervale/profiles, ~/.local/share when unset.
std::string UserProfileFolder();

// The folder the profile manager saves into: the program folder when it is writable, else
// the per-user folder (created on demand).
std::string ProfileSaveFolder(const std::string& programFolder);

// Reads the per-user folder after the program folder: a user file replaces a shipped profile
// of the same name, other names are appended. Nothing happens when the folder is the program
// folder itself or does not exist.
void DiscoverUserProfiles(ProfileList& list, const std::string& programFolder, Host& host);

}  // namespace mv
