#include "run/ColumnChecks.h"

#include "profiles/TypeCategory.h"
#include "run/RunContext.h"
#include "run/ScriptNames.h"

namespace mv {

std::vector<ValueCheck> ValueChecks(const RunTable& table, const std::vector<LiteralRule>& rules, bool& dates) {
  std::vector<ValueCheck> checks(rules.size(), ValueCheck::None);
  dates = false;
  for (size_t k = 0; k < checks.size(); ++k) {
    const ColumnInfo& col = table.columns[k];
    if (rules[k] == LiteralRule::Number) {
      checks[k] = ValueCheck::Number;
    } else if (col.engineRead == EngineRead::Text && (col.category == kDate || col.category == kTimestamp ||
                                                      col.category == kTime || col.category == kUnknown)) {
      checks[k] = ValueCheck::Date;
      dates = true;
    }
  }
  return checks;
}

namespace {
bool IsNonFinite(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  auto is = [&](std::string_view word) {
    if (s.size() != word.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
      if ((s[i] | 0x20) != word[i]) return false;
    return true;
  };
  return is("nan") || is("inf") || is("infinity");
}
}  // namespace

[[gnu::cold]] bool NotANumber(const ColumnInfo& col, const RunTable& table, std::string_view value,
                              std::vector<std::string>& notes, ValueCheck& check) {
  if (IsNonFinite(value)) {
    if (check == ValueCheck::Number)
      notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds " +
                      std::string(value) +
                      ", which not every target can hold (MariaDB has no NaN or infinities, SQLite no NaN).");
    check = ValueCheck::NumberNoted;
    return false;
  }
  if (!col.numberTyped) return false;
  notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds '" +
                  RemarkSafe(std::string(value)) +
                  "', which is no number and which its number type cannot hold: NULL is written in its place.");
  return true;
}

[[gnu::cold]] void NoteSpecialDate(const ColumnInfo& col, const RunTable& table, std::string_view value,
                                   std::vector<std::string>& notes, ValueCheck& check) {
  notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds " +
                  RemarkSafe(std::string(value)) +
                  ", which not every target can hold (MariaDB has no infinite or BC dates).");
  check = ValueCheck::None;
}

}  // namespace mv
