#include "profiles/ProfileExtras.h"

#include <charconv>

#include "profiles/ProfileFile.h"

namespace mv {

namespace {

ProfileExtra Text(const char* field, const char* key, std::string Profile::*member) {
  ProfileExtra e{field, key};
  e.text = member;
  return e;
}

ProfileExtra Number(const char* field, const char* key, int Profile::*member) {
  ProfileExtra e{field, key};
  e.number = member;
  return e;
}

}  // namespace

const std::vector<ProfileExtra>& ProfileExtras() {
  static const std::vector<ProfileExtra> extras = {
      Text("s_Infinity", "Infinity", &Profile::s_Infinity),
      Text("s_HexText", "HexText", &Profile::s_HexText),
      Text("s_BeginTransaction", "BeginTransaction", &Profile::s_BeginTransaction),
      Text("s_LoadPreamble", "LoadPreamble", &Profile::s_LoadPreamble),
      Text("s_LoadPostamble", "LoadPostamble", &Profile::s_LoadPostamble),
      Number("i_InsertBytes", "InsertBytes", &Profile::i_InsertBytes),
      Text("s_CopyFrom", "CopyFrom", &Profile::s_CopyFrom),
      Number("b_DataCopy", "DataCopy", &Profile::b_DataCopy),
  };
  return extras;
}

void ClearProfileExtras(Profile& p) {
  for (const ProfileExtra& e : ProfileExtras()) {
    if (e.text) (p.*e.text).clear();
    if (e.number) p.*e.number = 0;
    if (e.list) (p.*e.list).clear();
  }
}

bool ReadProfileExtra(Profile& p, const std::string& key, const std::string& value) {
  for (const ProfileExtra& e : ProfileExtras()) {
    if (key != e.key) continue;
    if (e.text) p.*e.text = value;
    if (e.list) (p.*e.list).push_back(value);
    if (e.number) {
      int v = 0;
      const char* end = value.data() + value.size();
      const auto [at, ec] = std::from_chars(value.data(), end, v);
      if (ec != std::errc() || at != end) return false;
      p.*e.number = v;
    }
    return true;
  }
  return false;
}

std::string WriteProfileExtras(const Profile& p) {
  using pfl::EncodeString;
  std::string out;
  for (const ProfileExtra& e : ProfileExtras()) {
    if (e.text && !(p.*e.text).empty()) out += EncodeString(e.key) + EncodeString(p.*e.text);
    if (e.number && p.*e.number != 0) out += EncodeString(e.key) + EncodeString(std::to_string(p.*e.number));
    if (e.list)
      for (const std::string& item : p.*e.list) out += EncodeString(e.key) + EncodeString(item);
  }
  return out;
}

}  // namespace mv
