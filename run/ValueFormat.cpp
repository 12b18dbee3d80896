#include "run/ValueFormat.h"

#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "settings/RunOptions.h"

namespace mv {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
}  // namespace

namespace {
// Appends text with every occurrence of one byte replaced.
void AppendReplaced(std::string& out, const std::string& text, char find, const std::string& replace) {
  size_t from = 0;
  for (size_t pos = text.find(find); pos != std::string::npos; pos = text.find(find, from)) {
    out.append(text, from, pos - from);
    out += replace;
    from = pos + 1;
  }
  out.append(text, from, std::string::npos);
}
}  // namespace

bool IsNumberLiteral(std::string_view v) {
  // Blanks around a number are no part of it, and SQL reads them as such.
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  size_t i = 0;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  size_t digits = 0;
  while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++digits;
  if (i < v.size() && v[i] == '.') {
    ++i;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
    ++i;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
    size_t exp = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++exp;
    if (exp == 0) return false;
  }
  return i == v.size();
}

bool FormatValue(const Profile& profile, const RunOptions& opts, std::string& value, char typeFlag, bool isNull,
                 std::string& out, std::string& scratch) {
  // A value of a numeric column that is no number literal (NaN, Infinity, currency text) would
  // break the statement bare: it is written as a string. (The one-byte substitution path never
  // changes a number, so the raw value decides there.)
  // The common profile (one one-byte substitution, such as the apostrophe, into a non-empty
  // text, no trimming) cannot change whether a value is empty: substitute while appending.
  if (profile.Substitutions.size() == 1 && profile.Substitutions[0].find.size() == 1 &&
      !profile.Substitutions[0].replace.empty() && !opts.b_RightTrim && !opts.b_LeftTrim && !value.empty()) {
    const Substitution& pair = profile.Substitutions[0];
    const bool notNumber = typeFlag == 'T' && !IsNumberLiteral(value);
    const bool delimited = opts.b_AllStrings || typeFlag != 'T' || notNumber;
    if (delimited) out += profile.s_StringDelimiter;
    AppendReplaced(out, value, pair.find[0], pair.replace);
    if (delimited) out += profile.s_StringDelimiter;
    return notNumber;
  }
  if (!profile.Substitutions.empty()) ApplySubstitutions(profile.Substitutions, value, scratch);
  if (opts.b_AllStrings) {
    out += profile.s_StringDelimiter;
    out += value;
    out += profile.s_StringDelimiter;
    return typeFlag == 'T' && !value.empty() && !IsNumberLiteral(value);
  }
  if (typeFlag == 'T' && (value.empty() || IsNumberLiteral(value))) {
    out += value.empty() ? profile.s_NumericEmpty : value;
    return false;
  }
  size_t begin = 0, end = value.size();
  if (opts.b_RightTrim)
    while (end > begin && IsBlank(value[end - 1])) --end;
  if (opts.b_LeftTrim)
    while (begin < end && IsBlank(value[begin])) ++begin;
  if (end > begin) {
    out += profile.s_StringDelimiter;
    out.append(value, begin, end - begin);
    out += profile.s_StringDelimiter;
  } else {
    out += isNull ? profile.s_NullString : profile.s_EmptyString;
  }
  return typeFlag == 'T' && !value.empty();
}

std::string FormatValue(const Profile& profile, const RunOptions& opts, std::string value, char typeFlag, bool isNull) {
  std::string out, scratch;
  FormatValue(profile, opts, value, typeFlag, isNull, out, scratch);
  return out;
}

std::string CsvLine(const std::string& text, bool isHeader) {
  if (text.empty()) return text;
  std::string s = ReplaceAll(text, "\"", "\"\"");
  s = ReplaceAll(s, " \t ", "\",\"");
  if (isHeader) s = ReplaceAll(s, " , ", "\",\"");
  return "\"" + s + "\"";
}

}  // namespace mv
