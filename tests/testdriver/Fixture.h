// The text fixture behind the test ODBC driver: what the "database" contains and
// which calls fail. The format is documented in README.md next to this file.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv::testdriver {

// A cell or argument: std::nullopt is SQL NULL, which must stay distinct from "".
using Value = std::optional<std::string>;
using Row = std::vector<Value>;

struct ResultColumn {
  std::string name;
  int type = 12;  // SQL_VARCHAR
  std::string baseTable;
  long size = 255;
};

// A forward-only result set, plus the fault injected while it is fetched.
struct ResultSet {
  std::vector<ResultColumn> columns;
  std::vector<Row> rows;
  std::optional<std::size_t> fetchErrorAfter;  // rows served before SQLFetch fails
  std::string fetchErrorMessage;
};

// When a catalog call with or without an owner (catalog or schema argument) fails.
enum class OwnerCase { WithOwner, WithoutOwner, Always };

struct CallFault {
  std::string table;  // "*" matches every table
  OwnerCase when = OwnerCase::Always;
  std::string message;
};

struct FetchFault {
  std::string table;  // "*" matches every table
  std::size_t afterRows = 0;
  std::string message;
};

struct Statement {
  std::string sql;
  bool prefix = false;
  std::vector<ResultColumn> columns;
  std::vector<Row> rows;
  std::optional<std::string> error;  // SQLExecDirect returns SQL_ERROR
  std::optional<std::string> info;   // SQLExecDirect returns SQL_SUCCESS_WITH_INFO
  std::optional<std::size_t> fetchErrorAfter;
  std::string fetchErrorMessage;
};

// Thrown for an unreadable or malformed fixture; what() names the file and line.
class FixtureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Fixture {
 public:
  static constexpr std::size_t kColumnsFields = 18;
  static constexpr std::size_t kStatisticsFields = 13;
  static constexpr std::size_t kTablesFields = 5;
  static constexpr std::size_t kPrimaryKeysFields = 6;
  static constexpr std::size_t kForeignKeysFields = 14;
  // The catalog functions a fixture can take away (UNSUPPORTED).
  static constexpr const char* kOptionalFunctions[] = {"SQLPrimaryKeys", "SQLForeignKeys", "SQLStatistics"};

  static Fixture load(const std::string& path);
  static Fixture parse(const std::string& text, const std::string& origin);

  // Fixture field escaping, shared with the call log so both read the same way.
  static std::string escape(const Value& value);
  static Value unescape(const std::string& field);

  std::string serverName = "mvtest";
  std::string userName = "mvtest";
  std::string dbmsName = "MvTest";
  std::string dbmsVersion = "01.00.0000";
  std::string databaseName;
  std::optional<std::string> connectError;
  std::optional<std::string> currentCatalogError;
  std::string callLog;

  std::vector<Row> schemas;  // each row: TABLE_CAT, TABLE_SCHEM
  std::vector<std::string> catalogs;
  std::optional<std::string> schemasError;
  std::optional<std::string> catalogsError;

  std::vector<Row> tables;  // TABLE_CAT .. REMARKS
  std::vector<CallFault> tablesFaults;
  std::optional<FetchFault> tablesFetchFault;

  std::vector<Row> columns;  // the 18 SQLColumns fields, defaults filled in
  std::vector<CallFault> columnsFaults;
  std::vector<FetchFault> columnsFetchFaults;

  std::vector<Row> statistics;  // the 13 SQLStatistics fields
  std::vector<CallFault> statisticsFaults;
  std::vector<FetchFault> statisticsFetchFaults;

  std::vector<Row> primaryKeys;          // the 6 SQLPrimaryKeys fields
  std::vector<Row> foreignKeys;          // the 14 SQLForeignKeys fields
  std::vector<std::string> unsupported;  // functions the driver says it does not have

  std::vector<Statement> statements;

  const Statement* findStatement(const std::string& sql) const;
};

}  // namespace mv::testdriver
