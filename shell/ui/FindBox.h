#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>

#include "base/Host.h"

namespace mv {

class ScriptView;

// The Find command: a modeless find box (find only, downwards) over the script view, and the
// wrap rule: at the end of the script ask whether to go on from the top.
class FindBox : public QDialog {
  Q_OBJECT
 public:
  using MessageFn = std::function<Host::Answer(const std::string&, Host::Buttons)>;
  FindBox(ScriptView& view, MessageFn message, QWidget* parent = nullptr);

  // Opens the box with an empty search text; the next search starts at the top.
  void Open();
  // One find-next request with the box's settings. Returns whether a match was selected.
  bool FindNext();
  QLineEdit* TextField() { return text_; }
  QCheckBox* MatchCase() { return matchCase_; }
  QCheckBox* WholeWord() { return wholeWord_; }
  bool FromTop() const { return findFromTop_; }

 private:
  ScriptView& view_;
  MessageFn message_;
  bool findFromTop_ = true;
  QLineEdit* text_;
  QCheckBox* wholeWord_;
  QCheckBox* matchCase_;
  QPushButton* findNext_;
};

}  // namespace mv
