#include "settings/ui/AdvancedSheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/Host.h"
#include "base/SettingsStore.h"
#include "base/ui/CaseRadioGroup.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScreenFit.h"
#include "base/ui/UiText.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"

namespace mv::ui {

AdvancedSheet::AdvancedSheet(DbConnection& connection, std::function<void()> ensureTables, RunOptions& opts,
                             Profile& working, SettingsStore& settings, Host& host, QWidget* parent)
    : QDialog(parent),
      connection_(connection),
      ensureTables_(std::move(ensureTables)),
      opts_(opts),
      working_(working),
      settings_(settings),
      host_(host),
      tabs_(new QTabWidget(this)) {
  setWindowTitle("Advanced Structure Options");

  // Tables.
  auto* tablesPage = new QWidget(tabs_);
  {
    auto* l = new QVBoxLayout(tablesPage);
    tables_ = new QListWidget(tablesPage);
    tables_->setSelectionMode(QAbstractItemView::MultiSelection);
    auto* head = new QLabel("Create Structure script for the following tables:", tablesPage);
    head->setBuddy(tables_);
    l->addWidget(head);
    auto* row = new QHBoxLayout;
    row->addWidget(tables_, 1);
    auto* side = new QVBoxLayout;
    auto* all = new QPushButton("Select All", tablesPage);
    auto* none = new QPushButton("UnSelect All", tablesPage);
    side->addWidget(all);
    side->addWidget(none);
    side->addStretch(1);
    row->addLayout(side);
    l->addLayout(row, 1);
    tableCase_ = new CaseRadioGroup("Table Names Formatting", "Script Table names all in uppercase",
                                    "Script Table names all in lowercase", "Leave Table names untouched", tablesPage);
    l->addWidget(tableCase_);
    dropTable_ = new QCheckBox("Include DROP statement before Table creation", tablesPage);
    listSkipped_ = new QCheckBox("Include list of not scripted tables as remarks", tablesPage);
    l->addWidget(dropTable_);
    l->addWidget(listSkipped_);
    connect(all, &QPushButton::clicked, this, [this] {
      tables_->selectAll();
      tables_->setFocus();
    });
    connect(none, &QPushButton::clicked, this, [this] {
      tables_->clearSelection();
      tables_->setFocus();
    });
  }

  // Columns.
  auto* columnsPage = new QWidget(tabs_);
  {
    auto* l = new QVBoxLayout(columnsPage);
    pattern_ = TextField(columnsPage);
    auto* label = new QLabel("Remove from Script Columns like: ", columnsPage);
    label->setBuddy(pattern_);
    l->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(pattern_, 1);
    auto* add = new QPushButton("Add", columnsPage);
    row->addWidget(add);
    l->addLayout(row);
    patterns_ = new QListWidget(columnsPage);
    auto* row2 = new QHBoxLayout;
    row2->addWidget(patterns_, 1);
    auto* remove = new QPushButton("Remove", columnsPage);
    auto* side = new QVBoxLayout;
    side->addWidget(remove);
    side->addStretch(1);
    row2->addLayout(side);
    l->addLayout(row2, 1);
    columnCase_ =
        new CaseRadioGroup("Column Names Formatting", "Script Column names all in uppercase",
                           "Script Column names all in lowercase", "Leave Column names untouched", columnsPage);
    l->addWidget(columnCase_);
    connect(add, &QPushButton::clicked, this, &AdvancedSheet::AddPattern);
    connect(pattern_, &QLineEdit::returnPressed, this, &AdvancedSheet::AddPattern);
    connect(remove, &QPushButton::clicked, this, [this] {
      const int row = patterns_->currentRow();
      if (row < 0) return;
      columnsState_.patterns.erase(columnsState_.patterns.begin() + row);
      ShowPatterns();
    });
  }

  // Data Types.
  auto* typesPage = new QWidget(tabs_);
  {
    auto* l = new QVBoxLayout(typesPage);
    types_ = new QListWidget(typesPage);
    types_->setSelectionMode(QAbstractItemView::MultiSelection);
    auto* label = new QLabel("Ignore Columns of type: ", typesPage);
    label->setBuddy(types_);
    l->addWidget(label);
    l->addWidget(types_, 1);
    typeCase_ =
        new CaseRadioGroup("Data Type Names Formatting", "Script Data Type names all in uppercase",
                           "Script Data Type names all in lowercase", "Leave Data Type names untouched", typesPage);
    l->addWidget(typeCase_);
  }

  tabs_->addTab(tablesPage, "Tables");
  tabs_->addTab(columnsPage, "Columns");
  tabs_->addTab(typesPage, "Data Types");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &AdvancedSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  const int last = settings_.GetInt("LastProp", 0);
  tabs_->setCurrentIndex(last >= 0 && last < 3 ? last : 0);
  OpenPage(tabs_->currentIndex());
  connect(tabs_, &QTabWidget::currentChanged, this, &AdvancedSheet::OpenPage);
  AssignMnemonics(this);
  ResizeWithinScreen(this, {560, 600});
}

void AdvancedSheet::OpenPage(int index) {
  if (index < 0 || index > 2) return;
  settings_.WriteInt("LastProp", index);
  if (opened_[index]) return;
  opened_[index] = true;
  if (index == 0) {
    OpenTables();
  } else if (index == 1) {
    columnsState_ = OpenColumnsPage(opts_, working_);
    ShowPatterns();
    columnCase_->SetRule(columnsState_.caseRule);
  } else {
    typesState_ = OpenTypesPage(opts_, working_);
    for (size_t i = 0; i < typesState_.names.size(); ++i) {
      types_->addItem(Q(typesState_.names[i]));
      types_->item(static_cast<int>(i))->setSelected(typesState_.selected[i]);
    }
    typeCase_->SetRule(typesState_.caseRule);
  }
}

void AdvancedSheet::OpenTables() {
  host_.WaitCursor(true);
  if (ensureTables_) ensureTables_();
  std::vector<std::string> names;
  for (const TableEntry& t : connection_.Tables().entries) names.push_back(t.name);
  tablesState_ = OpenTablesPage(names, opts_, working_);
  for (size_t i = 0; i < tablesState_.names.size(); ++i) {
    tables_->addItem(Q(tablesState_.names[i]));
    tables_->item(static_cast<int>(i))->setSelected(tablesState_.selected[i]);
  }
  tableCase_->SetRule(tablesState_.caseRule);
  dropTable_->setChecked(tablesState_.b_DropTable != 0);
  listSkipped_->setChecked(tablesState_.b_DoTabSkipped != 0);
  host_.WaitCursor(false);
}

void AdvancedSheet::ShowPatterns() {
  patterns_->clear();
  for (const std::string& p : columnsState_.patterns) patterns_->addItem(Q(p));
}

void AdvancedSheet::AddPattern() {
  bool added = false;
  const std::string refusal = AddColumnPattern(columnsState_, S(pattern_->text()), added);
  if (!refusal.empty()) host_.Message(refusal);
  if (!added) return;
  pattern_->clear();
  ShowPatterns();
}

void AdvancedSheet::accept() {
  if (opened_[1] && !pattern_->text().isEmpty()) {
    AddPattern();
    return;
  }
  if (opened_[0]) {
    for (int i = 0; i < tables_->count(); ++i) tablesState_.selected[i] = tables_->item(i)->isSelected();
    if (tableCase_->Rule() >= 0) tablesState_.caseRule = tableCase_->Rule();
    tablesState_.b_DropTable = dropTable_->isChecked() ? 1 : 0;
    tablesState_.b_DoTabSkipped = listSkipped_->isChecked() ? 1 : 0;
    ApplyTablesPage(tablesState_, opts_, working_);
  }
  if (opened_[1]) {
    if (columnCase_->Rule() >= 0) columnsState_.caseRule = columnCase_->Rule();
    ApplyColumnsPage(columnsState_, opts_, working_);
  }
  if (opened_[2]) {
    for (int i = 0; i < types_->count(); ++i) typesState_.selected[i] = types_->item(i)->isSelected();
    if (typeCase_->Rule() >= 0) typesState_.caseRule = typeCase_->Rule();
    ApplyTypesPage(typesState_, opts_, working_);
  }
  QDialog::accept();
}

}  // namespace mv::ui
