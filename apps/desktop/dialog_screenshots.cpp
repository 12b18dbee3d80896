// Renders every dialog and profile page under the offscreen platform into PNG files, so the
// windows can be looked at without a display: mervale-dialog-screenshots [folder] [demo.db]
// [--dark]. With QT_QPA_PLATFORM set to a real display's platform (xcb under Xvfb and a window
// manager), each window is also taken as the screen shows it, frame and all: NAME-screen.png.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "ShotPalette.h"
#include "base/ConsoleHost.h"
#include "base/SettingsStore.h"
#include "base/ui/DialogHelp.h"
#include "db/DbConnection.h"
#include "db/ui/DataSourceDialog.h"
#include "profiles/Profile.h"
#include "profiles/ui/ProfilesSheet.h"
#include "settings/ui/AdvancedSheet.h"
#include "settings/ui/DataConditionsDialog.h"
#include "settings/ui/OptionDialogs.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"

using namespace mv;

namespace {

QString g_folder;

// On a real display: the whole screen once the window manager has placed and framed the window.
void ScreenShot(QWidget& w, const QString& name) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen") || !w.screen()) return;
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 50);
  const QString path = g_folder + "/" + name + "-screen.png";
  if (!w.screen()->grabWindow(0).save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  const QRect f = w.frameGeometry(), s = w.screen()->availableGeometry();
  std::printf("%s frame %dx%d%+d%+d on %dx%d%s\n", qPrintable(path), f.width(), f.height(), f.x(), f.y(), s.width(),
              s.height(), s.contains(f) ? "" : " (off screen)");
}

void Shot(QWidget& w, const char* name) {
  w.show();
  QApplication::processEvents();
  const QString path = g_folder + "/" + name + ".png";
  if (!w.grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
  std::printf("%s %dx%d\n", qPrintable(path), w.width(), w.height());
  ScreenShot(w, name);
  w.hide();
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setFont(QFont("DejaVu Sans", 10));
  if (WantsDark(argc, argv)) ApplyDarkPalette();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) != "--dark") args.push_back(argv[i]);
  g_folder = !args.empty() ? QString::fromLocal8Bit(args[0].c_str()) : QString(MV_SOURCE_DIR "/docs/screenshots");
  QDir().mkpath(g_folder);
  const std::string demo = args.size() > 1 ? args[1] : MV_BINARY_DIR "/demo/demo.db";

  // The Help buttons as the program shows them, enabled.
  ui::DialogHelpHandler() = [](const std::string&) {};
  ConsoleHost host(stdout, stderr, false);
  const QString tmp = QDir::tempPath() + "/mervale-shots.ini";
  SettingsStore settings(tmp.toStdString());
  RunOptions opts;
  ProfileList profiles;
  Profile working;
  SetBuiltInDefaults(working);
  for (const char* n : {"Default", "PostgreSQL", "SQLite"}) {
    Profile p;
    SetBuiltInDefaults(p);
    p.s_Name = n;
    p.i_LengthRule = 2;
    p.OmitLengthTypes = {"DATE", "TIMESTAMP"};
    p.s_TypeTranslation[kBigint] = "BIGINT";
    p.Substitutions = {{"'", "''"}, {"\t", " "}};
    // As the shipped SQLite profile has them, so the Data page shows both in use.
    if (p.s_Name == "SQLite") {
      p.s_Infinity = "9e999";
      p.s_HexText = "CAST(X'%s' AS TEXT)";
    }
    profiles.Append(p);
  }
  opts.s_WorkingProfile = "SQLite";
  opts.WhereStatements["ORDERS"] = "status <> 'cancelled'";
  std::unique_ptr<DbConnection> conn =
      DbConnection::ConnectWithString(host, "DRIVER=SQLite3;Database=" + demo, "", "0");

  {
    // The recent connections come first, as after a few sessions.
    ui::DataSourceDialog d("", nullptr,
                           {"DRIVER=SQLite3;Database=" + demo,
                            "DRIVER={PostgreSQL ANSI};SERVER=db01;PORT=5432;DATABASE=sales;UID=clerk;"});
    d.askSqliteFile = [&] { return QString::fromStdString(demo); };
    d.ChooseSqliteFile();
    d.Test();
    Shot(d, "data-source-chooser");
  }
  for (int page = 0; page < 7; ++page) {
    ui::ProfilesSheet sheet(profiles, opts.s_WorkingProfile, working, settings, QDir::tempPath().toStdString(), host);
    sheet.Pages()->setCurrentIndex(page);
    static const char* names[] = {"general", "structure", "data", "index", "data-types", "functions", "substitutions"};
    Shot(sheet, (std::string("profile-") + names[page]).c_str());
    sheet.done(0);
  }
  {
    // The "Add Profile" dialog is modal inside the manager; shown here on its own.
    QTimer::singleShot(0, [] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        Shot(*w, "profile-add");
        static_cast<QDialog*>(w)->reject();
      }
    });
    ui::AskNewProfileName(nullptr, profiles, host);
  }
  ui::DialogContext ctx{opts, profiles, working, settings, host, QDir::tempPath().toStdString()};
  ctx.connection = [&] { return conn.get(); };
  ctx.replaceConnection = [&](std::unique_ptr<DbConnection> c) { conn = std::move(c); };
  {
    ui::ParametersDialog d(ctx);
    Shot(d, "parameters");
  }
  for (int page = 0; page < 3; ++page) {
    settings.WriteInt("LastProp", page);
    ui::AdvancedSheet sheet(
        *conn, [&] { conn->LoadTables(); }, opts, working, settings, host);
    if (page == 1) {
      sheet.PatternList()->addItem("CR%DATE");
      sheet.PatternList()->addItem("ID");
    }
    static const char* names[] = {"structure-tables", "structure-columns", "structure-data-types"};
    Shot(sheet, names[page]);
  }
  {
    ui::DataConditionsDialog d(
        *conn, [&] { conn->LoadTables(); }, opts, host);
    for (int i = 0; i < d.Tables()->count(); ++i)
      if (d.Tables()->item(i)->text() == "orders") d.Tables()->setCurrentRow(i);
    Shot(d, "data-conditions");
  }
  {
    GeneralOptionValues v = GeneralValuesFrom(opts);
    v.b_AutoSave = 1;
    v.s_AutoSaveFile = "/home/user/scripts/shop.sql";
    ui::GeneralOptionsDialog d(v, host);
    Shot(d, "general-options");
  }
  {
    ui::DataOptionsDialog d(DataOptionValues{});
    Shot(d, "advanced-data-options");
  }
  {
    ui::IndexOptionsDialog d(IndexOptionValues{});
    Shot(d, "advanced-index-options");
  }
  {
    opts.s_GlobalPassSql =
        "select c.name, o.order_id, o.status\nfrom customers c\njoin orders o on o.customer_id = c.customer_id\n";
    ui::SqlScriptDialog d(ctx);
    Shot(d, "sql-script");
  }
  QFile::remove(tmp);
  return 0;
}
