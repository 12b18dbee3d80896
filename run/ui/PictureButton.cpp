#include "run/ui/PictureButton.h"

#include <QPainter>

#include "base/ui/WindowResources.h"

namespace mv {

PictureButton::PictureButton(const QString& stripPath, const QString& toolTip, QWidget* parent)
    : QAbstractButton(parent), strip_((InitWindowResources(), stripPath)) {
  setToolTip(toolTip);
  setAccessibleName(toolTip);
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover);
  setFixedSize(sizeHint());
}

QSize PictureButton::sizeHint() const {
  return strip_.isNull() ? QSize(32, 32) : QSize(strip_.width() / 4, strip_.height());
}

int PictureButton::ImageIndex() const {
  if (!isEnabled()) return 3;
  if (isDown()) return 1;
  if (hover_) return 2;
  return 0;
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = strip_.width() / 4;
  p.drawPixmap(0, 0, strip_, ImageIndex() * w, 0, w, strip_.height());
  if (hasFocus()) {
    p.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(2, 2, -3, -3));
  }
}

void PictureButton::enterEvent(QEnterEvent* e) {
  hover_ = true;
  update();
  QAbstractButton::enterEvent(e);
}

void PictureButton::leaveEvent(QEvent* e) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(e);
}

}  // namespace mv
