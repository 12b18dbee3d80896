#include "profiles/ProfileFolders.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "profiles/ProfileFile.h"

namespace mv {

namespace fs = std::filesystem;

std::string UserProfileFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data && *data) {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.local/share";
  }
  return base + "/Quillfen/Mervale/profiles";
}

std::string ProfileSaveFolder(const std::string& programFolder) {
  const std::string folder = programFolder.empty() ? std::string(".") : programFolder;
  if (access(folder.c_str(), W_OK) == 0) return programFolder;
  const std::string user = UserProfileFolder();
  std::error_code ec;
  fs::create_directories(user, ec);
  return user;
}

void DiscoverUserProfiles(ProfileList& list, const std::string& programFolder, Host& host) {
  const std::string user = UserProfileFolder();
  std::error_code ec;
  if (!fs::is_directory(user, ec)) return;
  if (fs::equivalent(user, programFolder.empty() ? std::string(".") : programFolder, ec)) return;
  std::vector<std::string> names;
  for (fs::directory_iterator it(user, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pfl") == 0 && !it->is_directory(ec))
      names.push_back(name.substr(0, name.size() - 4));
  }
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    Profile p;
    p.s_Name = n;
    if (!LoadProfile(p, user, host)) continue;
    if (Profile* shipped = list.FindProfile(n))
      *shipped = std::move(p);
    else
      list.Append(std::move(p));
  }
}

}  // namespace mv
