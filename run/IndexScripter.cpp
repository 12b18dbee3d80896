#include <strings.h>

#include <algorithm>

#include "base/Host.h"
#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/ConstraintScripter.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/TablePhase.h"

namespace mv {

namespace {

// One index as the statistics rows give it, written when its last row has been read.
struct PendingIndex {
  bool open = false;
  bool unique = false;
  std::string name;  // as written (case rule applied, bracketed when special)
  std::vector<std::string> columns;
};

// DROP INDEX and CREATE [UNIQUE] INDEX for every index of every table.
class IndexTables : public TablePhase {
 public:
  explicit IndexTables(RunContext& ctx) : ctx_(ctx), reader_(ctx.connection) {}
  const char* Title() const override { return "Scripting Indexes"; }
  Host::Bar Bar() const override { return Host::kIndexBar; }
  bool Table(PhaseTable& t) override;

 private:
  // The remark of a statistics catalog that cannot be read at all.
  void CatalogFailed();
  // A statistics row failed: a remark in the open index's statement, or one of its own.
  void RowFailed(const PhaseTable& t, bool firstRow, bool tableStat);
  // One statistics row of an index: a new index starts with its headings.
  void IndexRow(const PhaseTable& t);
  // Writes the open index, with a remark after its last column when given.
  void Flush(const PhaseTable& t, const std::string& remark);

  RunContext& ctx_;
  CatalogReader reader_;
  mv::IndexRow row_;
  ScriptText statement_;
  PendingIndex current_;
  std::string previous_;  // the index of the row before
  bool firstIndexRow_ = true;
};

void IndexTables::Flush(const PhaseTable& t, const std::string& remark) {
  if (!current_.open) return;
  statement_.Clear();
  AddCreateIndex(statement_, ctx_.working, current_.unique, current_.name, t.written, current_.columns, remark);
  ctx_.script.Write(statement_);
  current_.open = false;
  current_.columns.clear();
}

void IndexTables::CatalogFailed() {
  ctx_.script.MessageRemark("The following error ocurred when trying to process indexes in database " +
                                ctx_.connection.Target().title + "\n" + reader_.error().text,
                            "\r\n\r\n\r\n", "");
}

void IndexTables::RowFailed(const PhaseTable& t, bool firstRow, bool tableStat) {
  EndIfConnectionLost(ctx_, t.index, reader_.error());
  ctx_.TableError(t.table.name);
  if (firstRow) {
    CatalogFailed();
    return;
  }
  const std::string remark = "\r\n\t" + ctx_.working.s_Remarks + "  ERROR: Could not get information for some/all " +
                             (tableStat ? "indexes for table " : "columns for index in table ") + RemarkSafe(t.name) +
                             " in database " + RemarkSafe(ctx_.connection.Target().title);
  if (current_.open)
    Flush(t, remark);
  else
    ctx_.script.Write(remark, TextRole::Message);
}

void IndexTables::IndexRow(const PhaseTable& t) {
  const Profile& profile = ctx_.working;
  const RunOptions& opts = ctx_.opts;
  const RunTable& table = t.table;
  // A key's index comes with its CREATE TABLE.
  if (ctx_.constraints && IndexIsKey(table, row_.indexName)) return;
  // Primary keys come back under names no CREATE INDEX can use: SQLite's sqlite_autoindex_N
  // (reserved, and the same in every table) and MariaDB's PRIMARY (a keyword, the same
  // in every table). The table name in front makes them usable and unique.
  const bool internal = strncasecmp(row_.indexName.c_str(), "sqlite_autoindex", 16) == 0 ||
                        strcasecmp(row_.indexName.c_str(), "PRIMARY") == 0;
  const std::string usable = internal ? table.name + "_" + row_.indexName : row_.indexName;
  const std::string iname = ApplyCase(usable, profile.i_IndexNameCase);
  const std::string iwritten = ctx_.names.Column(opts, usable, iname);
  if (firstIndexRow_ || row_.indexName != previous_) {
    Flush(t, {});
    if (opts.b_DropIndex) {
      ctx_.script.BlankLine();
      ctx_.script.Heading("Removal of index ", iname);
      ctx_.script.SimpleStatement(profile.s_DropIndex,
                                  profile.b_DropIndexTableName ? t.written + "." + iwritten : iwritten, "\r\n");
    }
    ctx_.script.BlankLine();
    ctx_.script.Heading("Definition of index ", iname);
    current_.open = true;
    current_.unique = !row_.nonUnique;
    current_.name = iwritten;
  }
  // An entry that is no column of the table is an expression: written as the catalog gives it.
  const std::vector<std::string>& known = table.catalogColumns;
  const bool expression = !known.empty() && std::find(known.begin(), known.end(), row_.columnName) == known.end();
  current_.columns.push_back(
      expression ? row_.columnName
                 : ctx_.names.Column(opts, row_.columnName, ApplyCase(row_.columnName, profile.i_IndexColumnCase)));
  firstIndexRow_ = false;
  previous_ = row_.indexName;
}

bool IndexTables::Table(PhaseTable& t) {
  ctx_.script.BlankLine();
  ctx_.script.Heading("Indexes for table ", t.name);
  if (!reader_.OpenStatistics(t.table.name)) {
    EndIfConnectionLost(ctx_, t.index, reader_.error());
    // Without a statistics catalog no later table's indexes can be read either.
    for (size_t i = t.index; i < ctx_.tables.size(); ++i) ctx_.TableError(ctx_.tables[i].name);
    CatalogFailed();
    return false;
  }
  current_ = PendingIndex{};
  firstIndexRow_ = true;
  bool firstRow = true;
  bool tableStat = false;
  for (;;) {
    const CatalogReader::Fetch f = reader_.Next(row_);
    if (f == CatalogReader::Fetch::Error) {
      RowFailed(t, firstRow, tableStat);
      break;
    }
    firstRow = false;
    if (f == CatalogReader::Fetch::End) break;
    ctx_.checkPoint();
    tableStat = row_.type == SQL_TABLE_STAT;
    if (!tableStat) IndexRow(t);
  }
  Flush(t, {});
  if (reader_.valueFailures() > 0) ctx_.TableError(t.table.name);
  reader_.Close();
  return true;
}

}  // namespace

void IndexPhase(RunContext& ctx) { RunTablePhase<IndexTables>(ctx); }

}  // namespace mv
