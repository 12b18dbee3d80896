#include "run/DataScripter.h"

#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "run/RunOwner.h"
#include "settings/Filters.h"
#include "settings/RunOptions.h"
#include "shell/SettingsStore.h"
#include "shell/Host.h"

namespace mv {

namespace {
using C = ScriptOutput;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
}  // namespace

namespace {
// Appends text with every occurrence of one byte replaced.
void AppendReplaced(std::string& out, const std::string& text, char find, const std::string& replace) {
  size_t from = 0;
  for (size_t pos = text.find(find); pos != std::string::npos; pos = text.find(find, from)) {
    out.append(text, from, pos - from);
    out += replace;
    from = pos + 1;
  }
  out.append(text, from, std::string::npos);
}
}  // namespace

void FormatValue(const Profile& w, const RunOptions& o, std::string& value, char typeFlag, bool isNull,
                 std::string& out, std::string& scratch) {
  // The common profile (one one-byte substitution, such as the apostrophe, into a non-empty
  // text, no trimming) cannot change whether a value is empty: substitute while appending.
  if (w.Substitutions.size() == 1 && w.Substitutions[0].find.size() == 1 && !w.Substitutions[0].replace.empty() &&
      !o.b_RightTrim && !o.b_LeftTrim && !value.empty()) {
    const Substitution& pair = w.Substitutions[0];
    const bool delimited = o.b_AllStrings || typeFlag != 'T';
    if (delimited) out += w.s_StringDelimiter;
    AppendReplaced(out, value, pair.find[0], pair.replace);
    if (delimited) out += w.s_StringDelimiter;
    return;
  }
  if (!w.Substitutions.empty()) ApplySubstitutions(w.Substitutions, value, scratch);
  if (o.b_AllStrings) {
    out += w.s_StringDelimiter;
    out += value;
    out += w.s_StringDelimiter;
    return;
  }
  if (typeFlag == 'T') {
    out += value.empty() ? w.s_NumericEmpty : value;
    return;
  }
  size_t begin = 0, end = value.size();
  if (o.b_RightTrim)
    while (end > begin && IsBlank(value[end - 1])) --end;
  if (o.b_LeftTrim)
    while (begin < end && IsBlank(value[begin])) ++begin;
  if (end > begin) {
    out += w.s_StringDelimiter;
    out.append(value, begin, end - begin);
    out += w.s_StringDelimiter;
  } else {
    out += isNull ? w.s_NullString : w.s_EmptyString;
  }
}

std::string FormatValue(const Profile& w, const RunOptions& o, std::string value, char typeFlag, bool isNull) {
  std::string out, scratch;
  FormatValue(w, o, value, typeFlag, isNull, out, scratch);
  return out;
}

std::string CsvLine(const std::string& text, bool isHeader) {
  if (text.empty()) return text;
  std::string s = ReplaceAll(text, "\"", "\"\"");
  s = ReplaceAll(s, " \t ", "\",\"");
  if (isHeader) s = ReplaceAll(s, " , ", "\",\"");
  return "\"" + s + "\"";
}

void RunOwner::ReadSpecialBrackets() {
  // Square brackets only where the owner really is a catalog: without an owner the connection
  // still carries the catalog mark of its probe, and standard SQL (PostgreSQL among others)
  // rejects brackets. The double quote is the standard identifier quote.
  const bool catalog = connection && connection->b_IsCatalog && !connection->s_DatabaseUser.empty();
  specOpen_ = settings.GetString("specObjStringOpen", catalog ? "[" : "\"");
  specClose_ = settings.GetString("specObjStringClose", catalog ? "]" : "\"");
}

bool RunOwner::IsSpecialColumnName(const std::string& name) const {
  if (opts.i_AutoSpecialName == 1) return true;
  if (opts.i_AutoSpecialName == 2) return false;
  if (name.empty()) return false;
  if (name[0] >= '0' && name[0] <= '9') return true;
  return name.find_first_of(" -#", 1) != std::string::npos;
}

bool RunOwner::IsSpecialTableName(const std::string& name) const {
  return opts.i_AutoSpecialName == 1 || name.find_first_of(" -#/") != std::string::npos;
}

std::string RunOwner::QuoteColumnName(const std::string& name) const {
  return IsSpecialColumnName(name) ? specOpen_ + name + specClose_ : name;
}

std::string RunOwner::QuoteTableName(const std::string& name) const {
  return IsSpecialTableName(name) ? specOpen_ + name + specClose_ : name;
}

RunOwner::SelectParts RunOwner::BuildSelect(const TableEntry& entry) {
  ReadSpecialBrackets();
  SelectParts parts;
  std::string selectList;
  bool first = true;
  for (const ColumnInfo& col : entry.columns) {
    const std::string ref = QuoteColumnName(col.name);
    parts.typeFlags += col.isNumeric ? 'T' : 'F';
    const int category = CategoryOf(col.sqlType);
    parts.prefixes.push_back(working.s_ScriptPrefix[category]);
    parts.suffixes.push_back(working.s_ScriptSuffix[category]);
    if (!first) {
      selectList += " , ";
      parts.columnList += " , ";
    }
    first = false;
    selectList += working.s_RetrievePrefix[category] + ref + working.s_RetrieveSuffix[category];
    parts.columnList += ref;
  }
  std::string from = entry.name;
  const bool special = IsSpecialTableName(entry.name);
  if (special) from = specOpen_ + from + specClose_;
  if (connection && !connection->s_DatabaseUser.empty() && connection->s_DatabaseUser != connection->loginUser &&
      connection->hasSchemas && !connection->b_IsCatalog) {
    const std::string& owner = connection->s_DatabaseUser;
    from = (special ? specOpen_ + owner + specClose_ : owner) + "." + from;
  }
  ApplyCaseInPlace(parts.columnList, working.i_ColumnNameCase);
  std::string condition;
  if (WhereConditionFor(opts, entry.name, condition)) from += " where " + condition;
  parts.select = "select " + selectList + " from " + from;
  return parts;
}

void RunOwner::WriteCommit(bool tableEnd) {
  output.Append(working.s_Commit, C::colorRemark);
  if (working.b_CommitNeedsExecute) {
    if (!working.b_ExecuteSameLine) output.Append("\r\n", C::colorSql, true);
    output.Append(working.s_Execute + "\r\n\r\n", C::colorRemark, true);
  } else if (!tableEnd) {
    output.Append("\r\n\r\n", C::colorRemark, true);
  }
}

void RunOwner::WriteInsert(const std::string& table, const std::string& columns, const std::string& row) {
  if (!output.ColoursMatter()) {
    // One append per statement where nobody sees the colours: the same bytes, less work per row.
    statement_.clear();
    statement_ += insertHead_;
    statement_ += table;
    statement_ += " ( ";
    statement_ += columns;
    statement_ += " )\t\t";
    statement_ += lineBreakEnd_;
    statement_ += working.s_Values;
    statement_ += " ( ";
    statement_ += row;
    statement_ += " )";
    if (!working.b_ExecuteSameLine) statement_ += "\r\n";
    statement_ += executeEnd_;
    output.Append(statement_, C::colorName, true);
    return;
  }
  output.Append(insertHead_, C::colorRemark);
  output.Append(table, C::colorSql);
  output.Append(" ( ", C::colorSql);
  output.Append(columns, C::colorName);
  output.Append(" )\t\t", C::colorSql);
  output.Append(lineBreakEnd_, C::colorSql, true);
  output.Append(working.s_Values, C::colorRemark);
  output.Append(" ( ", C::colorSql);
  output.Append(row, C::colorName);
  output.Append(" )", C::colorSql);
  if (!working.b_ExecuteSameLine) output.Append("\r\n", C::colorSql, true);
  output.Append(executeEnd_, C::colorRemark, true);
}

void RunOwner::PrepareStatementPieces() {
  insertHead_ = working.s_InsertInto + " ";
  lineBreakEnd_ = working.s_LineBreak + "\r\n";
  executeEnd_ = working.s_Execute + "\r\n\r\n";
}

void RunOwner::ScriptTableData() {
  const int n = static_cast<int>(processedTables.size());
  state.skipRequested = 0;
  state.skipAllowed = 1;
  SetStateTitle("Scripting Data");
  host.BarRange(Host::kDataBar, n);
  PrepareStatementPieces();
  const std::string& R = working.s_Remarks;
  std::string row;
  DbConnection::RowLists lists;

  for (int index = 0; index < n; ++index) {
    TableEntry& entry = *processedTables[index];
    host.PanelSelect(index);
    const std::string tname = ApplyCase(entry.name, working.i_TableNameCase);
    ReadSpecialBrackets();
    const std::string written = QuoteTableName(tname);

    if (opts.b_DeleteData) {
      output.Append("\r\n", C::colorRemarkMarker, true);
      if (opts.b_DoRemarks) {
        output.Append(R + "  ", C::colorRemarkMarker);
        output.Append("Deleting data for table ", C::colorRemark);
        output.Append(tname + "\r\n\r\n", C::colorSql, true);
      }
      output.Append(working.s_Delete + " ", C::colorRemark);
      output.Append(written, C::colorSql);
      if (!working.b_ExecuteSameLine) output.Append("\r\n", C::colorSql, true);
      output.Append(working.s_Execute + "\r\n", C::colorRemark, true);
    }
    output.Append("\r\n", C::colorRemarkMarker, true);
    if (opts.b_DoRemarks) {
      output.Append(R + "  ", C::colorRemarkMarker);
      output.Append("Data for table    ", C::colorRemark);
      output.Append(tname, C::colorSql, true);
      std::string condition;
      if (WhereConditionFor(opts, tname, condition)) {
        output.Append("\r\n" + R + "  ", C::colorRemarkMarker);
        output.Append("Condition clause  ", C::colorRemark);
        output.Append(condition, C::colorSql, true);
      }
      output.Append("\r\n\r\n", C::colorSql, true);
    }
    host.BarStep(Host::kDataBar);
    if (entry.marks[3] == 0) continue;

    SelectParts parts = BuildSelect(entry);
    if (parts.columnList.empty()) {
      output.Append(R + "  There are no columns to select from table ", C::colorMessage);
      output.Append(tname + "\r\n\r\n", C::colorSql, true);
      continue;
    }
    Statement stmt;
    std::string error = connection->Execute(stmt, parts.select);
    if (!error.empty()) {
      output.Append("\r\nThe following error was received while processing table ", C::colorMessage);
      output.Append(tname + ":\r\n", C::colorSql);
      output.Append(error + "\r\n\r\n\r\n", C::colorMessage, true);
      continue;
    }
    lists.typeFlags = &parts.typeFlags;
    lists.prefixes = &parts.prefixes;
    lists.suffixes = &parts.suffixes;
    bool rowRead = false;
    bool csvHeader = false;
    int counter = 0;
    for (;;) {
      RowCheckPoint(stmt);
      if (state.skipRequested) {
        state.skipRequested = 0;
        output.Append(R + "  ", C::colorRemarkMarker);
        output.Append("Table Skipped ...\r\n\r\n", C::colorMessage);
        break;
      }
      const int failuresBefore = connection->getDataFailures;
      if (!connection->ReadRows(stmt.get(), row, lists, nullptr, nullptr, std::string())) {
        ReportFetchError(stmt, "table " + tname);
        if (!rowRead && opts.b_DoRemarks) {
          output.Append(R + "  ", C::colorRemarkMarker);
          output.Append("No records found for table ", C::colorRemark);
          output.Append(tname + "\r\n\r\n", C::colorSql, true);
        }
        break;
      }
      ApplyCaseInPlace(row, opts.i_DataCase);
      rowRead = true;
      ++counter;
      if (opts.b_DataCSV) {
        if (!csvHeader) {
          output.Append(CsvLine(parts.columnList, true) + "\r\n", C::colorRemark, true);
          csvHeader = true;
        }
        output.Append(CsvLine(row, false) + "\r\n", C::colorName, true);
      } else {
        WriteInsert(written, parts.columnList, row);
        if (counter >= working.i_CommitLines && !working.s_Commit.empty()) {
          counter = 0;
          WriteCommit(false);
        }
      }
      if (connection->getDataFailures != failuresBefore) {
        output.Append(R + "  ERROR: A value of the row above could not be read from table " + tname + ": " +
                          connection->lastGetDataError + "\r\n\r\n",
                      C::colorMessage, true);
      }
    }
    if (working.b_CommitEachTable && counter > 0 && !working.s_Commit.empty() && !opts.b_DataCSV) WriteCommit(true);
    stmt.Drop();
  }
  state.skipAllowed = 0;
  host.BarSetPos(Host::kDataBar, n);
}

}  // namespace mv
