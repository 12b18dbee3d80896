// The data source chooser against the registered SQLite and PostgreSQL drivers.
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "DialogTestKit.h"
#include "db/DataSources.h"
#include "db/ui/DataSourceDialog.h"
#include "support/PgServer.h"
#include "support/UniqueName.h"

using namespace mv;

class DataSourceDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void sqliteFileIsOneClickAwayAndTests();
  void postgresFieldsPasswordAndWrongPassword();
  void okReturnsTheStringAndCancelNothing();
  void recentConnectionsComeFirst();
};

void DataSourceDialogTest::sqliteFileIsOneClickAwayAndTests() {
  ui::DataSourceDialog d("");
  const QString demo = MV_BINARY_DIR "/demo/demo.db";
  d.askSqliteFile = [&] { return demo; };
  test::Button(&d, "Open SQLite database file...")->click();
  QCOMPARE(d.ConnectField()->text(), "DRIVER=SQLite3;Database=" + demo);
  d.Test();
  QVERIFY2(d.TestResult()->text().startsWith("Connection succeeded."), qPrintable(d.TestResult()->text()));
  // A file the driver cannot open is reported with the driver's own words, not a crash.
  d.ConnectField()->setText("DRIVER=SQLite3;Database=/no/such/folder/x.db");
  d.Test();
  QVERIFY2(d.TestResult()->text().startsWith("Connection failed:\n") && d.TestResult()->text().size() > 20,
           qPrintable(d.TestResult()->text()));
}

void DataSourceDialogTest::postgresFieldsPasswordAndWrongPassword() {
  test::PgServer& pg = test::PgServer::Instance();
  const std::string db_chooser = test::UniqueDbName("chooser");
  pg.CreateDatabase(db_chooser);
  std::string server, port, user, password;
  for (const auto& [k, v] : ParseConnectString(pg.ConnectString(db_chooser))) {
    if (k == "SERVER") server = v;
    if (k == "PORT") port = v;
    if (k == "UID") user = v;
    if (k == "PWD") password = v;
  }
  ui::DataSourceDialog d("");
  QVERIFY(d.SelectSource("SQLite3"));
  QVERIFY(d.SelectSource("PostgreSQL ANSI"));
  d.SetField("Server", QString::fromStdString(server));
  d.SetField("Port", QString::fromStdString(port));
  d.SetField("Database", QString::fromStdString(db_chooser));
  d.SetField("User", QString::fromStdString(user));
  d.SetField("Password", QString::fromStdString(password));
  QCOMPARE(d.PasswordField()->echoMode(), QLineEdit::Password);
  const QString shown = d.ConnectField()->text();
  QCOMPARE(shown, QString::fromStdString("DRIVER={PostgreSQL ANSI};SERVER=" + server + ";PORT=" + port +
                                         ";DATABASE=" + db_chooser + ";UID=" + user + ";"));
  QVERIFY(!shown.contains(QString::fromStdString(password)));
  d.Test();
  QVERIFY2(d.TestResult()->text().startsWith("Connection succeeded."), qPrintable(d.TestResult()->text()));
  QCOMPARE(d.ConnectString(), shown.toStdString() + "PWD=" + password + ";");

  d.SetField("Password", "wrong");
  d.Test();
  QVERIFY2(d.TestResult()->text().contains("password authentication failed"), qPrintable(d.TestResult()->text()));
  // A password typed into the connect string itself is the user's choice and is kept there.
  d.ConnectField()->setText(shown + "PWD=typed;");
  QCOMPARE(d.ConnectString(), shown.toStdString() + "PWD=typed;");
}

void DataSourceDialogTest::okReturnsTheStringAndCancelNothing() {
  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::DataSourceDialog*>(w);
    d->ConnectField()->setText("DRIVER=SQLite3;Database=/tmp/x.db");
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  QCOMPARE(ui::ChooseDataSourceDialog(nullptr, "DSN=old").value_or("none"),
           std::string("DRIVER=SQLite3;Database=/tmp/x.db"));
  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::DataSourceDialog*>(w);
    QCOMPARE(d->ConnectField()->text(), QString("DSN=old"));
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
  });
  QVERIFY(!ui::ChooseDataSourceDialog(nullptr, "DSN=old").has_value());
  // The password field comes back apart; a password typed into the string does not.
  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::DataSourceDialog*>(w);
    d->ConnectField()->setText("DRIVER=SQLite3;Database=/tmp/x.db");
    d->PasswordField()->setText("field");
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  auto choice = ui::ChooseDataSource(nullptr, "");
  QVERIFY(choice.has_value());
  QCOMPARE(choice->connectString, std::string("DRIVER=SQLite3;Database=/tmp/x.db;PWD=field;"));
  QCOMPARE(choice->fieldPassword, std::string("field"));
  test::WhenModal([](QWidget* w) {
    auto* d = qobject_cast<ui::DataSourceDialog*>(w);
    d->ConnectField()->setText("DRIVER=SQLite3;Database=/tmp/x.db;PWD=typed;");
    d->PasswordField()->setText("field");
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  choice = ui::ChooseDataSource(nullptr, "");
  QVERIFY(choice.has_value());
  QCOMPARE(choice->connectString, std::string("DRIVER=SQLite3;Database=/tmp/x.db;PWD=typed;"));
  QCOMPARE(choice->fieldPassword, std::string());
}

void DataSourceDialogTest::recentConnectionsComeFirst() {
  const std::vector<std::string> recent = {"DRIVER=SQLite3;Database=/data/a.db", "DSN=sales;UID=me;"};
  ui::DataSourceDialog d("", nullptr, recent);
  QTreeWidgetItem* first = d.Sources()->topLevelItem(0);
  QCOMPARE(first->text(0), QString("Recent connections"));
  QCOMPARE(first->childCount(), 2);
  QCOMPARE(first->child(1)->text(0), QString("DSN=sales;UID=me;"));
  // Choosing one takes its whole string; a password it needs comes from the field.
  d.SetField("Server", "elsewhere");
  QVERIFY(d.SelectRecent(1));
  QCOMPARE(d.ConnectField()->text(), QString("DSN=sales;UID=me;"));
  d.SetField("Password", "pw");
  QCOMPARE(d.ConnectString(), std::string("DSN=sales;UID=me;PWD=pw;"));
  QVERIFY(!d.SelectRecent(2));
  // Without any, the chooser starts with the data sources as before.
  ui::DataSourceDialog none("");
  QCOMPARE(none.Sources()->topLevelItem(0)->text(0), QString("User data sources"));
}

QTEST_MAIN(DataSourceDialogTest)
#include "datasource_dialog_test.moc"
