#include "shell/ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include "base/ui/WindowResources.h"

namespace mv {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  InitWindowResources();
  setWindowTitle(QStringLiteral("About Mervale"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(QStringLiteral(":/shell/mervale-64.png")));
  icon->setAlignment(Qt::AlignTop);
  auto* name = new QLabel(QStringLiteral("<b>Mervale</b>"), this);
  auto* version = new QLabel(QStringLiteral("Version 5.01"), this);
  auto* what = new QLabel(QStringLiteral("Turns a live database into the SQL script that rebuilds it."), this);
  what->setWordWrap(true);
  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(version);
  text->addWidget(what);
  text->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addLayout(text, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  setMinimumWidth(340);
}

QPixmap SplashPicture() {
  InitWindowResources();
  QPixmap pm(420, 220);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient bg(0, 0, 0, pm.height());
  bg.setColorAt(0, QColor(40, 70, 170));
  bg.setColorAt(1, QColor(15, 30, 90));
  p.fillRect(pm.rect(), bg);
  p.drawPixmap(28, 46, QPixmap(QStringLiteral(":/shell/mervale-128.png")));
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPointSize(30);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(170, 60, 240, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Mervale"));
  QFont small = p.font();
  small.setPointSize(11);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRect(172, 112, 240, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 5.01"));
  p.setPen(QColor(190, 205, 245));
  p.drawText(QRect(172, 140, 240, 40), Qt::AlignLeft | Qt::TextWordWrap,
             QStringLiteral("Your database, as the script that rebuilds it"));
  return pm;
}

}  // namespace mv
