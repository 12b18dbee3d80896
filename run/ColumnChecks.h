#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "run/ValueFormat.h"

namespace mv {

struct ColumnInfo;
struct RunTable;

// What the data phase checks a column's values for. A value that not every target can hold
// gets a remark; a text in a column of the profile's own number type becomes NULL, remarked.
enum class ValueCheck : char {
  None,
  Number,       // a number column: NaN, infinities and texts that are no number
  NumberNoted,  // the same, its NaN or infinity already remarked (once a column)
  Date,         // a date or time as the engine's text: an infinite or BC date (remarked once)
};

// The checks of the columns of a table's SELECT, by their literal rules; dates: whether some
// column is checked for dates.
std::vector<ValueCheck> ValueChecks(const RunTable& table, const std::vector<LiteralRule>& rules, bool& dates);

// A value of a number column that is no number literal. NaN and infinities go on as text,
// which some targets take and others refuse; any other text cannot go into a number type the
// profile names, and NULL goes in its place (the answer is true). Either way the script says
// so: never a silent change.
bool NotANumber(const ColumnInfo& col, const RunTable& table, std::string_view value, std::vector<std::string>& notes,
                ValueCheck& check);

// A date or time as PostgreSQL holds it that other engines do not: infinity, a BC date.
inline bool IsSpecialDate(std::string_view v) {
  const size_t at = v[0] == '-' ? 1 : 0;
  if (v.size() == at + 8 && v.compare(at, 8, "infinity") == 0) return true;
  return v[0] >= '0' && v[0] <= '9' && v.size() > 3 && v.compare(v.size() - 3, 3, " BC") == 0;
}
// The remark of such a date; the column is not checked again.
void NoteSpecialDate(const ColumnInfo& col, const RunTable& table, std::string_view value,
                     std::vector<std::string>& notes, ValueCheck& check);

}  // namespace mv
