#pragma once
#include <string>
#include <string_view>

#include "run/ScriptText.h"

namespace mv {

class ScriptOutput;
struct Profile;
struct RunOptions;

// The statement vocabulary a run writes with: headings, simple statements, remarks and COMMITs,
// in the working profile's words, into the run's output. It reads the profile and the options
// as they are when it writes.
class ScriptWriter {
 public:
  ScriptWriter(ScriptOutput& out, const Profile& working, const RunOptions& opts)
      : out_(out), profile_(working), opts_(opts) {}

  ScriptOutput& Output() { return out_; }
  // A statement built as a value.
  void Write(const ScriptText& text);
  void Write(std::string_view text, TextRole role, bool counted = false);
  // "\r\n" as a blank line of its own.
  void BlankLine();
  // marker + "  " + words + name, then a blank line: only when remarks are written.
  void Heading(std::string_view words, std::string_view name);
  // marker + "  " (the remark marker's own colour) + words: the start of a remark line.
  void RemarkStart(std::string_view words, TextRole role);
  // keyword + " " + object + the terminator and `after` (DROP TABLE, DELETE FROM, DROP INDEX).
  void SimpleStatement(std::string_view keyword, std::string_view object, std::string_view after);
  // An error or note of the run: every line of text gets the remark marker, so the script
  // still loads whatever failed.
  void MessageRemark(std::string_view text, std::string_view before = "\r\n", std::string_view after = "\r\n\r\n");
  // The profile's COMMIT (with the execute command when the profile asks for it); at a table's
  // end it has no blank line of its own.
  void Commit(bool tableEnd);

 private:
  ScriptOutput& out_;
  const Profile& profile_;
  const RunOptions& opts_;
  ScriptText scratch_;
};

}  // namespace mv
