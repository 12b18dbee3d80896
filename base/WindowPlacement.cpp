#include "base/WindowPlacement.h"

#include "base/SettingsStore.h"

namespace mv {

WindowPlacement LoadWindowPlacement(const SettingsStore& settings, bool fileOnCommandLine) {
  WindowPlacement p;
  const int w = settings.GetInt("BigWidth", 0), h = settings.GetInt("BigHeight", 0);
  p.width = w < 200 ? 800 : w;
  p.height = h < 100 ? 600 : h;
  if (fileOnCommandLine)
    p.minimized = true;
  else
    p.maximized = settings.GetInt("BigMaximized", 0) != 0;
  if (!p.maximized) {
    // 0 and 2000 are outside: a window there was probably on a screen that is gone.
    const int x = settings.GetInt("LocX", -32), y = settings.GetInt("LocY", -32);
    if (x > 0 && x < 2000 && y > 0 && y < 2000) {
      p.move = true;
      p.x = x;
      p.y = y;
    }
  }
  return p;
}

void SaveWindowPlacement(SettingsStore& settings, int width, int height, bool maximized, int x, int y) {
  settings.BeginBatch();
  settings.WriteInt("BigWidth", width);
  settings.WriteInt("BigHeight", height);
  settings.WriteInt("BigMaximized", maximized ? 1 : 0);
  settings.WriteInt("LocX", x);
  settings.WriteInt("LocY", y);
  settings.EndBatch();
}

WindowPlacement ClosingPlacement(const WindowRect& outer, const WindowRect& inner, const WindowRect& normalInner,
                                 bool maximized) {
  WindowPlacement p;
  p.maximized = maximized;
  p.move = true;
  const WindowRect& size = maximized ? normalInner : inner;
  p.width = size.width;
  p.height = size.height;
  // The frame's top-left corner; a maximized window's is where its normal inner rectangle
  // puts it, with the frame's own margins.
  p.x = maximized ? normalInner.x - (inner.x - outer.x) : outer.x;
  p.y = maximized ? normalInner.y - (inner.y - outer.y) : outer.y;
  return p;
}

}  // namespace mv
