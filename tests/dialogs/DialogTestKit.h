#pragma once
// Finding controls the way a user does, by their visible text, and answering modal dialogs.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace mv::test {

// The control with this text (buttons, check boxes, radios) below root; nullptr if none.
template <typename T = QAbstractButton>
T* Button(QWidget* root, const QString& text) {
  for (T* b : root->findChildren<T*>())
    if (b->text().remove('&') == text) return b;
  return nullptr;
}

// The field a label names (the label's buddy).
template <typename T = QLineEdit>
T* Field(QWidget* root, const QString& label) {
  for (QLabel* l : root->findChildren<QLabel*>())
    if (l->text().remove('&') == label && l->buddy()) return qobject_cast<T*>(l->buddy());
  return nullptr;
}

// Runs act on the next modal dialog once it is up (the caller then opens it with exec()).
inline void WhenModal(std::function<void(QWidget*)> act, int tries = 200) {
  QTimer::singleShot(10, [act, tries] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      act(w);
    } else if (tries > 0) {
      WhenModal(act, tries - 1);
    }
  });
}

}  // namespace mv::test
