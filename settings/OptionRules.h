#pragma once
#include <string>

#include "settings/RunOptions.h"

namespace mv {

struct Profile;

// The values the General Options dialog is handed and hands back. The lines count travels as
// the text the user typed; the caller turns it into a number with ParseLeadingInt.
struct GeneralOptionValues {
  int b_AutoSave = 0;
  int b_OnlyToFile = 0;
  int b_DataType = 0;
  int i_AutoSpecialName = 0;
  std::string s_AutoSaveFile;
  int b_OwnerOnly = 0;
  int b_Optimize = 0;
  std::string linesText;
  int b_EngineTypes = 1;
  int b_Constraints = 1;
  bool operator==(const GeneralOptionValues&) const = default;
};

// The three output radios: they set b_AutoSave and b_OnlyToFile together.
enum class OutputChoice { Screen, File, AutoSave };
OutputChoice OutputChoiceOf(const GeneralOptionValues& v);
void ChooseOutput(GeneralOptionValues& v, OutputChoice choice);

// Which controls are usable for the current output choice.
struct GeneralEnabling {
  bool fileName = false;  // "File name ", its edit and "Browse"
  bool lines = false;     // the "Automatic Save" group and the lines edit
};
GeneralEnabling EnablingOf(const GeneralOptionValues& v);

// The OK checks of General Options, in their order. Empty message: accepted.
struct GeneralCheck {
  enum class Focus { None, FileName, Lines };
  std::string message;
  Focus focus = Focus::None;
};
GeneralCheck CheckGeneralOptions(const GeneralOptionValues& v);

struct DataOptionValues {
  int i_DataCase = 2;
  int b_DeleteData = 1;
  int b_AllStrings = 0;
  int b_RightTrim = 0;
  int b_LeftTrim = 0;
  int b_DataCSV = 0;
  int i_RowsPerInsert = 1;
  int i_DataFormat = 0;
  bool operator==(const DataOptionValues&) const = default;
};

struct IndexOptionValues {
  int i_IndexNameCase = 0;
  int b_DropIndex = 1;
  int i_IndexColumnCase = 0;
  bool operator==(const IndexOptionValues&) const = default;
};

// Straight from and back to the run options, as the SQL script dialog's "General" does: the
// lines text is converted back with the integer rule and b_Optimize is not carried.
GeneralOptionValues GeneralValuesFrom(const RunOptions& opts);
void WriteGeneralValuesBack(const GeneralOptionValues& v, RunOptions& opts);

// The messages of the option dialogs.
inline constexpr const char* kMsgEnterFileName = "Please enter a file name to save script";
inline constexpr const char* kMsgEnterInteger = "Please enter an integer";

}  // namespace mv
