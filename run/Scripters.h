#pragma once
#include <string>
#include <vector>

#include "db/RowReader.h"
#include "run/RunContext.h"
#include "run/ValueFormat.h"

namespace mv {

struct DriverMessage;

// The phases of a scripting run, in their order, each writing through ctx.script, and the
// free-form run.

// The table list read (unless current), the tables found counted and those left out named.
void AnalysisPhase(RunContext& ctx);
// DROP TABLE / CREATE TABLE for every table of the run, recording each table's kept columns
// for the data phase.
void StructurePhase(RunContext& ctx);
// DELETE and the rows of every table, in the row writer the options choose.
void DataPhase(RunContext& ctx);
// DROP INDEX / CREATE [UNIQUE] INDEX for every table.
void IndexPhase(RunContext& ctx);

// Before the tables: old views dropped, the source's own types created (same engine only).
void ObjectsBeforeTables(RunContext& ctx);
// After the data and indexes: routines, views in dependency order, triggers (same engine only)
// and comments; every one the target cannot take named in a remark.
void ObjectsAfterTables(RunContext& ctx);
// The remark naming an object the script leaves out, its table (may be empty) and why.
void ObjectNotScripted(RunContext& ctx, const std::string& object, const std::string& table, const std::string& reason);
// Whether a column's user type (EngineType::userType) is created or kept by the script.
bool KeepsUserType(const RunContext& ctx, const std::string& userType);

// The data phase's SELECT for a table: the statement, the column list the INSERTs name, and
// per column its literal rule and script wrappers.
struct SelectParts {
  std::string select, columnList;
  std::vector<LiteralRule> rules;
  // What follows "from": the table as the source names it, with its condition.
  std::string from;
  // The parts of the SELECT apart, for reading a table in pages: the select list, the table
  // without its condition, and the condition (empty: none).
  std::string selectList, table, condition;
  std::vector<std::string> prefixes, suffixes;
  // How each column's values are read (by the result's own type unless the SELECT made them).
  std::vector<ValueKind> kinds;
};
SelectParts BuildSelect(RunContext& ctx, const RunTable& table);

// A table read in pages of its integer key, each page the rows after the last key read, all in
// the run's one snapshot: for a driver that holds a whole result in memory (MariaDB's).
struct KeysetPages {
  size_t keyColumn = static_cast<size_t>(-1);  // the key's place in the select list
  long long size = 0;                          // rows a page
  std::string head, keyRef, tail;
  bool Paged() const { return size > 0; }
  // The SELECT of the page after the key value `after` (empty: the first page).
  std::string Select(const std::string& after) const;
};
// Rows a page: a few megabytes of a typical table in the driver's memory.
constexpr long long kKeysetPageRows = 50000;
// Rows a fetch reads where the driver reads in blocks: past a few hundred, larger blocks gain
// nothing measurable.
constexpr SQLULEN kBlockRows = 256;
// The pages a table is read in, or none (not paged) where the table is small, has no single
// integer key, or the driver streams.
KeysetPages PlanKeysetPages(RunContext& ctx, const RunTable& table, const SelectParts& parts, long long pageRows);

// The number of rows the table's SELECT will give, as ctx.rowEstimate asks for it; -1 when
// not asked or not known. Only for showing progress: nothing is written.
long long EstimateRows(RunContext& ctx, const RunTable& table, const SelectParts& parts);
// The catalog's row estimate of a table (-1: none), every table's read in one statement the
// first time one is asked where the engine allows it.
long long TableRowEstimate(RunContext& ctx, const RunTable& table);

// After a failure: when the connection itself is gone, every table from `from` on is counted as
// not read whole and the run ends at once (this does not return).
void EndIfConnectionLost(RunContext& ctx, size_t from, const DriverMessage& error);

// A run with a file per table: its folders made ready (false, with an error remark, when one
// cannot be); at the end every whole table's file takes its name, then the loader and the
// manifests are written; on a stop every file in progress is removed.
bool OpenTableFolders(RunContext& ctx);
void FinishTableFolders(RunContext& ctx);
void AbandonTableFolders(RunContext& ctx);

// The free-form run: the header naming the statement, then its rows.
void WriteFreeFormHeader(RunContext& ctx);
void RunStatement(RunContext& ctx, const std::string& sql);

}  // namespace mv
