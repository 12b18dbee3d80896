#pragma once
#include <string>
#include <vector>

#include "db/RowReader.h"
#include "run/RunContext.h"

namespace mv {

// The phases of a scripting run and the free-form run, each writing through ctx.output.

// DROP TABLE / CREATE TABLE for every table of the run, recording each table's kept columns
// for the data phase. Returns the number of column rows read.
int ScriptTableStructure(RunContext& ctx);
// DELETE and INSERT INTO / VALUES (or CSV) for the rows of every table.
void ScriptTableData(RunContext& ctx);
// DROP INDEX / CREATE [UNIQUE] INDEX for every table. Returns the number of index rows.
int ScriptIndexes(RunContext& ctx);

// The data phase's SELECT for a table: the statement, the column list the INSERTs name, and
// per column its literal rule ('T' number, 'F' string) and script wrappers.
struct SelectParts {
  std::string select, columnList, typeFlags;
  // What follows "from": the table as the source names it, with its condition.
  std::string from;
  std::vector<std::string> prefixes, suffixes;
  // How each column's values are read (by the result's own type unless the SELECT made them).
  std::vector<ValueKind> kinds;
};
SelectParts BuildSelect(RunContext& ctx, const RunTable& table);

// The number of rows the table's SELECT will give, as ctx.rowEstimate asks for it; -1 when
// not asked or not known. Only for showing progress: nothing is written.
long long EstimateRows(RunContext& ctx, const RunTable& table, const SelectParts& parts);

// A COMMIT (with the execute command when the profile asks for it).
void WriteCommit(RunContext& ctx, bool tableEnd);
class RowReader;
// After the last row: a remark when the rows ended on a fetch error rather than their end.
void ReportFetchError(RunContext& ctx, RowReader& reader, Statement& stmt, const std::string& what);

// After a failure: when the connection itself is gone, every table from `from` on is counted as
// not read whole and the run ends at once (this does not return).
void EndIfConnectionLost(RunContext& ctx, size_t from, const DriverMessage& error);

// The free-form run: the header naming the statement, then its rows.
void WriteFreeFormHeader(RunContext& ctx);
void RunStatement(RunContext& ctx, const std::string& sql);

}  // namespace mv
