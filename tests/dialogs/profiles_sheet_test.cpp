// The profile manager with its pages, driven through its controls.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "DialogTestKit.h"
#include "base/SettingsStore.h"
#include "profiles/ProfileEditing.h"
#include "profiles/ProfileFile.h"
#include "profiles/ui/ProfilePage.h"
#include "profiles/ui/ProfilesSheet.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

using namespace mv;
using mv::test::Button;
using mv::test::Field;

namespace {

// Two profiles on disk, a working copy, and a sheet over them.
struct Setup {
  test::TempDir dir;
  test::ScriptedHost host;
  SettingsStore settings{dir / "settings.ini"};
  ProfileList list;
  Profile working;
  std::string workingName = "Default";
  Setup() {
    for (const char* name : {"Default", "Oracle"}) {
      Profile p;
      SetBuiltInDefaults(p);
      p.s_Name = name;
      p.Substitutions = {{"'", "''"}};
      SaveProfile(p, dir.path, host);
      list.Append(p);
    }
  }
  Profile Saved(const std::string& name) {
    Profile p;
    p.s_Name = name;
    LoadProfile(p, dir.path, host);
    return p;
  }
};

QWidget* Page(ui::ProfilesSheet& s, int i) {
  s.Pages()->setCurrentIndex(i);
  return s.Page(i);
}

}  // namespace

class ProfilesSheetTest : public QObject {
  Q_OBJECT
 private slots:
  void cancelKeepsEditsOutApplyThenCancelSaves();
  void structureDataTypeCaseAloneIsStored();
  void addCopiesTheCurrentProfileAndSavesOnCancel();
  void removeRefusesTheLastAndMovesTheWorkingProfile();
  void switchingAsksAndNoLosesTheEdits();
  void failedSaveKeepsTheSheetOpen();
  void substitutionsOkWithTextLeftStaysOpen();
  void dataTypesRuleSwitching();
  void addProfileDialogRefusesAndTrims();
};

void ProfilesSheetTest::cancelKeepsEditsOutApplyThenCancelSaves() {
  Setup s;
  {
    ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
    QLineEdit* remarks = Field(Page(sheet, 0), "Use this string to notate Remarks or Comments:");
    QVERIFY(remarks);
    QCOMPARE(remarks->text(), QString("REM"));
    remarks->setText("--");
    sheet.reject();
    QCOMPARE(s.list.FindProfile("Default")->s_Remarks, std::string("REM"));
    QCOMPARE(s.Saved("Default").s_Remarks, std::string("REM"));
  }
  {
    ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
    Field(Page(sheet, 0), "Use this string to notate Remarks or Comments:")->setText("--");
    // The inverted check box: checked means the Execute command goes on its own line.
    Button(sheet.Page(0), "Use the Execute command on its own line")->click();
    sheet.ApplyAll();
    sheet.reject();
    QCOMPARE(s.Saved("Default").s_Remarks, std::string("--"));
    QCOMPARE(s.Saved("Default").b_ExecuteSameLine, 0);
    // The working profile's saved edits reach the run's working copy.
    QCOMPARE(s.working.s_Remarks, std::string("--"));
    QCOMPARE(s.settings.GetInt("LastProf", -1), 0);
  }
}

void ProfilesSheetTest::structureDataTypeCaseAloneIsStored() {
  Setup s;
  s.settings.WriteInt("LastProf", 1);
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  QCOMPARE(sheet.Pages()->currentIndex(), 1);
  Button(sheet.Page(1), "Script Data Type names all in lowercase")->click();
  Field(sheet.Page(2), "Add one for every")->setText("25");
  sheet.accept();
  QCOMPARE(sheet.result(), int(QDialog::Accepted));
  QCOMPARE(s.Saved("Default").i_DataTypeCase, 1);
  QCOMPARE(s.Saved("Default").i_TableNameCase, 0);
  QCOMPARE(s.Saved("Default").i_CommitLines, 25);
  QCOMPARE(s.Saved("Oracle").i_DataTypeCase, 0);
}

void ProfilesSheetTest::addCopiesTheCurrentProfileAndSavesOnCancel() {
  Setup s;
  s.list.FindProfile("Oracle")->s_Execute = "/";
  s.workingName = "Oracle";
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  sheet.askNewName = [](QWidget*) { return std::optional<std::string>("Copy"); };
  sheet.AddProfile();
  QCOMPARE(sheet.CurrentName(), std::string("Copy"));
  QCOMPARE(sheet.Names()->currentItem()->text(), QString("Copy"));
  QCOMPARE(Field(Page(sheet, 0), "The following string represents the Execute command:")->text(), QString("/"));
  // Editing the copy's substitutions leaves the source alone.
  QWidget* subs = Page(sheet, 6);
  QLineEdit* find = nullptr;
  for (auto* e : subs->findChildren<QLineEdit*>())
    if (!find) find = e;
  find->setText("a");
  subs->findChildren<QLineEdit*>()[1]->setText("b");
  Button(subs, "Add")->click();
  sheet.ApplyAll();
  sheet.reject();
  QCOMPARE(s.Saved("Copy").Substitutions.size(), size_t(2));
  QCOMPARE(s.Saved("Copy").s_Execute, std::string("/"));
  QCOMPARE(s.list.FindProfile("Oracle")->Substitutions.size(), size_t(1));
}

void ProfilesSheetTest::removeRefusesTheLastAndMovesTheWorkingProfile() {
  Setup s;
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  s.host.answers.push_back(Host::Answer::No);
  sheet.RemoveProfile();
  QCOMPARE(s.list.size(), size_t(2));
  QCOMPARE(s.host.messages.back(), RemoveProfileQuestion("Default"));
  sheet.RemoveProfile();  // Yes
  QCOMPARE(s.list.size(), size_t(1));
  QCOMPARE(s.workingName, std::string("Oracle"));
  QCOMPARE(sheet.CurrentName(), std::string("Oracle"));
  QVERIFY(!std::filesystem::exists(s.dir / "Default.pfl"));
  sheet.RemoveProfile();
  QCOMPARE(s.host.messages.back(), std::string(kMsgKeepOneProfile));
  QCOMPARE(s.list.size(), size_t(1));
}

void ProfilesSheetTest::switchingAsksAndNoLosesTheEdits() {
  Setup s;
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  Field(Page(sheet, 3), "The following string is the ON TABLE command:")->setText("UPON");
  s.host.answers.push_back(Host::Answer::No);
  sheet.Names()->setCurrentRow(1);
  QCOMPARE(s.host.messages.back(), ProfileChangedQuestion("Default"));
  QCOMPARE(sheet.CurrentName(), std::string("Oracle"));
  QCOMPARE(s.list.FindProfile("Default")->s_OnTable, std::string("ON"));
  Field(sheet.Page(3), "The following string is the ON TABLE command:")->setText("UPON");
  sheet.Names()->setCurrentRow(0);  // Yes
  QCOMPARE(s.list.FindProfile("Oracle")->s_OnTable, std::string("UPON"));
  QCOMPARE(s.list.FindProfile("Oracle")->b_Changed, 1);
  QCOMPARE(Field(sheet.Page(3), "The following string is the ON TABLE command:")->text(), QString("ON"));
}

void ProfilesSheetTest::failedSaveKeepsTheSheetOpen() {
  Setup s;
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir / "gone", s.host);
  sheet.show();
  Field(Page(sheet, 0), "Use this string to notate Remarks or Comments:")->setText("#");
  sheet.accept();
  QVERIFY(sheet.isVisible());
  QCOMPARE(s.host.messages.back(), "Could not save profile '" + (s.dir / "gone/Default.pfl") + "'");
  QCOMPARE(s.list.FindProfile("Default")->s_Remarks, std::string("#"));
  QCOMPARE(s.list.FindProfile("Default")->b_Changed, 1);
}

void ProfilesSheetTest::substitutionsOkWithTextLeftStaysOpen() {
  Setup s;
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  sheet.show();
  QWidget* subs = Page(sheet, 6);
  auto edits = subs->findChildren<QLineEdit*>();
  // Longer than a line edit takes by default: kept whole.
  const std::string longReplace(40000, 'r');
  edits[0]->setText("\\");
  edits[1]->setText(QString::fromStdString(longReplace));
  sheet.accept();
  QVERIFY(sheet.isVisible());
  QVERIFY(edits[0]->text().isEmpty());
  sheet.accept();
  QVERIFY(!sheet.isVisible());
  const auto saved = s.Saved("Default").Substitutions;
  QCOMPARE(saved.size(), size_t(2));
  QCOMPARE(saved[1].find, std::string("\\"));
  QCOMPARE(saved[1].replace, longReplace);
  // A pair equal to itself is refused.
  ui::ProfilesSheet again(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  auto e2 = Page(again, 6)->findChildren<QLineEdit*>();
  e2[0]->setText("x");
  e2[1]->setText("x");
  Button(again.Page(6), "Add")->click();
  QCOMPARE(s.host.messages.back(), std::string(kMsgSubstituteItself));
}

void ProfilesSheetTest::dataTypesRuleSwitching() {
  Setup s;
  s.list.FindProfile("Default")->i_LengthRule = 2;
  s.list.FindProfile("Default")->OmitLengthTypes = {"DATE"};
  ui::ProfilesSheet sheet(s.list, s.workingName, s.working, s.settings, s.dir.path, s.host);
  QWidget* page = Page(sheet, 4);
  auto lists = page->findChildren<QListWidget*>();
  QListWidget* omit = lists[0];
  QVERIFY(omit->isEnabled());
  QCOMPARE(omit->selectedItems().size(), qsizetype(1));
  QCOMPARE(omit->selectedItems()[0]->text(), QString("DATE"));
  Button(page, "Always include length")->click();
  QVERIFY(!omit->isEnabled());
  Button(page, "Omit length for the following types:")->click();
  QVERIFY(omit->isEnabled());
  omit->item(0)->setSelected(true);  // BIGINT
  QLineEdit* to = Field(page, "Translates to:");
  to->setText("INT8");
  lists[1]->setCurrentRow(2);
  sheet.accept();
  const Profile saved = s.Saved("Default");
  QCOMPARE(saved.OmitLengthTypes, (std::vector<std::string>{"BIGINT", "DATE"}));
  QCOMPARE(saved.s_TypeTranslation[kBigint], std::string("INT8"));
}

void ProfilesSheetTest::addProfileDialogRefusesAndTrims() {
  Setup s;
  test::WhenModal([](QWidget* w) {
    w->findChild<QLineEdit*>()->setText(" Oracle ");
    w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    w->findChild<QLineEdit*>()->setText("  New one ");
    w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  const auto name = ui::AskNewProfileName(nullptr, s.list, s.host);
  QCOMPARE(s.host.messages.back(), ExistingProfileMessage("Oracle"));
  QVERIFY(name.has_value());
  QCOMPARE(*name, std::string("New one"));
}

QTEST_MAIN(ProfilesSheetTest)
#include "profiles_sheet_test.moc"
