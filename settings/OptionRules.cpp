#include "settings/OptionRules.h"

#include "base/TextRules.h"

namespace mv {

namespace {

bool BlankAfterLeadingSpace(const std::string& s) { return s.find_first_not_of(" \t\r\n\f\v") == std::string::npos; }

}  // namespace

OutputChoice OutputChoiceOf(const GeneralOptionValues& v) {
  // A configuration file may set both; the file then wins, as only one radio can be checked.
  if (v.b_OnlyToFile) return OutputChoice::File;
  if (v.b_AutoSave) return OutputChoice::AutoSave;
  return OutputChoice::Screen;
}

void ChooseOutput(GeneralOptionValues& v, OutputChoice choice) {
  v.b_OnlyToFile = choice == OutputChoice::File ? 1 : 0;
  v.b_AutoSave = choice == OutputChoice::AutoSave ? 1 : 0;
}

GeneralEnabling EnablingOf(const GeneralOptionValues& v) {
  return {v.b_AutoSave == 1 || v.b_OnlyToFile == 1, v.b_AutoSave == 1};
}

GeneralCheck CheckGeneralOptions(const GeneralOptionValues& v) {
  if ((v.b_AutoSave == 1 || v.b_OnlyToFile == 1) && BlankAfterLeadingSpace(v.s_AutoSaveFile))
    return {kMsgEnterFileName, GeneralCheck::Focus::None};
  if (v.b_AutoSave == 1 && v.b_OnlyToFile == 0 && BlankAfterLeadingSpace(v.linesText))
    return {kMsgEnterInteger, GeneralCheck::Focus::Lines};
  return {};
}

GeneralOptionValues GeneralValuesFrom(const RunOptions& opts) {
  GeneralOptionValues v;
  v.b_AutoSave = opts.b_AutoSave;
  v.b_OnlyToFile = opts.b_OnlyToFile;
  v.b_DataType = opts.b_DataType;
  v.i_AutoSpecialName = opts.i_AutoSpecialName;
  v.s_AutoSaveFile = opts.s_AutoSaveFile;
  v.b_OwnerOnly = opts.b_OwnerOnly;
  v.b_Optimize = opts.b_Optimize;
  v.linesText = std::to_string(opts.i_AutoSaveLines);
  v.b_EngineTypes = opts.b_EngineTypes;
  v.b_Constraints = opts.b_Constraints;
  return v;
}

void WriteGeneralValuesBack(const GeneralOptionValues& v, RunOptions& opts) {
  opts.b_AutoSave = v.b_AutoSave;
  opts.b_OnlyToFile = v.b_OnlyToFile;
  opts.b_DataType = v.b_DataType;
  opts.i_AutoSpecialName = v.i_AutoSpecialName;
  opts.s_AutoSaveFile = v.s_AutoSaveFile;
  opts.b_OwnerOnly = v.b_OwnerOnly;
  opts.i_AutoSaveLines = ParseLeadingInt(v.linesText);
  opts.b_EngineTypes = v.b_EngineTypes;
  opts.b_Constraints = v.b_Constraints;
}

}  // namespace mv
