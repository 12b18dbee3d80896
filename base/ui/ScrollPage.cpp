#include "base/ui/ScrollPage.h"

#include <QScrollBar>
#include <QStyle>

namespace mv::ui {

ScrollPage::ScrollPage(QWidget* page, QWidget* parent) : QScrollArea(parent) {
  setWidget(page);
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
}

QSize ScrollPage::sizeHint() const {
  if (!widget()) return QScrollArea::sizeHint();
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const QSize content = widget()->sizeHint().expandedTo(widget()->minimumSizeHint());
  return content + QSize(2 * frameWidth() + bar, 2 * frameWidth());
}

QSize ScrollPage::minimumSizeHint() const {
  const int line = fontMetrics().height();
  return {16 * line, 8 * line};
}

}  // namespace mv::ui
