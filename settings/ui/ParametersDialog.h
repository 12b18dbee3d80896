#pragma once
#include <QDialog>

#include "settings/ParametersRules.h"
#include "settings/ui/RunSetup.h"

class QCheckBox;

namespace mv::ui {

// "Mervale Parameters": sets up a scripting run. Its own copies go back on Start or Close;
// the connection, owner, profile, filters and conditions change at once and stay on Cancel.
class ParametersDialog : public QDialog {
  Q_OBJECT
 public:
  enum Outcome { Cancelled = 0, Started, Closed };
  ParametersDialog(DialogContext& ctx, QWidget* parent = nullptr);

  Outcome Result() const { return outcome_; }
  const ParametersCopies& Copies() const { return copies_; }
  RunSetupControls& Setup() { return *setup_; }

  // The buttons, reachable by tests and the keyboard alike.
  void StructureAdvanced();
  void DataConditions();
  void DataAdvanced();
  void IndexAdvanced();
  void General();
  void Start();
  void CloseWithoutStart();

  // The option dialogs, replaceable by tests: each gets the copies and returns whether OK.
  std::function<bool(GeneralOptionValues&)> editGeneral;
  std::function<bool(DataOptionValues&)> editData;
  std::function<bool(IndexOptionValues&)> editIndex;
  std::function<void()> editStructure;
  std::function<void()> editConditions;

 private:
  void ReadChecks();
  void Finish(Outcome outcome);
  DialogContext& ctx_;
  RunSetupControls* setup_;
  ParametersCopies copies_;
  Outcome outcome_ = Cancelled;
  QCheckBox* structure_;
  QCheckBox* data_;
  QCheckBox* index_;
  QCheckBox* remarks_;
};

// Shows the dialog over the context; on Start or Close writes the copies back. Returns the
// outcome; the caller starts the run on Started.
ParametersDialog::Outcome RunParametersDialog(DialogContext& ctx, QWidget* parent);

}  // namespace mv::ui
