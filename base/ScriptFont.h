#pragma once
#include <string>

namespace mv {

class SettingsStore;

// The script font as the program uses it. The settings store keeps it as the eight values of
// a rich-edit character format (face, height in twips, effects, ...); they are read and
// written only here, so files written by earlier versions keep working.
struct ScriptFont {
  std::string face = "Courier New";  // at most 31 characters in the store
  double pointSize = 8.5;            // yHeight 170 twips
  bool bold = false;
  bool italic = false;
  bool operator==(const ScriptFont&) const = default;
};

ScriptFont LoadScriptFont(const SettingsStore& settings);
// Writes the eight values; the ones this record does not hold keep what the store had.
void SaveScriptFont(SettingsStore& settings, const ScriptFont& font);

}  // namespace mv
