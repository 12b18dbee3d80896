#pragma once
#include <string>
#include <vector>

#include "profiles/Profile.h"

namespace mv {

// A profile setting added after the fixed record of the .pfl file. Each is kept in the file's
// tail as a key and value pair, written only when set, so that a profile that does not use it
// keeps the record byte for byte and an older reader passes it over. A new setting is a member
// of Profile plus one entry of ProfileExtras(): the file reader and writer and the profile
// source compiler take it from there.
struct ProfileExtra {
  const char* field;  // the member's name in profile sources ("s_Infinity")
  const char* key;    // its key in the file's tail ("Infinity")
  // Exactly one is set. A number is kept as decimal text; a list as one pair per entry.
  std::string Profile::*text = nullptr;
  int Profile::*number = nullptr;
  std::vector<std::string> Profile::*list = nullptr;
};

// Every setting of the tail, in the order the writer writes them.
const std::vector<ProfileExtra>& ProfileExtras();

// Empties every setting of the tail (before a file's tail is read).
void ClearProfileExtras(Profile& p);
// Takes one pair of a file's tail; false for a key this program does not know or a number
// that is none (passed over, as a damaged pair is).
bool ReadProfileExtra(Profile& p, const std::string& key, const std::string& value);
// The tail of p: the settings that are set, each as EncodeString(key) + EncodeString(value).
std::string WriteProfileExtras(const Profile& p);

}  // namespace mv
