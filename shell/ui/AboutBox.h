#pragma once
#include <QDialog>
#include <QPixmap>

namespace mv {

// "About Mervale": the program icon and the version.
class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

// The splash picture, drawn here rather than shipped as a bitmap.
QPixmap SplashPicture();

}  // namespace mv
