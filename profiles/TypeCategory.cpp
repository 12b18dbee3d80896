#include "profiles/TypeCategory.h"

#include <algorithm>

#include "profiles/Profile.h"

namespace mv {

namespace {
struct CategoryRow {
  const char* name;
  int sqlType;
  bool numeric;
  bool hasLength;
};
// Index order of every per-type table.
const CategoryRow kRows[kTypeCategoryCount] = {
    {"CHAR", 1, false, true},
    {"VARCHAR", 12, false, true},
    {"LONG VARCHAR", -1, false, false},
    {"WCHAR", -8, false, true},
    {"WVARCHAR", -9, false, true},
    {"LONG WVARCHAR", -10, false, false},
    {"DECIMAL", 3, true, true},
    {"NUMBER", 2, true, true},
    {"SMALLINT", 5, true, true},
    {"INTEGER", 4, true, true},
    {"REAL", 7, true, true},
    {"FLOAT", 6, true, true},
    {"DOUBLE", 8, true, true},
    {"TINYINT", -6, true, true},
    {"BIT", -7, true, true},
    {"BIGINT", -5, true, true},
    {"BINARY", -2, false, false},
    {"VARBINARY", -3, false, false},
    {"LONG VARBINARY", -4, false, false},
    {"DATE", 9, false, true},
    {"TIME", 10, false, true},
    {"TIMESTAMP", 11, false, true},
    {"UNKNOWN", 0, false, false},
};
}  // namespace

const int kDisplayOrder[kTypeCategoryCount] = {kChar,      kVarchar, kLongVarchar, kDecimal,       kNumber,  kSmallint,
                                               kInteger,   kReal,    kFloat,       kDouble,        kTinyint, kBit,
                                               kBigint,    kBinary,  kVarbinary,   kLongVarbinary, kDate,    kTime,
                                               kTimestamp, kWChar,   kWVarchar,    kLongWVarchar,  kUnknown};

TypeCategory CategoryOf(int sqlType) {
  for (int i = 0; i < kUnknown; ++i)
    if (kRows[i].sqlType == sqlType) return static_cast<TypeCategory>(i);
  return kUnknown;
}

const char* CategoryName(int category) {
  if (category < 0 || category >= kTypeCategoryCount) category = kUnknown;
  return kRows[category].name;
}

int CategoryIndex(std::string_view name) {
  for (int i = 0; i < kTypeCategoryCount; ++i)
    if (name == kRows[i].name) return i;
  return -1;
}

bool CategoryIsNumeric(int category) {
  return category >= 0 && category < kTypeCategoryCount && kRows[category].numeric;
}

bool CategoryHasLength(int category) {
  return category >= 0 && category < kTypeCategoryCount && kRows[category].hasLength;
}

bool OmitLength(const Profile& working, std::string_view categoryText, bool isNumeric) {
  switch (working.i_LengthRule) {
    case 0:
      return false;
    case 1:
      return isNumeric;
    default:
      return std::any_of(working.OmitLengthTypes.begin(), working.OmitLengthTypes.end(),
                         [&](const std::string& t) { return t == categoryText; });
  }
}

std::string ColumnTypeText(int category, std::string_view dbTypeName, long columnSize, long scale,
                           const Profile& working, int b_DataType) {
  const bool unknown = category == kUnknown;
  const std::string categoryText = unknown ? std::string(dbTypeName) : std::string(CategoryName(category));
  std::string_view translation = working.s_TypeTranslation[unknown ? kUnknown : category];
  // Leading white space does not count; a translation of blanks only is no translation.
  size_t firstNonBlank = translation.find_first_not_of(" \t\r\n\f\v");
  translation = firstNonBlank == std::string_view::npos ? std::string_view() : translation.substr(firstNonBlank);

  std::string text;
  if (!translation.empty())
    text = translation;
  else if (b_DataType)
    text = categoryText;
  else
    text = dbTypeName;
  // A database's own type name that already holds its length ("NUMERIC(10,2)") takes no second.
  const bool ownLength =
      translation.empty() && (unknown || !b_DataType) && dbTypeName.find('(') != std::string_view::npos;

  if (!ownLength && !OmitLength(working, categoryText, CategoryIsNumeric(category)) && columnSize > 0 &&
      columnSize < 1000000) {
    text += '(';
    text += std::to_string(columnSize);
    // Without the scale a DECIMAL(10,2) would come back as DECIMAL(10) and lose its fractions.
    if ((category == kDecimal || category == kNumber) && scale > 0) {
      text += ',';
      text += std::to_string(scale);
    }
    text += ')';
  }
  return text;
}

}  // namespace mv
