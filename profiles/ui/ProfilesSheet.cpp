#include "profiles/ui/ProfilesSheet.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Host.h"
#include "base/SettingsStore.h"
#include "base/ui/DialogHelp.h"
#include "base/ui/Mnemonics.h"
#include "base/ui/ScrollPage.h"
#include "base/ui/UiText.h"
#include "profiles/ProfileEditing.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ui/ProfileFieldPage.h"
#include "profiles/ui/ProfileFunctionsPage.h"
#include "profiles/ui/ProfileSubstitutionsPage.h"
#include "profiles/ui/ProfileTypesPage.h"

namespace mv::ui {

ProfilesSheet::ProfilesSheet(ProfileList& list, std::string& workingName, Profile& working, SettingsStore& settings,
                             std::string saveFolder, Host& host, QWidget* parent)
    : QDialog(parent),
      list_(list),
      workingName_(workingName),
      working_(working),
      settings_(settings),
      saveFolder_(std::move(saveFolder)),
      host_(host),
      tabs_(new QTabWidget(this)),
      names_(new QListWidget(this)) {
  setWindowTitle("Profile Setup");
  askNewName = [this](QWidget* parent) { return AskNewProfileName(parent, list_, host_); };

  for (int i = 0; i < 4; ++i) pages_.push_back(new ProfileFieldPage(i, tabs_));
  pages_.push_back(new ProfileTypesPage(tabs_));
  pages_.push_back(new ProfileFunctionsPage(tabs_));
  pages_.push_back(new ProfileSubstitutionsPage(host_, tabs_));
  // Each page scrolls: the longest (Index) is taller than a small or scaled screen.
  for (int i = 0; i < 7; ++i) tabs_->addTab(new ScrollPage(pages_[i], tabs_), kProfilePageTitles[i]);

  auto* side = new QVBoxLayout;
  auto* listLabel = new QLabel("Profiles", this);
  listLabel->setBuddy(names_);
  side->addWidget(listLabel);
  side->addWidget(names_, 1);
  auto* add = new QPushButton("Add", this);
  auto* remove = new QPushButton("Remove", this);
  side->addWidget(add);
  side->addWidget(remove);

  auto* top = new QHBoxLayout;
  top->addWidget(tabs_, 1);
  top->addLayout(side);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &ProfilesSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ProfilesSheet::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, &ProfilesSheet::ApplyAll);
  connect(add, &QPushButton::clicked, this, &ProfilesSheet::AddProfile);
  connect(remove, &QPushButton::clicked, this, &ProfilesSheet::RemoveProfile);
  connect(names_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
    if (!switching_ && !name.isEmpty()) SelectProfile(S(name));
  });
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { settings_.WriteInt("LastProf", index); });

  // The current profile: the working one, else the first (which then becomes the working one).
  if (!list_.FindProfile(workingName_) && !list_.empty()) workingName_ = list_[0].s_Name;
  current_ = workingName_;
  ShowNames(current_);
  // Wide enough for the names without a scroll bar.
  names_->setMinimumWidth(std::max(150, names_->sizeHintForColumn(0) + 2 * names_->frameWidth() + 24));
  // And no wider: on a small screen the room goes to the pages.
  names_->setMaximumWidth(names_->minimumWidth());
  FillPages();
  const int last = settings_.GetInt("LastProf", 0);
  tabs_->setCurrentIndex(last >= 0 && last < 7 ? last : 0);
  settings_.WriteInt("LastProf", tabs_->currentIndex());  // the page shown first counts as shown
  setTabOrder(tabs_, names_);
  setTabOrder(names_, add);
  setTabOrder(add, remove);
  AssignMnemonics(this);
}

Profile* ProfilesSheet::Current() { return list_.FindProfile(current_); }

void ProfilesSheet::ShowNames(const std::string& select) {
  switching_ = true;
  names_->clear();
  std::vector<std::string> names;
  for (const Profile& p : list_) names.push_back(p.s_Name);
  names = SortedProfileNames(names);
  int row = names.empty() ? -1 : 0;
  for (size_t i = 0; i < names.size(); ++i) {
    names_->addItem(Q(names[i]));
    if (names[i] == select) row = static_cast<int>(i);
  }
  names_->setCurrentRow(row);
  switching_ = false;
}

void ProfilesSheet::FillPages() {
  if (Profile* p = Current())
    for (ProfilePage* page : pages_) page->Fill(*p);
}

bool ProfilesSheet::ApplyAll() {
  Profile* p = Current();
  if (!p) return true;
  bool ok = true;
  for (ProfilePage* page : pages_) ok = page->Apply(*p) && ok;
  return ok;
}

void ProfilesSheet::SelectProfile(const std::string& name) {
  if (name == current_) return;
  const bool modified = std::any_of(pages_.begin(), pages_.end(), [](ProfilePage* pg) { return pg->Modified(); });
  if (modified && host_.Message(ProfileChangedQuestion(current_), Host::Buttons::YesNo) == Host::Answer::Yes)
    ApplyAll();
  current_ = name;
  FillPages();
}

void ProfilesSheet::AddProfile() {
  const std::optional<std::string> name = askNewName(this);
  if (!name || !Current()) return;
  AddProfileCopy(list_, *Current(), *name);
  ShowNames(current_);
  // The new name becomes current as if the user had picked it in the list.
  const QList<QListWidgetItem*> found = names_->findItems(Q(*name), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (!found.isEmpty()) names_->setCurrentItem(found.front());
}

void ProfilesSheet::RemoveProfile() {
  if (names_->count() < 2) {
    host_.Message(kMsgKeepOneProfile);
    return;
  }
  const int row = names_->currentRow();
  if (row < 0) return;
  const std::string name = S(names_->item(row)->text());
  if (host_.Message(RemoveProfileQuestion(name), Host::Buttons::YesNo) != Host::Answer::Yes) return;
  ApplyAll();
  list_.Remove(name);
  const std::string error = DeleteProfileFile(saveFolder_, name);
  if (!error.empty()) host_.Message(error);
  switching_ = true;
  delete names_->takeItem(row);
  const int next = RowAfterRemoval(row, names_->count());
  names_->setCurrentRow(next);
  switching_ = false;
  const std::string chosen = next >= 0 ? S(names_->item(next)->text()) : std::string();
  if (workingName_ == name) workingName_ = chosen;
  // The removed profile is gone: nothing of it is asked about or applied again.
  current_ = chosen;
  FillPages();
}

bool ProfilesSheet::SaveAndClose() { return SaveChangedProfiles(list_, saveFolder_, workingName_, working_, host_); }

void ProfilesSheet::accept() {
  if (!ApplyAll()) return;
  if (SaveAndClose()) QDialog::accept();
}

void ProfilesSheet::reject() {
  if (SaveAndClose()) QDialog::reject();
}

void ProfilesSheet::closeEvent(QCloseEvent* event) { event->ignore(); }

std::optional<std::string> AskNewProfileName(QWidget* parent, const ProfileList& list, Host& host) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Add Profile");
  auto* edit = TextField(&dialog);
  auto* label = new QLabel("Enter Name of new Profile: ", &dialog);
  label->setBuddy(edit);
  auto* buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, &dialog);
  WireHelpButton(buttons->button(QDialogButtonBox::Help), "profiles");
  dialog.setMinimumWidth(360);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  std::string accepted;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    std::string name = S(edit->text());
    const std::string refusal = CheckNewProfileName(list, name);
    if (!refusal.empty()) {
      host.Message(refusal);
      return;
    }
    accepted = name;
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  AssignMnemonics(&dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return accepted;
}

void OpenProfileManager(QWidget* parent, ProfileList& list, std::string& workingName, Profile& working,
                        SettingsStore& settings, const std::string& programFolder, Host& host) {
  ProfilesSheet sheet(list, workingName, working, settings, ProfileSaveFolder(programFolder), host, parent);
  sheet.exec();
}

}  // namespace mv::ui
