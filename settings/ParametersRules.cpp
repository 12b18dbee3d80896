#include "settings/ParametersRules.h"

#include <algorithm>
#include <fstream>

#include "profiles/Profile.h"

namespace mv {

ParametersCopies LoadParametersCopies(const RunOptions& opts, const Profile& working) {
  ParametersCopies c;
  c.b_DoTabStruct = opts.b_DoTabStruct;
  c.b_DoTabData = opts.b_DoTabData;
  c.b_DoIndex = opts.b_DoIndex;
  c.b_DoRemarks = opts.b_DoRemarks;
  c.general = GeneralValuesFrom(opts);
  c.data = {opts.i_DataCase, opts.b_DeleteData, opts.b_AllStrings,    opts.b_RightTrim,
            opts.b_LeftTrim, opts.b_DataCSV,    opts.i_RowsPerInsert, opts.i_DataFormat};
  c.index = {working.i_IndexNameCase, opts.b_DropIndex, working.i_IndexColumnCase};
  return c;
}

void ReloadIndexCase(ParametersCopies& copies, const Profile& working) {
  copies.index.i_IndexNameCase = working.i_IndexNameCase;
  copies.index.i_IndexColumnCase = working.i_IndexColumnCase;
}

void WriteBackParameters(const ParametersCopies& c, RunOptions& opts, Profile& working) {
  opts.b_DoTabStruct = c.b_DoTabStruct;
  opts.b_DoTabData = c.b_DoTabData;
  opts.b_DoIndex = c.b_DoIndex;
  opts.b_DoRemarks = c.b_DoRemarks;
  WriteGeneralValuesBack(c.general, opts);
  opts.b_Optimize = c.general.b_Optimize;
  opts.i_DataCase = c.data.i_DataCase;
  opts.b_DeleteData = c.data.b_DeleteData;
  opts.b_AllStrings = c.data.b_AllStrings;
  opts.b_RightTrim = c.data.b_RightTrim;
  opts.b_LeftTrim = c.data.b_LeftTrim;
  opts.b_DataCSV = c.data.b_DataCSV;
  opts.i_RowsPerInsert = c.data.i_RowsPerInsert;
  opts.i_DataFormat = c.data.i_DataFormat;
  opts.b_DropIndex = c.index.b_DropIndex;
  if (opts.b_IndexCaseSet == 0) {
    working.i_IndexNameCase = working.i_TableNameCase;
    working.i_IndexColumnCase = working.i_ColumnNameCase;
  } else {
    working.i_IndexNameCase = c.index.i_IndexNameCase;
    working.i_IndexColumnCase = c.index.i_IndexColumnCase;
  }
}

void PrepareAdvancedIndex(ParametersCopies& copies, RunOptions& opts, const Profile& working) {
  if (opts.b_IndexCaseSet == 0) ReloadIndexCase(copies, working);
  opts.b_IndexCaseSet = 1;
}

int ChooseProfileEntry(const std::vector<std::string>& sortedNames, std::string& workingName) {
  if (sortedNames.empty()) return -1;
  auto it = std::find(sortedNames.begin(), sortedNames.end(), workingName);
  if (it != sortedNames.end()) return static_cast<int>(it - sortedNames.begin());
  workingName = sortedNames.front();
  return 0;
}

std::string CheckSqlScriptStart(bool usableConnection, const std::string& statement, bool& emptyStatement) {
  emptyStatement = false;
  if (!usableConnection) return kMsgSelectDatabaseToBegin;
  if (statement.find_first_not_of(" \t\r\n\f\v") == std::string::npos) {
    emptyStatement = true;
    return kMsgEnterStatement;
  }
  return {};
}

bool ReadStatementFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string out, line;
  while (std::getline(in, line)) {
    // Text mode on the original system drops the carriage return of a CRLF line.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += line;
    out += '\n';
  }
  text = std::move(out);
  return true;
}

}  // namespace mv
