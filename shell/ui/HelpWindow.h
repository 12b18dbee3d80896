#pragma once
#include <QTextBrowser>
#include <QWidget>
#include <string>

namespace mv {

// The help: our HTML pages in the program folder's "help" folder, shown in a browser window.
class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(std::string helpFolder, QWidget* parent = nullptr);
  // Shows the page of a topic ("control-panel"); an unknown topic shows the start page.
  // Returns false, showing nothing, when the help pages are not installed.
  bool ShowTopic(const std::string& topic);
  const std::string& Folder() const { return folder_; }
  QTextBrowser* Browser() { return browser_; }

 private:
  std::string folder_;
  QTextBrowser* browser_;
};

}  // namespace mv
