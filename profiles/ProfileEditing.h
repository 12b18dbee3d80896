#pragma once
#include <string>
#include <vector>

#include "profiles/Profile.h"

namespace mv {

class Host;

// ---- The profile manager's own rules.

inline constexpr const char* kMsgEnterProfileName = "You must enter a new name for this Profile.";
inline constexpr const char* kMsgKeepOneProfile =
    "Mervale requires that you have at least one profile.\nYou cannot remove this profile at this time.";
std::string ExistingProfileMessage(const std::string& name);
std::string RemoveProfileQuestion(const std::string& name);
std::string ProfileChangedQuestion(const std::string& name);

// The profile names as the sorted profile lists and combos show them.
std::vector<std::string> SortedProfileNames(const std::vector<std::string>& names);

// "Add Profile" OK: trims name in place; the refusal to show, empty when the name is free.
std::string CheckNewProfileName(const ProfileList& list, std::string& name);
// Appends a copy of every field of `from` under the new name, marked changed.
void AddProfileCopy(ProfileList& list, const Profile& from, const std::string& name);

// Deletes folder/name.pfl; the message to show, empty on success or when there was no file.
std::string DeleteProfileFile(const std::string& folder, const std::string& name);
// The row to select in a list of `countAfter` names after row `removed` went.
int RowAfterRemoval(int removed, int countAfter);

// Closing the manager: every changed profile is saved, in list order; the working profile is
// copied into the run's working copy when it was saved. False when some profile failed to
// save (its message was shown and it stays changed).
bool SaveChangedProfiles(ProfileList& list, const std::string& folder, const std::string& workingName, Profile& working,
                         Host& host);

// ---- The four pages that copy plain fields (General, Structure, Data, Index).

struct ProfileField {
  enum class Kind { Text, Flag, InvertedFlag, Number, Case };
  Kind kind;
  const char* label;  // Number: the text before the field; Case: the group title
  const char* group;  // fields with the same group share a box; nullptr: none
  std::string Profile::*text = nullptr;
  int Profile::*number = nullptr;
  const char* after = nullptr;  // Number: the text after the field
  const char* choices[3] = {};  // Case: the uppercase, lowercase and untouched buttons
};
// Page 0 General, 1 Structure, 2 Data, 3 Index.
const std::vector<ProfileField>& ProfilePageFields(int page);
inline constexpr const char* kProfilePageTitles[7] = {"General",    "Structure", "Data",         "Index",
                                                      "Data Types", "Functions", "Substitutions"};

// ---- Page "Data Types": the length rule and the translations.

class TypesPageModel {
 public:
  TypesPageModel();
  // The 23 names as both lists show them (sorted), with their categories.
  const std::vector<std::string>& Names() const { return names_; }
  int CategoryAt(int row) const { return row < 0 ? -1 : categories_[row]; }

  // Fills from a profile; returns the text the "Translates to:" field shows.
  std::string Show(const Profile& p);
  // Another translation entry chosen (row -1: none): the field's text is stored for the entry
  // shown until now; returns the text for the new entry.
  std::string SelectTranslation(int row, const std::string& fieldText);
  void ChooseLengthRule(int rule);
  void SetOmitted(int row, bool selected);
  void FieldFocused() { modified_ = true; }
  // Applies when modified; returns whether anything was written.
  bool Apply(Profile& p, const std::string& fieldText);

  int CheckedRule() const { return checkedRule_; }  // -1: no radio checked
  bool OmitListEnabled() const { return omitEnabled_; }
  const std::vector<bool>& Omitted() const { return omitted_; }
  int ShownRow() const { return shownRow_; }
  bool Modified() const { return modified_; }
  const PerType& Translations() const { return translations_; }

 private:
  std::vector<std::string> names_;
  std::vector<int> categories_;
  std::vector<bool> omitted_;
  PerType translations_;
  int checkedRule_ = -1;
  bool omitEnabled_ = false;
  int shownRow_ = -1;
  bool modified_ = false;
};

// ---- Page "Functions": four wrappers and a flag per category.

struct FunctionFields {
  std::string retrievePrefix, retrieveSuffix, scriptPrefix, scriptSuffix;
  int onlyIfValue = 0;
  bool operator==(const FunctionFields&) const = default;
};

class FunctionsPageModel {
 public:
  FunctionsPageModel();
  const std::vector<std::string>& Names() const { return names_; }
  FunctionFields Show(const Profile& p);
  // Stores the fields for the category shown until now; returns those of row (empty for -1).
  FunctionFields Select(int row, const FunctionFields& current);
  void MarkModified() { modified_ = true; }
  bool Apply(Profile& p, const FunctionFields& current);
  int ShownRow() const { return shownRow_; }
  bool Modified() const { return modified_; }

 private:
  void Store(const FunctionFields& f);
  std::vector<std::string> names_;
  std::vector<int> categories_;
  PerType retrievePrefix_, retrieveSuffix_, scriptPrefix_, scriptSuffix_;
  std::array<int, kTypeCategoryCount> onlyIfValue_{};
  int shownRow_ = -1;
  bool modified_ = false;
};

// ---- Page "Substitutions".

inline constexpr const char* kMsgSubstituteItself = "You cannot substitute a string with itself.";
inline constexpr const char* kMsgSubstitutionExists = "This substitution already exists.";
std::string DeleteAllQuestion(const std::string& find);
std::string SubstitutionDisplay(const Substitution& s);
// Split at the first " => ".
Substitution SplitSubstitutionDisplay(const std::string& entry);

class SubstitutionsPageModel {
 public:
  void Show(const Profile& p);
  const std::vector<std::string>& Entries() const { return entries_; }
  // "Add"; true when the pair was listed (the window then empties both fields).
  bool Add(const std::string& find, const std::string& with, Host& host);
  void Remove(int row);
  // Applying: with text left in "Replace" the pair is added and the apply refused (false);
  // added tells whether the fields should be emptied.
  bool Apply(Profile& p, const std::string& find, const std::string& with, Host& host, bool& added);
  bool Modified() const { return modified_; }

 private:
  std::vector<std::string> entries_;
  bool modified_ = false;
};

}  // namespace mv
