// The main window over a real run of the SQLite demo: enable rules, the Control Panel's
// buttons, closing, the SQL Library menu, placement and the automatic start.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFontDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/SettingsStore.h"
#include "base/SqlLibrary.h"
#include "base/WindowPlacement.h"
#include "base/ui/DialogHelp.h"
#include "db/DbConnection.h"
#include "run/ConfigurationCommands.h"
#include "run/RunController.h"
#include "run/ui/ControlPanel.h"
#include "run/ui/PictureButton.h"
#include "run/ui/SavingWindow.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptView.h"

using namespace mv;
namespace fs = std::filesystem;

namespace {

const std::string kDemoConfig = MV_BINARY_DIR "/demo/demo.mvl";

struct TempFolder {
  TempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "mv-window-XXXXXX").string();
    if (mkdtemp(tmpl.data())) path = tmpl;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A main window over its own settings file and the build's program folder, whose message
// boxes answer from a script: every question is recorded and answered with `answer`.
struct Fixture {
  TempFolder dir;
  SettingsStore settings{dir / "Mervale.ini"};
  std::unique_ptr<MainWindow> window;
  std::vector<std::string> told;
  Host::Answer answer = Host::Answer::Yes;
  std::string savePath;

  explicit Fixture(const std::string& programFolder = MV_BINARY_DIR) {
    window = std::make_unique<MainWindow>(settings, programFolder);
    window->Host().SetMessageFunction([this](const std::string& text, Host::Buttons b) {
      told.push_back(text);
      return b == Host::Buttons::Ok ? Host::Answer::Ok : answer;
    });
    window->Host().SetSavePathFunction([this](auto&&...) { return savePath; });
    MainWindow::DialogHooks hooks;
    hooks.parameters = [](QWidget*, RunController&) { return true; };
    hooks.sqlScript = [](QWidget*, RunController&) { return true; };
    window->SetDialogHooks(hooks);
    window->LoadStartupState();
  }
  ~Fixture() {
    // Whatever a test left running ends without questions.
    window->Host().SetMessageFunction([](const std::string&, Host::Buttons) { return Host::Answer::No; });
  }
  RunController& owner() { return window->Owner(); }
  void Connect() { QVERIFY(LoadConfiguration(owner(), kDemoConfig, true)); }
  bool WaitForEnd() {
    return QTest::qWaitFor([this] { return !owner().Status().workerActive && !window->View().HasPending(); }, 20000);
  }
  std::string Script() { return window->View().WholeText(); }
};

const char* const kCommands[] = {"start", "rerunLast", "startSql",   "rerunLastSql", "pause", "resume",
                                 "skip",  "stop",      "saveScript", "find",         "print"};

// The enabled commands as a string of 0 and 1 in the order of kCommands, then the panel's
// SKIP, PLAY, PAUSE and STOP when it is there.
std::string States(MainWindow& w) {
  w.RefreshCommands();
  std::string s;
  for (const char* name : kCommands) s += w.Command(name)->isEnabled() ? '1' : '0';
  if (ControlPanel* p = w.Host().Panel()) {
    s += ' ';
    for (auto id : {ControlPanel::kSkip, ControlPanel::kPlay, ControlPanel::kPause, ControlPanel::kStop})
      s += p->Button(id)->isEnabled() ? '1' : '0';
  }
  return s;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void enableRulesThroughARun();
  void panelSkipAndStop_data();
  void panelSkipAndStop();
  void closingQuestion_data();
  void closingQuestion();
  void closingDuringARunStopsItFirst();
  void libraryMenuAndAutoRun();
  void placement_data();
  void placement();
  void autoStartFromTheCommandLine();
  void helpOpensTheTopic();
  void printAndPdfWithoutAPrinter();
  void chooserRemembersConnectionsThatConnected();
  void fontDialogShowsTheScriptsStyle();
  void tableCountAfterADialogReadTheList();
  void databasePaneFollowsTheConnection();
  void manageLibraryWithoutAnOpener();
  void savingWindowIsDrawnDuringASave();
};

void MainWindowTest::enableRulesThroughARun() {
  Fixture f;
  f.Connect();
  std::map<std::string, std::string> seen;
  const std::string midRun = f.dir / "mid-run.sql";
  bool savedDuringRun = false;
  std::string windowThen;
  // The worker waits inside each title it sets, so the state seen here is the state of that
  // moment. The pause and resume go through the panel's buttons.
  connect(f.window.get(), &QWidget::windowTitleChanged, this, [&](const QString& title) {
    ControlPanel* panel = f.window->Host().Panel();
    if (title.startsWith("Analyzing Database") && !seen.count("analysis")) {
      seen["analysis"] = States(*f.window);
      panel->Button(ControlPanel::kPause)->click();
      seen["paused"] = States(*f.window);
      panel->Button(ControlPanel::kPlay)->click();
    } else if (title.startsWith("Scripting Data") && !seen.count("data")) {
      seen["data"] = States(*f.window);
      // Saved while the worker goes on: the file holds the window of one moment, a prefix of it
      // a moment later.
      f.savePath = midRun;
      f.window->Command("saveScript")->trigger();
      savedDuringRun = f.owner().Output().Saved();
      windowThen = f.Script();
    }
  });
  seen["before"] = States(*f.window);
  QVERIFY(f.owner().StartRun());
  QVERIFY(f.WaitForEnd());
  seen["after"] = States(*f.window);
  //                    start rerun sql rerunSql pause resume skip stop save find print | SKIP PLAY PAUSE STOP
  const std::map<std::string, std::string> expected = {
      {"before", "10100000000"},    {"analysis", "00001001111 0011"}, {"paused", "00000101111 0101"},
      {"data", "00001011111 1011"}, {"after", "11100000111 0000"},
  };
  QCOMPARE(seen, expected);
  QVERIFY(savedDuringRun);
  QVERIFY(windowThen.find("Structure for table") != std::string::npos);
  const std::string saved = ReadFile(midRun);
  QVERIFY(saved.find("Structure for table") != std::string::npos);
  QVERIFY(windowThen.starts_with(saved));
  // The run's normal end leaves the whole script unsaved again.
  QVERIFY(!f.owner().Output().Saved());
  QCOMPARE(f.told.back(), std::string("Mervale has finished scripting the database"));
}

void MainWindowTest::panelSkipAndStop_data() {
  QTest::addColumn<int>("button");
  QTest::addColumn<QString>("note");
  QTest::addColumn<bool>("footer");
  QTest::addColumn<QString>("lastMessage");
  QTest::newRow("skip") << int(ControlPanel::kSkip) << "Table Skipped ..." << true
                        << "Mervale has finished scripting the database";
  QTest::newRow("stop") << int(ControlPanel::kStop) << "Mervale Stopped ..." << false << "Mervale has been stopped.";
}

void MainWindowTest::panelSkipAndStop() {
  QFETCH(int, button);
  QFETCH(QString, note);
  QFETCH(bool, footer);
  QFETCH(QString, lastMessage);
  Fixture f;
  f.Connect();
  bool clicked = false;
  connect(f.window.get(), &QWidget::windowTitleChanged, this, [&](const QString& title) {
    if (title.startsWith("Scripting Data") && !clicked) {
      clicked = true;
      f.window->RefreshCommands();  // as the posted refresh would before a person could click
      f.window->Host().Panel()->Button(ControlPanel::ButtonId(button))->click();
    }
  });
  QVERIFY(f.owner().StartRun());
  QVERIFY(f.WaitForEnd());
  QVERIFY(clicked);
  const std::string script = f.Script();
  QVERIFY2(script.find(note.toStdString()) != std::string::npos, script.c_str());
  QCOMPARE(script.find("End of Mervale") != std::string::npos, footer);
  QCOMPARE(f.told.back(), lastMessage.toStdString());
  // What the window shows is what the core wrote.
  QCOMPARE(f.window->View().toPlainText().toStdString(), QString::fromStdString(script).remove('\r').toStdString());
}

void MainWindowTest::closingQuestion_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("chooseFile");
  QTest::addColumn<bool>("closes");
  QTest::newRow("yes, saved") << int(Host::Answer::Yes) << true << true;
  QTest::newRow("yes, save cancelled") << int(Host::Answer::Yes) << false << false;
  QTest::newRow("no") << int(Host::Answer::No) << false << true;
  QTest::newRow("cancel") << int(Host::Answer::Cancel) << false << false;
}

void MainWindowTest::closingQuestion() {
  QFETCH(int, answer);
  QFETCH(bool, chooseFile);
  QFETCH(bool, closes);
  Fixture f;
  f.window->show();
  f.window->View().Insert("select 1;\r\n", {255, 0, 0});
  f.owner().Output().SetSaved(false);
  f.answer = Host::Answer(answer);
  f.savePath = chooseFile ? f.dir / "kept.sql" : "";
  QCOMPARE(f.window->close(), closes);
  QCOMPARE(f.told, std::vector<std::string>{"The script has not been saved. Do you wish to save it?"});
  QCOMPARE(fs::exists(f.dir / "kept.sql"), chooseFile);
  if (chooseFile) QCOMPARE(ReadFile(f.dir / "kept.sql"), std::string("select 1;\r\n"));
  // A closed window has written its placement.
  QCOMPARE(f.settings.GetInt("BigWidth", 0) > 0, closes);
}

void MainWindowTest::closingDuringARunStopsItFirst() {
  Fixture f;
  f.Connect();
  f.window->show();
  f.answer = Host::Answer::Yes;
  bool asked = false;
  connect(f.window.get(), &QWidget::windowTitleChanged, this, [&](const QString& title) {
    // After the table listing, whose own stop shows no message.
    if (title.startsWith("Scripting Structures") && !asked) {
      asked = true;
      // Not from inside the worker's call: the close waits for the worker.
      QTimer::singleShot(0, f.window.get(), [&] {
        f.answer = Host::Answer::Yes;
        f.window->close();
      });
      f.savePath = f.dir / "stopped.sql";
    }
  });
  QVERIFY(f.owner().StartRun());
  QTRY_VERIFY_WITH_TIMEOUT(!f.window->isVisible(), 20000);
  QVERIFY(!f.owner().Status().workerActive);
  const std::vector<std::string> expected = {
      "You won't be able to resume this Mervale if you stop it.\nAre you sure you want to stop?",
      "Mervale has been stopped.", "The script has not been saved. Do you wish to save it?"};
  QCOMPARE(f.told, expected);
  const std::string saved = ReadFile(f.dir / "stopped.sql");
  QVERIFY2(saved.find("Mervale Stopped ...") != std::string::npos, saved.c_str());
}

void MainWindowTest::libraryMenuAndAutoRun() {
  TempFolder program;
  fs::create_directories(program / "SQL Library/Reports");
  std::ofstream(program / "SQL Library/staff.sql") << "SELECT staff_id, last_name FROM staff\r\nORDER BY staff_id\r\n";
  std::ofstream(program / "SQL Library/Reports/cities.sql") << "SELECT city FROM customers";
  Fixture f(program.path);
  QCOMPARE(f.settings.GetString("LibDir", ""), program / "SQL Library");
  QMenu* menu = f.window->LibraryMenu();
  auto entries = [&] {
    emit menu->aboutToShow();
    std::set<std::string> names;
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = 4; i < items.size(); ++i) {
      std::string name = items[i]->text().toStdString();
      if (QMenu* sub = items[i]->menu())
        for (QAction* a : sub->actions()) name += "/" + a->text().toStdString();
      names.insert(name);
    }
    return std::make_pair(items.size() >= 4 ? items[0]->text() + "|" + items[2]->text() : QString(), names);
  };
  auto [fixed, names] = entries();
  QCOMPARE(fixed, QString("Manage Library|Auto Run"));
  QCOMPARE(names, (std::set<std::string>{"staff.sql", "Reports/cities.sql"}));
  std::ofstream(program / "SQL Library/new.sql") << "SELECT 1";
  QCOMPARE(entries().second, (std::set<std::string>{"staff.sql", "Reports/cities.sql", "new.sql"}));

  auto choose = [&](const QString& name) {
    emit menu->aboutToShow();
    for (QAction* a : menu->actions())
      if (a->text() == name) a->trigger();
  };
  // Without Auto Run the statement only waits for the Sql Script dialog.
  f.Connect();
  choose("staff.sql");
  QCOMPARE(f.owner().session().opts.s_GlobalPassSql,
           std::string("SELECT staff_id, last_name FROM staff\nORDER BY staff_id\n"));
  QVERIFY(!f.owner().Status().workerActive);
  QVERIFY(f.Script().empty());
  // With Auto Run it runs at once.
  f.window->Command("autoRun")->trigger();
  QVERIFY(f.window->Command("autoRun")->isChecked());
  QCOMPARE(f.settings.GetInt("LibAutoRun", 0), 1);
  choose("staff.sql");
  QVERIFY(f.WaitForEnd());
  const std::string script = f.Script();
  QVERIFY2(script.find("Holloway") != std::string::npos, script.c_str());
  QVERIFY2(script.find("INSERT INTO") != std::string::npos, script.c_str());
}

void MainWindowTest::placement_data() {
  QTest::addColumn<QString>("settings");  // key=value;...
  QTest::addColumn<bool>("withFile");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QPoint>("pos");  // (5,5): left where it was
  QTest::addColumn<int>("state");
  QTest::newRow("first start") << "" << false << QSize(800, 600) << QPoint(5, 5) << int(Qt::WindowNoState);
  QTest::newRow("too small") << "BigWidth=199;BigHeight=99" << false << QSize(800, 600) << QPoint(5, 5)
                             << int(Qt::WindowNoState);
  QTest::newRow("size kept") << "BigWidth=200;BigHeight=100" << false << QSize(200, 100) << QPoint(5, 5)
                             << int(Qt::WindowNoState);
  QTest::newRow("LocX 0") << "LocX=0;LocY=300" << false << QSize(800, 600) << QPoint(5, 5) << int(Qt::WindowNoState);
  QTest::newRow("1999 taken") << "LocX=1999;LocY=1999" << false << QSize(800, 600) << QPoint(1999, 1999)
                              << int(Qt::WindowNoState);
  QTest::newRow("2000 not") << "LocX=300;LocY=2000" << false << QSize(800, 600) << QPoint(5, 5)
                            << int(Qt::WindowNoState);
  QTest::newRow("maximized ignores LocX")
      << "BigMaximized=1;LocX=300;LocY=300" << false << QSize(800, 600) << QPoint(5, 5) << int(Qt::WindowMaximized);
  QTest::newRow("configuration named") << "BigMaximized=1;LocX=300;LocY=300" << true << QSize(800, 600)
                                       << QPoint(300, 300) << int(Qt::WindowMinimized);
}

void MainWindowTest::placement() {
  QFETCH(QString, settings);
  QFETCH(bool, withFile);
  QFETCH(QSize, size);
  QFETCH(QPoint, pos);
  QFETCH(int, state);
  Fixture f;
  for (const QString& pair : settings.split(';', Qt::SkipEmptyParts))
    f.settings.WriteInt(pair.section('=', 0, 0).toStdString(), pair.section('=', 1).toInt());
  f.window->move(5, 5);
  f.window->ApplyPlacement(LoadWindowPlacement(f.settings, withFile));
  QCOMPARE(f.window->size(), size);
  QCOMPARE(f.window->pos(), pos);
  QCOMPARE(int(f.window->windowState()), state);
}

void MainWindowTest::autoStartFromTheCommandLine() {
  // Only to a file: the program ends after the run with the run's exit status.
  TempFolder dir;
  std::string config = ReadFile(kDemoConfig);
  const std::string out = dir / "out.sql";
  config.replace(config.find("b_OnlyToFile=0"), 14, "b_OnlyToFile=1\ns_AutoSaveFile=" + out);
  std::ofstream(dir / "only-to-file.mvl") << config;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.path));
  program.setProcessEnvironment(env);
  program.start(MV_BINARY_DIR "/mervale", {"--nosplash", QString::fromStdString(dir / "only-to-file.mvl")});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 0);
  const std::string script = ReadFile(out);
  QVERIFY2(script.find("CREATE TABLE") != std::string::npos, script.c_str());
  QVERIFY(script.find("End of Mervale") != std::string::npos);

  // To the screen: the window starts minimized and ends maximized with the script.
  Fixture f;
  f.window->ApplyPlacement(LoadWindowPlacement(f.settings, true));
  f.window->show();
  QVERIFY(f.window->isMinimized());
  f.window->StartWith(kDemoConfig);
  QVERIFY(f.WaitForEnd());
  QTRY_VERIFY(f.window->isMaximized());
  QVERIFY(f.Script().find("CREATE TABLE") != std::string::npos);
  QCOMPARE(f.window->AutoExitStatus(), -1);
}

void MainWindowTest::helpOpensTheTopic() {
  // The pages the build laid into the program folder; an unknown topic opens the start page.
  Fixture f;
  const std::pair<const char*, const char*> cases[] = {{"control-panel", "control-panel.html"},
                                                       {"index", "index.html"},
                                                       {"no-such-topic", "index.html"},
                                                       {"parameters", "parameters.html"},
                                                       {"data-source", "data-source.html"},
                                                       {"profiles", "profiles.html"},
                                                       {"filters", "filters.html"},
                                                       {"sql-script", "sql-script.html"}};
  for (const auto& [topic, page] : cases) {
    // The dialogs' Help buttons reach the same pages through the handler the window sets.
    ui::DialogHelpHandler()(topic);
    QTextBrowser* browser = f.window->Help()->Browser();
    QCOMPARE(browser->source().fileName(), QString(page));
    QVERIFY(!browser->documentTitle().isEmpty() && browser->toPlainText().contains(browser->documentTitle()));
  }
  // Every link between the pages leads to a page that is there.
  const QDir pages(MV_BINARY_DIR "/help");
  for (const QString& name : pages.entryList({"*.html"})) {
    const std::string html = ReadFile(pages.filePath(name).toStdString());
    for (size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1)) {
      const std::string target = html.substr(at + 6, html.find('"', at + 6) - at - 6);
      if (target.rfind("http", 0) == 0) continue;
      QVERIFY2(pages.exists(QString::fromStdString(target)),
               qPrintable(name + " -> " + QString::fromStdString(target)));
    }
  }
  // Help asked from a modal dialog belongs to it, so that it is not blocked behind it.
  QDialog dialog(f.window.get());
  QPushButton help("Help", &dialog);
  ui::WireHelpButton(&help, "parameters");
  QVERIFY(help.isEnabled());
  bool helpUsable = false;
  QTimer::singleShot(50, [&] {
    help.click();
    helpUsable = f.window->Help()->isVisible() && f.window->Help()->parentWidget() == &dialog;
    dialog.reject();
  });
  dialog.exec();
  QVERIFY(helpUsable);
  // Without the pages there is a message, not silence.
  Fixture bare(f.dir.path);
  bare.window->ShowHelp("index");
  QVERIFY(!bare.told.empty());
  QVERIFY2(bare.told.back().rfind("The help pages were not found in " + f.dir.path + "/help.", 0) == 0,
           bare.told.back().c_str());
  // The Control Panel's Help button asks for its own page.
  f.Connect();
  QVERIFY(f.owner().StartRun());
  QVERIFY(f.WaitForEnd());
  f.window->Help()->Browser()->setSource(QUrl());
  QTest::mouseClick(f.window->Host().Panel()->findChild<QPushButton*>("help"), Qt::LeftButton);
  QCOMPARE(f.window->Help()->Browser()->source().fileName(), QString("control-panel.html"));
}

void MainWindowTest::printAndPdfWithoutAPrinter() {
  Fixture f;
  f.Connect();
  QVERIFY(f.owner().StartRun());
  QVERIFY(f.WaitForEnd());
  QVERIFY(f.window->Command("exportPdf")->isEnabled());
  // Print with no printer installed writes the PDF file, as Export PDF does.
  const bool noPrinter = QPrinterInfo::availablePrinterNames().isEmpty();
  for (const char* command : {"print", "exportPdf"}) {
    if (std::string(command) == "print" && !noPrinter) continue;
    f.savePath = f.dir / (std::string(command) + ".pdf");
    const size_t told = f.told.size();
    f.window->Command(command)->trigger();
    QCOMPARE(f.told.size(), told);
    QCOMPARE(ReadFile(f.savePath).substr(0, 5), std::string("%PDF-"));
  }
  // A file that cannot be written is a warning, not an information.
  f.savePath = f.dir / "no-such-folder/script.pdf";
  f.window->Host().SetMessageFunction(nullptr);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  QTimer::singleShot(50, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      icon = box->icon();
      text = box->text();
      box->accept();
    }
  });
  f.window->Command("exportPdf")->trigger();
  QCOMPARE(icon, QMessageBox::Warning);
  QCOMPARE(text.toStdString(), "Could not write the file " + f.savePath + ".");
}

void MainWindowTest::chooserRemembersConnectionsThatConnected() {
  Fixture f;
  const std::string demo = "DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db";
  std::vector<std::string> offered;
  std::string choose;
  MainWindow::DialogHooks hooks;
  hooks.chooseDataSource = [&](QWidget*, const std::string&, const std::vector<std::string>& recent) {
    offered = recent;
    if (choose.empty()) return std::optional<DataSourceChoice>();  // cancelled: only looked
    return std::optional<DataSourceChoice>(DataSourceChoice{choose, "field-pw"});
  };
  f.window->SetDialogHooks(hooks);
  // Each step: the string chosen, and the list the chooser is offered the next time.
  const struct {
    std::string chosen;
    std::vector<std::string> next;
  } steps[] = {
      // Connected: kept, without the password field's value.
      {demo + ";PWD=field-pw;", {demo + ";"}},
      // A file that is not there does not connect and is not kept.
      {"DRIVER=SQLite3;Database=" + f.dir / "missing.db", {demo + ";"}},
  };
  for (const auto& step : steps) {
    choose = step.chosen;
    f.owner().ReplaceConnection(DbConnection::ConnectInteractive(f.window->Host()));
    f.window->RefreshCommands();
    choose.clear();
    DbConnection::ConnectInteractive(f.window->Host());
    QCOMPARE(offered, step.next);
  }
  QVERIFY(ReadFile(f.dir / "Mervale.ini").find("field-pw") == std::string::npos);
}

void MainWindowTest::fontDialogShowsTheScriptsStyle() {
  // The dialog opens on the script's own style, so that changing only the size keeps it.
  const struct { bool bold, italic; } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (const auto& c : cases) {
    Fixture f;
    ScriptFont font;
    font.face = "DejaVu Sans Mono";
    font.pointSize = 10;
    font.bold = c.bold;
    font.italic = c.italic;
    f.window->View().SetFont(font);
    QFont shown;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      if (auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget())) {
        shown = dialog->currentFont();
        seen = true;
        dialog->reject();
      }
    });
    f.window->Command("font")->trigger();
    QVERIFY(seen);
    QCOMPARE(shown.italic(), c.italic);
    QCOMPARE(shown.bold(), c.bold);
  }
}

void MainWindowTest::tableCountAfterADialogReadTheList() {
  // The Advanced sheet's Tables page and the Conditions dialog read the list before the start:
  // the run still counts the tables it finds, and the analysis bar has its range.
  Fixture f;
  f.Connect();
  QCOMPARE(f.owner().session().connection->LoadTables(), 6);
  QVERIFY(f.owner().StartRun());
  QVERIFY(f.WaitForEnd());
  QVERIFY2(f.Script().find("6 tables were found in ") != std::string::npos, f.Script().c_str());
  QCOMPARE(f.window->Host().Panel()->Bar(Host::kAnalysisBar)->maximum(), 12);
}

void MainWindowTest::databasePaneFollowsTheConnection() {
  // Connected by an automatic start, the pane names the database during the run and after it; a
  // reconnect that fails leaves no old name behind.
  Fixture f;
  f.window->StartWith(kDemoConfig);
  QVERIFY(f.owner().Status().workerActive);
  const QString connected = f.window->DatabasePane()->text();
  QVERIFY2(connected.startsWith("Database:    ") && !connected.contains("Not available"), qPrintable(connected));
  QVERIFY(f.WaitForEnd());
  f.window->RefreshCommands();
  QCOMPARE(f.window->DatabasePane()->text(), connected);
  std::string config = ReadFile(kDemoConfig);
  const size_t db = config.find("Database=");
  config.replace(db, config.find('\n', db) - db, "Database=" + f.dir / "no-such.db");
  std::ofstream(f.dir / "missing.mvl") << config;
  LoadConfiguration(f.owner(), f.dir / "missing.mvl", true);
  f.window->RefreshCommands();
  QVERIFY(!f.owner().session().HasUsableConnection());
  QVERIFY2(f.window->DatabasePane()->text().contains("Not available"), qPrintable(f.window->DatabasePane()->text()));
}

void MainWindowTest::manageLibraryWithoutAnOpener() {
  // No xdg-open on the path: a message naming the folder, not silence.
  Fixture f;
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(f.dir.path));
  f.window->Command("manageLibrary")->trigger();
  qputenv("PATH", path);
  QCOMPARE(f.told.size(), size_t(1));
  QVERIFY2(f.told[0].find("xdg-open was not found") != std::string::npos, f.told[0].c_str());
  QVERIFY(f.told[0].find(SqlLibrary::LibraryFolder(f.settings, MV_BINARY_DIR)) != std::string::npos);
}

void MainWindowTest::savingWindowIsDrawnDuringASave() {
  // A save on the UI thread draws its window while it lasts, not only after.
  Fixture f;
  for (int i = 0; i < 200000; ++i) f.window->View().Insert("INSERT INTO t VALUES (" + std::to_string(i) + ");\r\n", {});
  f.savePath = f.dir / "big.sql";
  f.owner().session().hasRun = true;  // Save Script is there after a run
  f.window->RefreshCommands();
  int paints = 0;
  struct Counter : QObject {
    int& n;
    explicit Counter(int& count) : n(count) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++n;
      return false;
    }
  } counter(paints);
  // The window is made at the first save; the filter goes on as soon as it is there.
  QTimer watch;
  bool filtered = false;
  connect(&watch, &QTimer::timeout, this, [&] {
    if (!filtered && f.window->Host().Saving()) {
      f.window->Host().Saving()->installEventFilter(&counter);
      filtered = true;
    }
  });
  watch.start(0);
  f.window->Command("saveScript")->trigger();
  QVERIFY(filtered);
  QVERIFY(paints > 0);
  QCOMPARE(ReadFile(f.savePath).size(), f.window->View().WholeText().size());
  if (f.window->Host().Saving()) f.window->Host().Saving()->removeEventFilter(&counter);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
