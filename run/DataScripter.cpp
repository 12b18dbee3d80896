#include "db/DbConnection.h"
#include "db/EngineTypes.h"
#include "db/RowReader.h"
#include "profiles/Profile.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/ValueFormat.h"
#include "settings/Filters.h"
#include "shell/Host.h"

namespace mv {

SelectParts BuildSelect(RunContext& ctx, const RunTable& table) {
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ctx.names.ReadBrackets(ctx.settings, &ctx.connection);
  SelectParts parts;
  std::string selectList;
  bool first = true;
  const bool sqlite = ctx.connection.Driver().engine == Engine::SQLite;
  for (const ColumnInfo& col : table.columns) {
    const std::string ref = ctx.names.Source().Column(opts, col.name);
    parts.typeFlags += col.isNumeric ? 'T' : 'F';
    // The wrappers of the type the script created; the SQLite reading of the type the driver reads.
    const int category = col.category;
    parts.prefixes.push_back(profile.s_ScriptPrefix[category]);
    parts.suffixes.push_back(profile.s_ScriptSuffix[category]);
    if (!first) {
      selectList += " , ";
      parts.columnList += " , ";
    }
    first = false;
    const std::string& prefix = profile.s_RetrievePrefix[category];
    const std::string& suffix = profile.s_RetrieveSuffix[category];
    if (sqlite && prefix.empty() && suffix.empty() && IsApproximate(CategoryOf(col.sqlType))) {
      // The SQLite driver hands doubles over with 15 digits whatever is asked for; quote()
      // gives every digit, which the reader turns back into the shortest exact text.
      selectList += "quote(" + ref + ")";
      parts.kinds.push_back(ValueKind::RealText);
    } else if (prefix.empty() && suffix.empty() && col.engineRead != EngineRead::AsReported) {
      selectList += EngineReadExpression(ctx.connection.Driver().engine, col.engineRead, ref);
      parts.kinds.push_back(ValueKind::FromResult);
    } else {
      selectList += prefix + ref + suffix;
      parts.kinds.push_back(ValueKind::FromResult);
    }
    parts.columnList += ctx.names.Column(opts, col.name, ApplyCase(col.name, profile.i_ColumnNameCase));
  }
  std::string from = ctx.names.Source().Table(opts, table.name);
  const bool special = ctx.names.Source().IsSpecialTableName(opts, table.name);
  const ConnectionTarget& target = ctx.connection.Target();
  if (!target.owner.empty() && target.owner != target.loginUser && ctx.connection.Driver().hasSchemas &&
      !target.ownerIsCatalog) {
    const std::string& owner = target.owner;
    from = (special || ctx.names.Source().IsSpecial(owner) ? ctx.names.Source().Bracket(owner) : owner) + "." + from;
  }
  std::string condition;
  if (WhereConditionFor(opts, table.name, condition)) from += " where " + condition;
  parts.select = "select " + selectList + " from " + from;
  parts.from = std::move(from);
  return parts;
}

namespace {

bool IsNonFinite(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  auto is = [&](std::string_view word) {
    if (s.size() != word.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
      if ((s[i] | 0x20) != word[i]) return false;
    return true;
  };
  return is("nan") || is("inf") || is("infinity");
}

// A value of a number column that is no number literal. NaN and infinities go on as text,
// which some targets take and others refuse; any other text cannot go into a number type the
// profile names, and NULL goes in its place (the answer is true). Either way the script says
// so: never a silent change.
[[gnu::cold]] bool NotANumber(const ColumnInfo& col, const RunTable& table, std::string_view value,
                              std::vector<std::string>& notes, char& noted) {
  if (IsNonFinite(value)) {
    if (noted == 'T')
      notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds " +
                      std::string(value) +
                      ", which not every target can hold (MariaDB has no NaN or infinities, SQLite no NaN).");
    noted = 't';
    return false;
  }
  if (!col.numberTyped) return false;
  notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds '" +
                  RemarkSafe(std::string(value)) +
                  "', which is no number and which its number type cannot hold: NULL is written in its place.");
  return true;
}

// A date or time as PostgreSQL holds it that other engines do not: infinity, a BC date.
bool IsSpecialDate(std::string_view v) {
  const size_t at = v[0] == '-' ? 1 : 0;
  if (v.size() == at + 8 && v.compare(at, 8, "infinity") == 0) return true;
  return v[0] >= '0' && v[0] <= '9' && v.size() > 3 && v.compare(v.size() - 3, 3, " BC") == 0;
}

[[gnu::cold]] void NoteSpecialDate(const ColumnInfo& col, const RunTable& table, std::string_view value,
                                   std::vector<std::string>& notes, char& noted) {
  notes.push_back("NOTE: Column " + RemarkSafe(col.name) + " of table " + RemarkSafe(table.name) + " holds " +
                  RemarkSafe(std::string(value)) +
                  ", which not every target can hold (MariaDB has no infinite or BC dates).");
  noted = 0;
}

// Reads one row of the data phase into `row`: every value formatted straight into the row, a
// wrapper, when there is one, around it. false at the end of the rows.
// Dates: whether some column holds dates as the engine's text, checked for values other
// engines cannot hold (decided once per table).
template <bool Dates>
[[gnu::hot]] bool ReadDataRow(RunContext& ctx, RowReader& reader, const RunTable& table, const SelectParts& parts,
                              const std::vector<ValueKind>& kinds, const ValueFormatPlan& plan, std::string& row,
                              std::string& value, std::string& scratch, std::vector<std::string>& notes,
                              std::vector<char>& noted) {
  if (!reader.Fetch()) return false;
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  const size_t n = parts.typeFlags.size();
  const std::string_view separator = opts.b_DataCSV ? std::string_view(" \t ") : std::string_view(", ");
  row.clear();
  for (size_t k = 0; k < n; ++k) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(k + 1);
    // Text is read where the driver put it; a value the profile's rules must change is copied.
    std::string_view view;
    bool isNull;
    if (kinds[k] == ValueKind::Text) {
      isNull = !reader.View(col, view, value);
    } else {
      isNull = !reader.Value(col, kinds[k], value);
      view = value;
    }
    if (Dates && noted[k] == 'D' && !isNull && !view.empty() && IsSpecialDate(view))
      NoteSpecialDate(table.columns[k], table, view, notes, noted[k]);
    if (k > 0) row += separator;
    const size_t start = row.size();
    if (FormatValue(profile, opts, plan, view, value, parts.typeFlags[k], isNull, row, scratch)) {
      // A number column's value that is no number: rare, so checked after the fact, on the
      // value as the rules left it.
      if (plan.onePass == 0 || view.empty()) view = value;
      if (NotANumber(table.columns[k], table, view, notes, noted[k])) {
        row.resize(start);
        FormatValue(profile, opts, plan, std::string_view(), value, parts.typeFlags[k], true, row, scratch);
      }
    }
    const std::string& prefix = parts.prefixes[k];
    const std::string& suffix = parts.suffixes[k];
    if (prefix.empty() && suffix.empty()) [[likely]]
      continue;
    const std::string_view formatted(row.data() + start, row.size() - start);
    bool bare = false;
    // A zero-length binary value is a value: bare, it would load as an empty text.
    const bool binaryValue = !isNull && kinds[k] == ValueKind::Binary;
    if (!binaryValue && (formatted.empty() || formatted == profile.s_NullString || formatted == profile.s_EmptyString ||
                         formatted == profile.s_NumericEmpty)) {
      const int category = CategoryOf(static_cast<int>(reader.ColumnNumber(col, SQL_DESC_TYPE)));
      bare = profile.b_FuncOnlyIfValue[category] != 0;
    }
    if (!bare) {
      row.insert(start, prefix);
      row += suffix;
    }
  }
  return true;
}

}  // namespace

void WriteCommit(RunContext& ctx, bool tableEnd) {
  const Profile& profile = ctx.working;
  ScriptOutput& out = ctx.output;
  out.Write(profile.s_Commit, TextRole::Remark);
  if (profile.b_CommitNeedsExecute) {
    if (!profile.b_ExecuteSameLine) out.Write("\r\n", TextRole::Sql, true);
    out.Write(profile.s_Execute + "\r\n\r\n", TextRole::Remark, true);
  } else if (!tableEnd) {
    out.Write("\r\n\r\n", TextRole::Remark, true);
  }
}

void ReportFetchError(RunContext& ctx, RowReader& reader, Statement& stmt, const std::string& what) {
  if (!reader.FetchFailed() || !ctx.connection.ReadDiagnostics(stmt.get())) return;
  // A failing fetch would otherwise end the rows as if all had been read.
  ctx.output.MessageRemark(
      "ERROR: Could not read all rows of " + RemarkSafe(what) + ": " + ctx.connection.LastError().text, "\r\n",
      "\r\n\r\n");
}

void EndIfConnectionLost(RunContext& ctx, size_t from, const DriverMessage& error) {
  if (!ctx.connection.ConnectionLost(error.sqlState)) return;
  for (size_t i = from; i < ctx.tables.size(); ++i) ctx.TableError(ctx.tables[i].name);
  ctx.output.MessageRemark("ERROR: The connection to the database was lost: " + error.text +
                               "\nNothing more could be read; the script is not complete.",
                           "\r\n", "\r\n");
  ctx.connectionLost();
}

void ScriptTableData(RunContext& ctx) {
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ScriptOutput& out = ctx.output;
  DbConnection& db = ctx.connection;
  const int n = static_cast<int>(ctx.tables.size());
  const std::string& marker = profile.s_Remarks;
  std::string row, value, scratch;
  const ValueFormatPlan plan = PlanValueFormat(profile, opts);
  ScriptText statement;
  InsertGroup group(opts.i_RowsPerInsert);
  // Ends an INSERT that spans rows before any text that is not one of its rows.
  auto closeGroup = [&] {
    if (!group.IsOpen()) return;
    statement.Clear();
    group.Close(statement, profile);
    out.Write(statement);
  };
  ctx.closeOpenStatement = closeGroup;
  struct Forget {
    RunContext& ctx;
    ~Forget() { ctx.closeOpenStatement = nullptr; }
  } forget{ctx};
  // Remarks about the values of the row at hand; per column, what its values are checked for.
  std::vector<std::string> notes;
  std::vector<char> noted;

  for (int index = 0; index < n; ++index) {
    const RunTable& table = ctx.tables[index];
    ctx.host.PanelSelect(index);
    const std::string tname = ApplyCase(table.name, profile.i_TableNameCase);
    ctx.names.ReadBrackets(ctx.settings, &db);
    const std::string written = ctx.names.Table(opts, table.name, tname);

    if (opts.b_DeleteData) {
      out.BlankLine();
      out.Heading("Deleting data for table ", tname);
      out.SimpleStatement(profile.s_Delete, written, "\r\n");
    }
    out.BlankLine();
    if (opts.b_DoRemarks) {
      out.Write(marker + "  ", TextRole::RemarkMarker);
      out.Write("Data for table    ", TextRole::Remark);
      out.Write(RemarkSafe(tname), TextRole::Sql, true);
      std::string condition;
      if (WhereConditionFor(opts, tname, condition)) {
        out.Write("\r\n" + marker + "  ", TextRole::RemarkMarker);
        out.Write("Condition clause  ", TextRole::Remark);
        out.Write(RemarkSafe(condition), TextRole::Sql, true);
      }
      out.Write("\r\n\r\n", TextRole::Sql, true);
    }
    ctx.host.BarStep(Host::kDataBar);
    std::string condition;
    if (WhereConditionFor(opts, table.name, condition) && HasStatementSeparator(condition)) {
      // A second statement would run against the source: the condition is refused, not run.
      out.MessageRemark("ERROR: The condition for table " + RemarkSafe(tname) +
                            " holds a statement separator (;) outside quotes. It was not run, and the table's "
                            "rows were not read.",
                        "", "\r\n\r\n");
      ctx.TableError(table.name);
      continue;
    }

    const SelectParts parts = BuildSelect(ctx, table);
    if (parts.columnList.empty()) {
      out.Write(marker + "  There are no columns to select from table ", TextRole::Message);
      out.Write(RemarkSafe(tname) + "\r\n\r\n", TextRole::Sql, true);
      continue;
    }
    group.Begin(profile, written, parts.columnList);
    const long long expected = EstimateRows(ctx, table, parts);
    Statement stmt;
    const std::string error = db.Execute(stmt, parts.select);
    if (!error.empty()) {
      EndIfConnectionLost(ctx, static_cast<size_t>(index), db.LastError());
      ctx.TableError(table.name);
      out.MessageRemark("The following error was received while processing table " + RemarkSafe(tname) + ":\n" + error,
                        "\r\n", "\r\n\r\n\r\n");
      continue;
    }
    RowReader reader(stmt);
    // Read by the type each result column reports, once per table.
    std::vector<ValueKind> kinds = parts.kinds;
    for (size_t k = 0; k < kinds.size(); ++k)
      if (kinds[k] == ValueKind::FromResult) kinds[k] = reader.KindOf(static_cast<SQLUSMALLINT>(k + 1));
    ctx.host.RowsBegin(expected);
    noted.assign(kinds.size(), 0);
    bool dates = false;
    for (size_t k = 0; k < noted.size(); ++k) {
      const ColumnInfo& col = table.columns[k];
      if (parts.typeFlags[k] == 'T') {
        noted[k] = 'T';
      } else if (col.engineRead == EngineRead::Text && (col.category == kDate || col.category == kTimestamp ||
                                                        col.category == kTime || col.category == kUnknown)) {
        noted[k] = 'D';
        dates = true;
      }
    }
    bool rowRead = false;
    bool csvHeader = false;
    int counter = 0;
    for (;;) {
      ctx.rowCheckPoint(stmt);
      if (ctx.state.skipRequested) [[unlikely]] {
        ctx.state.skipRequested = 0;
        closeGroup();
        out.Write(marker + "  ", TextRole::RemarkMarker);
        out.Write("Table Skipped ...\r\n\r\n", TextRole::Message);
        break;
      }
      const int failuresBefore = reader.valueFailures();
      if (!(dates ? ReadDataRow<true>(ctx, reader, table, parts, kinds, plan, row, value, scratch, notes, noted)
                  : ReadDataRow<false>(ctx, reader, table, parts, kinds, plan, row, value, scratch, notes, noted)))
          [[unlikely]] {
        closeGroup();
        if (reader.FetchFailed()) {
          ctx.TableError(table.name);
          db.ReadDiagnostics(stmt.get());
          EndIfConnectionLost(ctx, static_cast<size_t>(index), db.LastError());
        }
        ReportFetchError(ctx, reader, stmt, "table " + tname);
        if (!rowRead && opts.b_DoRemarks) {
          out.Write(marker + "  ", TextRole::RemarkMarker);
          out.Write("No records found for table ", TextRole::Remark);
          out.Write(RemarkSafe(tname) + "\r\n\r\n", TextRole::Sql, true);
        }
        break;
      }
      ApplyCaseInPlace(row, opts.i_DataCase);
      if (!notes.empty()) [[unlikely]] {
        // A remark never stands inside a statement: the row starts an INSERT of its own.
        closeGroup();
        for (const std::string& note : notes) out.MessageRemark(note, "", "\r\n");
        notes.clear();
      }
      rowRead = true;
      ++counter;
      ctx.host.RowDone();
      if (opts.b_DataCSV) [[unlikely]] {
        if (!csvHeader) {
          out.Write(CsvLine(parts.columnList, true) + "\r\n", TextRole::Remark, true);
          csvHeader = true;
        }
        out.Write(CsvLine(row, false) + "\r\n", TextRole::Name, true);
      } else {
        statement.Clear();
        statement.KeepPieces(out.ColoursMatter());
        group.AddRow(statement, row);
        // An INSERT never spans a COMMIT.
        const bool commit = counter >= profile.i_CommitLines && !profile.s_Commit.empty();
        if (commit) group.Close(statement, profile);
        out.Write(statement);
        if (commit) [[unlikely]] {
          counter = 0;
          WriteCommit(ctx, false);
        }
      }
      if (reader.valueFailures() != failuresBefore) [[unlikely]] {
        closeGroup();
        ctx.TableError(table.name);
        out.MessageRemark("ERROR: A value of the row above could not be read from table " + RemarkSafe(tname) + ": " +
                              reader.lastValueError(),
                          "", "\r\n\r\n");
      }
    }
    if (profile.b_CommitEachTable && counter > 0 && !profile.s_Commit.empty() && !opts.b_DataCSV)
      WriteCommit(ctx, true);
  }
}

}  // namespace mv
