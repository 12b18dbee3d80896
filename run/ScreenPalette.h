#pragma once
#include "base/ScriptWindow.h"

namespace mv {

// The colours the script window shows its pieces in. The script keeps the palette's own
// colours (a saved RTF file names them); on screen each one becomes a shade that reads on the
// window's background: the light variant on a light background, the dark variant on a dark
// one, each at least kMinContrast against it, however the theme chose the background.
struct ScreenPalette {
  static constexpr double kMinContrast = 4.5;

  // The WCAG contrast ratio of two colours, 1 to 21.
  static double Contrast(Color a, Color b);
  // Whether text on this background needs the dark variant (light text).
  static bool IsDark(Color background);
  // The colour a piece of the script's colour is shown in on this background. A colour that
  // is not one of the palette's keeps its hue and is only lightened or darkened as far as
  // the contrast needs.
  static Color Shown(Color stored, Color background);
  // The script's colour of a colour shown on this background (the inverse of Shown for the
  // palette's colours; any other colour is its own).
  static Color Stored(Color shown, Color background);
};

}  // namespace mv
