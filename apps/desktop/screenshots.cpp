// mervale-screenshots FOLDER [--dark]: runs the demo in the desktop windows and saves pictures of them
// (main window, Control Panel mid-run, find box, About box, help) as PNG files in FOLDER. Meant
// for the offscreen platform: QT_QPA_PLATFORM=offscreen build/mervale-screenshots docs/screenshots.
// On a real display (xcb under Xvfb and a window manager) each is also taken as the screen shows
// it, frame and all: NAME-screen.png.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "DesktopDialogs.h"
#include "ShotPalette.h"
#include "base/SettingsStore.h"
#include "run/ConfigurationCommands.h"
#include "run/RunController.h"
#include "run/ui/ControlPanel.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/FindBox.h"
#include "shell/ui/HelpWindow.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptView.h"

namespace {

bool Save(const QPixmap& picture, const QString& folder, const char* name) {
  const QString path = folder + "/" + name;
  if (!picture.save(path)) {
    std::fprintf(stderr, "mervale-screenshots: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s\n", path.toLocal8Bit().constData());
  return true;
}

// On a real display: the whole screen as it shows the window (placed and framed by the window
// manager), and whether the frame fits on it.
bool ScreenShot(QWidget& w, const QString& folder, const char* name) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen") || !w.screen()) return true;
  QTest::qWait(400);
  const QString file = QString::fromLatin1(name).replace(".png", "-screen.png");
  const QRect f = w.frameGeometry(), s = w.screen()->availableGeometry();
  std::printf("frame %dx%d%+d%+d on %dx%d%s: ", f.width(), f.height(), f.x(), f.y(), s.width(), s.height(),
              s.contains(f) ? "" : " (off screen)");
  return Save(w.screen()->grabWindow(0), folder, file.toLatin1().constData());
}

// A dialog drawn over its main window, where it would stand on a desktop.
QPixmap Over(QWidget& back, QWidget& front, QPoint at) {
  QPixmap picture = back.grab();
  QPainter p(&picture);
  const QPixmap top = front.grab();
  p.fillRect(QRect(at + QPoint(3, 3), top.size()), QColor(0, 0, 0, 60));
  p.drawPixmap(at, top);
  p.setPen(QColor(110, 110, 110));
  p.drawRect(QRect(at, top.size()).adjusted(0, 0, -1, -1));
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: mervale-screenshots FOLDER [--dark]\n");
    return 2;
  }
  if (mv::WantsDark(argc, argv)) mv::ApplyDarkPalette();
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  QTemporaryDir home;
  mv::SettingsStore settings((home.path() + "/Mervale.ini").toStdString());
  mv::MainWindow window(settings, MV_BINARY_DIR);
  window.Host().SetMessageFunction([](const std::string&, mv::Host::Buttons b) {
    return b == mv::Host::Buttons::Ok ? mv::Host::Answer::Ok : mv::Host::Answer::No;
  });
  window.LoadStartupState();
  window.SetDialogHooks(mv::DesktopDialogHooks());
  // As the program sizes itself: never larger than the screen (at 200% a 1600x1000 screen is
  // 800x500 to the window).
  QSize size(980, 640);
  if (const QScreen* s = window.screen()) size = size.boundedTo(s->availableGeometry().size());
  window.resize(size);
  window.show();
  if (!mv::LoadConfiguration(window.Owner(), MV_BINARY_DIR "/demo/demo.mvl", true)) {
    std::fprintf(stderr, "mervale-screenshots: the demo configuration did not load\n");
    return 1;
  }

  bool ok = true;
  bool panelTaken = false;
  // Mid-run: the worker waits inside the title it sets, so the panel is caught in the data phase.
  QObject::connect(&window, &QWidget::windowTitleChanged, [&](const QString& title) {
    mv::ControlPanel* panel = window.Host().Panel();
    if (!panelTaken && panel && title.startsWith("Scripting Data")) {
      panelTaken = true;
      window.RefreshCommands();
      ok &= Save(panel->grab(), folder, "control-panel.png");
      ok &= ScreenShot(*panel, folder, "control-panel.png");
    }
  });
  window.Owner().StartRun();
  if (!QTest::qWaitFor([&] { return !window.Owner().Status().workerActive; }, 30000)) {
    std::fprintf(stderr, "mervale-screenshots: the demo run did not end within 30 seconds\n");
    return 1;
  }
  QTest::qWait(300);
  window.View().SetCaret(0);
  ok &= Save(window.grab(), folder, "main-window.png");
  ok &= ScreenShot(window, folder, "main-window.png");

  window.Command("find")->trigger();
  mv::FindBox* find = window.Find();
  find->TextField()->setText("customers");
  find->FindNext();
  QTest::qWait(100);
  ok &= ScreenShot(*find, folder, "find.png");
  ok &= Save(Over(window, *find, QPoint(window.width() - find->width() - 40, 120)), folder, "find.png");
  find->close();

  mv::AboutBox about(&window);
  about.show();
  QTest::qWait(100);
  ok &= Save(about.grab(), folder, "about.png");
  ok &= ScreenShot(about, folder, "about.png");
  about.close();

  window.ShowHelp("parameters");
  if (mv::HelpWindow* help = window.Help()) {
    QTest::qWait(100);
    ok &= Save(help->grab(), folder, "help.png");
    ok &= ScreenShot(*help, folder, "help.png");
  } else {
    std::fprintf(stderr, "mervale-screenshots: the help did not open\n");
    ok = false;
  }
  ok &= panelTaken;
  window.Owner().Output().SetSaved(true);
  return ok ? 0 : 1;
}
