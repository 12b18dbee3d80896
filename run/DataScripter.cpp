#include "base/Host.h"
#include "base/TextRules.h"
#include "db/CatalogReaders.h"
#include "db/ConditionCheck.h"
#include "db/DbConnection.h"
#include "db/EngineTypes.h"
#include "db/PrimaryKey.h"
#include "db/RowReader.h"
#include "profiles/Profile.h"
#include "run/ColumnChecks.h"
#include "run/RowLoop.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/TablePhase.h"
#include "run/ValueFormat.h"
#include "settings/Filters.h"

namespace mv {

namespace {

// Rows in the order of the primary key, or of every kept column where there is none, so two
// scripts of the same rows are the same text.
std::string OrderBy(RunContext& ctx, const RunTable& table) {
  std::vector<std::string> columns = PrimaryKeyColumns(ctx.connection, table.name);
  if (columns.empty())
    for (const ColumnInfo& col : table.columns) columns.push_back(col.name);
  std::string clause;
  for (const std::string& column : columns)
    clause += (clause.empty() ? " order by " : ", ") + ctx.names.Source().Column(ctx.opts, column);
  return clause;
}

}  // namespace

SelectParts BuildSelect(RunContext& ctx, const RunTable& table) {
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ctx.names.ReadBrackets(ctx.settings, &ctx.connection, ctx.working);
  SelectParts parts;
  std::string selectList;
  bool first = true;
  const bool sqlite = ctx.connection.Driver().engine == Engine::SQLite;
  for (const ColumnInfo& col : table.columns) {
    const std::string ref = ctx.names.Source().Column(opts, col.name);
    parts.rules.push_back(col.isNumeric ? LiteralRule::Number : LiteralRule::String);
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
  parts.table = from;
  if (WhereConditionFor(opts, table.name, parts.condition)) from += " where " + parts.condition;
  parts.select = "select " + selectList + " from " + from;
  if (opts.b_OrderRows) parts.select += OrderBy(ctx, table);
  parts.from = std::move(from);
  parts.selectList = std::move(selectList);
  return parts;
}

KeysetPages PlanKeysetPages(RunContext& ctx, const RunTable& table, const SelectParts& parts, long long pageRows) {
  KeysetPages pages;
  // MariaDB's driver holds a whole result in memory, whatever its options; the other drivers
  // stream with the options the connection adds.
  if (ctx.connection.Driver().engine != Engine::MariaDB || pageRows <= 0) return pages;
  // A table that fits in a page or two is read whole, in the order it always was; asked first,
  // so a small table costs no key catalog call.
  if (TableRowEstimate(ctx, table) <= pageRows) return pages;
  const std::vector<std::string> key = PrimaryKeyColumns(ctx.connection, table.name);
  if (key.size() != 1) return pages;
  for (size_t k = 0; k < table.columns.size(); ++k) {
    const ColumnInfo& col = table.columns[k];
    if (col.name != key[0]) continue;
    const bool integer = col.sqlType == SQL_INTEGER || col.sqlType == SQL_BIGINT || col.sqlType == SQL_SMALLINT ||
                         col.sqlType == SQL_TINYINT;
    if (!integer || parts.kinds[k] != ValueKind::FromResult) return pages;
    pages.keyColumn = k;
    pages.size = pageRows;
    const std::string ref = ctx.names.Source().Column(ctx.opts, col.name);
    pages.head = "select " + parts.selectList + " from " + parts.table + " where " +
                 (parts.condition.empty() ? std::string() : "(" + parts.condition + ") and ");
    pages.tail = " order by " + ref + " limit " + std::to_string(pageRows);
    pages.keyRef = ref;
    return pages;
  }
  return pages;
}

std::string KeysetPages::Select(const std::string& after) const {
  if (after.empty()) {
    // The first page: the head's "where" (or "and") takes a condition that is always true.
    return head + "1 = 1" + tail;
  }
  return head + keyRef + " > " + after + tail;
}

void EndIfConnectionLost(RunContext& ctx, size_t from, const DriverMessage& error) {
  if (!ctx.connection.ConnectionLost(error.sqlState)) return;
  for (size_t i = from; i < ctx.tables.size(); ++i) ctx.TableError(ctx.tables[i].name);
  ctx.script.MessageRemark("ERROR: The connection to the database was lost: " + error.text +
                               "\nNothing more could be read; the script is not complete.",
                           "\r\n", "\r\n");
  ctx.connectionLost();
}

namespace {

// The rows of one table as the data phase reads them: every value formatted straight into the
// row, a wrapper, when there is one, around it, and checked as its column's ValueCheck says.
class TableRows : public RowSource {
 public:
  TableRows(RunContext& ctx, Statement& stmt, RowReader& reader, const PhaseTable& t, const SelectParts& parts,
            const ValueFormatPlan& plan, const RowWriter& writer);
  bool Read(std::string& row) override {
    bool read = ReadOne(row);
    if (!read && pages_.Paged() && rowsInPage_ == pages_.size && !reader_.FetchFailed() && NextPage())
      read = ReadOne(row);
    if (read) {
      ++rowsRead_;
      ++rowsInPage_;
      ctx_.host.RowDone();
    }
    return read;
  }
  // The table is read in pages of its key; the statement holds the first.
  void ReadInPages(const KeysetPages& pages) { pages_ = pages; }
  RowTarget Target() override;
  long long RowsRead() const { return rowsRead_; }
  const std::vector<ValueKind>& Kinds() const { return kinds_; }
  void FetchFailed() override {
    ctx_.connection.ReadDiagnostics(stmt_.get());
    EndIfConnectionLost(ctx_, index_, ctx_.connection.LastError());
  }

 private:
  // Dates: whether some column is checked for dates (decided once a table).
  template <bool Dates>
  bool ReadRow(std::string& row);
  // The same in the copy format: values as read, escaped, no literals and no wrappers.
  bool ReadCopyRow(std::string& row);
  bool ReadOne(std::string& row) {
    return copy_ ? ReadCopyRow(row) : dates_ ? ReadRow<true>(row) : ReadRow<false>(row);
  }
  // The page after the last key read; false when it could not be read (said in a remark).
  bool NextPage();

  RunContext& ctx_;
  Statement& stmt_;
  RowReader& reader_;
  const RunTable& table_;
  const size_t index_;
  const std::string written_;
  const SelectParts& parts_;
  const ValueFormatPlan& plan_;
  const std::string_view separator_;
  const bool commaSeparator_;
  // The values as read, for a writer of CSV files.
  const bool rawFields_;
  const bool copy_;
  long long rowsRead_ = 0;
  // Read by the type each result column reports, worked out once a table.
  std::vector<ValueKind> kinds_;
  std::vector<ValueCheck> checks_;
  bool dates_ = false;
  std::string value_, scratch_;
  KeysetPages pages_;
  long long rowsInPage_ = 0;
  std::string lastKey_;
};

bool TableRows::NextPage() {
  // The key is an integer column's value: anything else would not be safe to put in the SELECT.
  if (!IsNumberLiteral(lastKey_) || lastKey_.find_first_not_of("-0123456789") != std::string::npos) {
    ctx_.TableError(table_.name);
    ctx_.script.MessageRemark("ERROR: Could not read all rows of table " + RemarkSafe(written_) + ": its key " +
                                  RemarkSafe(lastKey_) + " is no integer to read the next rows after.",
                              "\r\n", "\r\n\r\n");
    return false;
  }
  const std::string error = ctx_.connection.Execute(stmt_, pages_.Select(lastKey_));
  reader_.Rebind(stmt_);
  rowsInPage_ = 0;
  if (error.empty()) return true;
  if (!ctx_.state.running) ctx_.checkPoint();
  EndIfConnectionLost(ctx_, index_, ctx_.connection.LastError());
  ctx_.TableError(table_.name);
  ctx_.script.MessageRemark("ERROR: Could not read all rows of table " + RemarkSafe(written_) + ": " + error, "\r\n",
                            "\r\n\r\n");
  return false;
}

TableRows::TableRows(RunContext& ctx, Statement& stmt, RowReader& reader, const PhaseTable& t, const SelectParts& parts,
                     const ValueFormatPlan& plan, const RowWriter& writer)
    : ctx_(ctx),
      stmt_(stmt),
      reader_(reader),
      table_(t.table),
      index_(t.index),
      written_(t.written),
      parts_(parts),
      plan_(plan),
      separator_(writer.Separator()),
      commaSeparator_(separator_ == ", "),
      rawFields_(writer.RawFields()),
      copy_(writer.CopyValues()),
      kinds_(parts.kinds) {
  for (size_t k = 0; k < kinds_.size(); ++k)
    if (kinds_[k] == ValueKind::FromResult) kinds_[k] = reader.KindOf(static_cast<SQLUSMALLINT>(k + 1));
  checks_ = ValueChecks(table_, parts.rules, dates_);
}

RowTarget TableRows::Target() {
  RowTarget target{written_, parts_.columnList, parts_.columnList, table_.name, index_, {}};
  for (const ColumnInfo& col : table_.columns)
    target.names.push_back(ApplyCase(col.name, ctx_.working.i_ColumnNameCase));
  return target;
}

template <bool Dates>
[[gnu::hot]] bool TableRows::ReadRow(std::string& row) {
  if (!reader_.Fetch()) return false;
  const Profile& profile = ctx_.working;
  const RunOptions& opts = ctx_.opts;
  const size_t n = parts_.rules.size();
  row.clear();
  for (size_t k = 0; k < n; ++k) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(k + 1);
    // Text is read where the driver put it; a value the profile's rules must change is copied.
    std::string_view view;
    bool isNull;
    if (kinds_[k] == ValueKind::Text) {
      isNull = !reader_.View(col, view, value_);
    } else {
      isNull = !reader_.Value(col, kinds_[k], value_);
      view = value_;
    }
    if (k == pages_.keyColumn) [[unlikely]]
      lastKey_.assign(view);
    if (Dates && checks_[k] == ValueCheck::Date && !isNull && !view.empty() && IsSpecialDate(view))
      NoteSpecialDate(table_.columns[k], table_, view, notes_, checks_[k]);
    if (k > 0) {
      // The INSERT separator appended as a constant: a copy of unknown length is a call per value.
      if (commaSeparator_)
        row.append(", ", 2);
      else
        row += separator_;
    }
    if (rawFields_) [[unlikely]] {
      AppendCsvField(row, view, isNull);
      continue;
    }
    const size_t start = row.size();
    if (FormatValue(profile, opts, plan_, view, value_, parts_.rules[k], isNull, row, scratch_)) {
      // A number column's value that is no number: rare, so checked after the fact, on the
      // value as the rules left it.
      if (plan_.onePass == 0 || view.empty()) view = value_;
      if (NotANumber(table_.columns[k], table_, view, notes_, checks_[k])) {
        row.resize(start);
        FormatValue(profile, opts, plan_, std::string_view(), value_, parts_.rules[k], true, row, scratch_);
      }
    }
    const std::string& prefix = parts_.prefixes[k];
    const std::string& suffix = parts_.suffixes[k];
    if (prefix.empty() && suffix.empty()) [[likely]]
      continue;
    const std::string_view formatted(row.data() + start, row.size() - start);
    bool bare = false;
    // A zero-length binary value is a value: bare, it would load as an empty text.
    const bool binaryValue = !isNull && kinds_[k] == ValueKind::Binary;
    if (!binaryValue && (formatted.empty() || formatted == profile.s_NullString || formatted == profile.s_EmptyString ||
                         formatted == profile.s_NumericEmpty)) {
      const int category = CategoryOf(static_cast<int>(reader_.ColumnNumber(col, SQL_DESC_TYPE)));
      bare = profile.b_FuncOnlyIfValue[category] != 0;
    }
    if (!bare) {
      row.insert(start, prefix);
      row += suffix;
    }
  }
  return true;
}

[[gnu::hot]] bool TableRows::ReadCopyRow(std::string& row) {
  if (!reader_.Fetch()) return false;
  const RunOptions& opts = ctx_.opts;
  const size_t n = parts_.rules.size();
  row.clear();
  for (size_t k = 0; k < n; ++k) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(k + 1);
    std::string_view view;
    bool isNull;
    if (kinds_[k] == ValueKind::Text && opts.i_DataCase != 0 && opts.i_DataCase != 1) {
      isNull = !reader_.View(col, view, value_);
    } else {
      isNull = !reader_.Value(col, kinds_[k], value_);
      // The data's letter case goes on the value itself: on the row it would change the escapes.
      if (kinds_[k] != ValueKind::Binary) ApplyCaseInPlace(value_, opts.i_DataCase);
      view = value_;
    }
    if (k == pages_.keyColumn) [[unlikely]]
      lastKey_.assign(view);
    if (checks_[k] == ValueCheck::Date && !isNull && !view.empty() && IsSpecialDate(view))
      NoteSpecialDate(table_.columns[k], table_, view, notes_, checks_[k]);
    if (parts_.rules[k] == LiteralRule::String) {
      // The trimming the options ask for, as for a literal.
      if (opts.b_RightTrim)
        while (!view.empty() && IsWhiteSpace(view.back())) view.remove_suffix(1);
      if (opts.b_LeftTrim)
        while (!view.empty() && IsWhiteSpace(view.front())) view.remove_prefix(1);
    }
    if (k > 0) row += '\t';
    // A number column's value that is no number goes in as NULL, with the note that says so.
    if (!isNull && parts_.rules[k] == LiteralRule::Number && !view.empty() && !IsNumberLiteral(view) &&
        NotANumber(table_.columns[k], table_, view, notes_, checks_[k]))
      isNull = true;
    // A number column's empty value is no number either: the literal form writes it as empty.
    if (!isNull && view.empty() && parts_.rules[k] == LiteralRule::Number) isNull = true;
    AppendCopyValue(row, view, isNull, kinds_[k] == ValueKind::Binary);
  }
  return true;
}

// DELETE and the rows of every table, each table's rows in the row writer the options choose.
class DataTables : public TablePhase {
 public:
  explicit DataTables(RunContext& ctx)
      : ctx_(ctx), plan_(PlanValueFormat(ctx.working, ctx.opts)), writer_(MakeDataRowWriter(ctx)) {}
  const char* Title() const override { return "Scripting Data"; }
  Host::Bar Bar() const override { return Host::kDataBar; }
  void Begin() override {
    ctx_.state.skipRequested = 0;
    ctx_.state.skipAllowed = 1;
  }
  void End() override {
    ctx_.state.skipAllowed = 0;
    ctx_.host.RunStateChanged();
  }
  bool Table(PhaseTable& t) override;

 private:
  void Headings(const PhaseTable& t);
  // A condition that could run a second statement against the source: refused, with a remark.
  bool ConditionRefused(const PhaseTable& t);
  void Rows(const PhaseTable& t, const SelectParts& parts);

  RunContext& ctx_;
  const ValueFormatPlan plan_;
  std::unique_ptr<RowWriter> writer_;
};

void DataTables::Headings(const PhaseTable& t) {
  const RunOptions& opts = ctx_.opts;
  ScriptWriter& out = ctx_.script;
  if (opts.b_DeleteData && !t.table.columnsUnread) {
    out.BlankLine();
    out.Heading("Deleting data for table ", t.name);
    out.SimpleStatement(ctx_.working.s_Delete, t.written, "\r\n");
  }
  out.BlankLine();
  if (!opts.b_DoRemarks) return;
  out.RemarkStart("Data for table    ", TextRole::Remark);
  out.Write(RemarkSafe(t.name), TextRole::Sql, true);
  std::string condition;
  if (WhereConditionFor(opts, t.name, condition)) {
    out.Write("\r\n" + ctx_.working.s_Remarks + "  ", TextRole::RemarkMarker);
    out.Write("Condition clause  ", TextRole::Remark);
    out.Write(RemarkSafe(condition), TextRole::Sql, true);
  }
  out.Write("\r\n\r\n", TextRole::Sql, true);
}

bool DataTables::ConditionRefused(const PhaseTable& t) {
  std::string condition;
  if (!WhereConditionFor(ctx_.opts, t.table.name, condition)) return false;
  std::string why = ConditionRefusal(condition, ctx_.connection.Driver().engine);
  // A condition may have found a way past the check to switch the session back to writing (a
  // function of the source's own that changes a setting): every conditioned SELECT starts read-only again.
  if (why.empty()) {
    const std::string readOnly = ctx_.connection.SetReadOnly(true);
    if (!readOnly.empty()) why = "could not be run read-only (" + readOnly + ")";
  }
  if (why.empty()) return false;
  ctx_.script.MessageRemark("ERROR: The condition for table " + RemarkSafe(t.name) + " " + why +
                                ". It was not run, and the table's rows were not read.",
                            "", "\r\n\r\n");
  ctx_.TableError(t.table.name);
  return true;
}

void DataTables::Rows(const PhaseTable& t, const SelectParts& parts) {
  const long long expected = EstimateRows(ctx_, t.table, parts);
  // A stop during the count (its statement cancelled) ends here, before the rows' statement.
  ctx_.checkPoint();
  const KeysetPages pages = PlanKeysetPages(ctx_, t.table, parts, kKeysetPageRows);
  Statement stmt;
  const std::string error = ctx_.connection.Execute(stmt, pages.Paged() ? pages.Select({}) : parts.select);
  if (!error.empty()) {
    // A statement cancelled by a stop ends with the stop note, not an error of its table.
    if (!ctx_.state.running) ctx_.checkPoint();
    EndIfConnectionLost(ctx_, t.index, ctx_.connection.LastError());
    ctx_.TableError(t.table.name);
    ctx_.script.MessageRemark(
        "The following error was received while processing table " + RemarkSafe(t.name) + ":\n" + error, "\r\n",
        "\r\n\r\n\r\n");
    return;
  }
  RowReader reader(stmt);
  TableRows rows(ctx_, stmt, reader, t, parts, plan_, *writer_);
  rows.ReadInPages(pages);
  if (ctx_.connection.Driver().readsInBlocks) reader.ReadInBlocks(rows.Kinds(), kBlockRows);
  const RowRemarks remarks{t.table.name,
                           "table " + t.name,
                           "Table Skipped ...\r\n\r\n",
                           "No records found for table ",
                           RemarkSafe(t.name) + "\r\n\r\n",
                           "ERROR: A value of the row above could not be read from table " + RemarkSafe(t.name) + ": "};
  ctx_.host.RowsBegin(expected);
  writer_->Table(rows.Target());
  WriteRows(ctx_, stmt, reader, rows, remarks, *writer_);
  t.table.rows = rows.RowsRead();
}

bool DataTables::Table(PhaseTable& t) {
  Headings(t);
  if (t.table.columnsUnread) {
    ctx_.script.MessageRemark(
        "ERROR: The columns of table " + RemarkSafe(t.name) + " could not be read, so its rows were not read.", "",
        "\r\n\r\n");
    return true;
  }
  if (ConditionRefused(t)) return true;
  if (writer_->CopyValues() && ctx_.working.s_CopyFrom.empty()) {
    // Asked for by the run, not the profile: the rows are never written in another format.
    ctx_.script.MessageRemark("ERROR: The profile " + RemarkSafe(ctx_.opts.s_WorkingProfile) +
                                  " has no copy statement: the rows of table " + RemarkSafe(t.name) +
                                  " were not written.",
                              "", "\r\n\r\n");
    ctx_.TableError(t.table.name);
    return true;
  }
  const SelectParts parts = BuildSelect(ctx_, t.table);
  if (parts.columnList.empty()) {
    ctx_.script.Write(ctx_.working.s_Remarks + "  There are no columns to select from table ", TextRole::Message);
    ctx_.script.Write(RemarkSafe(t.name) + "\r\n\r\n", TextRole::Sql, true);
    return true;
  }
  Rows(t, parts);
  return true;
}

}  // namespace

void DataPhase(RunContext& ctx) { RunTablePhase<DataTables>(ctx); }

}  // namespace mv
