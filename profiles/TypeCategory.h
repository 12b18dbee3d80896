#pragma once
#include <string>
#include <string_view>

namespace mv {

// The 23 generic data type categories that index every per-type table of a profile.
enum TypeCategory : int {
  kChar = 0,
  kVarchar,
  kLongVarchar,
  kWChar,
  kWVarchar,
  kLongWVarchar,
  kDecimal,
  kNumber,
  kSmallint,
  kInteger,
  kReal,
  kFloat,
  kDouble,
  kTinyint,
  kBit,
  kBigint,
  kBinary,
  kVarbinary,
  kLongVarbinary,
  kDate,
  kTime,
  kTimestamp,
  kUnknown
};
inline constexpr int kTypeCategoryCount = 23;

// Category of an ODBC 2 SQL type code; any code outside the table is kUnknown.
TypeCategory CategoryOf(int sqlType);
// "CHAR" ... "UNKNOWN".
const char* CategoryName(int category);
// Index of a category name, or -1.
int CategoryIndex(std::string_view name);
bool CategoryIsNumeric(int category);
bool CategoryHasLength(int category);
// REAL, FLOAT and DOUBLE: values a text of too few digits would change.
inline bool IsApproximate(int category) { return category == kReal || category == kFloat || category == kDouble; }
// The categories in the order every type list of the interface is filled.
extern const int kDisplayOrder[kTypeCategoryCount];

struct Profile;

// Whether "(length)" is left out for a category text under the profile's length rule.
bool OmitLength(const Profile& working, std::string_view categoryText, bool isNumeric);

// Type text written after a column name in CREATE TABLE (before the data type case rule).
// scale is written only for the DECIMAL and NUMBER categories and only when above 0.
std::string ColumnTypeText(int category, std::string_view dbTypeName, long columnSize, long scale,
                           const Profile& working, int b_DataType);

}  // namespace mv
