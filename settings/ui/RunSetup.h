#pragma once
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DbConnection.h"

class QComboBox;
class QPushButton;
class QWidget;

namespace mv {
class Host;
class SettingsStore;
struct Profile;
class ProfileList;
struct RunOptions;
}  // namespace mv

namespace mv::ui {

// What the Parameters and SQL script dialogs work on: the run owner's records, reached
// through references so the dialogs do not depend on how the owner keeps them.
struct DialogContext {
  RunOptions& opts;
  ProfileList& profiles;
  Profile& working;
  SettingsStore& settings;
  Host& host;
  std::string programFolder;
  // The calls start empty (CompleteContext fills in the defaults), so a context is built from
  // the records alone.
  std::function<DbConnection*()> connection{};
  std::function<void(std::unique_ptr<DbConnection>)> replaceConnection{};
  // "Press to select Database": a new connection, connected or failed (cancelled included).
  std::function<std::unique_ptr<DbConnection>(QWidget* parent)> connectInteractive{};
  // The profile manager; tests replace it.
  std::function<void(QWidget* parent)> openProfileManager{};
  // Reads the connection's table list when it is not current (pages that list tables).
  std::function<void()> ensureTableList{};
};

// Fills in the default connect and profile manager calls.
void CompleteContext(DialogContext& ctx);

// The database button, the owner combo and the profile combo with "View Profiles", shared by
// the Parameters and SQL script dialogs.
class RunSetupControls : public QObject {
  Q_OBJECT
 public:
  RunSetupControls(DialogContext& ctx, QWidget* dialog);

  QPushButton* DatabaseButton() const { return database_; }
  QComboBox* Owners() const { return owners_; }
  QComboBox* ProfileCombo() const { return profileCombo_; }
  QPushButton* ViewProfiles() const { return viewProfiles_; }

  // Opening: profile combo (a missing working name becomes the first), owner combo, button.
  // Returns false when there is no connection (the caller may apply the profile then).
  bool Open();
  void SelectDatabase();
  // Refills the profile combo and applies the working profile (after "View Profiles").
  void RefillProfilesAndApply();
  bool HasUsableConnection() const;

 signals:
  // "View Profiles" applied the working profile again (the Parameters dialog reloads its copies).
  void workingProfileApplied();

 private:
  void FillProfiles();
  void ShowConnection();
  void OwnerChosen(int index);
  void ProfileChosen(int index);

  DialogContext& ctx_;
  QWidget* dialog_;
  QPushButton* database_;
  QComboBox* owners_;
  QComboBox* profileCombo_;
  QPushButton* viewProfiles_;
  std::vector<OwnerChoice> choices_;
  bool filling_ = false;
};

}  // namespace mv::ui
