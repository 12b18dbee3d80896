#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace mv {

struct Profile;
struct RunOptions;

// How a column's values are written: bare when they are numbers, or as strings.
enum class LiteralRule : char { Number, String };

// One fetched value to its script text: substitutions first, then the literal rules.
// value is consumed (substituted in place); the result is appended to out. scratch is reused.
// true when a value of a number column is no number literal (it is written as a string).
bool FormatValue(const Profile& working, const RunOptions& opts, std::string& value, LiteralRule rule, bool isNull,
                 std::string& out, std::string& scratch);

// What the formatting of every value works out from the profile and the options alone: made
// once for a run's many values.
struct ValueFormatPlan {
  size_t onePass = 0;  // pairs substituted while appending; 0: the general path
  char finds[8] = {};  // their one-byte find strings
};
ValueFormatPlan PlanValueFormat(const Profile& working, const RunOptions& opts);
bool FormatValue(const Profile& working, const RunOptions& opts, const ValueFormatPlan& plan, std::string& value,
                 LiteralRule rule, bool isNull, std::string& out, std::string& scratch);
// The same for a value read as a view: store receives a copy only when the profile's rules
// must change the value itself (it may be what value views).
bool FormatValue(const Profile& working, const RunOptions& opts, const ValueFormatPlan& plan, std::string_view value,
                 std::string& store, LiteralRule rule, bool isNull, std::string& out, std::string& scratch);
std::string FormatValue(const Profile& working, const RunOptions& opts, std::string value, LiteralRule rule,
                        bool isNull);

// Whether text is a number the script can write bare: sign, digits, point, exponent.
bool IsNumberLiteral(std::string_view text);

// A row (values separated by " \t ") or a header (names separated by " , ") as one CSV record.
std::string CsvLine(const std::string& text, bool isHeader);

}  // namespace mv
