#include <strings.h>

#include <algorithm>

#include "base/Host.h"
#include "base/TextRules.h"
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
  // One index as the engine declares it: its order, expressions, condition and method where
  // the target takes them; else a plain index with a note where the meaning is kept, or a remark.
  void WriteEngineIndex(const PhaseTable& t, const EngineIndex& ix);
  // The headings and the DROP INDEX of an index.
  void Headings(const PhaseTable& t, const std::string& name, const std::string& written);

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

void IndexTables::Headings(const PhaseTable& t, const std::string& name, const std::string& written) {
  const Profile& profile = ctx_.working;
  if (ctx_.opts.b_DropIndex) {
    ctx_.script.BlankLine();
    ctx_.script.Heading("Removal of index ", name);
    ctx_.script.SimpleStatement(profile.s_DropIndex, profile.b_DropIndexTableName ? t.written + "." + written : written,
                                "\r\n");
  }
  ctx_.script.BlankLine();
  ctx_.script.Heading("Definition of index ", name);
}

bool IsWord(const std::string& list, const std::string& word) {
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = std::min(list.find(' ', start), list.size());
    if (end > start && strcasecmp(list.substr(start, end - start).c_str(), word.c_str()) == 0) return true;
    start = end + 1;
  }
  return false;
}

void IndexTables::WriteEngineIndex(const PhaseTable& t, const EngineIndex& ix) {
  const Profile& p = ctx_.working;
  const RunOptions& opts = ctx_.opts;
  const bool same = SourceIsTarget(ctx_);
  const std::string what = "index " + ix.name;
  auto refuse = [&](const std::string& reason) { ctx_.notScripted.Add(ctx_.script, {what, t.name, reason}); };
  // What the copy's index lacks of the source's, each said in a note.
  std::vector<std::string> changes;
  std::string create = ix.unique ? p.s_CreateUniqueIndex : p.s_CreateIndex, usingText;
  if (!ix.method.empty()) {
    const bool taken =
        same && IsWord(p.s_IndexMethods, ix.method) && (!p.s_IndexUsing.empty() || !p.s_CreateMethodIndex.empty());
    if (taken && !p.s_IndexUsing.empty())
      usingText = " " + Replaced(p.s_IndexUsing, {{"m", ix.method}});
    else if (taken)
      create = Replaced(p.s_CreateMethodIndex, {{"m", ix.method}});
    else if (strcasecmp(ix.method.c_str(), "hash") == 0 || strcasecmp(ix.method.c_str(), "brin") == 0)
      // Lookups find the same rows through a plain index.
      changes.push_back("a plain index instead of " + ix.method);
    else
      return refuse("the target takes no " + ix.method + " index");
  }
  std::vector<std::string> entries;
  for (const EngineIndex::Part& part : ix.parts) {
    std::string text;
    if (part.column.empty()) {
      std::string expression = part.expression;
      if (part.expression.empty()) return refuse("the catalog gives no text for its expression");
      if (p.s_IndexExpression.empty()) return refuse("the target takes no expression in an index");
      if (!same && !PortableCondition(part.expression, expression))
        return refuse("its expression " + part.expression + " uses the source engine's own functions or types");
      text = Replaced(p.s_IndexExpression, {{"s", expression}});
    } else {
      text = ctx_.names.Column(opts, part.column, ApplyCase(part.column, p.i_IndexColumnCase));
      if (part.prefix > 0 && same && !p.s_IndexPrefix.empty()) {
        text = Replaced(p.s_IndexPrefix, {{"c", text}, {"n", std::to_string(part.prefix)}});
      } else if (part.prefix > 0) {
        // A whole column's uniqueness follows from its prefix's: the rows load, the index is looser.
        changes.push_back("the whole of column " + part.column + " instead of its first " +
                          std::to_string(part.prefix) + " characters");
      }
    }
    if (same && !part.opclass.empty()) text += " " + part.opclass;
    const std::string entry = part.column.empty() ? part.expression : part.column;
    if (part.descending && !p.s_IndexDescending.empty())
      text += " " + p.s_IndexDescending;
    else if (part.descending)
      changes.push_back("column " + entry + " in ascending order");
    if (part.nulls != EngineIndex::Part::kNullsDefault && !p.s_IndexNulls.empty())
      text += " " + p.s_IndexNulls + (part.nulls == EngineIndex::Part::kNullsFirst ? " FIRST" : " LAST");
    else if (part.nulls != EngineIndex::Part::kNullsDefault)
      changes.push_back("the NULLs of column " + entry + " in the target's own place");
    entries.push_back(text);
  }
  // The carried columns only spare lookups a visit to the table: without them the index finds
  // and refuses the same rows.
  std::string include;
  if (!ix.include.empty() && !p.s_IndexInclude.empty()) {
    for (const std::string& column : ix.include)
      include += (include.empty() ? " " + p.s_IndexInclude + " (" : ", ") +
                 ctx_.names.Column(opts, column, ApplyCase(column, p.i_IndexColumnCase));
    include += ")";
  } else if (!ix.include.empty()) {
    std::string list;
    for (const std::string& column : ix.include) list += (list.empty() ? "" : ", ") + column;
    changes.push_back("no carried (INCLUDE) columns " + list);
  }
  std::string where;
  if (!ix.where.empty()) {
    std::string condition = ix.where;
    const bool portable = same || PortableCondition(ix.where, condition);
    if (!p.s_IndexWhere.empty() && portable) {
      where = " " + p.s_IndexWhere + " " + condition;
    } else if (ix.unique) {
      // Over every row, a unique index could refuse the rows.
      return refuse(p.s_IndexWhere.empty()
                        ? "the target takes no partial index (WHERE " + ix.where + ")"
                        : "its condition " + ix.where + " uses the source engine's own functions or types");
    } else {
      changes.push_back("every row instead of those WHERE " + ix.where);
    }
  }
  const std::string name = TargetIndexName(t.table, ix.name);
  const std::string written = ctx_.names.Column(opts, name, ApplyCase(name, p.i_IndexNameCase));
  RenamedNote(ctx_, "Index", t.table, ix.name);
  if (!changes.empty()) {
    std::string note = "NOTE: Index " + RemarkSafe(ix.name) + " of table " + RemarkSafe(t.name) + " is created with ";
    for (size_t i = 0; i < changes.size(); ++i) note += (i ? "; " : "") + RemarkSafe(changes[i]);
    ctx_.script.MessageRemark(note + ", as the target takes it", "\r\n", "\r\n");
  }
  Headings(t, ApplyCase(name, p.i_IndexNameCase), written);
  statement_.Clear();
  AddCreateIndex(statement_, p, create, written, t.written + usingText, entries, {}, include + where);
  ctx_.script.Write(statement_);
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
    Headings(t, iname, iwritten);
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
  if (ctx_.constraints && ctx_.engineIndexes) {
    for (const EngineIndex& ix : t.table.indexes) {
      ctx_.checkPoint();
      if (!IndexIsKey(t.table, ix.name)) WriteEngineIndex(t, ix);
    }
    return true;
  }
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
