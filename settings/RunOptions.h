#pragma once
#include <map>
#include <string>
#include <vector>

#include "base/TextRules.h"

namespace mv {

class SettingsStore;
struct Profile;

// Every per-run choice. Names are the configuration keys where the file has one.
struct RunOptions {
  int b_DoTabStruct = 1;
  int b_DoTabData = 1;
  int b_DoIndex = 1;
  int b_DoRemarks = 1;

  std::vector<std::string> IgnoreTables;
  std::vector<std::string> IncludeOnlyTables;
  std::vector<std::string> IgnoreColumns;
  std::vector<std::string> IgnoreDataTypes;
  int b_DoTabSkipped = 1;
  int b_DropTable = 1;
  int b_Optimize = 0;
  int b_DataType = 0;
  // Read the column types from the engine's own catalog where the source is SQLite, PostgreSQL
  // or MariaDB (the drivers misreport several); 0: as the driver reports them.
  int b_EngineTypes = 1;
  // Script keys, constraints, defaults and identities where the working profile has the words
  // for them; 0: the tables as before.
  int b_Constraints = 1;
  int i_AutoSpecialName = 0;
  int b_OwnerOnly = 0;

  // Upper-cased table name to condition.
  std::map<std::string, std::string> WhereStatements;
  int b_DeleteData = 1;
  int b_AllStrings = 0;
  int b_RightTrim = 0;
  int b_LeftTrim = 0;
  int b_DataCSV = 0;
  int i_DataCase = 2;
  // Rows written in one INSERT (below 1 counts as 1); 1 writes one statement per row.
  int i_RowsPerInsert = 1;
  // The rows' format: 0 the profile's, 1 INSERTs, 2 the profile's copy format.
  int i_DataFormat = 0;

  // Output that compares well from run to run: line feeds only, no blanks or tabs at a line's
  // end, rows in key order (all columns where there is no key), the footer without the time.
  int b_LineFeeds = 0;
  int b_TrimLineEnds = 0;
  int b_OrderRows = 0;
  int b_NoElapsedTime = 0;
  // One RFC 4180 file per table's rows in this folder instead of the rows in the script; empty: none.
  std::string s_CsvDir;
  // One script per table in this folder, with a loader and a manifest; empty: one script.
  std::string s_OutputDir;

  int b_DropIndex = 1;
  int b_IndexCaseSet = 0;

  int b_OnlyToFile = 0;
  int b_AutoSave = 0;
  int i_AutoSaveLines = 500;
  std::string s_AutoSaveFile;

  std::string s_DatabaseUser;
  int b_IsCatalog = 0;
  std::string s_WorkingProfile = "Default";
  std::string s_GlobalPassSql;

  // Carried only: saved and loaded so files keep their keys.
  int b_IgnoreColLen = 0;
  int b_IgnoreColCase = 1;
  int b_IgnoreDatCase = 0;
  int b_IgnoreDatTrail = 0;
  int b_IgnoreDatLead = 0;
  int b_IgnoreTabCase = 1;
  int b_DoTabCommon = 1;

  bool operator==(const RunOptions&) const = default;
};

// Reads the remembered options (and the six profile rules of the working copy) from section
// "Settings"; readOnly receives "IsReadOnly".
void LoadRunSettings(SettingsStore& store, RunOptions& opts, Profile& working, int* readOnly = nullptr);
// Writes them back in the fixed key order.
void SaveRunSettings(SettingsStore& store, const RunOptions& opts, const Profile& working);

}  // namespace mv
