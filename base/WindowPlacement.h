#pragma once

namespace mv {

class SettingsStore;

// Where the main window opens, from the settings "BigWidth", "BigHeight", "BigMaximized",
// "LocX" and "LocY", and where it was when it closed.
struct WindowPlacement {
  int width = 800;
  int height = 600;
  bool minimized = false;  // a configuration was named on the command line
  bool maximized = false;
  bool move = false;  // x and y are used only when set
  int x = 0;
  int y = 0;
};

WindowPlacement LoadWindowPlacement(const SettingsStore& settings, bool fileOnCommandLine);
// Inner size and outer top-left corner of the window as it closes: what the next start restores
// by a resize and a move, so the window opens as it closed, its frame not added once more.
void SaveWindowPlacement(SettingsStore& settings, int width, int height, bool maximized, int x, int y);

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};
// The placement to save from the window's outer (frame) and inner rectangles, and the inner
// rectangle it has when not maximized.
WindowPlacement ClosingPlacement(const WindowRect& outer, const WindowRect& inner, const WindowRect& normalInner,
                                 bool maximized);

}  // namespace mv
