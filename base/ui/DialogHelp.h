#pragma once
#include <QAbstractButton>
#include <functional>
#include <string>

namespace mv::ui {

// The program's help, set by the main window; a dialog's "Help" button opens the topic named
// after the dialog. Without a handler the buttons are disabled rather than doing nothing.
inline std::function<void(const std::string& topic)>& DialogHelpHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

inline void WireHelpButton(QAbstractButton* button, const std::string& topic) {
  button->setEnabled(static_cast<bool>(DialogHelpHandler()));
  QObject::connect(button, &QAbstractButton::clicked, button, [topic] {
    if (DialogHelpHandler()) DialogHelpHandler()(topic);
  });
}

}  // namespace mv::ui
