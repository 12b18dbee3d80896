#pragma once
#include <string>

#include "profiles/Profile.h"

namespace mv {

class Host;

// Reads program folder + "/" + p.s_Name + ".pfl". Accepts "VER5.0", "VER4.1" and older tags.
// A file that ends early (or whose length prefix runs past its end) is a failure, never a crash.
bool LoadProfile(Profile& p, const std::string& folder, Host& host);
// Writes the "VER5.0" form atomically; on failure shows "Could not save profile '...'".
bool SaveProfile(Profile& p, const std::string& folder, Host& host);
// Loads every *.pfl (any case) of the folder; creates "Default" in memory when none loads.
void DiscoverProfiles(ProfileList& list, const std::string& folder, std::string& workingName, const Profile& working,
                      Host& host);

// The byte encodings, shared with the legacy configuration reader.
namespace pfl {
std::string EncodeString(const std::string& s);
std::string EncodeInt(int v);
// Reads a length-prefixed string at pos; false when the data ends early.
bool DecodeString(const std::string& data, size_t& pos, std::string& out);
bool DecodeInt(const std::string& data, size_t& pos, int& out);
}  // namespace pfl

}  // namespace mv
