#include "settings/ui/RunSetup.h"

#include <QComboBox>
#include <QPushButton>
#include <QWidget>

#include "base/TextOrder.h"
#include "base/ui/UiText.h"
#include "profiles/Profile.h"
#include "profiles/ProfileEditing.h"
#include "profiles/ui/ProfilesSheet.h"
#include "settings/ParametersRules.h"
#include "settings/RunOptions.h"

namespace mv::ui {

void CompleteContext(DialogContext& ctx) {
  if (!ctx.connectInteractive)
    ctx.connectInteractive = [&host = ctx.host](QWidget* parent) { return DbConnection::ConnectInteractive(host); };
  if (!ctx.openProfileManager)
    ctx.openProfileManager = [&ctx](QWidget* parent) {
      OpenProfileManager(parent, ctx.profiles, ctx.opts.s_WorkingProfile, ctx.working, ctx.settings, ctx.programFolder,
                         ctx.host);
    };
  // Without an owner that keeps the mark, the connection's own flag tells whether it was read.
  if (!ctx.ensureTableList)
    ctx.ensureTableList = [&ctx] {
      DbConnection* c = ctx.connection();
      if (c && c->Connected() && !c->Tables().loaded) c->LoadTables();
    };
}

RunSetupControls::RunSetupControls(DialogContext& ctx, QWidget* dialog)
    : QObject(dialog),
      ctx_(ctx),
      dialog_(dialog),
      database_(new QPushButton(kSelectDatabaseButton, dialog)),
      owners_(new QComboBox(dialog)),
      profileCombo_(new QComboBox(dialog)),
      viewProfiles_(new QPushButton("View Profiles", dialog)) {
  CompleteContext(ctx_);
  database_->setObjectName("database");
  profileCombo_->setEditable(true);
  profileCombo_->setInsertPolicy(QComboBox::NoInsert);
  owners_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  owners_->setMinimumContentsLength(20);
  connect(database_, &QPushButton::clicked, this, &RunSetupControls::SelectDatabase);
  connect(owners_, &QComboBox::currentIndexChanged, this, &RunSetupControls::OwnerChosen);
  connect(profileCombo_, &QComboBox::currentIndexChanged, this, &RunSetupControls::ProfileChosen);
  connect(viewProfiles_, &QPushButton::clicked, this, [this] {
    ctx_.openProfileManager(dialog_);
    RefillProfilesAndApply();
  });
}

bool RunSetupControls::HasUsableConnection() const {
  DbConnection* c = ctx_.connection();
  return c && c->Connected();
}

void RunSetupControls::FillProfiles() {
  filling_ = true;
  std::vector<std::string> names;
  for (const Profile& p : ctx_.profiles) names.push_back(p.s_Name);
  names = SortedProfileNames(names);
  profileCombo_->clear();
  for (const std::string& n : names) profileCombo_->addItem(Q(n));
  profileCombo_->setCurrentIndex(ChooseProfileEntry(names, ctx_.opts.s_WorkingProfile));
  filling_ = false;
}

bool RunSetupControls::Open() {
  FillProfiles();
  filling_ = true;
  owners_->clear();
  filling_ = false;
  DbConnection* c = ctx_.connection();
  if (!c) {
    database_->setText(kSelectDatabaseButton);
    return false;
  }
  if (c->Connected()) ShowConnection();
  return true;
}

void RunSetupControls::ShowConnection() {
  DbConnection* c = ctx_.connection();
  database_->setText(Q(c->Target().title));
  filling_ = true;
  int selected = -1;
  choices_ = c->FillOwnerChooser(selected);
  owners_->clear();
  for (const OwnerChoice& o : choices_) owners_->addItem(Q(o.text));
  // The entry equal to the owner; with no owner, "-not required-".
  int exact = -1;
  for (size_t i = 0; i < choices_.size() && exact < 0; ++i)
    if (EqualIgnoringCase(choices_[i].text, c->Target().owner)) exact = static_cast<int>(i);
  if (exact < 0 && c->Target().owner.empty()) exact = static_cast<int>(choices_.size()) - 1;
  if (exact < 0) exact = selected;
  owners_->setCurrentIndex(exact);
  c->ApplyOwnerChoice(choices_, exact);
  filling_ = false;
}

void RunSetupControls::SelectDatabase() {
  // The old connection goes first: a data source may allow one connection only.
  ctx_.replaceConnection(nullptr);
  ctx_.replaceConnection(ctx_.connectInteractive(dialog_));
  filling_ = true;
  owners_->clear();
  filling_ = false;
  DbConnection* c = ctx_.connection();
  if (!c || !c->Connected()) {
    database_->setText(kSelectDatabaseButton);
    return;
  }
  ShowConnection();
}

void RunSetupControls::OwnerChosen(int index) {
  DbConnection* c = ctx_.connection();
  if (filling_ || index < 0 || !c || !c->Connected()) return;
  // The entries are the choices' texts, in their order.
  c->ChooseOwner(choices_, index);
  database_->setText(Q(c->Target().title));
}

void RunSetupControls::ProfileChosen(int index) {
  if (filling_ || index < 0) return;
  const std::string name = S(profileCombo_->itemText(index));
  if (name == ctx_.opts.s_WorkingProfile) return;
  ctx_.opts.s_WorkingProfile = name;
  ApplyWorkingProfile(ctx_.profiles, ctx_.opts.s_WorkingProfile, ctx_.working);
}

void RunSetupControls::RefillProfilesAndApply() {
  FillProfiles();
  ApplyWorkingProfile(ctx_.profiles, ctx_.opts.s_WorkingProfile, ctx_.working);
  emit workingProfileApplied();
}

}  // namespace mv::ui
