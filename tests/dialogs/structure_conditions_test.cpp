// Advanced Structure Options and Data Conditions over real databases.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "DialogTestKit.h"
#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "settings/FilterEditing.h"
#include "settings/ui/AdvancedSheet.h"
#include "settings/ui/DataConditionsDialog.h"
#include "support/PgServer.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

using namespace mv;

namespace {

struct Demo {
  test::ScriptedHost host;
  test::TempDir dir;
  SettingsStore settings{dir / "settings.ini"};
  RunOptions opts;
  Profile working;
  std::unique_ptr<DbConnection> conn;
  explicit Demo(const std::string& cs) : conn(DbConnection::ConnectWithString(host, cs, "", "0")) {}
  std::function<void()> Loader() {
    return [this] { conn->LoadTables(); };
  }
};

int Row(QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == text) return i;
  return -1;
}

}  // namespace

class StructureConditionsTest : public QObject {
  Q_OBJECT
 private slots:
  void tablesPageStoresTheComplement();
  void columnsPageExpanderAndOkWithTextLeft();
  void pagesNeverShownWriteNothing();
  void conditionsEditTestAndClearOnSqlite();
  void conditionTestOnPostgres();
};

void StructureConditionsTest::tablesPageStoresTheComplement() {
  Demo d("DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db");
  QVERIFY(d.conn->Connected());
  d.opts.IncludeOnlyTables = {"ORDERS", "customers"};
  ui::AdvancedSheet sheet(*d.conn, d.Loader(), d.opts, d.working, d.settings, d.host);
  QListWidget* list = sheet.TableList();
  QCOMPARE(list->count(), 6);
  QCOMPARE(list->item(0)->text(), QString("audit_log"));
  QCOMPARE(list->selectedItems().size(), qsizetype(2));
  list->item(Row(list, "Order Lines"))->setSelected(true);
  test::Button(&sheet, "Script Table names all in lowercase")->click();
  test::Button(&sheet, "Include DROP statement before Table creation")->click();
  sheet.accept();
  QVERIFY(d.opts.IncludeOnlyTables.empty());
  QCOMPARE(d.opts.IgnoreTables, (std::vector<std::string>{"audit_log", "products", "staff"}));
  QCOMPARE(d.working.i_TableNameCase, 1);
  QCOMPARE(d.opts.b_DropTable, 0);
  QCOMPARE(d.settings.GetInt("LastProp", -1), 0);
}

void StructureConditionsTest::columnsPageExpanderAndOkWithTextLeft() {
  Demo d("DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db");
  d.settings.WriteInt("LastProp", 1);
  d.opts.IgnoreColumns = {"ID"};
  ui::AdvancedSheet sheet(*d.conn, d.Loader(), d.opts, d.working, d.settings, d.host);
  sheet.show();
  QCOMPARE(sheet.Pages()->currentIndex(), 1);
  sheet.PatternEdit()->setText("A%B%C");
  test::Button(sheet.Pages()->widget(1), "Add")->click();
  QCOMPARE(d.host.messages.back(), std::string(kMsgOneExpander));
  QCOMPARE(sheet.PatternEdit()->text(), QString("A%B%C"));
  sheet.PatternEdit()->setText("CR%DATE");
  sheet.accept();  // adds the text and stays open
  QVERIFY(sheet.isVisible());
  QCOMPARE(sheet.PatternList()->count(), 2);
  sheet.accept();
  QVERIFY(!sheet.isVisible());
  QCOMPARE(d.opts.IgnoreColumns, (std::vector<std::string>{"CR%DATE", "ID"}));
}

void StructureConditionsTest::pagesNeverShownWriteNothing() {
  Demo d("DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db");
  d.settings.WriteInt("LastProp", 2);
  d.opts.IncludeOnlyTables = {"orders"};
  d.opts.IgnoreDataTypes = {"date"};
  ui::AdvancedSheet sheet(*d.conn, d.Loader(), d.opts, d.working, d.settings, d.host);
  QListWidget* types = sheet.TypeList();
  QCOMPARE(types->selectedItems().size(), qsizetype(1));
  types->item(0)->setSelected(true);
  sheet.accept();
  QCOMPARE(d.opts.IncludeOnlyTables, std::vector<std::string>{"orders"});  // Tables page never shown
  QCOMPARE(d.opts.IgnoreDataTypes, (std::vector<std::string>{"BIGINT", "DATE"}));
  // Cancel changes nothing at all.
  const RunOptions before = d.opts;
  ui::AdvancedSheet again(*d.conn, d.Loader(), d.opts, d.working, d.settings, d.host);
  again.TypeList()->clearSelection();
  again.reject();
  QVERIFY(d.opts == before);
}

void StructureConditionsTest::conditionsEditTestAndClearOnSqlite() {
  Demo d("DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db");
  ui::DataConditionsDialog dlg(*d.conn, d.Loader(), d.opts, d.host);
  QListWidget* list = dlg.Tables();
  QCOMPARE(list->count(), 6);
  list->setCurrentRow(Row(list, "orders"));
  dlg.Test();
  QCOMPARE(d.host.messages.back(), std::string("Please enter the condition you want to test."));
  dlg.Editor()->setPlainText("   WHERE\torder_id > 5");
  QCOMPARE(d.opts.WhereStatements.at("ORDERS"), std::string("WHERE\torder_id > 5"));
  dlg.Test();
  QVERIFY2(d.host.messages.back() == "The condition looks OK!", d.host.messages.back().c_str());
  dlg.Editor()->setPlainText("no_such_column = 1");
  dlg.Test();
  QVERIFY2(d.host.messages.back().find("no_such_column") != std::string::npos, d.host.messages.back().c_str());
  // A second statement is never run as part of the test.
  dlg.Editor()->setPlainText("1=1; delete from orders");
  dlg.Test();
  QVERIFY(d.host.messages.back() != "The condition looks OK!");
  list->setCurrentRow(Row(list, "staff"));
  QVERIFY(dlg.Editor()->toPlainText().isEmpty());
  list->setCurrentRow(Row(list, "orders"));
  QCOMPARE(dlg.Editor()->toPlainText(), QString("1=1; delete from orders"));
  dlg.Editor()->clear();
  QCOMPARE(d.opts.WhereStatements.count("ORDERS"), size_t(0));
  dlg.Editor()->setPlainText("x");
  dlg.ClearAll();
  QVERIFY(d.opts.WhereStatements.empty());
  QVERIFY(dlg.Editor()->toPlainText().isEmpty());
}

void StructureConditionsTest::conditionTestOnPostgres() {
  test::PgServer& pg = test::PgServer::Instance();
  const std::string db_conditions = test::UniqueDbName("conditions");
  pg.CreateDatabase(db_conditions);
  pg.RunSql(db_conditions, "create table orders (id integer primary key, note varchar(20));");
  Demo d(pg.ConnectString(db_conditions));
  QVERIFY(d.conn->Connected());
  ui::DataConditionsDialog dlg(*d.conn, d.Loader(), d.opts, d.host);
  dlg.Tables()->setCurrentRow(Row(dlg.Tables(), "orders"));
  dlg.Editor()->setPlainText("note = 'it''s'");
  dlg.Test();
  QCOMPARE(d.host.messages.back(), std::string("The condition looks OK!"));
  dlg.Editor()->setPlainText("nope > 1");
  dlg.Test();
  QVERIFY2(d.host.messages.back().find("nope") != std::string::npos, d.host.messages.back().c_str());
}

QTEST_MAIN(StructureConditionsTest)
#include "structure_conditions_test.moc"
