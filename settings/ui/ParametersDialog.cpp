#include "settings/ui/ParametersDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Host.h"
#include "base/ui/DialogHelp.h"
#include "base/ui/Mnemonics.h"
#include "profiles/Profile.h"
#include "settings/ui/AdvancedSheet.h"
#include "settings/ui/DataConditionsDialog.h"
#include "settings/ui/OptionDialogs.h"

namespace mv::ui {

ParametersDialog::ParametersDialog(DialogContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setWindowTitle("Mervale Parameters");
  setup_ = new RunSetupControls(ctx_, this);
  copies_ = LoadParametersCopies(ctx_.opts, ctx_.working);

  editGeneral = [this](GeneralOptionValues& v) {
    GeneralOptionsDialog d(v, ctx_.host, this);
    if (d.exec() != QDialog::Accepted) return false;
    v = d.Values();
    return true;
  };
  editData = [this](DataOptionValues& v) {
    DataOptionsDialog d(v, this);
    if (d.exec() != QDialog::Accepted) return false;
    v = d.Values();
    return true;
  };
  editIndex = [this](IndexOptionValues& v) {
    IndexOptionsDialog d(v, this);
    if (d.exec() != QDialog::Accepted) return false;
    v = d.Values();
    return true;
  };
  editStructure = [this] {
    AdvancedSheet sheet(*ctx_.connection(), ctx_.ensureTableList, ctx_.opts, ctx_.working, ctx_.settings, ctx_.host,
                        this);
    sheet.exec();
  };
  editConditions = [this] {
    DataConditionsDialog d(*ctx_.connection(), ctx_.ensureTableList, ctx_.opts, ctx_.host, this);
    d.exec();
  };

  auto* options = new QGroupBox("Mervale options", this);
  auto* grid = new QGridLayout(options);
  grid->addWidget(setup_->DatabaseButton(), 0, 0, 1, 3);
  auto* ownerLabel = new QLabel("Owner:", options);
  ownerLabel->setBuddy(setup_->Owners());
  auto* ownerRow = new QHBoxLayout;
  ownerRow->addWidget(ownerLabel);
  ownerRow->addWidget(setup_->Owners(), 1);
  grid->addLayout(ownerRow, 1, 0, 1, 3);

  structure_ = new QCheckBox("Structural script", options);
  data_ = new QCheckBox("Data script", options);
  index_ = new QCheckBox("Index script", options);
  remarks_ = new QCheckBox("Include Remarks in Script", options);
  auto* structureAdv = new QPushButton("Advanced...", options);
  auto* conditions = new QPushButton("Conditions", options);
  auto* dataAdv = new QPushButton("Advanced...", options);
  auto* indexAdv = new QPushButton("Advanced...", options);
  auto* general = new QPushButton("General", options);
  grid->addWidget(structure_, 2, 0);
  grid->addWidget(structureAdv, 2, 2);
  grid->addWidget(data_, 3, 0);
  grid->addWidget(conditions, 3, 1);
  grid->addWidget(dataAdv, 3, 2);
  grid->addWidget(index_, 4, 0);
  grid->addWidget(indexAdv, 4, 2);
  grid->addWidget(remarks_, 5, 0, 1, 2);
  grid->addWidget(general, 5, 2);
  grid->setColumnStretch(0, 1);

  auto* profileBox = new QGroupBox("Select Profile", this);
  auto* pl = new QHBoxLayout(profileBox);
  pl->addWidget(setup_->ProfileCombo(), 1);
  pl->addWidget(setup_->ViewProfiles());

  auto* start = new QPushButton("Start", this);
  auto* close = new QPushButton("Close", this);
  auto* cancel = new QPushButton("Cancel", this);
  auto* help = new QPushButton("Help", this);
  start->setDefault(true);
  WireHelpButton(help, "parameters");
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {start, close, cancel, help}) buttons->addWidget(b);
  buttons->addStretch(1);

  auto* left = new QVBoxLayout;
  left->addWidget(options);
  left->addWidget(profileBox);
  left->addStretch(1);
  auto* outer = new QHBoxLayout(this);
  outer->addLayout(left, 1);
  outer->addLayout(buttons);

  structure_->setChecked(copies_.b_DoTabStruct);
  data_->setChecked(copies_.b_DoTabData);
  index_->setChecked(copies_.b_DoIndex);
  remarks_->setChecked(copies_.b_DoRemarks);

  connect(structureAdv, &QPushButton::clicked, this, &ParametersDialog::StructureAdvanced);
  connect(conditions, &QPushButton::clicked, this, &ParametersDialog::DataConditions);
  connect(dataAdv, &QPushButton::clicked, this, &ParametersDialog::DataAdvanced);
  connect(indexAdv, &QPushButton::clicked, this, &ParametersDialog::IndexAdvanced);
  connect(general, &QPushButton::clicked, this, &ParametersDialog::General);
  connect(start, &QPushButton::clicked, this, &ParametersDialog::Start);
  connect(close, &QPushButton::clicked, this, &ParametersDialog::CloseWithoutStart);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(setup_, &RunSetupControls::workingProfileApplied, this, [this] { ReloadIndexCase(copies_, ctx_.working); });

  // Opening: with no connection the chosen profile is applied now.
  if (!setup_->Open()) {
    ApplyWorkingProfile(ctx_.profiles, ctx_.opts.s_WorkingProfile, ctx_.working);
    ReloadIndexCase(copies_, ctx_.working);
  }

  setTabOrder(setup_->DatabaseButton(), setup_->Owners());
  setTabOrder(setup_->Owners(), structure_);
  setTabOrder(structure_, structureAdv);
  setTabOrder(structureAdv, data_);
  setTabOrder(data_, conditions);
  setTabOrder(conditions, dataAdv);
  setTabOrder(dataAdv, index_);
  setTabOrder(index_, indexAdv);
  setTabOrder(indexAdv, remarks_);
  setTabOrder(remarks_, general);
  setTabOrder(general, setup_->ProfileCombo());
  setTabOrder(setup_->ProfileCombo(), setup_->ViewProfiles());
  setTabOrder(setup_->ViewProfiles(), start);
  setTabOrder(start, close);
  setTabOrder(close, cancel);
  setTabOrder(cancel, help);
  AssignMnemonics(this, {setup_->DatabaseButton()});
  // The first control, not the default button (a dialog whose first control is a push button
  // would otherwise open on Start).
  setup_->DatabaseButton()->setFocus();
}

void ParametersDialog::StructureAdvanced() {
  if (!setup_->HasUsableConnection()) {
    ctx_.host.Message(kMsgSelectDatabaseForStructure);
    return;
  }
  editStructure();
}

void ParametersDialog::DataConditions() {
  if (!setup_->HasUsableConnection()) {
    ctx_.host.Message(kMsgSelectDatabaseForConditions);
    return;
  }
  editConditions();
}

void ParametersDialog::DataAdvanced() {
  DataOptionValues v = copies_.data;
  if (editData(v)) copies_.data = v;
}

void ParametersDialog::General() {
  GeneralOptionValues v = copies_.general;
  if (editGeneral(v)) copies_.general = v;
}

void ParametersDialog::IndexAdvanced() {
  PrepareAdvancedIndex(copies_, ctx_.opts, ctx_.working);
  IndexOptionValues v = copies_.index;
  if (editIndex(v)) copies_.index = v;
}

void ParametersDialog::ReadChecks() {
  copies_.b_DoTabStruct = structure_->isChecked();
  copies_.b_DoTabData = data_->isChecked();
  copies_.b_DoIndex = index_->isChecked();
  copies_.b_DoRemarks = remarks_->isChecked();
}

void ParametersDialog::Finish(Outcome outcome) {
  ReadChecks();
  outcome_ = outcome;
  WriteBackParameters(copies_, ctx_.opts, ctx_.working);
  accept();
}

void ParametersDialog::Start() {
  if (!setup_->HasUsableConnection()) {
    ctx_.host.Message(kMsgSelectDatabaseToBegin);
    return;
  }
  Finish(Started);
}

void ParametersDialog::CloseWithoutStart() {
  copies_.closedWithoutStarting = 1;
  Finish(Closed);
}

ParametersDialog::Outcome RunParametersDialog(DialogContext& ctx, QWidget* parent) {
  ParametersDialog d(ctx, parent);
  d.exec();
  return d.Result();
}

}  // namespace mv::ui
