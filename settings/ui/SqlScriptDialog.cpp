#include "settings/ui/SqlScriptDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Host.h"
#include "base/ui/DialogHelp.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScreenFit.h"
#include "base/ui/UiText.h"
#include "settings/RunOptions.h"
#include "settings/ui/OptionDialogs.h"

namespace mv::ui {

SqlScriptDialog::SqlScriptDialog(DialogContext& ctx, QWidget* parent)
    : QDialog(parent),
      ctx_(ctx),
      statement_(new QPlainTextEdit(this)),
      csv_(new QCheckBox("Output data is CSV format", this)) {
  setWindowTitle("Sql Script");
  setup_ = new RunSetupControls(ctx_, this);
  copies_ = {ctx_.opts.s_GlobalPassSql, ctx_.opts.b_DataCSV};
  askOpenPath = [this] {
    return QFileDialog::getOpenFileName(this, "Open", QString(), "SQL Files (*.sql);;All Files (*.*)");
  };
  editGeneral = [this](GeneralOptionValues& v) {
    GeneralOptionsDialog d(v, ctx_.host, this);
    if (d.exec() != QDialog::Accepted) return false;
    v = d.Values();
    return true;
  };

  QFont mono("Courier New");
  mono.setStyleHint(QFont::Monospace);
  mono.setFamilies({"Courier New", QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  statement_->setFont(mono);
  statement_->setPlainText(Q(copies_.s_GlobalPassSql));
  csv_->setChecked(copies_.b_DataCSV != 0);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(setup_->DatabaseButton());
  auto* ownerRow = new QHBoxLayout;
  auto* ownerLabel = new QLabel("Owner:", this);
  ownerLabel->setBuddy(setup_->Owners());
  ownerRow->addWidget(ownerLabel);
  ownerRow->addWidget(setup_->Owners(), 1);
  layout->addLayout(ownerRow);

  auto* stmtRow = new QHBoxLayout;
  auto* stmtLabel = new QLabel("Statement to be executed on the database:", this);
  stmtLabel->setBuddy(statement_);
  auto* load = new QPushButton("...", this);
  load->setToolTip("Load the statement from a file");
  load->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  load->setMaximumWidth(load->fontMetrics().horizontalAdvance("...") + 24);
  stmtRow->addWidget(stmtLabel, 1);
  stmtRow->addWidget(load);
  layout->addLayout(stmtRow);
  layout->addWidget(statement_, 1);
  layout->addWidget(csv_);

  auto* profileRow = new QHBoxLayout;
  auto* profileLabel = new QLabel("Select Profile:", this);
  profileLabel->setBuddy(setup_->ProfileCombo());
  profileRow->addWidget(profileLabel);
  profileRow->addWidget(setup_->ProfileCombo(), 1);
  profileRow->addWidget(setup_->ViewProfiles());
  layout->addLayout(profileRow);

  auto* general = new QPushButton("General", this);
  auto* start = new QPushButton("Start", this);
  auto* cancel = new QPushButton("Cancel", this);
  auto* help = new QPushButton("Help", this);
  start->setDefault(true);
  WireHelpButton(help, "sql-script");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(general);
  buttons->addStretch(1);
  for (QPushButton* b : {start, cancel, help}) buttons->addWidget(b);
  layout->addLayout(buttons);

  connect(load, &QPushButton::clicked, this, &SqlScriptDialog::LoadFile);
  connect(general, &QPushButton::clicked, this, &SqlScriptDialog::General);
  connect(start, &QPushButton::clicked, this, &SqlScriptDialog::Start);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // Opening never applies the working profile here; "View Profiles" always does.
  setup_->Open();

  setTabOrder(setup_->DatabaseButton(), setup_->Owners());
  setTabOrder(setup_->Owners(), load);
  setTabOrder(load, statement_);
  setTabOrder(statement_, csv_);
  setTabOrder(csv_, setup_->ProfileCombo());
  setTabOrder(setup_->ProfileCombo(), setup_->ViewProfiles());
  setTabOrder(setup_->ViewProfiles(), general);
  setTabOrder(general, start);
  setTabOrder(start, cancel);
  setTabOrder(cancel, help);
  statement_->setTabChangesFocus(true);
  AssignMnemonics(this, {setup_->DatabaseButton()});
  setup_->DatabaseButton()->setFocus();
  ResizeWithinScreen(this, {720, 520});
}

void SqlScriptDialog::LoadFile() {
  const QString path = askOpenPath();
  if (path.isEmpty()) return;
  ctx_.host.WaitCursor(true);
  std::string text;
  if (!ReadStatementFile(S(path), text))
    ctx_.host.Message(kMsgCouldNotOpenFile + S(path));
  else
    statement_->setPlainText(Q(text));
  ctx_.host.WaitCursor(false);
}

void SqlScriptDialog::General() {
  GeneralOptionValues v = GeneralValuesFrom(ctx_.opts);
  if (editGeneral(v)) WriteGeneralValuesBack(v, ctx_.opts);
}

void SqlScriptDialog::Start() {
  bool emptyStatement = false;
  const std::string text = Kept(statement_->toPlainText(), copies_.s_GlobalPassSql);
  const std::string refusal = CheckSqlScriptStart(setup_->HasUsableConnection(), text, emptyStatement);
  if (!refusal.empty()) {
    if (emptyStatement) statement_->setFocus();
    ctx_.host.Message(refusal);
    return;
  }
  copies_ = {text, csv_->isChecked() ? 1 : 0};
  accept();
}

bool RunSqlScriptDialog(DialogContext& ctx, QWidget* parent) {
  SqlScriptDialog d(ctx, parent);
  if (d.exec() != QDialog::Accepted) return false;
  ctx.opts.s_GlobalPassSql = d.Copies().s_GlobalPassSql;
  ctx.opts.b_DataCSV = d.Copies().b_DataCSV;
  return true;
}

}  // namespace mv::ui
