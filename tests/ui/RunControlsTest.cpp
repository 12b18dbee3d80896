// The run's controls on a big table: Pause, Skip and Stop take effect at once wherever the run
// is, the shortcuts answer from the Control Panel, and a stop question outlived by its run closes.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/SettingsStore.h"
#include "run/ConfigurationCommands.h"
#include "run/RunController.h"
#include "run/ui/ControlPanel.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptView.h"

using namespace mv;
namespace fs = std::filesystem;

namespace {

// 500,000 rows in the first table, 20,000 in the second.
constexpr long kFirstRows = 500000;
constexpr long kSecondRows = 20000;
// Lines into the run at which a control is pressed: well inside the first table.
constexpr long kPressAt = 100000;
// Lines a control may let through after it is pressed (a row takes one to three): a few
// hundredths of a second of the run, where a control that waits for the next table lets
// hundreds of thousands through.
constexpr long kPromptLines = 20000;

const std::string kStopQuestion =
    "You won't be able to resume this Mervale if you stop it.\nAre you sure you want to stop?";

std::string folder;
std::string config;

struct Fixture {
  SettingsStore settings{folder + "/Mervale-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".ini"};
  std::unique_ptr<MainWindow> window;
  std::function<Host::Answer(const std::string&, Host::Buttons)> ask;

  Fixture() {
    window = std::make_unique<MainWindow>(settings, MV_BINARY_DIR);
    window->Host().SetMessageFunction([this](const std::string& text, Host::Buttons b) {
      if (ask) return ask(text, b);
      return b == Host::Buttons::Ok ? Host::Answer::Ok : Host::Answer::Yes;
    });
    window->LoadStartupState();
    window->show();
  }
  ~Fixture() {
    window->Host().SetMessageFunction([](const std::string&, Host::Buttons) { return Host::Answer::No; });
  }
  RunController& owner() { return window->Owner(); }
  bool WaitForEnd() {
    return QTest::qWaitFor([this] { return !owner().Status().workerActive && !window->View().HasPending(); }, 60000);
  }
};

// The line index at which `needle` first occurs, or -1.
long LineOf(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  return at == std::string::npos ? -1 : static_cast<long>(std::count(text.begin(), text.begin() + long(at), '\n'));
}

// The rows of a table in the script, by the text each of its rows' values begins with.
long RowsOf(const std::string& text, const std::string& value) {
  long n = 0;
  for (size_t at = 0; (at = text.find(value, at)) != std::string::npos; at += value.size()) ++n;
  return n;
}

}  // namespace

class RunControlsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void controlsTakeEffectAtOnce_data();
  void controlsTakeEffectAtOnce();
  void shortcutsAnswerFromThePanel();
  void stopQuestionClosesWhenTheRunEnds();
  void savingDuringARunWritesAPrefix();
};

void RunControlsTest::initTestCase() {
  std::string tmpl = (fs::temp_directory_path() / "mv-controls-XXXXXX").string();
  QVERIFY(mkdtemp(tmpl.data()));
  folder = tmpl;
  const std::string db = folder + "/big.db";
  QProcess sqlite;
  sqlite.start("sqlite3", {QString::fromStdString(db)});
  QVERIFY(sqlite.waitForStarted());
  const std::string sql =
      "CREATE TABLE first_big(id INTEGER PRIMARY KEY, name TEXT NOT NULL, price REAL);\n"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
      std::to_string(kFirstRows) +
      ") INSERT INTO first_big SELECT x, 'item ' || x, x * 0.25 FROM c;\n"
      "CREATE TABLE second_small(id INTEGER PRIMARY KEY, note TEXT);\n"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
      std::to_string(kSecondRows) + ") INSERT INTO second_small SELECT x, 'note ' || x FROM c;\n";
  sqlite.write(sql.c_str());
  sqlite.closeWriteChannel();
  QVERIFY(sqlite.waitForFinished(60000));
  QCOMPARE(sqlite.exitCode(), 0);
  std::ofstream(folder + "/big.mvl") << "[Mervale]\nVersion=5.0\ns_WorkingProfile=SQLite\nb_DoTabStruct=1\n"
                                        "b_DoTabData=1\nb_DoIndex=0\nb_AutoSave=0\nb_OnlyToFile=0\n"
                                        "[Database]\ns_ConnectString=DRIVER=SQLite3;Database="
                                     << db << "\nb_IsCatalog=0\n";
  config = folder + "/big.mvl";
}

void RunControlsTest::cleanupTestCase() {
  std::error_code ec;
  fs::remove_all(folder, ec);
}

void RunControlsTest::controlsTakeEffectAtOnce_data() {
  QTest::addColumn<QString>("command");
  QTest::newRow("pause") << "pause";
  QTest::newRow("skip") << "skip";
  QTest::newRow("stop") << "stop";
}

void RunControlsTest::controlsTakeEffectAtOnce() {
  // The press is posted from another thread the moment the script reaches kPressAt lines, as a
  // click arrives: it waits for whatever the window is busy with. What counts is the rows
  // written after it.
  QFETCH(QString, command);
  Fixture f;
  QVERIFY(LoadConfiguration(f.owner(), config, true));
  QAction* action = f.window->Command(command.toLatin1().constData());
  ScriptView& view = f.window->View();
  std::atomic<long> pressedAt{-1};
  std::atomic<bool> give{false};
  QVERIFY(f.owner().StartRun());
  std::thread presser([&] {
    while (view.LineCount() < kPressAt && !give) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pressedAt = view.LineCount();
    QMetaObject::invokeMethod(action, "trigger", Qt::QueuedConnection);
  });
  struct Join {
    std::atomic<bool>& give;
    std::thread& t;
    ~Join() {
      give = true;
      t.join();
    }
  } join{give, presser};
  QVERIFY(QTest::qWaitFor([&] { return pressedAt >= 0; }, 60000));
  long through = 0;
  if (command == "pause") {
    QTRY_VERIFY(f.owner().Status().paused);
    // Paused: nothing more is written.
    QTest::qWait(300);
    const long held = view.LineCount();
    QTest::qWait(300);
    QCOMPARE(view.LineCount(), held);
    through = held - pressedAt;
    f.owner().StopCommand(false);
    QVERIFY(f.WaitForEnd());
  } else {
    QVERIFY(f.WaitForEnd());
    const std::string script = view.WholeText();
    if (command == "stop") {
      QVERIFY(script.find("Mervale Stopped ...") != std::string::npos);
      through = LineOf(script, "Mervale Stopped ...") - pressedAt;
    } else {
      // The table being read is skipped; the next one is scripted whole.
      const long skipped = LineOf(script, "Table Skipped ...");
      QVERIFY(skipped > 0);
      QVERIFY(skipped < LineOf(script, "INSERT INTO second_small"));
      through = skipped - pressedAt;
      QVERIFY(RowsOf(script, "'item ") < kFirstRows);
      QCOMPARE(RowsOf(script, "'note "), kSecondRows);
      QVERIFY(script.find("Mervale Stopped ...") == std::string::npos);
    }
  }
  QVERIFY2(through >= 0 && through < kPromptLines, QByteArray::number(qlonglong(through)));
}

void RunControlsTest::shortcutsAnswerFromThePanel() {
  // The run's shortcuts work from the Control Panel when it has the focus.
  Fixture f;
  QVERIFY(LoadConfiguration(f.owner(), config, true));
  QApplication::setActiveWindow(f.window.get());
  QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
  QVERIFY(f.owner().StartRun());
  QTRY_VERIFY(f.window->View().LineCount() > 1000);
  ControlPanel* panel = f.window->Host().Panel();
  QVERIFY(panel && panel->isVisible());
  QApplication::setActiveWindow(panel);
  QVERIFY(QTest::qWaitForWindowActive(panel));
  const struct {
    Qt::Key key;
    bool paused, running;
  } steps[] = {{Qt::Key_P, true, true}, {Qt::Key_R, false, true}, {Qt::Key_T, false, false}};
  for (const auto& s : steps) {
    QTest::keyClick(panel, s.key, Qt::ControlModifier);
    QTRY_COMPARE(f.owner().Status().paused, s.paused);
    QTRY_COMPARE(f.owner().Status().running, s.running);
  }
  QVERIFY(f.WaitForEnd());
  QVERIFY(f.window->View().WholeText().find("Mervale Stopped ...") != std::string::npos);
}

void RunControlsTest::stopQuestionClosesWhenTheRunEnds() {
  // Asked while the run is paused; the run is resumed and ends meanwhile: the question is closed
  // unanswered and the finished run is not stopped.
  Fixture f;
  QVERIFY(LoadConfiguration(f.owner(), config, true));
  bool closedByTest = false;
  f.ask = [&](const std::string& text, Host::Buttons b) {
    if (text != kStopQuestion) return b == Host::Buttons::Ok ? Host::Answer::Ok : Host::Answer::Yes;
    QTimer::singleShot(100, [&] { f.owner().ResumeCommand(); });
    // Only if the fault came back: the box would stay open for ever.
    QTimer::singleShot(50000, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        closedByTest = true;
        box->reject();
      }
    });
    return f.window->Host().AskOnUi(text, b);
  };
  QVERIFY(f.owner().StartRun());
  QTRY_VERIFY(f.window->View().LineCount() > 1000);
  f.window->Command("pause")->trigger();
  f.window->Command("stop")->trigger();
  QVERIFY(!closedByTest);
  QVERIFY(f.WaitForEnd());
  QVERIFY(f.window->View().WholeText().find("Mervale Stopped ...") == std::string::npos);
  QVERIFY(f.window->View().WholeText().find("End of Mervale") != std::string::npos);
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void RunControlsTest::savingDuringARunWritesAPrefix() {
  // Save Script in the middle of the first table: the save lets the worker's calls through
  // while it draws its window, and the worker goes on writing. The file holds the script as it
  // was at one moment: exactly the start of the finished script, never a mix.
  Fixture f;
  QVERIFY(LoadConfiguration(f.owner(), config, true));
  const std::string path = folder + "/during.sql";
  f.window->Host().SetSavePathFunction([&](auto&&...) { return path; });
  QVERIFY(f.owner().StartRun());
  QTRY_VERIFY_WITH_TIMEOUT(f.window->View().LineCount() > kPressAt, 60000);
  f.window->Command("saveScript")->trigger();
  const bool running = f.owner().Status().workerActive;
  QVERIFY(f.WaitForEnd());
  std::ifstream in(path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string script = f.window->View().WholeText();
  QVERIFY(running);
  QVERIFY(std::count(saved.begin(), saved.end(), '\n') >= kPressAt);
  QVERIFY(saved.size() < script.size());
  QVERIFY(script.compare(0, saved.size(), saved) == 0);
  // What came after the save is not taken for saved.
  QVERIFY(!f.owner().Output().Saved());
}

QTEST_MAIN(RunControlsTest)
#include "RunControlsTest.moc"
