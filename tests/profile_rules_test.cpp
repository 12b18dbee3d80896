// Profile rules: case, type text and length rule, substitutions, value formatting, CSV.
#include <gtest/gtest.h>

#include "profiles/Profile.h"
#include "profiles/ProfileFile.h"
#include "profiles/Substitutions.h"
#include "profiles/TypeCategory.h"
#include "run/ValueFormat.h"
#include "settings/Filters.h"
#include "settings/RunOptions.h"
#include "support/ScriptedHost.h"

#include <algorithm>

namespace mv {
namespace {

Profile Defaults() {
  Profile p;
  SetBuiltInDefaults(p);
  return p;
}

TEST(CaseRule, ChangesAsciiLettersOnlyAndLeavesOtherRulesAlone) {
  EXPECT_EQ(ApplyCase("Straße café", 0), "STRAßE CAFé");
  EXPECT_EQ(ApplyCase("ÉCOLE Mixed", 1), "École mixed");
  EXPECT_EQ(ApplyCase("MiXeD", 2), "MiXeD");
  EXPECT_EQ(ApplyCase("MiXeD", 3), "MiXeD");
  // Every byte of a multi-byte sequence survives both directions.
  const std::string utf8 = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(ApplyCase(utf8, 0), utf8);
  EXPECT_EQ(ApplyCase(utf8, 1), utf8);
}

TEST(TypeCategories, CodesMapAndUnknownCodesFallBack) {
  EXPECT_EQ(CategoryOf(12), kVarchar);
  EXPECT_EQ(CategoryOf(-10), kLongWVarchar);
  EXPECT_EQ(CategoryOf(11), kTimestamp);
  EXPECT_EQ(CategoryOf(93), kUnknown);  // ODBC 3 timestamp code is not in the table
  EXPECT_EQ(CategoryOf(-11), kUnknown);
  EXPECT_STREQ(CategoryName(kLongVarbinary), "LONG VARBINARY");
  EXPECT_EQ(CategoryIndex("WVARCHAR"), kWVarchar);
  EXPECT_EQ(CategoryIndex("wvarchar"), -1);
  EXPECT_TRUE(CategoryIsNumeric(kBit));
  EXPECT_FALSE(CategoryIsNumeric(kDate));
}

TEST(TypeText, TranslationDataTypeSwitchAndLengthRules) {
  Profile p = Defaults();
  p.i_LengthRule = 0;
  EXPECT_EQ(ColumnTypeText(kInteger, "int4", 10, 0, p, 1), "INTEGER(10)");
  EXPECT_EQ(ColumnTypeText(kInteger, "int4", 10, 0, p, 0), "int4(10)");
  // The database's own name that holds its length already takes no second one.
  EXPECT_EQ(ColumnTypeText(kNumber, "NUMERIC(10,2)", 10, 2, p, 0), "NUMERIC(10,2)");
  EXPECT_EQ(ColumnTypeText(kNumber, "NUMERIC(10,2)", 10, 2, p, 1), "NUMBER(10,2)");
  p.s_TypeTranslation[kVarchar] = "   VARCHAR2";
  EXPECT_EQ(ColumnTypeText(kVarchar, "varchar", 30, 0, p, 0), "VARCHAR2(30)");
  p.s_TypeTranslation[kVarchar] = "   ";
  EXPECT_EQ(ColumnTypeText(kVarchar, "varchar", 30, 0, p, 1), "VARCHAR(30)");
  for (long size : {0L, -5L, 1000000L, 2147483647L})
    EXPECT_EQ(ColumnTypeText(kVarchar, "varchar", size, 0, p, 1), "VARCHAR") << size;
  EXPECT_EQ(ColumnTypeText(kVarchar, "varchar", 999999, 0, p, 1), "VARCHAR(999999)");

  p.i_LengthRule = 1;
  EXPECT_EQ(ColumnTypeText(kInteger, "int4", 10, 0, p, 1), "INTEGER");
  EXPECT_EQ(ColumnTypeText(kVarchar, "varchar", 30, 0, p, 1), "VARCHAR(30)");

  p.i_LengthRule = 2;
  p.OmitLengthTypes = {"DATE", "TIMESTAMP", "XML"};
  EXPECT_EQ(ColumnTypeText(kDate, "date", 10, 0, p, 1), "DATE");
  EXPECT_EQ(ColumnTypeText(kChar, "char", 4, 0, p, 1), "CHAR(4)");
  // An unknown code is written with the database's name, and the rule matches that name.
  EXPECT_EQ(ColumnTypeText(kUnknown, "XML", 50, 0, p, 1), "XML");
  EXPECT_EQ(ColumnTypeText(kUnknown, "uniqueidentifier", 36, 0, p, 1), "uniqueidentifier(36)");
  p.s_TypeTranslation[kUnknown] = "TEXT";
  EXPECT_EQ(ColumnTypeText(kUnknown, "uniqueidentifier", 36, 0, p, 1), "TEXT(36)");
}

TEST(TypeText, DecimalScaleIsKeptSoFractionsSurviveAReload) {
  Profile p = Defaults();
  p.i_LengthRule = 0;
  EXPECT_EQ(ColumnTypeText(kDecimal, "decimal", 10, 2, p, 1), "DECIMAL(10,2)");
  EXPECT_EQ(ColumnTypeText(kNumber, "numeric", 12, 4, p, 1), "NUMBER(12,4)");
  EXPECT_EQ(ColumnTypeText(kNumber, "numeric", 12, 0, p, 1), "NUMBER(12)");
  EXPECT_EQ(ColumnTypeText(kDouble, "float8", 15, 3, p, 1), "DOUBLE(15)");  // only DECIMAL and NUMBER
  p.i_LengthRule = 1;
  EXPECT_EQ(ColumnTypeText(kDecimal, "decimal", 10, 2, p, 1), "DECIMAL");
}

TEST(Substitutions, ReplacementsNeverOverlapOrLoopAndRunInOrder) {
  EXPECT_EQ(ReplaceAll("abcabc", "b", "xb"), "axbcaxbc");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ApplySubstitutions({{"a", "b"}, {"b", "c"}}, "a"), "c");
  EXPECT_EQ(ApplySubstitutions({{"b", "c"}, {"a", "b"}}, "a"), "b");
  EXPECT_EQ(ApplySubstitutions({{"x", ""}}, "xyx"), "y");
}

TEST(DefaultProfile, QuotesApostrophesAndTakesTheRulesOfTheWorkingCopy) {
  Profile working = Defaults();
  working.i_TableNameCase = 2;
  working.i_LengthRule = 0;
  Profile d = MakeDefaultProfile(working);
  EXPECT_EQ(d.s_Name, "Default");
  EXPECT_EQ(d.i_TableNameCase, 2);
  EXPECT_EQ(d.i_LengthRule, 0);
  RunOptions o;
  EXPECT_EQ(FormatValue(d, o, "O'Brien", LiteralRule::String, false), "'O''Brien'");
  EXPECT_EQ(FormatValue(d, o, "x'); DROP TABLE t; --", LiteralRule::String, false), "'x''); DROP TABLE t; --'");
}

TEST(WorkingProfile, FallsBackToTheFirstProfileAndRenamesTheChoice) {
  ProfileList list;
  Profile a = Defaults();
  a.s_Name = "Alpha";
  a.s_Remarks = "--";
  Profile b = Defaults();
  b.s_Name = "alpha";
  b.s_Remarks = "#";
  list.Append(a);
  list.Append(b);
  Profile working;
  std::string name = "alpha";
  ApplyWorkingProfile(list, name, working);
  EXPECT_EQ(working.s_Remarks, "#");  // names differing in case are different profiles
  name = "Gone";
  ApplyWorkingProfile(list, name, working);
  EXPECT_EQ(name, "Alpha");
  EXPECT_EQ(working.s_Remarks, "--");
  EXPECT_TRUE(working.s_Name.empty());
}

TEST(FormatValue, LiteralsForNullEmptyNumericTrimmedAndAllStrings) {
  Profile p = Defaults();
  p.s_EmptyString = "EMPTY";
  RunOptions o;
  EXPECT_EQ(FormatValue(p, o, "", LiteralRule::Number, true), "NULL");
  EXPECT_EQ(FormatValue(p, o, "", LiteralRule::Number, false), "NULL");
  EXPECT_EQ(FormatValue(p, o, " 12 ", LiteralRule::Number, false), " 12 ");
  EXPECT_EQ(FormatValue(p, o, "", LiteralRule::String, true), "NULL");
  EXPECT_EQ(FormatValue(p, o, "", LiteralRule::String, false), "EMPTY");
  EXPECT_EQ(FormatValue(p, o, "  a  ", LiteralRule::String, false), "'  a  '");
  o.b_RightTrim = 1;
  EXPECT_EQ(FormatValue(p, o, "  a  ", LiteralRule::String, false), "'  a'");
  EXPECT_EQ(FormatValue(p, o, "   ", LiteralRule::String, false), "EMPTY");
  EXPECT_EQ(FormatValue(p, o, "   ", LiteralRule::String, true), "NULL");
  o.b_LeftTrim = 1;
  EXPECT_EQ(FormatValue(p, o, "  a  ", LiteralRule::String, false), "'a'");
  o.b_AllStrings = 1;
  EXPECT_EQ(FormatValue(p, o, "", LiteralRule::Number, true), "''");
  EXPECT_EQ(FormatValue(p, o, "7", LiteralRule::Number, false), "'7'");
  // A substitution that deletes the whole value makes it empty.
  o = RunOptions();
  p.Substitutions = {{"-", ""}};
  EXPECT_EQ(FormatValue(p, o, "---", LiteralRule::String, false), "EMPTY");
  EXPECT_EQ(FormatValue(p, o, "-", LiteralRule::Number, false), "NULL");
  // Infinities: a string unless the profile names a number for them, and then only in number columns.
  p.Substitutions.clear();
  EXPECT_EQ(FormatValue(p, o, "-Infinity", LiteralRule::Number, false), "'-Infinity'");
  p.s_Infinity = "9e999";
  struct Case {
    const char* value;
    LiteralRule flag;
    int allStrings;
    const char* written;
  };
  for (const Case& c :
       {Case{"Infinity", LiteralRule::Number, 0, "9e999"}, Case{"-inf", LiteralRule::Number, 0, "-9e999"},
        Case{"+Inf", LiteralRule::Number, 0, "9e999"}, Case{"-Infinity", LiteralRule::String, 0, "'-Infinity'"},
        Case{"Infinity", LiteralRule::Number, 1, "'Infinity'"}, Case{"Infinit", LiteralRule::Number, 0, "'Infinit'"},
        Case{"NaN", LiteralRule::Number, 0, "'NaN'"}}) {
    o.b_AllStrings = c.allStrings;
    EXPECT_EQ(FormatValue(p, o, c.value, c.flag, false), c.written)
        << c.value << (c.flag == LiteralRule::Number) << c.allStrings;
  }
  // A text holding a carriage return in the profile's hexadecimal form, where one is named;
  // trimmed first, never in a CSV record.
  p.s_HexText = "CAST(X'%s' AS TEXT)";
  struct Hex {
    const char* value;
    int trim, csv;
    const char* written;
  };
  for (const Hex& h : {Hex{"a\r\nb'", 0, 0, "CAST(X'610D0A6227' AS TEXT)"}, Hex{"a\r", 1, 0, "'a'"},
                       Hex{" \r\nx\r\n", 1, 0, "CAST(X'200D0A78' AS TEXT)"}, Hex{"a\r\nb", 0, 1, "'a\r\nb'"}}) {
    RunOptions ho;
    ho.b_RightTrim = h.trim;
    ho.b_DataCSV = h.csv;
    EXPECT_EQ(FormatValue(p, ho, h.value, LiteralRule::String, false), h.written) << h.value;
  }
}

TEST(FormatValue, TheOnePassSubstitutionPathGivesTheGeneralResult) {
  // The shipped profiles' pairs, and pairs that touch numbers (which must not take the one pass).
  const std::vector<std::vector<Substitution>> sets = {
      {{"'", "''"}},
      {{"\\", "\\\\"}, {"'", "''"}, {"\r", "\\r"}},
      {{"'", "''"}, {"\r", "'||char(13)||'"}},
      {{".", ","}},
      {{"x", "1"}},
  };
  for (const auto& pairs : sets) {
    Profile fast = Defaults();
    fast.Substitutions = pairs;
    fast.s_Infinity = "9e999";
    fast.s_HexText = "CAST(X'%s' AS TEXT)";
    Profile general = fast;
    general.Substitutions.push_back({"\x01\x02never", "x"});  // a longer pair: the general path
    for (int allStrings = 0; allStrings <= 1; ++allStrings)
      for (int trim = 0; trim <= 1; ++trim)
        for (LiteralRule flag : {LiteralRule::Number, LiteralRule::String})
          for (bool isNull : {false, true})
            for (const char* v : {"", "'", "''", "a'b'c", " ' ", "plain", "   ", "a\\b\r\n'", "\r", "1.5", "-2e3", "x",
                                  "-Infinity", "inf"}) {
              RunOptions o;
              o.b_AllStrings = allStrings;
              o.b_RightTrim = o.b_LeftTrim = trim;
              EXPECT_EQ(FormatValue(fast, o, v, flag, isNull), FormatValue(general, o, v, flag, isNull))
                  << pairs[0].find << " [" << v << "] " << (flag == LiteralRule::Number) << allStrings << trim
                  << isNull;
            }
  }
  Profile sqlite = Defaults();
  sqlite.Substitutions = sets[2];
  EXPECT_EQ(FormatValue(sqlite, RunOptions(), "it's\r\n", LiteralRule::String, false), "'it''s'||char(13)||'\n'");
}

TEST(CsvLine, QuotesFieldsAndKeepsTheStringDelimiter) {
  EXPECT_EQ(CsvLine("ID , NAME", true), "\"ID\",\"NAME\"");
  EXPECT_EQ(CsvLine("7 \t 'Smith'", false), "\"7\",\"'Smith'\"");
  EXPECT_EQ(CsvLine("'say \"hi\"' \t NULL", false), "\"'say \"\"hi\"\"'\",\"NULL\"");
  EXPECT_EQ(CsvLine("", false), "");
  // A row value holding " , " is not a separator.
  EXPECT_EQ(CsvLine("'a , b' \t 1", false), "\"'a , b'\",\"1\"");
}

TEST(Filters, IncludeOnlyWinsOverIgnoreAndNamesCompareWithoutCase) {
  RunOptions o;
  o.IgnoreTables = {"orders"};
  EXPECT_EQ(TableIsSkipped(o, "ORDERS"), 1);
  EXPECT_EQ(TableIsSkipped(o, "Customers"), 0);
  o.IncludeOnlyTables = {"Orders"};
  EXPECT_EQ(TableIsSkipped(o, "ORDERS"), 0);
  EXPECT_EQ(TableIsSkipped(o, "Customers"), 1);
  // An entry with "%" is a pattern, also without regard to case.
  o.IncludeOnlyTables = {"order%"};
  EXPECT_EQ(TableIsSkipped(o, "Order Lines"), 0);
  EXPECT_EQ(TableIsSkipped(o, "ORDERS"), 0);
  EXPECT_EQ(TableIsSkipped(o, "reorders"), 1);
  o.IncludeOnlyTables.clear();
  o.IgnoreTables = {"%_log"};
  EXPECT_EQ(TableIsSkipped(o, "AUDIT_LOG"), 1);
  EXPECT_EQ(TableIsSkipped(o, "logs"), 0);
}

TEST(Filters, ColumnPatternsAndTypes) {
  RunOptions o;
  o.IgnoreColumns = {"CR%DATE"};
  EXPECT_EQ(ColumnIsIgnored(o, "createdate", ""), 1);
  EXPECT_EQ(ColumnIsIgnored(o, "CRDATE", ""), 1);
  EXPECT_EQ(ColumnIsIgnored(o, "CR_DATE_X", ""), 0);
  o.IgnoreColumns = {"AB%BC"};
  EXPECT_EQ(ColumnIsIgnored(o, "ABC", ""), 1);  // prefix and suffix may overlap
  EXPECT_EQ(ColumnIsIgnored(o, "AB", ""), 0);
  o.IgnoreColumns = {"id"};
  EXPECT_EQ(ColumnIsIgnored(o, "id", ""), 0);  // patterns are not upper-cased
  o.IgnoreColumns = {"ID"};
  EXPECT_EQ(ColumnIsIgnored(o, "id", ""), 1);
  o.IgnoreColumns = {"%"};
  EXPECT_EQ(ColumnIsIgnored(o, "anything", ""), 1);
  o.IgnoreColumns.clear();
  o.IgnoreDataTypes = {"LONG VARCHAR", "%BINARY"};
  EXPECT_EQ(ColumnIsIgnored(o, "notes", "LONG VARCHAR"), 1);
  EXPECT_EQ(ColumnIsIgnored(o, "blob", "LONG VARBINARY"), 1);
  EXPECT_EQ(ColumnIsIgnored(o, "flag", "BIT"), 0);
  EXPECT_EQ(ColumnIsIgnored(o, "raw", "VARBINARY"), 1);
  EXPECT_EQ(ColumnIsIgnored(o, "notes", ""), 0);
}

TEST(Conditions, TypedWhereIsDroppedOnlyWhenFollowedByABlankOrTab) {
  RunOptions o;
  std::string c = "unchanged";
  EXPECT_EQ(WhereConditionFor(o, "orders", c), 0);
  EXPECT_EQ(c, "unchanged");
  o.WhereStatements["ORDERS"] = "where id > 5";
  ASSERT_EQ(WhereConditionFor(o, "Orders", c), 1);
  EXPECT_EQ(c, "id > 5");
  o.WhereStatements["ORDERS"] = "   WHERE\tid > 5";
  ASSERT_EQ(WhereConditionFor(o, "orders", c), 1);
  EXPECT_EQ(c, "id > 5");
  o.WhereStatements["ORDERS"] = "wherever = 1";
  ASSERT_EQ(WhereConditionFor(o, "ORDERS", c), 1);
  EXPECT_EQ(c, "wherever = 1");
  o.WhereStatements["ORDERS"] = "";
  EXPECT_EQ(WhereConditionFor(o, "ORDERS", c), 0);
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

TEST(ShippedProfiles, DefaultIsTheBuiltInDialectAndEveryOneLoads) {
  test::ScriptedHost host;
  Profile working;
  SetBuiltInDefaults(working);
  for (const char* name : {"Default", "SQLite", "PostgreSQL", "MariaDB"}) {
    Profile p;
    p.s_Name = name;
    ASSERT_TRUE(LoadProfile(p, MV_BINARY_DIR, host)) << name;
    // Every shipped dialect keeps values from breaking out of their literals.
    const bool doublesApostrophes =
        std::find(p.Substitutions.begin(), p.Substitutions.end(), Substitution{"'", "''"}) != p.Substitutions.end();
    EXPECT_TRUE(doublesApostrophes) << name;
    if (std::string(name) == "Default") {
      Profile expected = MakeDefaultProfile(working);
      EXPECT_EQ(p, expected);
    }
  }
}

}  // namespace
}  // namespace mv
