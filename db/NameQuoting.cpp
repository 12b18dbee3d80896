#include "db/NameQuoting.h"

#include <sqlext.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "base/TextRules.h"
#include "db/DbConnection.h"
#include "settings/RunOptions.h"

namespace mv {

namespace {

// The ODBC reserved keywords.
constexpr std::array<std::string_view, 235> kReserved = {"ABSOLUTE",
                                                         "ACTION",
                                                         "ADA",
                                                         "ADD",
                                                         "ALL",
                                                         "ALLOCATE",
                                                         "ALTER",
                                                         "AND",
                                                         "ANY",
                                                         "ARE",
                                                         "AS",
                                                         "ASC",
                                                         "ASSERTION",
                                                         "AT",
                                                         "AUTHORIZATION",
                                                         "AVG",
                                                         "BEGIN",
                                                         "BETWEEN",
                                                         "BIT",
                                                         "BIT_LENGTH",
                                                         "BOTH",
                                                         "BY",
                                                         "CASCADE",
                                                         "CASCADED",
                                                         "CASE",
                                                         "CAST",
                                                         "CATALOG",
                                                         "CHAR",
                                                         "CHAR_LENGTH",
                                                         "CHARACTER",
                                                         "CHARACTER_LENGTH",
                                                         "CHECK",
                                                         "CLOSE",
                                                         "COALESCE",
                                                         "COLLATE",
                                                         "COLLATION",
                                                         "COLUMN",
                                                         "COMMIT",
                                                         "CONNECT",
                                                         "CONNECTION",
                                                         "CONSTRAINT",
                                                         "CONSTRAINTS",
                                                         "CONTINUE",
                                                         "CONVERT",
                                                         "CORRESPONDING",
                                                         "COUNT",
                                                         "CREATE",
                                                         "CROSS",
                                                         "CURRENT",
                                                         "CURRENT_DATE",
                                                         "CURRENT_TIME",
                                                         "CURRENT_TIMESTAMP",
                                                         "CURRENT_USER",
                                                         "CURSOR",
                                                         "DATE",
                                                         "DAY",
                                                         "DEALLOCATE",
                                                         "DEC",
                                                         "DECIMAL",
                                                         "DECLARE",
                                                         "DEFAULT",
                                                         "DEFERRABLE",
                                                         "DEFERRED",
                                                         "DELETE",
                                                         "DESC",
                                                         "DESCRIBE",
                                                         "DESCRIPTOR",
                                                         "DIAGNOSTICS",
                                                         "DISCONNECT",
                                                         "DISTINCT",
                                                         "DOMAIN",
                                                         "DOUBLE",
                                                         "DROP",
                                                         "ELSE",
                                                         "END",
                                                         "END-EXEC",
                                                         "ESCAPE",
                                                         "EXCEPT",
                                                         "EXCEPTION",
                                                         "EXEC",
                                                         "EXECUTE",
                                                         "EXISTS",
                                                         "EXTERNAL",
                                                         "EXTRACT",
                                                         "FALSE",
                                                         "FETCH",
                                                         "FIRST",
                                                         "FLOAT",
                                                         "FOR",
                                                         "FOREIGN",
                                                         "FORTRAN",
                                                         "FOUND",
                                                         "FROM",
                                                         "FULL",
                                                         "GET",
                                                         "GLOBAL",
                                                         "GO",
                                                         "GOTO",
                                                         "GRANT",
                                                         "GROUP",
                                                         "HAVING",
                                                         "HOUR",
                                                         "IDENTITY",
                                                         "IMMEDIATE",
                                                         "IN",
                                                         "INCLUDE",
                                                         "INDEX",
                                                         "INDICATOR",
                                                         "INITIALLY",
                                                         "INNER",
                                                         "INPUT",
                                                         "INSENSITIVE",
                                                         "INSERT",
                                                         "INT",
                                                         "INTEGER",
                                                         "INTERSECT",
                                                         "INTERVAL",
                                                         "INTO",
                                                         "IS",
                                                         "ISOLATION",
                                                         "JOIN",
                                                         "KEY",
                                                         "LANGUAGE",
                                                         "LAST",
                                                         "LEADING",
                                                         "LEFT",
                                                         "LEVEL",
                                                         "LIKE",
                                                         "LOCAL",
                                                         "LOWER",
                                                         "MATCH",
                                                         "MAX",
                                                         "MIN",
                                                         "MINUTE",
                                                         "MODULE",
                                                         "MONTH",
                                                         "NAMES",
                                                         "NATIONAL",
                                                         "NATURAL",
                                                         "NCHAR",
                                                         "NEXT",
                                                         "NO",
                                                         "NONE",
                                                         "NOT",
                                                         "NULL",
                                                         "NULLIF",
                                                         "NUMERIC",
                                                         "OCTET_LENGTH",
                                                         "OF",
                                                         "ON",
                                                         "ONLY",
                                                         "OPEN",
                                                         "OPTION",
                                                         "OR",
                                                         "ORDER",
                                                         "OUTER",
                                                         "OUTPUT",
                                                         "OVERLAPS",
                                                         "PAD",
                                                         "PARTIAL",
                                                         "PASCAL",
                                                         "POSITION",
                                                         "PRECISION",
                                                         "PREPARE",
                                                         "PRESERVE",
                                                         "PRIMARY",
                                                         "PRIOR",
                                                         "PRIVILEGES",
                                                         "PROCEDURE",
                                                         "PUBLIC",
                                                         "READ",
                                                         "REAL",
                                                         "REFERENCES",
                                                         "RELATIVE",
                                                         "RESTRICT",
                                                         "REVOKE",
                                                         "RIGHT",
                                                         "ROLLBACK",
                                                         "ROWS",
                                                         "SCHEMA",
                                                         "SCROLL",
                                                         "SECOND",
                                                         "SECTION",
                                                         "SELECT",
                                                         "SESSION",
                                                         "SESSION_USER",
                                                         "SET",
                                                         "SIZE",
                                                         "SMALLINT",
                                                         "SOME",
                                                         "SPACE",
                                                         "SQL",
                                                         "SQLCA",
                                                         "SQLCODE",
                                                         "SQLERROR",
                                                         "SQLSTATE",
                                                         "SQLWARNING",
                                                         "SUBSTRING",
                                                         "SUM",
                                                         "SYSTEM_USER",
                                                         "TABLE",
                                                         "TEMPORARY",
                                                         "THEN",
                                                         "TIME",
                                                         "TIMESTAMP",
                                                         "TIMEZONE_HOUR",
                                                         "TIMEZONE_MINUTE",
                                                         "TO",
                                                         "TRAILING",
                                                         "TRANSACTION",
                                                         "TRANSLATE",
                                                         "TRANSLATION",
                                                         "TRIM",
                                                         "TRUE",
                                                         "UNION",
                                                         "UNIQUE",
                                                         "UNKNOWN",
                                                         "UPDATE",
                                                         "UPPER",
                                                         "USAGE",
                                                         "USER",
                                                         "USING",
                                                         "VALUE",
                                                         "VALUES",
                                                         "VARCHAR",
                                                         "VARYING",
                                                         "VIEW",
                                                         "WHEN",
                                                         "WHENEVER",
                                                         "WHERE",
                                                         "WITH",
                                                         "WORK",
                                                         "WRITE",
                                                         "YEAR",
                                                         "ZONE"};

bool IsPlainIdentifier(const std::string& name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

}  // namespace

void SourceNames::Read(const DbConnection* connection, const std::string& open, const std::string& close) {
  if (connection && !connection->Driver().identifierQuote.empty()) {
    open_ = close_ = connection->Driver().identifierQuote;
  } else {
    open_ = open;
    close_ = close;
  }
  if (connection) {
    keywords_ = connection->Driver().keywords;
    identifierCase_ = connection->Driver().identifierCase;
  }
}

bool SourceNames::IsSpecial(const std::string& name) const {
  if (name.empty()) return false;
  if (!IsPlainIdentifier(name)) return true;
  const std::string upper = Upper(name);
  if (std::find(kReserved.begin(), kReserved.end(), upper) != kReserved.end()) return true;
  if (std::find(keywords_.begin(), keywords_.end(), upper) != keywords_.end()) return true;
  if (identifierCase_ == SQL_IC_UPPER) return name != upper;
  if (identifierCase_ == SQL_IC_LOWER) return name != Lower(name);
  return false;
}

bool SourceNames::IsSpecialColumnName(const RunOptions& opts, const std::string& name) const {
  if (opts.i_AutoSpecialName == 1) return true;
  if (opts.i_AutoSpecialName == 2) return false;
  return IsSpecial(name);
}

bool SourceNames::IsSpecialTableName(const RunOptions& opts, const std::string& name) const {
  return opts.i_AutoSpecialName == 1 || IsSpecial(name);
}

std::string SourceNames::Column(const RunOptions& opts, const std::string& name) const {
  return IsSpecialColumnName(opts, name) ? Bracket(name) : name;
}

std::string SourceNames::Table(const RunOptions& opts, const std::string& name) const {
  return IsSpecialTableName(opts, name) ? Bracket(name) : name;
}

std::string SourceNames::Bracket(const std::string& name) const { return QuoteName(name, open_, close_); }

std::string QuoteName(const std::string& name, const std::string& open, const std::string& close) {
  std::string out = open;
  if (close.empty()) return out + name;
  for (size_t i = 0; i < name.size();) {
    if (name.compare(i, close.size(), close) == 0) {
      out += close;
      out += close;
      i += close.size();
    } else {
      out += name[i++];
    }
  }
  return out + close;
}

namespace {
// backslash: a backslash escapes the next character inside quotes, as MariaDB reads strings.
bool SeparatorOutsideQuotes(const std::string& c, bool backslash) {
  for (size_t i = 0; i < c.size(); ++i) {
    const char ch = c[i];
    if (ch == '\'' || ch == '"' || ch == '`') {
      // A quoted text or name; a doubled quote stays inside it.
      for (++i; i < c.size(); ++i) {
        if (backslash && c[i] == '\\') {
          ++i;
        } else if (c[i] == ch) {
          if (i + 1 < c.size() && c[i + 1] == ch)
            ++i;
          else
            break;
        }
      }
    } else if (ch == '-' && i + 1 < c.size() && c[i + 1] == '-') {
      const size_t end = c.find('\n', i);
      if (end == std::string::npos) return false;
      i = end;
    } else if (ch == '/' && i + 1 < c.size() && c[i + 1] == '*') {
      const size_t end = c.find("*/", i + 2);
      if (end == std::string::npos) return false;
      i = end + 1;
    } else if (ch == ';') {
      return true;
    }
  }
  return false;
}
}  // namespace

bool HasStatementSeparator(const std::string& condition) {
  // Engines differ in whether a backslash escapes a quote: a separator outside quotes under
  // either reading is refused.
  return SeparatorOutsideQuotes(condition, false) || SeparatorOutsideQuotes(condition, true);
}

}  // namespace mv
