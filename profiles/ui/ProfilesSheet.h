#pragma once
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "profiles/Profile.h"

class QListWidget;
class QTabWidget;
class QLineEdit;

namespace mv {
class Host;
class SettingsStore;
}  // namespace mv

namespace mv::ui {

class ProfilePage;

// "Profile Setup": the pages edit the current profile; the list beside them chooses it.
// Every changed profile is saved when the sheet closes (OK or Cancel); a profile that cannot
// be saved keeps the sheet open with the edits.
class ProfilesSheet : public QDialog {
  Q_OBJECT
 public:
  ProfilesSheet(ProfileList& list, std::string& workingName, Profile& working, SettingsStore& settings,
                std::string saveFolder, Host& host, QWidget* parent = nullptr);

  QTabWidget* Pages() const { return tabs_; }
  QListWidget* Names() const { return names_; }
  ProfilePage* Page(int index) const { return pages_[index]; }
  const std::string& CurrentName() const { return current_; }
  // The buttons, for tests and for the keyboard.
  bool ApplyAll();
  void AddProfile();
  void RemoveProfile();
  // Asks the "Add Profile" name; tests replace it. Empty result: cancelled.
  std::function<std::optional<std::string>(QWidget*)> askNewName;

  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Profile* Current();
  void SelectProfile(const std::string& name);
  void FillPages();
  bool SaveAndClose();
  void ShowNames(const std::string& select);

  ProfileList& list_;
  std::string& workingName_;
  Profile& working_;
  SettingsStore& settings_;
  std::string saveFolder_;
  Host& host_;
  std::string current_;
  QTabWidget* tabs_;
  QListWidget* names_;
  std::vector<ProfilePage*> pages_;
  bool switching_ = false;
};

// The "Add Profile" dialog; the name as typed, or nothing when cancelled. Refusals are shown
// through the host and keep the dialog open.
std::optional<std::string> AskNewProfileName(QWidget* parent, const ProfileList& list, Host& host);

// Runs the sheet modally. Callers that need the working copy refreshed apply it themselves.
void OpenProfileManager(QWidget* parent, ProfileList& list, std::string& workingName, Profile& working,
                        SettingsStore& settings, const std::string& programFolder, Host& host);

}  // namespace mv::ui
