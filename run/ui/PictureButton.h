#pragma once
#include <QAbstractButton>
#include <QPixmap>

namespace mv {

// A button drawn from a strip of four equal images: normal, pressed, hover, disabled. It
// takes the size of one image.
class PictureButton : public QAbstractButton {
  Q_OBJECT
 public:
  PictureButton(const QString& stripPath, const QString& toolTip, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  // 0 normal, 1 pressed, 2 hover, 3 disabled: the image drawn now.
  int ImageIndex() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  QPixmap strip_;
  bool hover_ = false;
};

}  // namespace mv
