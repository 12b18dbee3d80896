#include "run/ScreenPalette.h"

#include <algorithm>
#include <cmath>

#include "run/ScriptText.h"

namespace mv {

namespace {

struct Variant {
  Color stored, light, dark;
};

// The light shades keep the palette's colours where they read on white already and deepen
// the red and the green, which do not; the dark shades are the same hues, lightened.
constexpr Variant kVariants[] = {
    {Palette::name, Palette::name, {138, 164, 255}}, {Palette::message, Palette::message, {255, 128, 168}},
    {Palette::sql, {204, 0, 0}, {255, 112, 112}},    {Palette::remark, {0, 128, 32}, {88, 214, 120}},
    {Palette::text, Palette::text, {230, 230, 230}},
};

double Linear(uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Color c) { return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b); }

// Moves the colour towards white (or black) until it reads on the background.
Color Ensure(Color c, Color background) {
  const bool lighten = ScreenPalette::IsDark(background);
  const Color end = lighten ? Color{255, 255, 255} : Color{0, 0, 0};
  auto mix = [](uint8_t from, uint8_t to, double t) {
    return static_cast<uint8_t>(std::lround(from + (to - from) * t));
  };
  // Small steps, so that shades pushed far on a mid-grey background stay apart.
  for (int step = 0; step <= 200; ++step) {
    const double t = step / 200.0;
    const Color m{mix(c.r, end.r, t), mix(c.g, end.g, t), mix(c.b, end.b, t)};
    if (ScreenPalette::Contrast(m, background) >= ScreenPalette::kMinContrast) return m;
  }
  return end;
}

}  // namespace

double ScreenPalette::Contrast(Color a, Color b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool ScreenPalette::IsDark(Color background) {
  return Contrast(background, {255, 255, 255}) > Contrast(background, {0, 0, 0});
}

Color ScreenPalette::Shown(Color stored, Color background) {
  const bool dark = IsDark(background);
  for (const Variant& v : kVariants)
    if (v.stored == stored) return Ensure(dark ? v.dark : v.light, background);
  return Ensure(stored, background);
}

Color ScreenPalette::Stored(Color shown, Color background) {
  for (const Variant& v : kVariants)
    if (Shown(v.stored, background) == shown) return v.stored;
  return shown;
}

}  // namespace mv
