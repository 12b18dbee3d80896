#include "settings/ui/OptionDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "base/Host.h"
#include "base/ui/CaseRadioGroup.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScrollPage.h"
#include "base/ui/UiText.h"

namespace mv::ui {

namespace {

QDialogButtonBox* OkCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

QGroupBox* RadioBox(const QString& title, QButtonGroup* group, std::initializer_list<const char*> texts,
                    QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* l = new QVBoxLayout(box);
  int id = 0;
  for (const char* t : texts) {
    auto* b = new QRadioButton(t, box);
    group->addButton(b, id++);
    l->addWidget(b);
  }
  return box;
}

}  // namespace

GeneralOptionsDialog::GeneralOptionsDialog(const GeneralOptionValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host), output_(new QButtonGroup(this)), special_(new QButtonGroup(this)) {
  setWindowTitle("General Options");
  // The options scroll above the buttons: at 200% they are taller than a small screen.
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  // Ids follow OutputChoice: screen, file, automatic save.
  layout->addWidget(RadioBox("Output", output_,
                             {"Process complete script to screen", "Process complete script to a file",
                              "Save incremental script to file automatically"},
                             this));

  autoSave_ = new QGroupBox("Automatic Save", this);
  auto* al = new QHBoxLayout(autoSave_);
  lines_ = TextField(autoSave_);
  lines_->setMaximumWidth(100);
  auto* every = new QLabel("Save script portion every", autoSave_);
  every->setBuddy(lines_);
  al->addWidget(every);
  al->addWidget(lines_);
  al->addWidget(new QLabel("lines", autoSave_));
  al->addStretch(1);
  layout->addWidget(autoSave_);

  auto* fileRow = new QHBoxLayout;
  file_ = TextField(this);
  file_->setMinimumWidth(320);
  fileLabel_ = new QLabel("File name ", this);
  fileLabel_->setBuddy(file_);
  browse_ = new QPushButton("Browse", this);
  fileRow->addWidget(fileLabel_);
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  layout->addLayout(fileRow);

  optimize_ = new QCheckBox("Optimize structure while scripting Tables", this);
  layout->addWidget(optimize_);
  engineTypes_ = new QCheckBox("Read column types from the database engine's own catalog", this);
  engineTypes_->setToolTip(
      "SQLite, PostgreSQL and MariaDB: the types as the engine declares them, where the ODBC driver reports less");
  layout->addWidget(engineTypes_);
  constraints_ = new QCheckBox("Script keys, constraints, defaults and identities", this);
  constraints_->setToolTip(
      "Where the profile has the words for them: primary and foreign keys, checks, defaults, auto-numbering columns");
  layout->addWidget(constraints_);
  // "Process only tables owned by the current user" and the DBMS/ODBC data type radios are
  // not shown: their values travel through unchanged.
  layout->addWidget(RadioBox("Database Objects", special_,
                             {"Automatically detect special object names", "Treat all object names as special",
                              "Treat all object names as regular"},
                             this));
  layout->addStretch(1);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new ScrollPage(body, this), 1);
  outer->addWidget(OkCancel(this));

  output_->button(static_cast<int>(OutputChoiceOf(values_)))->setChecked(true);
  lines_->setText(Q(values_.linesText));
  file_->setText(Q(values_.s_AutoSaveFile));
  optimize_->setChecked(values_.b_Optimize != 0);
  engineTypes_->setChecked(values_.b_EngineTypes != 0);
  constraints_->setChecked(values_.b_Constraints != 0);
  if (QAbstractButton* b = special_->button(values_.i_AutoSpecialName)) b->setChecked(true);
  Enable();

  connect(output_, &QButtonGroup::idClicked, this, [this](int id) {
    ChooseOutput(values_, static_cast<OutputChoice>(id));
    Enable();
  });
  connect(browse_, &QPushButton::clicked, this, [this] {
    const std::string path = host_.AskSavePath({{"Mervale Files (*.sql)", {"*.sql"}}}, "sql", S(file_->text()));
    if (!path.empty()) file_->setText(Q(path));
  });
  AssignMnemonics(this);
}

void GeneralOptionsDialog::Enable() {
  const GeneralEnabling e = EnablingOf(values_);
  fileLabel_->setEnabled(e.fileName);
  file_->setEnabled(e.fileName);
  browse_->setEnabled(e.fileName);
  autoSave_->setEnabled(e.lines);
}

void GeneralOptionsDialog::Read() {
  values_.s_AutoSaveFile = Kept(file_->text(), values_.s_AutoSaveFile);
  values_.linesText = S(lines_->text());
  values_.b_Optimize = optimize_->isChecked() ? 1 : 0;
  values_.b_EngineTypes = engineTypes_->isChecked() ? 1 : 0;
  values_.b_Constraints = constraints_->isChecked() ? 1 : 0;
  if (special_->checkedId() >= 0) values_.i_AutoSpecialName = special_->checkedId();
}

void GeneralOptionsDialog::accept() {
  const GeneralOptionValues before = values_;
  Read();
  const GeneralCheck check = CheckGeneralOptions(values_);
  if (!check.message.empty()) {
    values_ = before;
    if (check.focus == GeneralCheck::Focus::Lines) lines_->setFocus();
    host_.Message(check.message);
    return;
  }
  QDialog::accept();
}

DataOptionsDialog::DataOptionsDialog(const DataOptionValues& values, QWidget* parent)
    : QDialog(parent), values_(values) {
  setWindowTitle("Advanced Data Options");
  auto* layout = new QVBoxLayout(this);
  del_ = new QCheckBox("Include DELETE statement before Data inserts", this);
  strings_ = new QCheckBox("Consider all Data as strings", this);
  dataCase_ = new CaseRadioGroup("Data Formatting", "Script Data all in uppercase", "Script Data all in lowercase",
                                 "Leave Data untouched", this);
  left_ = new QCheckBox("Left Trim Data", this);
  right_ = new QCheckBox("Right Trim Data", this);
  csv_ = new QCheckBox("Output Data in CSV format", this);
  // The run's choice over the profile's; CSV, when checked, is the format whatever this says.
  // Beside the value rules, so that the dialog stays short enough for a scaled screen.
  format_ = new QButtonGroup(this);
  // Its title's mnemonic moves to the checked choice; the arrow keys pick another.
  formatBox_ = RadioBox(
      "Rows &Format", format_,
      {"As the profile writes them", "INSERT statements", "The profile's copy format (COPY ... FROM stdin)"}, this);
  auto* formats = new QHBoxLayout;
  formats->addWidget(dataCase_);
  formats->addWidget(formatBox_);
  layout->addWidget(del_);
  layout->addWidget(strings_);
  layout->addLayout(formats);
  for (QWidget* w : std::initializer_list<QWidget*>{left_, right_, csv_}) layout->addWidget(w);
  auto* rowsRow = new QHBoxLayout;
  rowsPerInsert_ = new QSpinBox(this);
  rowsPerInsert_->setRange(1, std::numeric_limits<int>::max());
  auto* rowsLabel = new QLabel("Rows in one INSERT statement", this);
  rowsLabel->setBuddy(rowsPerInsert_);
  rowsRow->addWidget(rowsLabel);
  rowsRow->addWidget(rowsPerInsert_);
  rowsRow->addStretch(1);
  layout->addLayout(rowsRow);
  layout->addStretch(1);
  layout->addWidget(OkCancel(this));
  del_->setChecked(values_.b_DeleteData != 0);
  strings_->setChecked(values_.b_AllStrings != 0);
  dataCase_->SetRule(values_.i_DataCase, true);
  left_->setChecked(values_.b_LeftTrim != 0);
  right_->setChecked(values_.b_RightTrim != 0);
  csv_->setChecked(values_.b_DataCSV != 0);
  // A value outside the three (a hand-edited configuration) checks none and is kept.
  if (QAbstractButton* b = format_->button(values_.i_DataFormat)) b->setChecked(true);
  formatBox_->setEnabled(!csv_->isChecked());
  connect(csv_, &QCheckBox::toggled, formatBox_, [this](bool on) { formatBox_->setEnabled(!on); });
  rowsPerInsert_->setValue(std::max(values_.i_RowsPerInsert, 1));
  AssignMnemonics(this);
}

void DataOptionsDialog::accept() {
  values_.b_DeleteData = del_->isChecked();
  values_.b_AllStrings = strings_->isChecked();
  if (dataCase_->Rule() >= 0) values_.i_DataCase = dataCase_->Rule();
  values_.b_LeftTrim = left_->isChecked();
  values_.b_RightTrim = right_->isChecked();
  values_.b_DataCSV = csv_->isChecked();
  values_.i_RowsPerInsert = rowsPerInsert_->value();
  if (format_->checkedId() >= 0) values_.i_DataFormat = format_->checkedId();
  QDialog::accept();
}

IndexOptionsDialog::IndexOptionsDialog(const IndexOptionValues& values, QWidget* parent)
    : QDialog(parent), values_(values) {
  setWindowTitle("Advanced Index Options");
  auto* layout = new QVBoxLayout(this);
  drop_ = new QCheckBox("Include DROP INDEX statement before Index creation", this);
  nameCase_ = new CaseRadioGroup("Index Names Formatting", "Script Index names all in uppercase",
                                 "Script Index names all in lowercase", "Leave Index names untouched", this);
  columnCase_ = new CaseRadioGroup("Index Column Names Formatting", "Script Column names all in uppercase",
                                   "Script Column names all in lowercase", "Leave Column names untouched", this);
  layout->addWidget(drop_);
  auto* row = new QHBoxLayout;
  row->addWidget(nameCase_);
  row->addWidget(columnCase_);
  layout->addLayout(row);
  layout->addStretch(1);
  layout->addWidget(OkCancel(this));
  drop_->setChecked(values_.b_DropIndex != 0);
  nameCase_->SetRule(values_.i_IndexNameCase, true);
  columnCase_->SetRule(values_.i_IndexColumnCase, true);
  AssignMnemonics(this);
}

void IndexOptionsDialog::accept() {
  values_.b_DropIndex = drop_->isChecked();
  if (nameCase_->Rule() >= 0) values_.i_IndexNameCase = nameCase_->Rule();
  if (columnCase_->Rule() >= 0) values_.i_IndexColumnCase = columnCase_->Rule();
  QDialog::accept();
}

}  // namespace mv::ui
