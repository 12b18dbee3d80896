// The script window's shades: every script colour reads on light and dark backgrounds.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "run/ScreenPalette.h"
#include "run/ScriptText.h"

namespace mv {
namespace {

constexpr Color kScriptColours[] = {Palette::name, Palette::message, Palette::remarkMarker,
                                    Palette::sql,  Palette::remark,  Palette::text};

TEST(ScreenPalette, EveryColourReadsOnLightAndDarkBackgrounds) {
  // White paper, the usual light and dark theme bases, and the greys where the variant flips.
  const struct {
    Color background;
    bool dark;
  } cases[] = {{{255, 255, 255}, false}, {{240, 240, 240}, false}, {{200, 200, 200}, false}, {{120, 120, 120}, false},
               {{116, 116, 116}, true},  {{66, 66, 66}, true},     {{42, 42, 42}, true},     {{30, 30, 30}, true},
               {{0, 0, 0}, true},        {{0, 43, 54}, true},      {{253, 246, 227}, false}};
  for (const auto& c : cases) {
    const auto& bg = c.background;
    SCOPED_TRACE(testing::Message() << int(bg.r) << "," << int(bg.g) << "," << int(bg.b));
    EXPECT_EQ(ScreenPalette::IsDark(bg), c.dark);
    std::set<std::tuple<int, int, int>> distinct;
    for (const Color& stored : kScriptColours) {
      const Color shown = ScreenPalette::Shown(stored, bg);
      EXPECT_GE(ScreenPalette::Contrast(shown, bg), ScreenPalette::kMinContrast)
          << int(stored.r) << "," << int(stored.g) << "," << int(stored.b);
      // A user's edit reads the shades back as the script's own colours.
      EXPECT_TRUE(ScreenPalette::Stored(shown, bg) == stored);
      distinct.insert({shown.r, shown.g, shown.b});
    }
    // The roles stay apart: name, maroon, red, green and plain text (maroon is two roles).
    EXPECT_EQ(distinct.size(), 5u);
  }
}

TEST(ScreenPalette, ContrastIsTheWcagRatio) {
  const struct {
    Color a, b;
    double ratio;
  } cases[] = {{{0, 0, 0}, {255, 255, 255}, 21.0},
               {{255, 255, 255}, {255, 255, 255}, 1.0},
               {{255, 0, 0}, {255, 255, 255}, 4.0},
               {{118, 118, 118}, {255, 255, 255}, 4.54}};
  for (const auto& c : cases) {
    EXPECT_NEAR(ScreenPalette::Contrast(c.a, c.b), c.ratio, 0.01);
    EXPECT_NEAR(ScreenPalette::Contrast(c.b, c.a), c.ratio, 0.01);
  }
  // A colour of no role keeps its hue and is only moved as far as it must be.
  const Color grey{128, 128, 128};
  EXPECT_TRUE(ScreenPalette::Shown({0, 0, 139}, {255, 255, 255}) == Color({0, 0, 139}));
  EXPECT_GE(ScreenPalette::Contrast(ScreenPalette::Shown({0, 0, 139}, {0, 0, 0}), {0, 0, 0}), 4.5);
  EXPECT_GE(ScreenPalette::Contrast(ScreenPalette::Shown(grey, grey), grey), 4.5);
}

}  // namespace
}  // namespace mv
