#pragma once
#include <QDialog>

#include "settings/OptionRules.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace mv {
class Host;
}

namespace mv::ui {

class CaseRadioGroup;

// "General Options": output, automatic save, object names. Values go back only on OK.
class GeneralOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  GeneralOptionsDialog(const GeneralOptionValues& values, Host& host, QWidget* parent = nullptr);
  const GeneralOptionValues& Values() const { return values_; }
  QLineEdit* FileName() const { return file_; }
  QLineEdit* Lines() const { return lines_; }
  void accept() override;

 private:
  void Read();
  void Enable();
  GeneralOptionValues values_;
  Host& host_;
  QButtonGroup* output_;
  QButtonGroup* special_;
  QGroupBox* autoSave_;
  QLabel* fileLabel_;
  QLineEdit* file_;
  QPushButton* browse_;
  QLineEdit* lines_;
  QCheckBox* optimize_;
  QCheckBox* engineTypes_;
  QCheckBox* constraints_;
};

// "Advanced Data Options".
class DataOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  DataOptionsDialog(const DataOptionValues& values, QWidget* parent = nullptr);
  const DataOptionValues& Values() const { return values_; }
  void accept() override;

 private:
  DataOptionValues values_;
  QCheckBox* del_;
  QCheckBox* strings_;
  CaseRadioGroup* dataCase_;
  QCheckBox* left_;
  QCheckBox* right_;
  QCheckBox* csv_;
  QButtonGroup* format_;  // ids follow i_DataFormat
  QGroupBox* formatBox_;
  QSpinBox* rowsPerInsert_;
};

// "Advanced Index Options".
class IndexOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  IndexOptionsDialog(const IndexOptionValues& values, QWidget* parent = nullptr);
  const IndexOptionValues& Values() const { return values_; }
  void accept() override;

 private:
  IndexOptionValues values_;
  QCheckBox* drop_;
  CaseRadioGroup* nameCase_;
  CaseRadioGroup* columnCase_;
};

}  // namespace mv::ui
