#include "settings/ui/DataConditionsDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Host.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScreenFit.h"
#include "base/ui/UiText.h"
#include "db/ConditionTest.h"
#include "db/DbConnection.h"

namespace mv::ui {

namespace {

// Image 0: a table without a condition; image 1: a table with one (a funnel mark).
QIcon ConditionIcon(bool has) {
  QPixmap pm(16, 15);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(has ? QColor(230, 150, 20) : QColor(235, 235, 235));
  if (has) {
    const QPointF funnel[] = {{1, 2}, {15, 2}, {9.5, 8}, {9.5, 14}, {6.5, 12}, {6.5, 8}};
    p.drawPolygon(funnel, 6);
  } else {
    p.drawRect(QRectF(2.5, 2.5, 11, 10));
    p.drawLine(QPointF(2.5, 6), QPointF(13.5, 6));
  }
  return QIcon(pm);
}

}  // namespace

DataConditionsDialog::DataConditionsDialog(DbConnection& connection, std::function<void()> ensureTables,
                                           RunOptions& opts, Host& host, QWidget* parent)
    : QDialog(parent),
      connection_(connection),
      opts_(opts),
      host_(host),
      tables_(new QListWidget(this)),
      editor_(new QPlainTextEdit(this)) {
  setWindowTitle("Data Conditions");
  auto* explain = new QLabel(
      "Use this dialog to enter conditions for the retrieval and scripting of data. The statement in the box below "
      "is appended to the select statement of the selected table, after the where clause.\n"
      "( Ex.:      where ABC_ID = 123 and ABC_CODE = 'hello' )",
      this);
  explain->setWordWrap(true);

  QFont mono("Courier New");
  mono.setStyleHint(QFont::Monospace);
  mono.setFamilies({"Courier New", QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
  editor_->setFont(mono);
  editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  tables_->setIconSize(QSize(16, 15));

  auto* clear = new QPushButton("Clear all conditions", this);
  auto* test = new QPushButton("Test", this);
  auto* close = new QPushButton("Close", this);
  close->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explain);
  auto* middle = new QHBoxLayout;
  middle->addWidget(tables_, 1);
  middle->addWidget(editor_, 2);
  layout->addLayout(middle, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear);
  buttons->addStretch(1);
  buttons->addWidget(test);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  if (ensureTables) ensureTables();
  std::vector<std::string> names;
  for (const TableEntry& t : connection_.Tables().entries) names.push_back(t.name);
  entries_ = ConditionEntries(names, opts_);
  for (const ConditionEntry& e : entries_)
    tables_->addItem(new QListWidgetItem(ConditionIcon(e.hasCondition), Q(e.name)));

  connect(tables_, &QListWidget::currentRowChanged, this, &DataConditionsDialog::ShowEntry);
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    const int row = tables_->currentRow();
    if (loading_ || row < 0) return;
    entries_[row].hasCondition = EditCondition(opts_, entries_[row].name, S(editor_->toPlainText()));
    tables_->item(row)->setIcon(ConditionIcon(entries_[row].hasCondition));
  });
  connect(clear, &QPushButton::clicked, this, &DataConditionsDialog::ClearAll);
  connect(test, &QPushButton::clicked, this, &DataConditionsDialog::Test);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  setTabOrder(tables_, editor_);
  setTabOrder(editor_, clear);
  setTabOrder(clear, test);
  setTabOrder(test, close);
  AssignMnemonics(this);
  ResizeWithinScreen(this, {760, 480});
}

void DataConditionsDialog::ShowEntry(int row) {
  loading_ = true;
  editor_->setPlainText(row < 0 ? QString() : Q(StoredCondition(opts_, entries_[row].name)));
  loading_ = false;
}

void DataConditionsDialog::ClearAll() {
  loading_ = true;
  editor_->clear();
  loading_ = false;
  opts_.WhereStatements.clear();
  for (size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].hasCondition = 0;
    tables_->item(static_cast<int>(i))->setIcon(ConditionIcon(false));
  }
}

void DataConditionsDialog::Test() {
  const std::string text = S(editor_->toPlainText());
  const int row = tables_->currentRow();
  const bool blank = text.find_first_not_of(" \t\r\n\f\v") == std::string::npos;
  if (blank) editor_->setFocus();
  if (!blank && row < 0) return;
  bool ok = false;
  const std::string message = TestCondition(connection_, opts_, row < 0 ? std::string() : entries_[row].name, text, ok);
  host_.Message(message);
}

}  // namespace mv::ui
