#pragma once
#include <string>
#include <vector>

namespace mv {

class SettingsStore;

// The connect strings a user connected with before, newest first, kept in the settings file
// ("RecentConnection1" ...) for the data source chooser to offer. Passwords are never kept:
// what is stored and what is offered has every password attribute taken out. The settings
// file is the user's to edit, so an entry read back that is too long, holds a control
// character or still names a password is left out rather than offered.
struct RecentConnections {
  static constexpr int kMax = 8;
  static constexpr size_t kMaxLength = 511;  // the longest connect string a connection takes

  // The string without its password attributes (any key ending in PWD, PASSWORD or PASSWD);
  // empty when a password cannot be told apart from the rest.
  static std::string WithoutPasswords(const std::string& connectString);
  static std::vector<std::string> Load(const SettingsStore& settings);
  // Puts the string first (without its passwords), drops an equal older entry and the
  // oldest beyond kMax. A string that cannot be kept whole is not kept at all.
  static void Remember(SettingsStore& settings, const std::string& connectString);
};

}  // namespace mv
