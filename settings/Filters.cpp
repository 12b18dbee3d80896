#include "settings/Filters.h"

#include <strings.h>

#include "profiles/Profile.h"

namespace mv {

namespace {
bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// An entry with a "%" is a pattern, as column filters take them; table names compare without
// regard to case either way.
bool TableMatches(const std::string& entry, const std::string& tableName) {
  if (entry.find('%') == std::string::npos) return EqualNoCase(entry, tableName);
  return PatternMatches(ApplyCase(entry, 0), ApplyCase(tableName, 0));
}
}  // namespace

int TableIsSkipped(const RunOptions& opts, const std::string& tableName) {
  if (!opts.IncludeOnlyTables.empty()) {
    for (const auto& t : opts.IncludeOnlyTables)
      if (TableMatches(t, tableName)) return 0;
    return 1;
  }
  for (const auto& t : opts.IgnoreTables)
    if (TableMatches(t, tableName)) return 1;
  return 0;
}

std::vector<std::string> UnmatchedTables(const RunOptions& opts, const std::vector<std::string>& names) {
  std::vector<std::string> unmatched;
  for (const std::string& entry : opts.IncludeOnlyTables) {
    bool found = false;
    for (const std::string& name : names) found = found || TableMatches(entry, name);
    if (!found) unmatched.push_back(entry);
  }
  return unmatched;
}

bool PatternMatches(const std::string& pattern, const std::string& name) {
  size_t p = pattern.find('%');
  if (p == std::string::npos) return pattern == name;
  const std::string prefix = pattern.substr(0, p);
  const std::string suffix = pattern.substr(p + 1);
  // A name shorter than the prefix or suffix is compared whole, and so fails unless equal.
  const bool prefixOk = name.size() >= prefix.size() ? name.compare(0, prefix.size(), prefix) == 0 : name == prefix;
  const bool suffixOk = name.size() >= suffix.size()
                            ? name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0
                            : name == suffix;
  return prefixOk && suffixOk;
}

int ColumnIsIgnored(const RunOptions& opts, const std::string& columnName, const std::string& typeName) {
  const std::string upper = ApplyCase(columnName, 0);
  for (const auto& pattern : opts.IgnoreColumns)
    if (PatternMatches(pattern, upper)) return 1;
  if (typeName.empty()) return 0;
  for (const auto& pattern : opts.IgnoreDataTypes)
    if (PatternMatches(pattern, typeName)) return 1;
  return 0;
}

int WhereConditionFor(const RunOptions& opts, const std::string& tableName, std::string& condition) {
  auto it = opts.WhereStatements.find(ApplyCase(tableName, 0));
  if (it == opts.WhereStatements.end() || it->second.empty()) return 0;
  std::string value = it->second;
  size_t start = value.find_first_not_of(" \t\r\n\f\v");
  std::string trimmed = start == std::string::npos ? std::string() : value.substr(start);
  std::string probe = ApplyCase(trimmed.substr(0, 6), 0);
  if (probe == "WHERE " || probe == "WHERE\t")
    condition = trimmed.substr(6);
  else
    condition = value;
  return 1;
}

}  // namespace mv
