#pragma once
#include <QDialog>
#include <functional>

#include "settings/FilterEditing.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QTabWidget;

namespace mv {
class DbConnection;
class Host;
class SettingsStore;
struct Profile;
}  // namespace mv

namespace mv::ui {

class CaseRadioGroup;

// "Advanced Structure Options": the Tables, Columns and Data Types pages. Each page works on
// its own state and writes back on OK only if it was shown.
class AdvancedSheet : public QDialog {
  Q_OBJECT
 public:
  // ensureTables reads the connection's table list again when it is out of date.
  AdvancedSheet(DbConnection& connection, std::function<void()> ensureTables, RunOptions& opts, Profile& working,
                SettingsStore& settings, Host& host, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return tabs_; }
  QListWidget* TableList() const { return tables_; }
  QListWidget* PatternList() const { return patterns_; }
  QLineEdit* PatternEdit() const { return pattern_; }
  QListWidget* TypeList() const { return types_; }
  void accept() override;

 private:
  void OpenPage(int index);
  void OpenTables();
  void AddPattern();
  void ShowPatterns();

  DbConnection& connection_;
  std::function<void()> ensureTables_;
  RunOptions& opts_;
  Profile& working_;
  SettingsStore& settings_;
  Host& host_;
  QTabWidget* tabs_;
  bool opened_[3] = {false, false, false};

  TablesPageState tablesState_;
  QListWidget* tables_;
  CaseRadioGroup* tableCase_;
  QCheckBox* dropTable_;
  QCheckBox* listSkipped_;

  ColumnsPageState columnsState_;
  QLineEdit* pattern_;
  QListWidget* patterns_;
  CaseRadioGroup* columnCase_;

  TypesPageState typesState_;
  QListWidget* types_;
  CaseRadioGroup* typeCase_;
};

}  // namespace mv::ui
