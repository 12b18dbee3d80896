// The Parameters, SQL script and option dialogs: what they refuse, copy and write back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "DialogTestKit.h"
#include "DialogWorld.h"
#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "settings/ui/OptionDialogs.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"
#include "support/PgServer.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

using namespace mv;
using test::Button;

namespace {

// A second profile that writes names in lower case.
struct World : test::DialogWorld {
  World() {
    Profile p;
    SetBuiltInDefaults(p);
    p.s_Name = "Lower";
    p.i_TableNameCase = p.i_ColumnNameCase = p.i_IndexNameCase = 1;
    profiles.Append(p);
  }
};

}  // namespace

class RunDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void parametersRefuseWithoutDatabase();
  void closeWritesCopiesCancelDiscardsThem();
  void indexCaseRuleAfterOneCancelledOpening();
  void profileChoicesStayOnCancel();
  void databaseButtonAndOwnerOnPostgres();
  void generalOptionsChecksInOrder();
  void dataAndIndexOptionsHandBackOnlyOnOk();
  void dataFormatReachesTheRunOptions();
  void sqlScriptStartChecksFileAndCopies();
};

void RunDialogsTest::parametersRefuseWithoutDatabase() {
  World w;
  ui::ParametersDialog d(w.ctx);
  QCOMPARE(d.Setup().DatabaseButton()->text(), QString("Press to select Database"));
  bool opened = false;
  d.editStructure = [&] { opened = true; };
  d.editConditions = [&] { opened = true; };
  d.StructureAdvanced();
  d.DataConditions();
  d.Start();
  QVERIFY(!opened);
  QCOMPARE(w.host.messages,
           (std::vector<std::string>{"You must select a database before you can setup the structure advanced options.",
                                     "You must select a database before you can setup the data conditions.",
                                     "You must select a database before you can begin."}));
  QCOMPARE(d.Result(), ui::ParametersDialog::Cancelled);
  // A failed connection refuses the same way, and its button keeps asking for a database.
  w.connectTo = "DRIVER=SQLite3;Database=/no/such/folder/x.db";
  d.Setup().SelectDatabase();
  QVERIFY(w.conn && !w.conn->Connected());
  QCOMPARE(d.Setup().DatabaseButton()->text(), QString("Press to select Database"));
  d.Start();
  QCOMPARE(w.host.messages.back(), std::string("You must select a database before you can begin."));
  // Neither General nor the data options need a database.
  bool general = false;
  d.editGeneral = [&](GeneralOptionValues& v) { return general = true; };
  d.General();
  QVERIFY(general);
}

void RunDialogsTest::closeWritesCopiesCancelDiscardsThem() {
  World w;
  {
    ui::ParametersDialog d(w.ctx);
    Button(&d, "Data script")->click();
    d.editGeneral = [](GeneralOptionValues& v) {
      v.linesText = "12abc";
      return true;
    };
    d.General();
    d.editData = [](DataOptionValues& v) {
      v.b_DataCSV = 1;
      return true;
    };
    d.DataAdvanced();
    d.reject();
    QCOMPARE(w.opts.b_DoTabData, 1);
    QCOMPARE(w.opts.i_AutoSaveLines, 500);
    QCOMPARE(w.opts.b_DataCSV, 0);
  }
  ui::ParametersDialog d(w.ctx);
  Button(&d, "Data script")->click();
  d.editGeneral = [](GeneralOptionValues& v) {
    v.linesText = "12abc";
    return true;
  };
  d.General();
  d.editData = [](DataOptionValues& v) {
    v.b_DataCSV = 1;
    return false;  // cancelled: nothing comes back
  };
  d.DataAdvanced();
  d.CloseWithoutStart();
  QCOMPARE(d.Result(), ui::ParametersDialog::Closed);
  QCOMPARE(d.Copies().closedWithoutStarting, 1);
  QCOMPARE(w.opts.b_DoTabData, 0);
  QCOMPARE(w.opts.i_AutoSaveLines, 12);
  QCOMPARE(w.opts.b_DataCSV, 0);
  // Opening again shows what Close kept.
  ui::ParametersDialog again(w.ctx);
  QVERIFY(!Button(&again, "Data script")->isChecked());
}

void RunDialogsTest::indexCaseRuleAfterOneCancelledOpening() {
  World w;
  w.opts.s_WorkingProfile = "Lower";
  {
    ui::ParametersDialog d(w.ctx);
    w.working.i_TableNameCase = 2;  // as the structure sheet would set it
    d.CloseWithoutStart();
    QCOMPARE(w.working.i_IndexNameCase, 2);  // follows the table rule
  }
  ui::ParametersDialog d(w.ctx);  // applies "Lower" again: index name case 1
  QCOMPARE(w.working.i_IndexNameCase, 1);
  d.editIndex = [](IndexOptionValues& v) { return false; };
  d.IndexAdvanced();
  QCOMPARE(w.opts.b_IndexCaseSet, 1);
  w.working.i_TableNameCase = 0;
  d.CloseWithoutStart();
  QCOMPARE(w.working.i_IndexNameCase, 1);  // no longer follows the table rule
}

void RunDialogsTest::profileChoicesStayOnCancel() {
  World w;
  w.opts.s_WorkingProfile = "Gone";
  ui::ParametersDialog d(w.ctx);
  QCOMPARE(w.opts.s_WorkingProfile, std::string("Default"));  // replaced by the first entry
  QCOMPARE(d.Setup().ProfileCombo()->currentText(), QString("Default"));
  d.Setup().ProfileCombo()->setCurrentIndex(1);
  QCOMPARE(w.opts.s_WorkingProfile, std::string("Lower"));
  QCOMPARE(w.working.i_TableNameCase, 1);
  // View Profiles: the manager runs, then the combo is refilled and the profile applied.
  d.Setup().ProfileCombo()->setCurrentIndex(0);
  w.ctx.openProfileManager = [&](QWidget*) { w.profiles.FindProfile("Default")->i_IndexNameCase = 2; };
  Button(&d, "View Profiles")->click();
  QCOMPARE(w.working.i_IndexNameCase, 2);
  QCOMPARE(d.Copies().index.i_IndexNameCase, 2);
  d.reject();
  QCOMPARE(w.opts.s_WorkingProfile, std::string("Default"));
}

void RunDialogsTest::databaseButtonAndOwnerOnPostgres() {
  test::PgServer& pg = test::PgServer::Instance();
  const std::string db_params = test::UniqueDbName("params");
  pg.CreateDatabase(db_params);
  pg.RunSql(db_params, "create schema sales; create table sales.orders (id int); create table public.notes (id int);");
  World w;
  w.connectTo = pg.ConnectString(db_params);
  ui::ParametersDialog d(w.ctx);
  d.Setup().SelectDatabase();
  QVERIFY(w.conn && w.conn->Connected());
  QCOMPARE(d.Setup().DatabaseButton()->text(), QString::fromStdString(w.conn->Target().title));
  QComboBox* owners = d.Setup().Owners();
  QCOMPARE(owners->itemText(owners->count() - 1), QString("-not required-"));
  const int sales = owners->findText("sales");
  QVERIFY(sales >= 0);
  owners->setCurrentIndex(sales);
  QCOMPARE(w.conn->Target().owner, std::string("sales"));
  QVERIFY(w.conn->Tables().entries.empty());  // the old owner's list is gone
  w.ctx.ensureTableList();
  QCOMPARE(w.conn->Tables().entries.size(), size_t(1));
  owners->setCurrentIndex(owners->count() - 1);
  QCOMPARE(w.conn->Target().owner, std::string());
  w.ctx.ensureTableList();
  // Read again, without an owner: the current schema's tables, and the others' named apart.
  QCOMPARE(w.conn->Tables().entries.size(), size_t(1));
  QCOMPARE(w.conn->Tables().elsewhere.size(), size_t(1));
  bool opened = false;
  d.editConditions = [&] { opened = true; };
  d.DataConditions();
  QVERIFY(opened);
  d.Start();
  QCOMPARE(d.Result(), ui::ParametersDialog::Started);
}

void RunDialogsTest::generalOptionsChecksInOrder() {
  test::ScriptedHost host;
  GeneralOptionValues v;
  v.linesText = "500";
  ui::GeneralOptionsDialog d(v, host);
  QVERIFY(!d.FileName()->isEnabled());
  Button(&d, "Process complete script to a file")->click();
  QVERIFY(d.FileName()->isEnabled());
  QVERIFY(!d.Lines()->isEnabled());
  d.accept();
  QCOMPARE(host.messages.back(), std::string("Please enter a file name to save script"));
  QCOMPARE(d.result(), 0);
  Button(&d, "Save incremental script to file automatically")->click();
  QVERIFY(d.Lines()->isEnabled());
  d.FileName()->setText("out.sql");
  d.Lines()->setText("  ");
  d.show();
  d.accept();
  QCOMPARE(host.messages.back(), std::string("Please enter an integer"));
  QCOMPARE(d.focusWidget(), static_cast<QWidget*>(d.Lines()));
  d.Lines()->setText("12abc");
  host.savePath = "/tmp/chosen.sql";
  Button(&d, "Browse")->click();
  QCOMPARE(d.FileName()->text(), QString("/tmp/chosen.sql"));
  Button(&d, "Treat all object names as regular")->click();
  d.accept();
  QCOMPARE(d.result(), int(QDialog::Accepted));
  QCOMPARE(d.Values().b_AutoSave, 1);
  QCOMPARE(d.Values().b_OnlyToFile, 0);
  QCOMPARE(d.Values().linesText, std::string("12abc"));
  QCOMPARE(d.Values().i_AutoSpecialName, 2);
  // The screen radio accepts an empty file name.
  ui::GeneralOptionsDialog screen(GeneralOptionValues{}, host);
  screen.accept();
  QCOMPARE(screen.result(), int(QDialog::Accepted));
}

void RunDialogsTest::dataAndIndexOptionsHandBackOnlyOnOk() {
  ui::DataOptionsDialog data(DataOptionValues{7, 1, 0, 0, 0, 0});
  for (const char* t : {"Script Data all in uppercase", "Script Data all in lowercase", "Leave Data untouched"})
    QVERIFY(!Button(&data, t)->isChecked());  // a rule outside 0..2 checks none
  Button(&data, "Output Data in CSV format")->click();
  data.reject();
  QCOMPARE(data.Values().b_DataCSV, 0);
  Button(&data, "Left Trim Data")->click();
  data.accept();
  QCOMPARE(data.Values(), (DataOptionValues{7, 1, 0, 0, 1, 1}));

  ui::IndexOptionsDialog index(IndexOptionValues{0, 1, 2});
  QWidget* columns = nullptr;
  for (QRadioButton* r : index.findChildren<QRadioButton*>())
    if (r->text() == "Script Column names all in lowercase") columns = r;
  static_cast<QRadioButton*>(columns)->click();
  Button(&index, "Include DROP INDEX statement before Index creation")->click();
  index.accept();
  QCOMPARE(index.Values(), (IndexOptionValues{0, 0, 1}));
}

void RunDialogsTest::dataFormatReachesTheRunOptions() {
  // Through the real Advanced Data Options, opened from Parameters: the choice lands in the
  // run's options on Close, and the next opening shows it.
  const char* const labels[] = {"As the profile writes them", "INSERT statements",
                                "The profile's copy format (COPY ... FROM stdin)"};
  World w;
  w.opts.i_DataFormat = 7;  // a hand-edited configuration: no radio, and kept when none is clicked
  for (int pick : {2, 1, 0, -1}) {
    ui::ParametersDialog d(w.ctx);
    test::WhenModal([&](QWidget* m) {
      for (int i = 0; i < 3; ++i) QCOMPARE(Button(m, labels[i])->isChecked(), i == w.opts.i_DataFormat);
      if (pick >= 0) Button(m, labels[pick])->click();
      static_cast<QDialog*>(m)->accept();
    });
    const int before = w.opts.i_DataFormat;
    d.DataAdvanced();
    d.CloseWithoutStart();
    QCOMPARE(w.opts.i_DataFormat, pick >= 0 ? pick : before);
  }
  // CSV is the format whatever the radios say: they are off while it is checked.
  ui::DataOptionsDialog data(DataOptionValues{});
  QWidget* insert = Button(&data, labels[1]);
  // From the keyboard: the box's mnemonic reaches the choices.
  data.show();
  QVERIFY(QTest::qWaitForWindowActive(&data));
  QTest::keyClick(&data, Qt::Key_F, Qt::AltModifier);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Button(&data, labels[0])));
  QVERIFY(insert->isEnabled());
  Button(&data, "Output Data in CSV format")->click();
  QVERIFY(!insert->isEnabled());
}

void RunDialogsTest::sqlScriptStartChecksFileAndCopies() {
  World w;
  w.opts.s_GlobalPassSql = "select 1";
  w.opts.s_WorkingProfile = "Lower";
  ui::SqlScriptDialog d(w.ctx);
  QCOMPARE(w.working.i_TableNameCase, 0);  // opening never applies the profile
  QCOMPARE(d.Statement()->toPlainText(), QString("select 1"));
  d.Start();
  QCOMPARE(w.host.messages.back(), std::string("You must select a database before you can begin."));
  d.Setup().SelectDatabase();
  d.Statement()->setPlainText("  \n \t\n");
  d.show();
  d.Start();
  QCOMPARE(w.host.messages.back(), std::string("Please enter a statement to be executed on the database."));
  QCOMPARE(d.focusWidget(), static_cast<QWidget*>(d.Statement()));

  test::WritePlain(w.dir / "three.sql", "select *\nfrom orders\nwhere order_id > 2");
  d.askOpenPath = [&] { return QString::fromStdString(w.dir / "three.sql"); };
  d.LoadFile();
  QCOMPARE(d.Statement()->toPlainText(), QString("select *\nfrom orders\nwhere order_id > 2\n"));
  d.askOpenPath = [&] { return QString::fromStdString(w.dir / "missing.sql"); };
  d.LoadFile();
  QCOMPARE(w.host.messages.back(), "Could not open file: " + (w.dir / "missing.sql"));

  // General writes straight through, even when the dialog is then cancelled.
  d.editGeneral = [](GeneralOptionValues& v) {
    v.linesText = "77";
    v.b_Optimize = 1;
    return true;
  };
  d.General();
  QCOMPARE(w.opts.i_AutoSaveLines, 77);
  QCOMPARE(w.opts.b_Optimize, 0);
  d.Csv()->click();
  d.reject();
  QCOMPARE(w.opts.b_DataCSV, 0);
  QCOMPARE(w.opts.s_GlobalPassSql, std::string("select 1"));

  test::WhenModal([](QWidget* m) {
    auto* s = qobject_cast<ui::SqlScriptDialog*>(m);
    s->Statement()->setPlainText("select * from staff  \n");
    s->Csv()->click();
    s->Start();
  });
  QVERIFY(ui::RunSqlScriptDialog(w.ctx, nullptr));
  QCOMPARE(w.opts.s_GlobalPassSql, std::string("select * from staff  \n"));
  QCOMPARE(w.opts.b_DataCSV, 1);
}

QTEST_MAIN(RunDialogsTest)
#include "run_dialogs_test.moc"
