#pragma once
#include <QDialog>

#include "settings/ParametersRules.h"
#include "settings/ui/RunSetup.h"

class QCheckBox;
class QPlainTextEdit;

namespace mv::ui {

// "Sql Script": the free-form statement and its CSV switch, written back only by Start; the
// database, owner, profile and General Options change at once.
class SqlScriptDialog : public QDialog {
  Q_OBJECT
 public:
  SqlScriptDialog(DialogContext& ctx, QWidget* parent = nullptr);

  const SqlScriptCopies& Copies() const { return copies_; }
  QPlainTextEdit* Statement() const { return statement_; }
  QCheckBox* Csv() const { return csv_; }
  RunSetupControls& Setup() { return *setup_; }

  void LoadFile();
  void General();
  void Start();

  // The open-file dialog of "..."; tests replace it. Empty: cancelled.
  std::function<QString()> askOpenPath;
  // General Options; tests replace it.
  std::function<bool(GeneralOptionValues&)> editGeneral;

 private:
  DialogContext& ctx_;
  RunSetupControls* setup_;
  SqlScriptCopies copies_;
  QPlainTextEdit* statement_;
  QCheckBox* csv_;
};

// Shows the dialog; on Start writes the statement and the CSV switch back and returns true
// (the caller then starts the free-form run).
bool RunSqlScriptDialog(DialogContext& ctx, QWidget* parent);

}  // namespace mv::ui
