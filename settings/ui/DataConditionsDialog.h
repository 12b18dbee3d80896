#pragma once
#include <QDialog>
#include <functional>
#include <vector>

#include "settings/FilterEditing.h"

class QListWidget;
class QPlainTextEdit;

namespace mv {
class DbConnection;
class Host;
}  // namespace mv

namespace mv::ui {

// "Data Conditions": the where condition of each table, changed at once as it is typed, and
// tested against the database.
class DataConditionsDialog : public QDialog {
  Q_OBJECT
 public:
  DataConditionsDialog(DbConnection& connection, std::function<void()> ensureTables, RunOptions& opts, Host& host,
                       QWidget* parent = nullptr);

  QListWidget* Tables() const { return tables_; }
  QPlainTextEdit* Editor() const { return editor_; }
  void ClearAll();
  void Test();

 private:
  void ShowEntry(int row);
  DbConnection& connection_;
  RunOptions& opts_;
  Host& host_;
  std::vector<ConditionEntry> entries_;
  QListWidget* tables_;
  QPlainTextEdit* editor_;
  bool loading_ = false;
};

}  // namespace mv::ui
