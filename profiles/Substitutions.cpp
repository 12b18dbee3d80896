#include "profiles/Substitutions.h"

namespace mv {

namespace {
// Appends text with every occurrence of find replaced; returns whether anything matched.
bool ReplaceInto(const std::string& text, const std::string& find, const std::string& replace, std::string& out) {
  if (find.empty()) return false;
  // A one-byte find string (the apostrophe of most profiles) is a plain byte search.
  size_t pos = find.size() == 1 ? text.find(find[0]) : text.find(find);
  if (pos == std::string::npos) return false;
  out.clear();
  size_t from = 0;
  while (pos != std::string::npos) {
    out.append(text, from, pos - from);
    out += replace;
    from = pos + find.size();
    pos = find.size() == 1 ? text.find(find[0], from) : text.find(find, from);
  }
  out.append(text, from, std::string::npos);
  return true;
}
}  // namespace

std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& replace) {
  std::string out;
  return ReplaceInto(text, find, replace, out) ? out : text;
}

double SubstitutionGrowth(const std::vector<Substitution>& pairs) {
  double growth = 1;
  for (const Substitution& pair : pairs)
    if (!pair.find.empty() && pair.replace.size() > pair.find.size())
      growth *= static_cast<double>(pair.replace.size()) / static_cast<double>(pair.find.size());
  return growth;
}

std::string SubstitutionGrowthRefusal(const std::string& profileName, const std::vector<Substitution>& pairs) {
  if (SubstitutionGrowth(pairs) <= kMaxSubstitutionGrowth) return {};
  return "The profile '" + profileName + "' was not loaded: its substitutions could make a value more than " +
         std::to_string(static_cast<int>(kMaxSubstitutionGrowth)) + " times longer.";
}

void ApplySubstitutions(const std::vector<Substitution>& pairs, std::string& text, std::string& scratch) {
  for (const auto& pair : pairs)
    if (ReplaceInto(text, pair.find, pair.replace, scratch)) text.swap(scratch);
}

std::string ApplySubstitutions(const std::vector<Substitution>& pairs, std::string text) {
  std::string scratch;
  ApplySubstitutions(pairs, text, scratch);
  return text;
}

}  // namespace mv
