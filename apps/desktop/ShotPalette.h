#pragma once
// The screenshot programs' "--dark": the palette of a dark desktop theme, applied to the whole
// application the way a platform theme would, so the pictures show what such a user sees.
#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <cstring>

namespace mv {

inline bool WantsDark(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--dark") == 0) return true;
  return false;
}

inline void ApplyDarkPalette() {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  const QColor window(49, 54, 59), base(35, 38, 41), text(239, 240, 241), disabled(110, 116, 122);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, window);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Link, QColor(61, 174, 233));
  p.setColor(QPalette::Highlight, QColor(61, 174, 233));
  p.setColor(QPalette::HighlightedText, QColor(252, 252, 252));
  p.setColor(QPalette::Light, QColor(70, 76, 82));
  p.setColor(QPalette::Midlight, QColor(60, 65, 70));
  p.setColor(QPalette::Mid, QColor(40, 44, 48));
  p.setColor(QPalette::Dark, QColor(25, 27, 29));
  p.setColor(QPalette::Shadow, QColor(10, 10, 10));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  QApplication::setPalette(p);
}

}  // namespace mv
