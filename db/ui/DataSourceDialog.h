#pragma once
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/DataSources.h"

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace mv::ui {

// The data source chooser: unixODBC has no dialog of its own. A choice of data source or
// driver plus the usual fields fills the connect string; the password field never echoes and
// stays out of the connect string field, so it lands in a saved configuration only if the
// user types it there.
class DataSourceDialog : public QDialog {
  Q_OBJECT
 public:
  // recent: the connections used before, newest first, offered above the data sources.
  DataSourceDialog(const std::string& current, QWidget* parent = nullptr, const std::vector<std::string>& recent = {});

  // The string to connect with: the connect string field, plus the password field when the
  // field string names no password of its own. Empty when the field is empty.
  std::string ConnectString() const;
  // Just the password typed into the password field.
  std::string Password() const;

  // The file chooser of the SQLite button; tests replace it. Empty: cancelled.
  std::function<QString()> askSqliteFile;

  QLineEdit* ConnectField() const { return connect_; }
  QLineEdit* PasswordField() const { return password_; }
  QTreeWidget* Sources() const { return sources_; }
  QLabel* TestResult() const { return result_; }
  void ChooseSqliteFile();
  void Test();
  // Selects the recent connection at this index (newest first); false when there is none.
  bool SelectRecent(int index);
  // Selects the data source or driver of this name (tests and the keyboard).
  bool SelectSource(const QString& name);
  void SetField(const QString& label, const QString& value);

 private:
  void Rebuild();
  QTreeWidget* sources_;
  QLineEdit* server_;
  QLineEdit* port_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* connect_;
  QLabel* result_;
  QTreeWidgetItem* recent_ = nullptr;
  std::string driver_, dsn_;
};

// Shows the chooser; the connect string chosen, or nothing when cancelled.
std::optional<std::string> ChooseDataSourceDialog(QWidget* parent, const std::string& current,
                                                  const std::vector<std::string>& recent = {});

// The same, with the password field apart, for a caller that keeps the completed string
// without it (ConnectStringToKeep).
struct DataSourceChoice {
  std::string connectString;  // to connect with: the password field included
  std::string fieldPassword;  // what the password field held
};
std::optional<DataSourceChoice> ChooseDataSource(QWidget* parent, const std::string& current,
                                                 const std::vector<std::string>& recent = {});

}  // namespace mv::ui
