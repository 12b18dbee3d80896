// mervale: the desktop program. Usage: mervale [--nosplash] [CONFIGURATION.mvl]
#include <QApplication>
#include <QFileInfo>
#include <QSplashScreen>
#include <QTimer>
#include <QtGlobal>
#include <cstdio>
#include <cstring>

#include "DesktopDialogs.h"
#include "base/ProgramFolder.h"
#include "base/SettingsStore.h"
#include "base/WindowPlacement.h"
#include "run/ui/RunCommands.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/MainWindow.h"

int main(int argc, char** argv) {
  // Answered before the application starts, so that they need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("mervale %s\nQt %s\n", MERVALE_VERSION, qVersion());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(
          "Usage: mervale [--nosplash] [CONFIG.mvl]\n"
          "       mervale --version\n"
          "       mervale --help\n"
          "\n"
          "Opens the Mervale window; with CONFIG.mvl, loads that configuration and runs it.\n"
          "  --nosplash   leave out the splash picture\n"
          "  --version    show the program's version and the Qt version\n"
          "  --help       show this text\n"
          "See mervale(1) and mervale-batch(1).\n",
          stdout);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Quillfen"));
  QApplication::setApplicationName(QStringLiteral("Mervale"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/shell/mervale-128.png")));

  bool splash = true;
  QString file;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--nosplash"))
      splash = false;
    else if (file.isEmpty())
      file = args[i];
  }
  // A configuration that cannot be read ends the program, as any command line it cannot carry out.
  if (!file.isEmpty() && !QFileInfo(file).isReadable()) {
    std::fprintf(stderr, "mervale: cannot open %s\n", file.toLocal8Bit().constData());
    return 1;
  }

  mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
  mv::MainWindow window(settings, mv::ProgramFolder());
  window.LoadStartupState();
  // Profiles a user saved where the program folder could not be written join the shipped ones.
  mv::ui::LoadUserProfiles(window.Owner());
  window.SetDialogHooks(mv::DesktopDialogHooks());
  window.ApplyPlacement(mv::LoadWindowPlacement(settings, !file.isEmpty()));
  window.show();

  const std::string path = file.toLocal8Bit().toStdString();
  auto carryOut = [&window, path] {
    if (!path.empty()) window.StartWith(path);
  };
  if (splash) {
    auto* screen = new QSplashScreen(mv::SplashPicture());
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->show();
    QTimer::singleShot(750, screen, &QWidget::close);
    QTimer::singleShot(2300, &window, carryOut);
  } else {
    QTimer::singleShot(0, &window, carryOut);
  }
  const int status = QApplication::exec();
  return window.AutoExitStatus() >= 0 ? window.AutoExitStatus() : status;
}
