#include "db/ui/DataSourceDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/TextOrder.h"
#include "base/ui/DialogHelp.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScreenFit.h"
#include "base/ui/UiText.h"

namespace mv::ui {

namespace {
constexpr int kKindRole = Qt::UserRole;  // 0 data source, 1 driver, 2 recent connection
}

DataSourceDialog::DataSourceDialog(const std::string& current, QWidget* parent, const std::vector<std::string>& recent)
    : QDialog(parent),
      sources_(new QTreeWidget(this)),
      server_(TextField(this)),
      port_(TextField(this)),
      database_(TextField(this)),
      user_(TextField(this)),
      password_(TextField(this)),
      connect_(TextField(this)),
      result_(new QLabel(this)) {
  setWindowTitle("Select Data Source");
  askSqliteFile = [this] {
    return QFileDialog::getOpenFileName(this, "SQLite database", QString(),
                                        "SQLite databases (*.db *.sqlite *.sqlite3);;All Files (*)");
  };

  // The quickest way in: a SQLite file through the SQLite3 driver, no data source set up.
  auto* quick = new QHBoxLayout;
  auto* sqlite = new QPushButton("Open SQLite database file...", this);
  quick->addWidget(sqlite);
  quick->addStretch(1);

  sources_->setHeaderLabels({"Data source or driver", "Description"});
  sources_->setRootIsDecorated(true);
  sources_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  auto addGroup = [this](const QString& title) {
    auto* item = new QTreeWidgetItem(sources_, {title});
    item->setFlags(Qt::ItemIsEnabled);
    item->setExpanded(true);
    return item;
  };
  // What the user connected with before comes first: most often it is what they want again.
  if (!recent.empty()) {
    recent_ = addGroup("Recent connections");
    for (const std::string& r : recent) {
      auto* item = new QTreeWidgetItem(recent_, {Q(r)});
      item->setData(0, kKindRole, 2);
      item->setToolTip(0, Q(r));
    }
  }
  QTreeWidgetItem* user = addGroup("User data sources");
  QTreeWidgetItem* system = addGroup("System data sources");
  QTreeWidgetItem* drivers = addGroup("Drivers");
  for (const DataSourceInfo& d : ListDataSources()) {
    auto* item = new QTreeWidgetItem(d.system ? system : user, {Q(d.name), Q(d.description)});
    item->setData(0, kKindRole, 0);
  }
  std::vector<DriverInfo> list = ListDrivers();
  std::sort(list.begin(), list.end(),
            [](const DriverInfo& a, const DriverInfo& b) { return LessIgnoringCase(a.name, b.name); });
  for (const DriverInfo& d : list) {
    QString description;
    for (const auto& [k, v] : d.attributes)
      if (k == "Description") description = Q(v);
    auto* item = new QTreeWidgetItem(drivers, {Q(d.name), description});
    item->setData(0, kKindRole, 1);
  }
  for (QTreeWidgetItem* g : {user, system, drivers}) {
    if (g->childCount() == 0) (new QTreeWidgetItem(g, {"(none registered)"}))->setFlags(Qt::ItemIsEnabled);
    g->setExpanded(true);
  }

  auto* fieldsBox = new QGroupBox("Connection fields", this);
  auto* form = new QFormLayout(fieldsBox);
  form->addRow("&Server:", server_);
  form->addRow("P&ort:", port_);
  auto* dbRow = new QHBoxLayout;
  dbRow->addWidget(database_, 1);
  auto* browse = new QPushButton("Browse...", this);
  dbRow->addWidget(browse);
  auto* dbLabel = new QLabel("&Database:", fieldsBox);
  dbLabel->setBuddy(database_);
  form->addRow(dbLabel, dbRow);
  form->addRow("&User:", user_);
  password_->setEchoMode(QLineEdit::Password);
  form->addRow("&Password:", password_);

  auto* connectRow = new QFormLayout;
  connectRow->addRow("&Connect string:", connect_);
  connect_->setText(Q(current));
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  auto* test = buttons->addButton("&Test", QDialogButtonBox::ActionRole);
  WireHelpButton(buttons->button(QDialogButtonBox::Help), "data-source");

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(quick);
  auto* middle = new QHBoxLayout;
  middle->addWidget(sources_, 3);
  auto* right = new QVBoxLayout;
  right->addWidget(fieldsBox);
  right->addStretch(1);
  middle->addLayout(right, 2);
  layout->addLayout(middle, 1);
  layout->addLayout(connectRow);
  layout->addWidget(result_);
  layout->addWidget(buttons);

  connect(sqlite, &QPushButton::clicked, this, &DataSourceDialog::ChooseSqliteFile);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = askSqliteFile();
    if (!file.isEmpty()) database_->setText(file);
  });
  connect(sources_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item || !item->data(0, kKindRole).isValid()) return;
    if (item->data(0, kKindRole).toInt() == 2) {
      // A whole connect string: the fields would only rebuild a different one.
      driver_.clear();
      dsn_.clear();
      for (QLineEdit* e : {server_, port_, database_, user_}) e->clear();
      connect_->setText(item->text(0));
      return;
    }
    const std::string name = S(item->text(0));
    dsn_ = item->data(0, kKindRole).toInt() == 0 ? name : std::string();
    driver_ = dsn_.empty() ? name : std::string();
    Rebuild();
  });
  for (QLineEdit* e : {server_, port_, database_, user_})
    connect(e, &QLineEdit::textEdited, this, &DataSourceDialog::Rebuild);
  connect(test, &QPushButton::clicked, this, &DataSourceDialog::Test);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  setTabOrder(sqlite, sources_);
  setTabOrder(sources_, server_);
  setTabOrder(server_, port_);
  setTabOrder(port_, database_);
  setTabOrder(database_, browse);
  setTabOrder(browse, user_);
  setTabOrder(user_, password_);
  setTabOrder(password_, connect_);
  AssignMnemonics(this);
  // Opens on its first control, not on OK.
  sqlite->setFocus();
  ResizeWithinScreen(this, {820, 520});
}

void DataSourceDialog::Rebuild() {
  // The password is left out on purpose: it joins only at connect time.
  if (driver_.empty() && dsn_.empty()) {
    // Typing a database file without a choice means the SQLite quick way.
    if (!database_->text().isEmpty()) connect_->setText(Q(SqliteConnectString(S(database_->text()))));
    return;
  }
  connect_->setText(Q(BuildConnectString(
      driver_, dsn_, {S(server_->text()), S(port_->text()), S(database_->text()), S(user_->text()), std::string()})));
}

bool DataSourceDialog::SelectRecent(int index) {
  if (!recent_ || index < 0 || index >= recent_->childCount()) return false;
  sources_->setCurrentItem(recent_->child(index));
  return true;
}

bool DataSourceDialog::SelectSource(const QString& name) {
  const auto found = sources_->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
  for (QTreeWidgetItem* item : found)
    if (item->data(0, kKindRole).isValid() && item->data(0, kKindRole).toInt() != 2) {
      sources_->setCurrentItem(item);
      return true;
    }
  return false;
}

void DataSourceDialog::SetField(const QString& label, const QString& value) {
  QLineEdit* fields[] = {server_, port_, database_, user_, password_};
  const char* labels[] = {"Server", "Port", "Database", "User", "Password"};
  for (int i = 0; i < 5; ++i)
    if (label == labels[i]) {
      fields[i]->setText(value);
      if (fields[i] != password_) Rebuild();
    }
}

void DataSourceDialog::ChooseSqliteFile() {
  const QString file = askSqliteFile();
  if (file.isEmpty()) return;
  driver_ = "SQLite3";
  dsn_.clear();
  database_->setText(file);
  connect_->setText(Q(SqliteConnectString(S(file))));
}

std::string DataSourceDialog::Password() const { return S(password_->text()); }

std::string DataSourceDialog::ConnectString() const {
  std::string cs = S(connect_->text());
  if (cs.empty()) return cs;
  const std::string pwd = Password();
  if (pwd.empty()) return cs;
  for (const auto& [k, v] : ParseConnectString(cs))
    if (EqualIgnoringCase(k, "PWD") || EqualIgnoringCase(k, "PASSWORD")) return cs;
  if (cs.back() != ';') cs += ';';
  return cs + "PWD=" + ConnectValue(pwd) + ";";
}

void DataSourceDialog::Test() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string message;
  const bool ok = TestConnectString(ConnectString(), message);
  QApplication::restoreOverrideCursor();
  result_->setText(Q(ok ? (message.empty() ? "Connection succeeded." : "Connection succeeded.\n" + message)
                        : "Connection failed:\n" + message));
}

std::optional<DataSourceChoice> ChooseDataSource(QWidget* parent, const std::string& current,
                                                 const std::vector<std::string>& recent) {
  DataSourceDialog dialog(current, parent, recent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  DataSourceChoice choice{dialog.ConnectString(), dialog.Password()};
  if (choice.connectString.empty()) return std::nullopt;
  // A password typed into the connect string field is the user's to keep.
  if (choice.connectString == S(dialog.ConnectField()->text())) choice.fieldPassword.clear();
  return choice;
}

std::optional<std::string> ChooseDataSourceDialog(QWidget* parent, const std::string& current,
                                                  const std::vector<std::string>& recent) {
  std::optional<DataSourceChoice> choice = ChooseDataSource(parent, current, recent);
  if (!choice) return std::nullopt;
  return choice->connectString;
}

}  // namespace mv::ui
