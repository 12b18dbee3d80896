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
