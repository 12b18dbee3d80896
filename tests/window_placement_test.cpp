// The window's placement as it closes: the next start restores it by a resize (inner size) and
// a move (outer corner), so a window with a frame opens as it closed.
#include <gtest/gtest.h>

#include "base/WindowPlacement.h"

namespace mv {
namespace {

TEST(WindowPlacement, ClosingKeepsTheInnerSizeAndTheOuterCorner) {
  // A frame of 25 pixels at the top and 1 at the sides and bottom.
  const struct {
    const char* what;
    WindowRect outer, inner, normal;
    bool maximized;
    int width, height, x, y;
  } cases[] = {
      {"framed", {100, 50, 802, 626}, {101, 75, 800, 600}, {101, 75, 800, 600}, false, 800, 600, 100, 50},
      {"unframed", {10, 20, 640, 480}, {10, 20, 640, 480}, {10, 20, 640, 480}, false, 640, 480, 10, 20},
      {"maximized", {0, 0, 1600, 1000}, {1, 25, 1598, 974}, {201, 125, 800, 600}, true, 800, 600, 200, 100},
  };
  for (const auto& c : cases) {
    const WindowPlacement p = ClosingPlacement(c.outer, c.inner, c.normal, c.maximized);
    EXPECT_EQ(p.width, c.width) << c.what;
    EXPECT_EQ(p.height, c.height) << c.what;
    EXPECT_EQ(p.x, c.x) << c.what;
    EXPECT_EQ(p.y, c.y) << c.what;
    EXPECT_EQ(p.maximized, c.maximized) << c.what;
  }
}

}  // namespace
}  // namespace mv
