// A whole run set up from the windows alone: the Start and Start SQL Script commands over a
// real run owner, from a fresh settings file, on the demo database.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

#include "DialogTestKit.h"
#include "base/SettingsStore.h"
#include "run/RunController.h"
#include "run/ui/RunCommands.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

using namespace mv;

class CommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void scriptingAndFreeFormRunsFromTheDialogs();
};

void CommandsTest::scriptingAndFreeFormRunsFromTheDialogs() {
  test::ScriptedHost host;
  test::TempDir dir;
  SettingsStore settings(dir / "settings.ini");
  RunController owner(host, settings, dir.path);
  LoadStartupState(owner.session());
  host.chosenSource = "DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db";

  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::ParametersDialog*>(w);
    QVERIFY(d);
    d->Start();  // refused: no database yet
    test::Button(d, "Press to select Database")->click();
    test::Button(d, "Index script")->click();
    d->Start();
  });
  ui::StartCommand(owner, nullptr);
  owner.Wait();
  QVERIFY(host.HasMessage("You must select a database before you can begin."));
  QCOMPARE(owner.session().opts.b_DoIndex, 0);
  const std::string script = host.window.WholeText();
  QVERIFY2(script.find("CREATE TABLE") != std::string::npos, script.c_str());
  QVERIFY(script.find("INSERT INTO") != std::string::npos);
  QVERIFY(script.find("CREATE INDEX") == std::string::npos);

  // The script is unsaved now: the question comes first (No by default), then the dialog.
  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::SqlScriptDialog*>(w);
    QVERIFY(d);
    d->Statement()->setPlainText("select staff_id, last_name from staff where staff_id = 1");
    d->Csv()->click();
    d->Start();
  });
  ui::StartSqlCommand(owner, nullptr);
  owner.Wait();
  QVERIFY(host.HasMessage("The report has not been saved. Do you wish to save it?"));
  QCOMPARE(owner.session().opts.b_DataCSV, 1);
  QCOMPARE(owner.session().opts.s_GlobalPassSql,
           std::string("select staff_id, last_name from staff where staff_id = 1"));
  const std::string csv = host.window.WholeText();
  QVERIFY2(csv.find("CREATE TABLE") == std::string::npos && csv.find("INSERT INTO") == std::string::npos, csv.c_str());
  QVERIFY2(csv.find("\"staff_id\",\"last_name\"\r\n\"1\",") != std::string::npos, csv.c_str());
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
