#include "run/ValueFormat.h"

#include <array>
#include <cstring>

#include "base/TextRules.h"
#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "settings/RunOptions.h"

namespace mv {

namespace {
constexpr size_t kMaxOnePass = 8;

// The bytes a number literal may hold, blanks around it included.
constexpr std::array<bool, 256> kInNumber = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : std::string_view("0123456789+-.eE \t")) t[c] = true;
  return t;
}();
inline bool InNumber(char c) { return kInNumber[static_cast<unsigned char>(c)]; }

// Pairs that each replace one byte by a non-empty text, no replacement holding a later pair's
// byte, give the same text applied at once as applied in turn (the profiles' apostrophe,
// backslash and carriage return): their bytes into finds, or 0 when that does not hold.
// Whether a value is a number is then told from the raw value: no pair touches a number, and
// no replacement can leave one behind. Asked for every value, so kept short.
size_t OnePassBytes(const std::vector<Substitution>& pairs, char (&finds)[kMaxOnePass]) {
  const size_t n = pairs.size();
  if (n == 0 || n > kMaxOnePass) return 0;
  for (size_t i = 0; i < n; ++i) {
    const Substitution& pair = pairs[i];
    if (pair.find.size() != 1 || InNumber(pair.find[0])) return 0;
    bool numberOnly = true;
    for (char c : pair.replace)
      if (!InNumber(c)) {
        numberOnly = false;
        break;
      }
    if (numberOnly) return 0;
    for (size_t j = 0; j < i; ++j)
      if (finds[j] == pair.find[0] || pairs[j].replace.find(pair.find[0]) != std::string::npos) return 0;
    finds[i] = pair.find[0];
  }
  return n;
}

// Appends text with every byte of finds replaced by its pair's replacement.
[[gnu::hot]] void AppendReplaced(std::string& out, std::string_view text, const std::vector<Substitution>& pairs,
                                 const char* finds, size_t n) {
  size_t from = 0;
  auto next = [&](size_t at) { return n == 1 ? text.find(finds[0], at) : text.find_first_of(finds, at, n); };
  for (size_t pos = next(0); pos != std::string_view::npos; pos = next(from)) {
    out.append(text.substr(from, pos - from));
    size_t k = 0;
    while (finds[k] != text[pos]) ++k;
    out += pairs[k].replace;
    from = pos + 1;
  }
  out.append(text.substr(from));
}
}  // namespace

[[gnu::hot]] bool IsNumberLiteral(std::string_view v) {
  // Most numbers are digits with a sign or a point: told without the general rules.
  {
    const char *p = v.data(), *end = p + v.size();
    if (p != end && *p == '-') ++p;
    const char* digits = p;
    while (p != end && static_cast<unsigned char>(*p - '0') < 10) ++p;
    if (p == end) return p != digits;
    if (*p == '.' && p != digits) {
      ++p;
      while (p != end && static_cast<unsigned char>(*p - '0') < 10) ++p;
      if (p == end) return true;
    }
  }
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

namespace {
// -1 or 1 for an infinity as the drivers and engines spell it (inf, Inf, Infinity), else 0.
int InfinitySign(std::string_view v) {
  int sign = 1;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    sign = v[0] == '-' ? -1 : 1;
    v.remove_prefix(1);
  }
  constexpr std::string_view kWord = "infinity";
  if (v.size() != 3 && v.size() != kWord.size()) return 0;
  for (size_t i = 0; i < v.size(); ++i)
    if ((v[i] | 0x20) != kWord[i]) return 0;
  return sign;
}

// The profile's literal for an infinite number, when the value is infinite.
[[gnu::cold, gnu::noinline]] bool AppendInfinity(const Profile& profile, std::string_view value, std::string& out) {
  const int sign = InfinitySign(value);
  if (sign == 0) return false;
  if (sign < 0) out += '-';
  out += profile.s_Infinity;
  return true;
}
}  // namespace

ValueFormatPlan PlanValueFormat(const Profile& profile, const RunOptions& opts) {
  ValueFormatPlan plan;
  static_assert(sizeof plan.finds == kMaxOnePass);
  if (!opts.b_RightTrim && !opts.b_LeftTrim) plan.onePass = OnePassBytes(profile.Substitutions, plan.finds);
  return plan;
}

bool FormatValue(const Profile& profile, const RunOptions& opts, std::string& value, LiteralRule rule, bool isNull,
                 std::string& out, std::string& scratch) {
  return FormatValue(profile, opts, PlanValueFormat(profile, opts), value, rule, isNull, out, scratch);
}

namespace {
// The part of a value the trim options keep.
std::string_view Trimmed(const RunOptions& opts, std::string_view value) {
  size_t begin = 0, end = value.size();
  if (opts.b_RightTrim)
    while (end > begin && IsWhiteSpace(value[end - 1])) --end;
  if (opts.b_LeftTrim)
    while (begin < end && IsWhiteSpace(value[begin])) ++begin;
  return value.substr(begin, end - begin);
}

// A text holding a carriage return, in the profile's hexadecimal form (trimmed as the options
// say); false when the text keeps none or the form names no place for the bytes.
[[gnu::cold, gnu::noinline]] bool AppendHexText(const Profile& profile, const RunOptions& opts, std::string_view value,
                                                std::string& out) {
  const std::string_view kept = Trimmed(opts, value);
  const size_t at = profile.s_HexText.find("%s");
  if (kept.find('\r') == std::string_view::npos || at == std::string::npos) return false;
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.append(profile.s_HexText, 0, at);
  for (unsigned char c : kept) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  out.append(profile.s_HexText, at + 2, std::string::npos);
  return true;
}

// Whether a value goes to AppendHexText: a CSV record holds texts, never SQL.
bool HexTextCandidate(const Profile& profile, const RunOptions& opts, std::string_view value) {
  return !profile.s_HexText.empty() && !opts.b_DataCSV && std::memchr(value.data(), '\r', value.size()) != nullptr;
}

// Every profile the one pass does not cover: substitutions first, then the literal rules. Out
// of line, so that the common path stays small.
[[gnu::noinline]] bool FormatGeneral(const Profile& profile, const RunOptions& opts, std::string& value,
                                     LiteralRule rule, bool isNull, std::string& out, std::string& scratch) {
  if (HexTextCandidate(profile, opts, value) && AppendHexText(profile, opts, value, out))
    return rule == LiteralRule::Number;
  if (!profile.Substitutions.empty()) ApplySubstitutions(profile.Substitutions, value, scratch);
  if (opts.b_AllStrings) {
    out += profile.s_StringDelimiter;
    out += value;
    out += profile.s_StringDelimiter;
    return rule == LiteralRule::Number && !value.empty() && !IsNumberLiteral(value);
  }
  if (rule == LiteralRule::Number && (value.empty() || IsNumberLiteral(value))) {
    out += value.empty() ? profile.s_NumericEmpty : value;
    return false;
  }
  if (const std::string_view kept = Trimmed(opts, value); !kept.empty()) {
    out += profile.s_StringDelimiter;
    out += kept;
    out += profile.s_StringDelimiter;
  } else {
    out += isNull ? profile.s_NullString : profile.s_EmptyString;
  }
  return rule == LiteralRule::Number && !value.empty();
}
}  // namespace

bool FormatValue(const Profile& profile, const RunOptions& opts, const ValueFormatPlan& plan, std::string& value,
                 LiteralRule rule, bool isNull, std::string& out, std::string& scratch) {
  return FormatValue(profile, opts, plan, std::string_view(value), value, rule, isNull, out, scratch);
}

[[gnu::hot]] bool FormatValue(const Profile& profile, const RunOptions& opts, const ValueFormatPlan& plan,
                              std::string_view value, std::string& store, LiteralRule rule, bool isNull,
                              std::string& out, std::string& scratch) {
  // A value of a numeric column that is no number literal (NaN, Infinity, currency text) would
  // break the statement bare: it is written as a string.
  // An infinity as read, before any substitution or trimming: only a value ending in f or y can be one.
  if (rule == LiteralRule::Number && !value.empty() && ((value.back() | 0x20) == 'f' || (value.back() | 0x20) == 'y') &&
      !opts.b_AllStrings && !profile.s_Infinity.empty() && AppendInfinity(profile, value, out)) [[unlikely]]
    return false;
  // NULL and empty: no substitution or trimming changes an empty value.
  if (value.empty() && !opts.b_AllStrings) {
    out += rule == LiteralRule::Number ? profile.s_NumericEmpty : isNull ? profile.s_NullString : profile.s_EmptyString;
    return false;
  }
  if (plan.onePass == 0 || value.empty()) [[unlikely]] {
    if (value.data() != store.data() || value.size() != store.size()) store.assign(value);
    return FormatGeneral(profile, opts, store, rule, isNull, out, scratch);
  }
  // The common profiles (one-byte substitutions, such as the apostrophe, into non-empty texts,
  // no trimming) cannot change whether a value is empty: substitute while appending. A number
  // holds none of the pairs' bytes, so the raw value decides whether it is one.
  const bool notNumber = rule == LiteralRule::Number && !IsNumberLiteral(value);
  const bool delimited = opts.b_AllStrings || rule != LiteralRule::Number || notNumber;
  if (delimited && HexTextCandidate(profile, opts, value) && AppendHexText(profile, opts, value, out)) [[unlikely]]
    return notNumber;
  if (delimited) out += profile.s_StringDelimiter;
  if (rule == LiteralRule::Number && !notNumber)
    out += value;
  else
    AppendReplaced(out, value, profile.Substitutions, plan.finds, plan.onePass);
  if (delimited) out += profile.s_StringDelimiter;
  return notNumber;
}

std::string FormatValue(const Profile& profile, const RunOptions& opts, std::string value, LiteralRule rule,
                        bool isNull) {
  std::string out, scratch;
  FormatValue(profile, opts, value, rule, isNull, out, scratch);
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
