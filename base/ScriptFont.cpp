#include "base/ScriptFont.h"

#include <cmath>

#include "base/SettingsStore.h"

namespace mv {

namespace {
// Rich-edit effect bits and the defaults of the stored record.
constexpr int kBold = 0x1;
constexpr int kItalic = 0x2;
constexpr int kAutoColour = 0x40000000;
constexpr int kDefaultMask = static_cast<int>(0xB0000013u);  // size, face, offset, bold, italic, protected
constexpr int kDefaultHeight = 170;
constexpr size_t kMaxFace = 31;
}  // namespace

ScriptFont LoadScriptFont(const SettingsStore& settings) {
  ScriptFont f;
  f.face = settings.GetString("szFaceName", f.face);
  if (f.face.size() > kMaxFace) f.face.resize(kMaxFace);
  int twips = settings.GetInt("yHeight", kDefaultHeight);
  // A height that no font has would give an unreadable window; the default is kept instead.
  if (twips < 20 || twips > 20 * 400) twips = kDefaultHeight;
  f.pointSize = twips / 20.0;
  const int effects = settings.GetInt("dwEffects", kAutoColour);
  f.bold = (effects & kBold) != 0;
  f.italic = (effects & kItalic) != 0;
  return f;
}

void SaveScriptFont(SettingsStore& settings, const ScriptFont& font) {
  int effects = settings.GetInt("dwEffects", kAutoColour) & ~(kBold | kItalic);
  if (font.bold) effects |= kBold;
  if (font.italic) effects |= kItalic;
  settings.BeginBatch();
  settings.WriteInt("bCharSet", settings.GetInt("bCharSet", 0));
  settings.WriteInt("bPitchAndFamily", settings.GetInt("bPitchAndFamily", 0));
  settings.WriteInt("cbSize", settings.GetInt("cbSize", 0));
  settings.WriteInt("dwEffects", effects);
  settings.WriteInt("dwMask", settings.GetInt("dwMask", kDefaultMask));
  settings.WriteString("szFaceName", font.face.substr(0, kMaxFace));
  settings.WriteInt("yHeight", static_cast<int>(std::lround(font.pointSize * 20)));
  settings.WriteInt("yOffset", settings.GetInt("yOffset", 0));
  settings.EndBatch();
}

}  // namespace mv
