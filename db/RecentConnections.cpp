#include "db/RecentConnections.h"

#include <algorithm>

#include "base/SettingsStore.h"
#include "base/TextOrder.h"
#include "base/TextRules.h"
#include "db/ConnectSafety.h"
#include "db/DataSources.h"

namespace mv {

namespace {

std::string Key(int i) { return "RecentConnection" + std::to_string(i + 1); }

bool EndsWithIgnoringCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && EqualIgnoringCase(text.substr(text.size() - end.size()), end);
}

bool IsPasswordKey(const std::string& key) {
  const std::string k = Trim(key);
  return EndsWithIgnoringCase(k, "PWD") || EndsWithIgnoringCase(k, "PASSWORD") || EndsWithIgnoringCase(k, "PASSWD");
}

bool Keepable(const std::string& s) {
  if (s.empty() || s.size() > RecentConnections::kMaxLength) return false;
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return false;
  // MaskPasswords finds password values in any spelling the parser might have missed.
  return MaskPasswords(s) == s;
}

}  // namespace

std::string RecentConnections::WithoutPasswords(const std::string& connectString) {
  const auto attributes = ParseConnectString(connectString);
  if (std::none_of(attributes.begin(), attributes.end(), [](const auto& a) { return IsPasswordKey(a.first); }))
    return connectString;
  std::string out = connectString;
  for (const auto& [k, v] : attributes) {
    if (!IsPasswordKey(k)) continue;
    // "PWD = {a;b}": the parser braces only a value that starts at the "=", so part of such a
    // password would stay behind as an attribute of its own. Nothing of it is kept.
    if (Trim(v).rfind('{', 0) == 0) return {};
    out = RemoveConnectAttribute(out, k);
  }
  return out;
}

std::vector<std::string> RecentConnections::Load(const SettingsStore& settings) {
  std::vector<std::string> out;
  for (int i = 0; i < kMax; ++i) {
    const std::string s = settings.GetString(Key(i), "");
    if (Keepable(s) && std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
  }
  return out;
}

void RecentConnections::Remember(SettingsStore& settings, const std::string& connectString) {
  const std::string entry = WithoutPasswords(Trim(connectString));
  if (!Keepable(entry)) return;
  std::vector<std::string> list = Load(settings);
  list.erase(std::remove(list.begin(), list.end(), entry), list.end());
  list.insert(list.begin(), entry);
  if (list.size() > static_cast<size_t>(kMax)) list.resize(kMax);
  settings.BeginBatch();
  for (int i = 0; i < kMax; ++i) settings.WriteString(Key(i), i < static_cast<int>(list.size()) ? list[i] : "");
  settings.EndBatch();
}

}  // namespace mv
