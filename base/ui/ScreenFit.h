#pragma once
#include <QScreen>
#include <QWidget>

namespace mv::ui {

// Resizes a window to size, or less where its screen has less room (a small or scaled
// screen), so that its buttons stay on the screen; never below the window's minimum.
inline void ResizeWithinScreen(QWidget* w, QSize size) {
  if (const QScreen* s = w->screen()) size = size.boundedTo(s->availableGeometry().size() * 0.9);
  w->resize(size.expandedTo(w->minimumSizeHint()));
}

}  // namespace mv::ui
