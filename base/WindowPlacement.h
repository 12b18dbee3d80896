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
// Outer size and top-left corner of the window as it closes.
void SaveWindowPlacement(SettingsStore& settings, int width, int height, bool maximized, int x, int y);

}  // namespace mv
