#pragma once
#include <QScrollArea>

namespace mv::ui {

// A scroll area that asks for its whole page (a dialog opens as large as its content where
// the screen has room) but can be made as small as a few lines: on a small or scaled screen
// the page scrolls instead of pushing the dialog's buttons off the screen.
class ScrollPage : public QScrollArea {
 public:
  explicit ScrollPage(QWidget* page, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
};

}  // namespace mv::ui
